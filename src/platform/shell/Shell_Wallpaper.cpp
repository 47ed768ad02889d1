// The desktop wallpaper through the desktop's own setting: gsettings for the GNOME family,
// xfconf-query for XFCE, the Plasma shell's script call (through dbus-send) for KDE. Every
// change is a separate call; a failing one is reported with what it could not write.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

namespace {

// The reasons are shown to the user after "The wallpaper could not be set: ", in the
// user's language; the command that failed stands in them as it was given.
std::string Failed(const std::string& command) { return Format(_("%s failed"), {command}); }
std::string CannotStart(const std::string& program) { return Format(_("%s cannot be started"), {program}); }

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
  if (n == "XFCE" || n == "XUBUNTU") return TWallpaperDesktop::Xfce;
  if (n == "KDE" || n == "PLASMA" || n == "PLASMAWAYLAND" || n == "KDE-PLASMA") return TWallpaperDesktop::Plasma;
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
    error = Failed(std::string("gsettings get ") + schema.Name + " " + key);
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
    error = CannotStart("gsettings");
  else
    error = Failed(std::string("gsettings set ") + schema.Name + " " + key);
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
  error =
      Format(_("the wallpaper of this desktop (%s) cannot be changed from here"), {name.empty() ? _("unknown") : name});
  return false;
}

bool WritePicture(const TSchema& schema, const std::string& value, const std::string& darkValue, bool withDark,
                  const std::string& options, std::string& error) {
  if (!Set(schema, schema.PictureKey, value, error)) return false;
  if (withDark && !Set(schema, schema.DarkPictureKey, darkValue, error)) return false;
  return Set(schema, "picture-options", options, error);
}

// ---------------------------------------------------------------------------
// XFCE: each monitor and workspace has its picture ("last-image") and its placement
// ("image-style": 0 none, 1 centred, 2 tiled, 3 stretched ...) in the channel
// xfce4-desktop. A change goes to every one of them; the first stands for all when read.
// ---------------------------------------------------------------------------
namespace xfce {

constexpr char kChannel[] = "xfce4-desktop";
// Where a desktop that has never stored a picture keeps that of its first monitor.
constexpr char kFirstPicture[] = "/backdrop/screen0/monitor0/workspace0/last-image";

std::string StyleProperty(const std::string& pictureProperty) {
  return pictureProperty.substr(0, pictureProperty.size() - std::string("last-image").size()) + "image-style";
}

bool PictureProperties(std::vector<std::string>& properties, std::string& error) {
  std::string out;
  if (!RunProcessOutput({"xfconf-query", "-c", kChannel, "-l"}, kGsettingsTimeout, out)) {
    error = Failed(std::string("xfconf-query -c ") + kChannel + " -l");
    return false;
  }
  const std::string suffix = "/last-image";
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    std::string line = out.substr(start, end - start);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    if (line.size() > suffix.size() && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
      properties.push_back(line);
    start = end + 1;
  }
  if (properties.empty()) properties.push_back(kFirstPicture);
  return true;
}

bool Get(const std::string& property, std::string& value, std::string& error) {
  if (!RunProcessOutput({"xfconf-query", "-c", kChannel, "-p", property}, kGsettingsTimeout, value)) {
    error = Failed("xfconf-query " + property);
    return false;
  }
  while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
  return true;
}

// Sets a property, making it with its type when the desktop has none yet.
bool Set(const std::string& property, const char* type, const std::string& value, std::string& error) {
  TProcessResult r = RunProcessAndWait({"xfconf-query", "-c", kChannel, "-p", property, "-n", "-t", type, "-s", value},
                                       kGsettingsTimeout, true);
  if (r.Outcome == TWaitOutcome::Finished && r.ExitCode == 0) return true;
  error = r.Outcome == TWaitOutcome::StartFailed ? CannotStart("xfconf-query") : Failed("xfconf-query " + property);
  return false;
}

bool Read(TWallpaperSetting& setting, std::string& error) {
  std::vector<std::string> properties;
  if (!PictureProperties(properties, error)) return false;
  setting = TWallpaperSetting();
  if (!Get(properties[0], setting.Value, error)) return false;
  setting.Picture = setting.Value;
  // A desktop that never stored a placement shows its pictures zoomed (5).
  if (!Get(StyleProperty(properties[0]), setting.Options, error)) setting.Options = "5";
  error.clear();
  return true;
}

// picture "" keeps the pictures and changes only the placement.
bool Write(const std::string& picture, const std::string& style, std::string& error) {
  std::vector<std::string> properties;
  if (!PictureProperties(properties, error)) return false;
  for (const std::string& property : properties) {
    if (!picture.empty() && !Set(property, "string", picture, error)) return false;
    if (!Set(StyleProperty(property), "int", style, error)) return false;
  }
  return true;
}

}  // namespace xfce

