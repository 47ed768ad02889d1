#!/usr/bin/env bash
# Installs, only when missing, every Debian package that Kivo2's build, the program
# and its tests need.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  qt6-base-dev libjpeg62-turbo-dev zlib1g-dev gettext libsane-dev libgtest-dev libzip-dev
  libgmime-3.0-dev libxcb1-dev
  # the program at run time (libsane1 brings SANE's backends, its "test" device among them)
  qt6-qpa-plugins qt6-translations-l10n libsane1 libjpeg-turbo-progs xdg-utils file shared-mime-info fonts-dejavu-core alsa-utils
  # the buttons' glyphs: the desktop's icon themes, and Qt's reader of SVG icons
  adwaita-icon-theme hicolor-icon-theme libqt6svg6
  # independent tools that the tests and benchmarks compare with
  imagemagick graphicsmagick netpbm libtiff-tools exiv2 libimage-exiftool-perl jpeginfo
  gifsicle giflib-tools sane-utils xvfb xauth xclip desktop-file-utils libglib2.0-bin unzip poppler-utils libvips-tools
  librsvg2-bin
  # the real program under a window manager, driven and read back as a user and the desktop see it
  openbox xdotool wmctrl x11-utils
  # colour profiles (Adobe RGB, a CMYK one of three segments) that the copy tests embed
  libgs-common
  # giflib's headers, for the GIF benchmark's comparison with its decoder
  libgif-dev
  # the C library's collation of English words, which the sort tests compare with
  locales
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qix 'en_US.utf-\?8'; then
  echo "Making the locale en_US.UTF-8"
  $sudo localedef -i en_US -f UTF-8 en_US.UTF-8
fi
