#include "platform/services/HtmlHelp.h"

#include <QString>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextList>

#include <cctype>
#include <string>

#include "platform/gui/ComCtrls.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/HelpWindow.h"

namespace {

constexpr int64_t kMaxPageBytes = int64_t(1) << 20;
constexpr int64_t kMaxContextFileBytes = 64 << 10;
constexpr size_t kMaxLinks = 5000;

std::string ReadBounded(const std::string& file, int64_t maxBytes) {
  try {
    return ReadFileBytes(file, maxBytes);
  } catch (const Exception&) {
    return std::string();
  }
}

// The page part of a topic leaves the folder: a full path or a ".." step.
bool LeavesFolder(const std::string& page) {
  const std::string path = page.substr(0, page.find('#'));
  if (path.empty() || path[0] == '/') return true;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (path.compare(start, end - start, "..") == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

bool IsHtmlHelpFolder(const std::string& folder) {
  return !folder.empty() && FileExists(PathJoin(folder, kHelpContentsPage));
}

std::string HtmlHelpTopicName(const std::string& file, const std::string& topic) {
  if (topic.empty()) return file;
  return file + (topic[0] == '/' ? "::" : "::/") + topic;
}

void SplitHtmlHelpTopicName(const std::string& name, std::string& folder, std::string& page) {
  const size_t mark = name.find("::");
  folder = name.substr(0, mark);
  if (mark == std::string::npos) {
    page = kHelpContentsPage;
    return;
  }
  page = name.substr(mark + 2);
  if (!page.empty() && page[0] == '/') page.erase(0, 1);
  if (page.empty()) page = kHelpContentsPage;
  if (LeavesFolder(page)) page.clear();
}

std::vector<THelpLink> ReadHelpLinks(const std::string& pageFile) {
  std::vector<THelpLink> links;
  const std::string html = ReadBounded(pageFile, kMaxPageBytes);
  if (html.empty()) return links;
  QTextDocument document;
  document.setHtml(QString::fromUtf8(html.data(), int(html.size())));
  for (QTextBlock block = document.begin(); block.isValid() && links.size() < kMaxLinks; block = block.next()) {
    // Only list items are entries; links in the text around the lists are not.
    const QTextList* list = block.textList();
    if (!list) continue;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid() || !fragment.charFormat().isAnchor()) continue;
      const QString href = fragment.charFormat().anchorHref();
      if (href.isEmpty()) continue;
      THelpLink link;
      link.Text = block.text().trimmed().toStdString();
      link.Target = href.toStdString();
      link.Level = std::max(0, list->format().indent() - 1);
      links.push_back(link);
      break;
    }
  }
  return links;
}

std::map<int, std::string> ReadHelpContexts(const std::string& folder) {
  std::map<int, std::string> contexts;
  const std::string text = ReadBounded(PathJoin(folder, kHelpContextFile), kMaxContextFileBytes);
  bool inSection = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      inSection = SameText(line, "[Contexts]");
      continue;
    }
    const size_t equals = line.find('=');
    if (!inSection || equals == std::string::npos) continue;
    const std::string number = Trim(line.substr(0, equals));
    const std::string page = Trim(line.substr(equals + 1));
    if (number.empty() || number.size() > 9 || page.empty() || LeavesFolder(page)) continue;
    bool digits = true;
    for (char c : number) digits = digits && std::isdigit(static_cast<unsigned char>(c));
    if (digits) contexts[std::stoi(number)] = page;
  }
  return contexts;
}

// ===========================================================================
// The viewer
// ===========================================================================
namespace {

std::string HelpFile() { return Application ? Application->HelpFile() : std::string(); }

// The help window on the help folder, or nullptr when the file is no help folder.
THtmlHelpForm* WindowOn(const std::string& folder) {
  if (!IsHtmlHelpFolder(folder)) return nullptr;
  THtmlHelpForm* form = HtmlHelpForm();
  if (form) form->SetHelpFolder(folder);
  return form;
}

}  // namespace

int THTMLHelpViewer::UnderstandsKeyword(const std::string& /*HelpString*/) const {
  return IsHtmlHelpFolder(HelpFile()) ? 1 : 0;
}

std::vector<std::string> THTMLHelpViewer::GetHelpStrings(const std::string& HelpString) const {
  if (!IsHtmlHelpFolder(HelpFile())) return {};
  return {HelpString};
}

bool THTMLHelpViewer::CanShowTableOfContents() const { return IsHtmlHelpFolder(HelpFile()); }

bool THTMLHelpViewer::ShowTableOfContents() {
  THtmlHelpForm* form = WindowOn(HelpFile());
  if (!form) return false;
  form->PageControl1->SetActivePage(form->TabContents);
  return form->ShowPage(kHelpContentsPage);
}

bool THTMLHelpViewer::ShowHelp(const std::string& HelpString) {
  THtmlHelpForm* form = WindowOn(HelpFile());
  if (!form) return false;
  form->PageControl1->SetActivePage(form->TabIndex);
  form->EditKeyword->SetText(HelpString);
  if (form->FindKeyword(HelpString) && form->ShowPage(form->SelectedIndexTarget())) return true;
  return form->ShowPage(kHelpIndexPage);
}

void THTMLHelpViewer::SoftShutDown() {
  if (THtmlHelpForm* form = HtmlHelpForm(false)) form->Close();
}

void THTMLHelpViewer::ShutDown() { SoftShutDown(); }

bool THTMLHelpViewer::UnderstandsTopic(const std::string& /*Topic*/) const { return IsHtmlHelpFolder(HelpFile()); }

bool THTMLHelpViewer::DisplayTopic(const std::string& Topic) {
  std::string folder, page;
  SplitHtmlHelpTopicName(HtmlHelpTopicName(HelpFile(), Topic), folder, page);
  THtmlHelpForm* form = page.empty() ? nullptr : WindowOn(folder);
  return form && form->ShowPage(page);
}

bool THTMLHelpViewer::UnderstandsContext(int /*ContextID*/, const std::string& HelpFileName) const {
  return IsHtmlHelpFolder(HelpFileName);
}

bool THTMLHelpViewer::DisplayHelpByContext(int ContextID, const std::string& HelpFileName) {
  THtmlHelpForm* form = WindowOn(HelpFileName);
  if (!form) return false;
  const std::map<int, std::string> contexts = ReadHelpContexts(HelpFileName);
  const auto found = contexts.find(ContextID);
  return form->ShowPage(found != contexts.end() ? found->second : std::string(kHelpContentsPage));
}

THTMLHelpViewer& HtmlHelpViewer() {
  static THTMLHelpViewer viewer;
  return viewer;
}
