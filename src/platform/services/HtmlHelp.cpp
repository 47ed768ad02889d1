#include "platform/services/HtmlHelp.h"

#include <string>

#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

namespace {
// The MIME type of compiled HTML help and the older name some viewers register.
constexpr const char* kChmTypes[] = {"application/vnd.ms-htmlhelp", "application/x-chm"};
constexpr int kQueryTimeout = 10;
}  // namespace

bool IsHtmlHelpFile(const std::string& file) { return SameText(ExtractFileExt(file), ".chm"); }

std::string HtmlHelpTopicName(const std::string& file, const std::string& topic) {
  if (topic.empty()) return file;
  return file + (topic[0] == '/' ? "::" : "::/") + topic;
}

std::string HtmlHelpViewer() {
  for (const char* type : kChmTypes) {
    std::string out;
    if (!RunProcessOutput({"xdg-mime", "query", "default", type}, kQueryTimeout, out)) continue;
    out = Trim(out);
    if (!out.empty()) return out;
  }
  return std::string();
}

THelpOutcome ShowHtmlHelp(const std::string& file) {
  if (!IsHtmlHelpFile(file) || !FileExists(file)) return THelpOutcome::NoHelpFile;
  if (HtmlHelpViewer().empty()) return THelpOutcome::NoViewer;
  return OpenDocument(file) ? THelpOutcome::Opened : THelpOutcome::NoViewer;
}