// ---------------------------------------------------------------------------
// KDE Plasma: the shell runs a script that reads or writes the configuration of every
// desktop: its wallpaper plugin ("org.kde.image" for a picture, "org.kde.color" for a plain
// colour) with the picture ("Image") and its placement ("FillMode": 0 stretched, 1 fitted,
// 2 cropped, 3 tiled, 6 centred).
// ---------------------------------------------------------------------------
namespace plasma {

constexpr char kImagePlugin[] = "org.kde.image";

// A JavaScript string literal.
std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

// Runs the script in the shell; output receives what it printed.
bool Evaluate(const std::string& script, std::string& output, std::string& error) {
  std::string reply;
  if (!RunProcessOutput({"dbus-send", "--session", "--dest=org.kde.plasmashell", "--type=method_call",
                         "--print-reply", "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript", "string:" + script},
                        kGsettingsTimeout, reply)) {
    error = _("the Plasma shell did not take the wallpaper script (dbus-send failed)");
    return false;
  }
  // The reply's string argument: string "...", its text as it stands up to the last quote.
  const size_t open = reply.find("string \"");
  const size_t close = reply.rfind('"');
  output = open == std::string::npos || close < open + 8 ? std::string() : reply.substr(open + 8, close - open - 8);
  return true;
}

bool Read(TWallpaperSetting& setting, std::string& error) {
  std::string out;
  if (!Evaluate("var d = desktops()[0]; d.currentConfigGroup = Array(\"Wallpaper\", \"" + std::string(kImagePlugin) +
                    "\", \"General\"); print(d.wallpaperPlugin + \"\\n\" + d.readConfig(\"Image\") + \"\\n\" + "
                    "d.readConfig(\"FillMode\"));",
                out, error))
    return false;
  std::vector<std::string> lines;
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t end = std::min(out.find('\n', start), out.size());
    lines.push_back(start < out.size() ? out.substr(start, end - start) : std::string());
    start = end + 1;
  }
  setting = TWallpaperSetting();
  // Another plugin (a slide show, a plain colour) has no picture to put back.
  if (lines[0] == kImagePlugin) {
    setting.Value = lines[1];
    setting.Picture = setting.Value.rfind("file://", 0) == 0 ? PathOfFileUri(setting.Value) : setting.Value;
  }
  setting.Options = lines[2].empty() ? "2" : lines[2];
  return true;
}

// Gives every desktop the plugin, and with a picture its image and placement.
bool Write(const char* plugin, const std::string& image, const std::string& fillMode, std::string& error) {
  std::string script = "var all = desktops(); for (var i = 0; i < all.length; i++) { var d = all[i]; "
                       "d.wallpaperPlugin = " + Quote(plugin) + "; ";
  if (!image.empty())
    script += "d.currentConfigGroup = Array(\"Wallpaper\", " + Quote(plugin) + ", \"General\"); d.writeConfig(\"Image\", " +
              Quote(image) + "); d.writeConfig(\"FillMode\", " + Quote(fillMode) + "); ";
  script += "}";
  std::string ignored;
  return Evaluate(script, ignored, error);
}

}  // namespace plasma

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
  if (desktop == TWallpaperDesktop::Xfce) return xfce::Read(setting, error);
  if (desktop == TWallpaperDesktop::Plasma) return plasma::Read(setting, error);
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
  if (desktop == TWallpaperDesktop::Xfce)
    return xfce::Write(picture, style == TWallpaperStyle::Centered ? "1" : style == TWallpaperStyle::Tiled ? "2" : "3",
                       error);
  if (desktop == TWallpaperDesktop::Plasma)
    return plasma::Write(plasma::kImagePlugin, FileUri(picture),
                         style == TWallpaperStyle::Centered ? "6" : style == TWallpaperStyle::Tiled ? "3" : "0", error);
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
  if (desktop == TWallpaperDesktop::Xfce) return xfce::Write(setting.Value, setting.Options, error);
  if (desktop == TWallpaperDesktop::Plasma)
    return plasma::Write(plasma::kImagePlugin, setting.Value, setting.Options, error);
  const TSchema schema = SchemaOf(desktop);
  return WritePicture(schema, setting.Value, setting.DarkValue, setting.HasDarkValue && schema.DarkPictureKey,
                      setting.Options, error);
}

bool RemoveDesktopWallpaper(std::string& error) {
  TWallpaperDesktop desktop;
  if (!KnownDesktop(desktop, error)) return false;
  if (desktop == TWallpaperDesktop::Xfce) return xfce::Write(std::string(), "0", error);
  if (desktop == TWallpaperDesktop::Plasma) return plasma::Write("org.kde.color", std::string(), std::string(), error);
  const TSchema schema = SchemaOf(desktop);
  return WritePicture(schema, std::string(), std::string(), HasDarkKey(schema), "none", error);
}
