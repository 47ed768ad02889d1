#pragma once
// The compression center opened as the main window's command opens it, with the runs'
// questions answered from the test, and the checks of its copies with ImageMagick and
// exiftool.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ToolWindowFixture.h"
#include "platform/gui/ModalResponder.h"

class SaveImageTest : public ToolWindowTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The folder the copies go to (the web folder), with a trailing '/'.
  const std::string& Output() const { return output_; }
  // Lists the pictures in the main window (bare names), selects the given ones (all when
  // empty) and shows the window as the main window's "save as JPG" command does; body
  // runs while it shows, after its first paint, then the window is closed.
  void RunWindow(const std::vector<std::string>& names, const std::function<void()>& body,
                 const std::vector<int>& selected = {});
  // What the main window's command does to the filled window before it shows it.
  void PrepareWindow();
  // Answers the next modal call of that kind, keeping its text in Texts().
  void Answer(ModalKind kind, int answer);
  const std::vector<std::string>& Texts() const { return texts_; }
  // The save-folder dialog, answered with Save after typing folder into its field.
  void AnswerSaveFolder(const std::string& folder);
  // Clicks Save and answers the dialog, the confirmation and the summary.
  void SaveAll(const std::string& folder);

  // ImageMagick's reading of a picture: "WxH" and the JPEG quality it estimates.
  static std::string Geometry(const std::string& file);
  static int Quality(const std::string& file);
  // exiftool's metadata of a file (-a -G1 -n) without the groups of the file itself
  // and its pixels (File, System, Composite, ExifTool, JFIF).
  static std::map<std::string, std::string> Metadata(const std::string& file);
  // exiftool's arguments that give a picture a colour profile (Adobe RGB) and an XMP packet.
  static const std::vector<std::string>& ProfileAndXmp();
  // A JPEG of plasma tagged by exiftool with the arguments.
  std::string MakeTaggedPicture(const std::string& name, int width, int height,
                                const std::vector<std::string>& tags);

 private:
  std::string output_;
  std::vector<std::string> texts_;
};
