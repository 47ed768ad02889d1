// Starting a file or program through the desktop, and a file type's registered program.
// On Linux the file types are those of the shared MIME database (mime/globs2 and the
// type descriptions in $XDG_DATA_HOME and $XDG_DATA_DIRS) and a type's program is its
// default desktop entry (mimeapps.list, then the desktop database's mimeinfo.cache).
#include <unistd.h>

#include <fstream>
#include <vector>

#include "core/Unit1.h"
#include "platform/gui/Dialogs.h"
#include "platform/i18n/GnuGetText.h"
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

// The MIME type of an extension (".avi") by the globs of the shared MIME database: the
// "*.ext" glob of the highest weight, matched without case unless it is marked "cs".
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

// The description of a MIME type ("AVI video"): the first <comment> without a language.
std::string MimeComment(const std::string& mimeType) {
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

// The default desktop entry of a MIME type: the user's and the system's mimeapps.list
// (default applications, then added associations), then the desktop database.
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

// A program the shell runs rather than opens: an executable regular file that is a
// binary or a script (so a picture on a stick that marks every file executable is
// still opened as a document).
bool IsProgramFile(const std::string& path) {
  if (access(path.c_str(), X_OK) != 0 || !FileExists(path) || DirectoryExists(path)) return false;
  std::ifstream in(path, std::ios::binary);
  char head[4] = {};
  in.read(head, 4);
  return (in.gcount() >= 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') ||
         (in.gcount() >= 2 && head[0] == '#' && head[1] == '!');
}

bool IsUrl(const std::string& text) { return text.find("://") != std::string::npos || StartsText("mailto:", text); }

// The shell's answer for how the desktop took a document.
int ShellOpenResult(TOpenOutcome outcome) {
  switch (outcome) {
    case TOpenOutcome::Opened: return SE_OK;
    case TOpenOutcome::Missing: return SE_ERR_FNF;
    case TOpenOutcome::NoProgram: return SE_ERR_NOASSOC;
    default: return 0;
  }
}

}  // namespace

int TForm1::RunShellCommand(const std::string& File, const std::string& Parameters, const std::string& Folder,
                            int /*ShowMode*/) {
  if (File.empty()) return SE_ERR_FNF;
  if (IsUrl(File)) return ShellOpenResult(OpenDocumentOutcome(File));
  std::string path = File;
  if (!IsFullPath(path) && !Folder.empty() && FileExists(PathJoin(Folder, path))) path = PathJoin(Folder, path);
  const bool bareProgramName = path.find('/') == std::string::npos;
  if (IsProgramFile(path) || (bareProgramName && !FileExists(path))) {
    std::vector<std::string> argv{IsFullPath(path) || bareProgramName ? path : ExpandFileName(path)};
    for (const std::string& word : SplitCommandLine(Parameters)) argv.push_back(word);
    const std::string folder = DirectoryExists(Folder) ? Folder : std::string();
    return StartDetached(argv, folder) ? SE_OK : SE_ERR_FNF;
  }
  if (!FileExists(path)) return SE_ERR_FNF;
  if (DefaultDesktopEntry(MimeTypeOfExtension(ExtractFileExt(path))).empty()) return SE_ERR_NOASSOC;
  return ShellOpenResult(OpenDocumentOutcome(IsFullPath(path) ? path : ExpandFileName(path)));
}

void TForm1::OpenWithShell(const std::string& File) {
  const int result = RunShellCommand(File, "", ExtractFilePath(File), SW_SHOWNORMAL);
  if (result == SE_ERR_NOASSOC)
    ShowMessage(_("No associated program for this file type."));
  else if (result <= 32)
    ShowMessage(Format(_("The file %s could not be opened."), {File}));
}

void TForm1::GetAssociationInfo(const std::string& Extension, std::string& Info, std::string& ProgramName) {
  Info = "n/a";
  ProgramName = "n/a";
  const std::string type = MimeTypeOfExtension(Extension);
  if (type.empty()) return;
  const std::string entry = DefaultDesktopEntry(type);
  if (entry.empty()) return;
  const std::vector<std::string> lines = ReadLines(entry);
  const std::string command = KeyFileValue(lines, "Desktop Entry", "Exec");
  if (command.empty()) return;
  std::string displayName = MimeComment(type);
  Info = "Extension: " + Extension + "\rTypename: " + type + "\rDisplayname: " + displayName + "\rServer: " + command;
  // The program part of the command: its first word.
  std::vector<std::string> words = SplitCommandLine(command);
  if (!words.empty()) ProgramName = ExtractFileName(words[0]);
}
