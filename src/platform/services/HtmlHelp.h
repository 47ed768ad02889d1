#pragma once
// The program's help: one folder of HTML pages per language ("help/en", "help/nl" in the
// program folder), shown in the program's own help window. A help folder holds its pages
// and three files that tie them together:
//   contents.html  the contents page: nested lists of links, the start page of the help;
//   keywords.html  the index: a list of links, one per keyword, sub-keywords nested;
//   contexts.ini   the page of each context number the program asks for, in the section
//                  [Contexts] ("17=card.html").
// Help requests name a topic ("card.html", "/card.html#prefix"), a keyword or a context
// number; the viewer opens the window at that page.
#include <map>
#include <string>
#include <vector>

inline constexpr char kHelpContentsPage[] = "contents.html";
inline constexpr char kHelpIndexPage[] = "keywords.html";
inline constexpr char kHelpContextFile[] = "contexts.ini";

// A folder holding a contents page.
bool IsHtmlHelpFolder(const std::string& folder);
// The name a topic is addressed by inside the help: file + "::" + topic when the topic
// begins with "/", else file + "::/" + topic; an empty topic adds nothing.
std::string HtmlHelpTopicName(const std::string& file, const std::string& topic);
// Splits a topic name into the help folder and the page below it (with its "#anchor");
// a name without "::" names the contents page. The page is "" when it would leave the
// folder (a full path or "..").
void SplitHtmlHelpTopicName(const std::string& name, std::string& folder, std::string& page);

// One link of the contents page or of the index: its text, its target (relative to the
// help folder, with an anchor when it has one) and how deep its list is nested (0: top).
struct THelpLink {
  std::string Text;
  std::string Target;
  int Level = 0;
};
// The links of the list items of a contents or index page, in their order; empty when the
// page cannot be read. Pages over 1 MiB are not read and at most 5000 links are taken.
std::vector<THelpLink> ReadHelpLinks(const std::string& pageFile);
// The page of each context number in the folder's contexts.ini (empty when missing).
std::map<int, std::string> ReadHelpContexts(const std::string& folder);

// The viewer that every help request of the program goes to. It works on the
// application's help file (Application->HelpFile(): a help folder) and shows the help
// window. The operations that show something answer false when the help file is no
// help folder (nothing is shown then).
class THTMLHelpViewer {
 public:
  std::string GetViewerName() const { return "HTMLHelp Viewer"; }
  // 1 when the help file is a help folder, else 0.
  int UnderstandsKeyword(const std::string& HelpString) const;
  // The keyword itself for a help folder, else nothing.
  std::vector<std::string> GetHelpStrings(const std::string& HelpString) const;
  bool CanShowTableOfContents() const;
  // The contents page with the contents beside it.
  bool ShowTableOfContents();
  // The index entry of the keyword (the first that begins with it, in any letter case,
  // else the first that holds it) and its page; without one the index is shown with the
  // keyword typed in and the index page beside it.
  bool ShowHelp(const std::string& HelpString);
  void NotifyID(int ViewerID) { viewerId_ = ViewerID; }
  int ViewerID() const { return viewerId_; }
  // Closes the help window.
  void SoftShutDown();
  void ShutDown();
  bool UnderstandsTopic(const std::string& Topic) const;
  // The page of HtmlHelpTopicName(help file, Topic).
  bool DisplayTopic(const std::string& Topic);
  bool UnderstandsContext(int ContextID, const std::string& HelpFileName) const;
  // The page that contexts.ini names for the number; the contents page for a number it
  // does not name.
  bool DisplayHelpByContext(int ContextID, const std::string& HelpFileName);

 private:
  int viewerId_ = 0;
};

// The program's one viewer.
THTMLHelpViewer& HtmlHelpViewer();
