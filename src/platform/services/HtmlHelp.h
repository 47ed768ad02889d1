#pragma once
// Compiled HTML help (".chm") on Linux: the file is opened in the desktop's CHM viewer
// through xdg-open. The desktop's viewer is asked for by the file's MIME type; where
// none is set up, or the file is missing, the caller is told which of the two it was.
// xdg-open cannot address a topic or a context number inside the file, so every request
// opens the file at its start.
#include <string>

// True for a file whose extension is ".chm", in any letter case.
bool IsHtmlHelpFile(const std::string& file);
// The name a topic is addressed by inside the help file: file + "::" + topic when the
// topic begins with "/", else file + "::/" + topic; an empty topic adds nothing.
std::string HtmlHelpTopicName(const std::string& file, const std::string& topic);
// The desktop entry of the default CHM viewer (xdg-mime query default), "" when none is set.
std::string HtmlHelpViewer();

enum class THelpOutcome { Opened, NoHelpFile, NoViewer };
// Opens a ".chm" help file in the desktop's viewer.
THelpOutcome ShowHtmlHelp(const std::string& file);
