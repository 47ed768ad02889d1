#include "SaveImageFixture.h"

#include <filesystem>
#include <sstream>

#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/CheckLst.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/StdCtrls.h"
#include "tools/UnitSaveImage.h"
#include "tools/UnitSaveToFolder.h"

namespace fs = std::filesystem;

void SaveImageTest::SetUp() {
  ToolWindowTest::SetUp();
  output_ = testsupport::TempPath("web") + "/";
  fs::create_directories(output_);
  Form1->FWebFolder = output_;
  Form1->InitExtensions();
  texts_.clear();
}

void SaveImageTest::TearDown() { ToolWindowTest::TearDown(); }

void SaveImageTest::RunWindow(const std::vector<std::string>& names, const std::function<void()>& body,
                              const std::vector<int>& selected) {
  ListPictures(names);
  Form1->ListBox1->SetMultiSelect(true);
  for (int i = 0; i < Form1->ListBox1->Count(); ++i) {
    const bool take = selected.empty() || std::find(selected.begin(), selected.end(), i) != selected.end();
    Form1->ListBox1->SetSelected(i, take);
  }
  Form1->ListBox1->SetItemIndex(selected.empty() ? 0 : selected.front());
  ASSERT_TRUE(FormSaveImage->FillChecklist(false));
  FormSaveImage->FTreeRoot.clear();
  PrepareWindow();
  bool ran = false;
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest&) {
    EXPECT_TRUE(GuiTesting::WaitUntil([] { return FormSaveImage->FPainted; }, 30000)) << "no first paint";
    GuiTesting::ProcessEvents();
    body();
    ran = true;
    FormSaveImage->Zq_Close->Click();
    return mrNone;
  });
  FormSaveImage->ShowModal();
  EXPECT_TRUE(ran);
  EXPECT_FALSE(FormSaveImage->Visible());
}

void SaveImageTest::PrepareWindow() {
  FormSaveImage->FQuietShow = true;
  FormSaveImage->FJpegOut = new TJPEGImage;
  FormSaveImage->FSourceImage = new TImage(nullptr);
  FormSaveImage->FSourceImage->SetAutoSize(true);
  FormSaveImage->ComboBox1->SetItemIndex(Form1->FSmallWidth);
  FormSaveImage->ComboBox2->SetItemIndex(Form1->FSmallCompression);
  FormSaveImage->PanelSettings->SetVisible(Form1->FWebSettings);
  FormSaveImage->Ch_Filter->SetChecked(Form1->FFilter);
  FormSaveImage->ZqOverWriteOrg->SetEnabled(!Form1->TreeView1->Visible());
}

void SaveImageTest::Answer(ModalKind kind, int answer) {
  ModalResponder::Expect(kind, [this, answer](ModalRequest& r) {
    texts_.push_back(r.text);
    return answer;
  });
}

void SaveImageTest::AnswerSaveFolder(const std::string& folder) {
  ModalResponder::Expect(ModalKind::ShowModal, [this, folder](ModalRequest& r) {
    EXPECT_EQ(r.form, SaveToFolderForm);
    texts_.push_back(r.caption);
    SaveToFolderForm->Edit1->SetText(folder);
    SaveToFolderForm->ZqButton2->Click();
    return mrNone;
  });
}

void SaveImageTest::SaveAll(const std::string& folder) {
  AnswerSaveFolder(folder);
  Answer(ModalKind::MessageDlg, mrYes);   // "Save %d files to %s"
  Answer(ModalKind::ShowMessage, mrOk);   // "%d of %d files saved"
  FormSaveImage->Zq_Save->Click();
}

std::string SaveImageTest::Geometry(const std::string& file) {
  auto r = testsupport::Run({"identify", "-format", "%wx%h", file});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return r.out;
}

int SaveImageTest::Quality(const std::string& file) {
  auto r = testsupport::Run({"identify", "-format", "%Q", file});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return std::atoi(r.out.c_str());
}

std::map<std::string, std::string> SaveImageTest::Metadata(const std::string& file) {
  std::map<std::string, std::string> tags;
  auto r = testsupport::Run({"exiftool", "-args", "-a", "-G1", "-n", "-u", file});
  std::istringstream lines(r.out);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    if (line.size() < 2 || line[0] != '-' || eq == std::string::npos) continue;
    const std::string key = line.substr(1, eq - 1), group = key.substr(0, key.find(':'));
    if (group == "File" || group == "System" || group == "Composite" || group == "ExifTool" || group == "JFIF")
      continue;
    tags[key] = line.substr(eq + 1);
  }
  return tags;
}

const std::vector<std::string>& SaveImageTest::ProfileAndXmp() {
  static const std::vector<std::string> tags = {"-ICC_Profile<=/usr/share/color/icc/ghostscript/a98.icc",
                                                "-XMP-dc:Title=Harbour at dawn", "-XMP-dc:Subject=boat"};
  return tags;
}

std::string SaveImageTest::MakeTaggedPicture(const std::string& name, int width, int height,
                                             const std::vector<std::string>& tags) {
  const std::string path = MakePicture(name, width, height);
  std::vector<std::string> cmd{"exiftool", "-q", "-overwrite_original"};
  cmd.insert(cmd.end(), tags.begin(), tags.end());
  cmd.push_back(path);
  auto r = testsupport::Run(cmd);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return path;
}
