// Diversen: the registry routines and running an external program.
#include <cerrno>

#include "core/Diversen.h"
#include "platform/gui/Forms.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

void WriteRegistryValue(HKEY root, const std::string& keyPath, const std::string& valueName, const std::string& value,
                        int dataType) {
  TRegistry registry;
  registry.SetRootKey(root);
  if (!registry.OpenKey(keyPath, true)) throw ERegistryException(_("The configuration registry key could not be opened."));
  if (dataType == 0) {
    switch (registry.GetDataType(valueName)) {
      case rdString:
        dataType = 1;
        break;
      case rdExpandString:
        dataType = 2;
        break;
      case rdInteger:
        dataType = 3;
        break;
      case rdBinary:
        dataType = 4;
        break;
      default:
        break;
    }
  }
  switch (dataType) {
    case 1:
      registry.WriteString(valueName, value);
      break;
    case 2:
      registry.WriteExpandString(valueName, value);
      break;
    case 3:
      registry.WriteInteger(valueName, StrToInt(value));
      break;
    case 4:
      registry.WriteBinaryData(valueName, value.data(), int(value.size()));
      break;
    default:
      throw ERegistryException(_("The configuration registry key could not be written."));
  }
  registry.CloseKey();
}

std::string ReadRegistryString(HKEY root, const std::string& keyPath, const std::string& valueName) {
  TRegistry registry;
  registry.SetRootKey(root);
  try {
    if (!registry.OpenKey(keyPath, true)) return std::string();
    return registry.ReadString(valueName);
  } catch (const Exception&) {
    return std::string();  // a value of another type, or a root that cannot be written
  }
}

uint32_t RunAndWait(const std::string& commandLine, uint16_t timeOut, bool terminate, bool showWindow) {
  bool complete = false;
  std::vector<std::string> argv = SplitCommandLine(commandLine, &complete);
  // A half-quoted command line is refused rather than run with guessed arguments.
  if (argv.empty() || !complete) return EINVAL;
  return RunAndWait(argv, timeOut, terminate, showWindow);
}

uint32_t RunAndWait(const std::vector<std::string>& argv, uint16_t timeOut, bool terminate, bool /*showWindow*/) {
  if (argv.empty()) return EINVAL;
  TProcessResult result = RunProcessAndWait(argv, timeOut, terminate, [] {
    if (Application) Application->ProcessMessages();
  });
  switch (result.Outcome) {
    case TWaitOutcome::StartFailed:
      return uint32_t(result.Error);
    case TWaitOutcome::TimedOut:
      if (!terminate) return 1;
      return result.Terminated ? 2 : 3;
    case TWaitOutcome::Finished:
      break;
  }
  return uint32_t(result.ExitCode);
}
