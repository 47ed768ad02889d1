// The user's special folders from the XDG user directories file.
#include <string>

#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"
#include "platform/shell/ShellInternal.h"

using namespace shell_internal;

namespace {

const char* VariableOf(TUserFolder kind) {
  switch (kind) {
    case TUserFolder::Desktop:
      return "XDG_DESKTOP_DIR";
    case TUserFolder::Documents:
      return "XDG_DOCUMENTS_DIR";
    case TUserFolder::Pictures:
      return "XDG_PICTURES_DIR";
  }
  return "XDG_DESKTOP_DIR";
}

// The value of a line VARIABLE="value" or VARIABLE=value as the shell reads it: quotes
// removed, backslash escapes undone, $HOME (or ${HOME}) at the start replaced.
std::string ShellValue(const std::string& raw, const std::string& home) {
  std::string v;
  size_t i = 0;
  if (!raw.empty() && raw[0] == '"') {
    for (i = 1; i < raw.size() && raw[i] != '"'; ++i) {
      if (raw[i] == '\\' && i + 1 < raw.size()) ++i;
      v += raw[i];
    }
  } else if (!raw.empty() && raw[0] == '\'') {
    size_t end = raw.find('\'', 1);
    v = raw.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    return v;  // no expansion inside single quotes
  } else {
    for (i = 0; i < raw.size() && raw[i] != ' ' && raw[i] != '\t' && raw[i] != '#'; ++i) {
      if (raw[i] == '\\' && i + 1 < raw.size()) ++i;
      v += raw[i];
    }
  }
  for (const char* var : {"${HOME}", "$HOME"}) {
    std::string prefix = var;
    if (v.compare(0, prefix.size(), prefix) == 0 && (v.size() == prefix.size() || v[prefix.size()] == '/')) {
      v = home + v.substr(prefix.size());
      break;
    }
  }
  return v;
}

}  // namespace

std::string UserFolder(TUserFolder kind) {
  const std::string home = HomeDir();
  const std::string variable = VariableOf(kind);
  std::string configHome = GetEnvironmentVariable("XDG_CONFIG_HOME");
  if (configHome.empty() || configHome[0] != '/') configHome = PathJoin(home, ".config");

  // The file is sourced by the desktop's scripts: its last assignment wins over the environment.
  bool assigned = false;
  std::string value;
  TStringList lines;
  try {
    lines.LoadFromFile(PathJoin(configHome, "user-dirs.dirs"));
  } catch (const Exception&) {
    lines.Clear();
  }
  for (int i = 0; i < lines.Count(); ++i) {
    std::string line = TrimLeft(lines[i]);
    if (line.rfind("export ", 0) == 0) line = TrimLeft(line.substr(7));
    if (line.size() <= variable.size() || line.compare(0, variable.size(), variable) != 0 ||
        line[variable.size()] != '=')
      continue;
    value = ShellValue(line.substr(variable.size() + 1), home);
    assigned = true;
  }
  if (!assigned) value = GetEnvironmentVariable(variable);
  if (value.empty()) value = kind == TUserFolder::Desktop ? PathJoin(home, "Desktop") : home;
  return value.size() > 1 ? ExcludeTrailingPathDelimiter(value) : value;
}
