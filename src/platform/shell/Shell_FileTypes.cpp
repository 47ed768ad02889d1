// The desktop's file types and their programs. On Linux the file types are those of the
// shared MIME database (mime/globs2, aliases, subclasses and the type descriptions in
// $XDG_DATA_HOME and $XDG_DATA_DIRS); a type's program is its default desktop entry
// (mimeapps.list, then the desktop database's mimeinfo.cache). A file is opened by starting
// that entry's command with the file as its argument: the file itself is never run.
#include <fstream>
#include <map>
#include <set>
#include <vector>

#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

namespace {

// Files of the databases read here are small; a larger one is not read.
constexpr std::streamoff kMaxDatabaseFile = 8 << 20;

std::vector<std::string> SplitList(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string EnvOr(const char* name, const std::string& fallback) {
  std::string value = GetEnvironmentVariable(name);
  return value.empty() ? fallback : value;
}

// $XDG_DATA_HOME first, then the folders of $XDG_DATA_DIRS.
std::vector<std::string> DataFolders() {
  std::vector<std::string> folders{EnvOr("XDG_DATA_HOME", PathJoin(GetEnvironmentVariable("HOME"), ".local/share"))};
  for (const std::string& dir : SplitList(EnvOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share"), ':'))
    folders.push_back(dir);
  return folders;
}

std::vector<std::string> ConfigFolders() {
  std::vector<std::string> folders{EnvOr("XDG_CONFIG_HOME", PathJoin(GetEnvironmentVariable("HOME"), ".config"))};
  for (const std::string& dir : SplitList(EnvOr("XDG_CONFIG_DIRS", "/etc/xdg"), ':')) folders.push_back(dir);
  return folders;
}

// The lines of a text file (none when it is missing or too large).
std::vector<std::string> ReadLines(const std::string& fileName) {
  std::vector<std::string> lines;
  std::ifstream in(fileName, std::ios::binary | std::ios::ate);
  if (!in) return lines;
  if (in.tellg() > kMaxDatabaseFile) return lines;
  in.seekg(0);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The value of key in [section] of a desktop-style file ("" when none).
std::string KeyFileValue(const std::vector<std::string>& lines, const std::string& section, const std::string& key) {
  bool inSection = false;
  for (const std::string& line : lines) {
    if (!line.empty() && line[0] == '[') {
      inSection = line == "[" + section + "]";
      continue;
    }
    if (!inSection) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (Trim(line.substr(0, eq)) == key) return Trim(line.substr(eq + 1));
  }
  return std::string();
}

// The desktop entry file of a desktop-file id ("vlc.desktop"), or "".
std::string DesktopEntryFile(const std::string& id) {
  if (id.empty() || id.find('/') != std::string::npos) return std::string();
  for (const std::string& folder : DataFolders()) {
    std::string file = PathJoin(folder, "applications", id);
    if (FileExists(file)) return file;
    // An id "kde-foo.desktop" may name applications/kde/foo.desktop.
    size_t dash = id.find('-');
    if (dash != std::string::npos) {
      file = PathJoin(PathJoin(folder, "applications"), id.substr(0, dash), id.substr(dash + 1));
      if (FileExists(file)) return file;
    }
  }
  return std::string();
}

// A desktop entry's string value with its escapes (\s \n \t \r \\) resolved.
std::string UnescapeEntryValue(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 >= value.size()) {
      out += value[i];
      continue;
    }
    const char c = value[++i];
    out += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
  }
  return out;
}

}  // namespace

std::string MimeTypeOfExtension(const std::string& extension) {
  if (extension.size() < 2 || extension[0] != '.') return std::string();
  const std::string glob = "*" + extension;
  std::string best;
  int bestWeight = -1;
  for (const std::string& folder : DataFolders()) {
    for (const std::string& line : ReadLines(PathJoin(folder, "mime/globs2"))) {
      if (line.empty() || line[0] == '#') continue;
      std::vector<std::string> fields = SplitList(line, ':');
      if (fields.size() < 3) continue;
      const int weight = StrToIntDef(fields[0], 50);
      const bool caseSensitive = fields.size() > 3 && fields[3].find("cs") != std::string::npos;
      const bool match = caseSensitive ? fields[2] == glob : AnsiSameText(fields[2], glob);
      if (match && weight > bestWeight) {
        best = fields[1];
        bestWeight = weight;
      }
    }
    if (!best.empty()) return best;
  }
  return best;
}

std::string MimeTypeComment(const std::string& mimeType) {
  if (mimeType.empty() || mimeType.find("..") != std::string::npos) return std::string();
  for (const std::string& folder : DataFolders()) {
    for (const std::string& line : ReadLines(PathJoin(folder, "mime", mimeType + ".xml"))) {
      size_t open = line.find("<comment>");
      if (open == std::string::npos) continue;
      size_t close = line.find("</comment>", open);
      if (close == std::string::npos) continue;
      std::string text = line.substr(open + 9, close - open - 9);
      for (const auto& [entity, ch] : std::vector<std::pair<std::string, std::string>>{
               {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}}) {
        size_t at = 0;
        while ((at = text.find(entity, at)) != std::string::npos) {
          text.replace(at, entity.size(), ch);
          at += ch.size();
        }
      }
      return text;
    }
  }
  return std::string();
}

std::string DefaultDesktopEntry(const std::string& mimeType) {
  if (mimeType.empty()) return std::string();
  std::vector<std::string> lists;
  for (const std::string& folder : ConfigFolders()) lists.push_back(PathJoin(folder, "mimeapps.list"));
  for (const std::string& folder : DataFolders()) lists.push_back(PathJoin(folder, "applications/mimeapps.list"));
  for (const char* section : {"Default Applications", "Added Associations"}) {
    for (const std::string& list : lists) {
      for (const std::string& id : SplitList(KeyFileValue(ReadLines(list), section, mimeType), ';')) {
        std::string file = DesktopEntryFile(id);
        if (!file.empty()) return file;
      }
    }
  }
  for (const std::string& folder : DataFolders()) {
    std::vector<std::string> cache = ReadLines(PathJoin(folder, "applications/mimeinfo.cache"));
    for (const std::string& id : SplitList(KeyFileValue(cache, "MIME Cache", mimeType), ';')) {
      std::string file = DesktopEntryFile(id);
      if (!file.empty()) return file;
    }
  }
  return std::string();
}

std::string DesktopEntryValue(const std::string& entryFile, const std::string& key) {
  return KeyFileValue(ReadLines(entryFile), "Desktop Entry", key);
}

bool IsRunnableMimeType(const std::string& mimeType) {
  static const std::set<std::string> runnable{
      "application/x-executable", "application/x-pie-executable", "application/x-sharedlib",
      "application/x-shellscript", "text/x-shellscript", "application/x-desktop", "application/x-ms-dos-executable",
      "application/x-dosexec", "application/x-msdownload", "application/vnd.microsoft.portable-executable",
      "application/x-msi", "application/x-ms-shortcut", "application/x-java-archive", "application/x-java-jnlp-file",
      "application/vnd.appimage", "application/vnd.flatpak", "application/vnd.flatpak.ref", "application/x-mach-binary"};
  // The database's aliases and parent types, so "text/x-sh" or a script language's type
  // (a kind of application/x-executable there) is known as what it is.
  std::multimap<std::string, std::string> related;
  for (const std::string& folder : DataFolders())
    for (const char* file : {"mime/aliases", "mime/subclasses"})
      for (const std::string& line : ReadLines(PathJoin(folder, file))) {
        const size_t blank = line.find(' ');
        if (blank != std::string::npos) related.emplace(LowerCase(line.substr(0, blank)), LowerCase(Trim(line.substr(blank + 1))));
      }
  std::vector<std::string> todo{LowerCase(Trim(mimeType))};
  std::set<std::string> seen;
  while (!todo.empty() && seen.size() < 64) {
    const std::string type = todo.back();
    todo.pop_back();
    if (!seen.insert(type).second) continue;
    // file(1) names scripts "text/x-script.python" and the like.
    if (runnable.count(type) || StartsStr("text/x-script.", type) || EndsStr("-executable", type)) return true;
    const auto [from, to] = related.equal_range(type);
    for (auto it = from; it != to; ++it) todo.push_back(it->second);
  }
  return false;
}

std::vector<std::string> DesktopEntryCommand(const std::string& entryFile, const std::string& file) {
  const std::vector<std::string> lines = ReadLines(entryFile);
  const std::string exec = UnescapeEntryValue(KeyFileValue(lines, "Desktop Entry", "Exec"));
  bool complete = false;
  const std::vector<std::string> words = SplitCommandLine(exec, &complete);
  // The program is named literally, never by a field code.
  if (!complete || words.empty() || words[0].find('%') != std::string::npos) return {};
  std::vector<std::string> argv;
  if (KeyFileValue(lines, "Desktop Entry", "Terminal") == "true") argv = {"x-terminal-emulator", "-e"};
  bool fileGiven = false;
  for (const std::string& word : words) {
    if (word == "%i") {
      const std::string icon = KeyFileValue(lines, "Desktop Entry", "Icon");
      if (!icon.empty()) argv.insert(argv.end(), {"--icon", icon});
      continue;
    }
    if (word == "%F" || word == "%U") {
      argv.push_back(file);
      fileGiven = true;
      continue;
    }
    std::string arg;
    bool drop = false;
    for (size_t i = 0; i < word.size(); ++i) {
      if (word[i] != '%' || i + 1 >= word.size()) {
        arg += word[i];
        continue;
      }
      switch (word[++i]) {
        case '%': arg += '%'; break;
        case 'f':
        case 'u':
          arg += file;
          fileGiven = true;
          break;
        case 'c': arg += KeyFileValue(lines, "Desktop Entry", "Name"); break;
        case 'k': arg += entryFile; break;
        default:
          // Codes of old (%d %D %n %N %v %m) and unknown ones stand for nothing.
          drop = word.size() == 2;
          break;
      }
    }
    if (!drop) argv.push_back(arg);
  }
  if (!fileGiven) argv.push_back(file);
  return argv;
}
