// The desktop wallpaper through the desktop's own setting: gsettings for the GNOME family.
// Every change is a separate "gsettings set"; a failing one is reported with the key it
// could not write.
#include <cctype>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

namespace {

constexpr int kGsettingsTimeout = 10;

struct TSchema {
  const char* Name;
  const char* PictureKey;      // the picture: a URI, or a path for MATE
  const char* DarkPictureKey;  // the picture of the dark style (newer GNOME), or nullptr
  bool PictureIsUri;
};

TSchema SchemaOf(TWallpaperDesktop desktop) {
  switch (desktop) {
    case TWallpaperDesktop::Cinnamon:
      return {"org.cinnamon.desktop.background", "picture-uri", nullptr, true};
    case TWallpaperDesktop::Mate:
      return {"org.mate.background", "picture-filename", nullptr, false};
    default:
      return {"org.gnome.desktop.background", "picture-uri", "picture-uri-dark", true};
  }
}

TWallpaperDesktop DesktopOfName(const std::string& name) {
  const std::string n = UpperCase(name);
  if (n == "GNOME" || n == "GNOME-CLASSIC" || n == "GNOME-FLASHBACK" || n == "UBUNTU" || n == "UNITY" ||
      n == "BUDGIE" || n == "BUDGIE-DESKTOP" || n == "PANTHEON" || n == "POP")
    return TWallpaperDesktop::Gnome;
  if (n == "X-CINNAMON" || n == "CINNAMON") return TWallpaperDesktop::Cinnamon;
  if (n == "MATE") return TWallpaperDesktop::Mate;
  return TWallpaperDesktop::Unknown;
}

// A GVariant string literal: '...' with ' and \ escaped.
std::string QuoteVariant(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c;
  }
  return out + "'";
}

// The string of gsettings' printed GVariant ('...' or "..."); the text itself when it is not
// quoted (a plain word).
std::string UnquoteVariant(std::string s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
  size_t start = 0;
  while (start < s.size() && std::isspace(static_cast<unsigned char>(s[start]))) ++start;
  s.erase(0, start);
  if (s.size() < 2 || (s[0] != '\'' && s[0] != '"') || s.back() != s[0]) return s;
  std::string out;
  for (size_t i = 1; i + 1 < s.size(); ++i) {
    if (s[i] == '\\' && i + 2 < s.size()) ++i;
    out += s[i];
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// file:///path with every byte outside the unreserved set and "/" percent-encoded, as the
// trash info writes paths.
std::string FileUri(const std::string& path) { return "file://" + TrashInfoEncodePath(path); }

// The local path of a file URI ("" for any other URI).
std::string PathOfFileUri(const std::string& uri) {
  const std::string prefix = "file://";
  if (uri.compare(0, prefix.size(), prefix) != 0) return std::string();
  std::string rest = uri.substr(prefix.size());
  if (rest.empty() || rest[0] != '/') {
    // file://localhost/path
    const size_t slash = rest.find('/');
    if (slash == std::string::npos || rest.substr(0, slash) != "localhost") return std::string();
    rest.erase(0, slash);
  }
  std::string out;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 && HexValue(rest[i + 2]) >= 0) {
      out += char(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
      i += 2;
    } else {
      out += rest[i];
    }
  }
  return out;
}

bool Get(const TSchema& schema, const char* key, std::string& value, std::string& error) {
  std::string out;
  if (!RunProcessOutput({"gsettings", "get", schema.Name, key}, kGsettingsTimeout, out)) {
    error = std::string("gsettings get ") + schema.Name + " " + key + " failed";
    return false;
  }
  value = UnquoteVariant(out);
  return true;
}

bool Set(const TSchema& schema, const char* key, const std::string& value, std::string& error) {
  TProcessResult r = RunProcessAndWait({"gsettings", "set", schema.Name, key, QuoteVariant(value)},
                                       kGsettingsTimeout, true);
  if (r.Outcome == TWaitOutcome::Finished && r.ExitCode == 0) return true;
  if (r.Outcome == TWaitOutcome::StartFailed)
    error = "gsettings cannot be started";
  else
    error = std::string("gsettings set ") + schema.Name + " " + key + " failed";
  return false;
}

// The dark-style key exists when gsettings can read it.
bool HasDarkKey(const TSchema& schema) {
  std::string value, ignored;
  return schema.DarkPictureKey && Get(schema, schema.DarkPictureKey, value, ignored);
}

bool KnownDesktop(TWallpaperDesktop& desktop, std::string& error) {
  desktop = CurrentWallpaperDesktop();
  if (desktop != TWallpaperDesktop::Unknown) return true;
  std::string name = GetEnvironmentVariable("XDG_CURRENT_DESKTOP");
  if (name.empty()) name = GetEnvironmentVariable("DESKTOP_SESSION");
  error = "the wallpaper of this desktop (" + (name.empty() ? std::string("unknown") : name) +
          ") cannot be set from here";
  return false;
}

bool WritePicture(const TSchema& schema, const std::string& value, const std::string& darkValue, bool withDark,
                  const std::string& options, std::string& error) {
  if (!Set(schema, schema.PictureKey, value, error)) return false;
  if (withDark && !Set(schema, schema.DarkPictureKey, darkValue, error)) return false;
  return Set(schema, "picture-options", options, error);
}

}  // namespace

TWallpaperDesktop CurrentWallpaperDesktop() {
  const std::string list = GetEnvironmentVariable("XDG_CURRENT_DESKTOP");
  size_t start = 0;
  while (start <= list.size() && !list.empty()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    TWallpaperDesktop d = DesktopOfName(list.substr(start, end - start));
    if (d != TWallpaperDesktop::Unknown) return d;
    start = end + 1;
  }
  return DesktopOfName(GetEnvironmentVariable("DESKTOP_SESSION"));
}

bool ReadDesktopWallpaper(TWallpaperSetting& setting, std::string& error) {
  TWallpaperDesktop desktop;
  if (!KnownDesktop(desktop, error)) return false;
  const TSchema schema = SchemaOf(desktop);
  setting = TWallpaperSetting();
  if (!Get(schema, schema.PictureKey, setting.Value, error)) return false;
  setting.Picture = schema.PictureIsUri ? PathOfFileUri(setting.Value) : setting.Value;
  setting.HasDarkValue = schema.DarkPictureKey && Get(schema, schema.DarkPictureKey, setting.DarkValue, error);
  error.clear();
  return Get(schema, "picture-options", setting.Options, error);
}

bool SetDesktopWallpaper(const std::string& picture, TWallpaperStyle style, std::string& error) {
  TWallpaperDesktop desktop;
  if (!KnownDesktop(desktop, error)) return false;
  const TSchema schema = SchemaOf(desktop);
  const std::string value = schema.PictureIsUri ? FileUri(picture) : picture;
  const char* options = style == TWallpaperStyle::Centered ? "centered"
                        : style == TWallpaperStyle::Tiled  ? "wallpaper"
                                                           : "stretched";
  return WritePicture(schema, value, value, HasDarkKey(schema), options, error);
}

bool RestoreDesktopWallpaper(const TWallpaperSetting& setting, std::string& error) {
  TWallpaperDesktop desktop;
  if (!KnownDesktop(desktop, error)) return false;
  const TSchema schema = SchemaOf(desktop);
  return WritePicture(schema, setting.Value, setting.DarkValue, setting.HasDarkValue && schema.DarkPictureKey,
                      setting.Options, error);
}

bool RemoveDesktopWallpaper(std::string& error) {
  TWallpaperDesktop desktop;
  if (!KnownDesktop(desktop, error)) return false;
  const TSchema schema = SchemaOf(desktop);
  return WritePicture(schema, std::string(), std::string(), HasDarkKey(schema), "none", error);
}
