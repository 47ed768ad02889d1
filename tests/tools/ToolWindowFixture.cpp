#include "ToolWindowFixture.h"

#include <filesystem>

#include "core/ProgramForms.h"
#include "core/ProgramGlobals.h"
#include "core/StartUp.h"
#include "core/Unit1.h"
#include "formats/GraphicFormats.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/SysUtils.h"

namespace fs = std::filesystem;

void ToolWindowTest::SetUp() {
  ModalResponder::Reset();
  ModalResponder::SetFailureHook([](const std::string& message) { ADD_FAILURE() << message; });
  InitTranslation(testsupport::ProgramDir() + "/locale");
  UseLanguage("en");
  InitializeGraphicFormats();
  programDir_ = testsupport::TempPath("program") + "/";
  pictures_ = testsupport::TempPath("pictures") + "/";
  fs::create_directories(programDir_);
  fs::create_directories(pictures_);
  Application->Initialize();
  InitProgramLanguageFor(programDir_);
  CreateProgramForms();
  Form1->FProgramDir = programDir_;
  Form1->FAppDir = programDir_;
  Form1->FLastPath = pictures_;
  Form1->FThumbCacheFolder = testsupport::TempPath("Thumbcache") + "/";
  // The picture types, as the first showing of the main window takes them.
  Form1->InitExtensions();
}

void ToolWindowTest::TearDown() {
  EXPECT_EQ(ModalResponder::Pending(), 0) << "scripted modal answers left unused";
  DoneApplication();
  FinalizeGraphicFormats();
  UseLanguage("en");
  FinalizeProgramGlobals();
  ModalResponder::Reset();
}

std::string ToolWindowTest::MakePicture(const std::string& name, int width, int height) {
  const std::string path = name.find('/') == std::string::npos ? pictures_ + name : name;
  auto result = testsupport::Run({"convert", "-seed", std::to_string(seed_++), "-size",
                                  std::to_string(width) + "x" + std::to_string(height), "plasma:", path});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  return path;
}

void ToolWindowTest::ExpectMessage(const std::string& text, int answer, ModalKind kind) {
  ModalResponder::Expect(kind, [text, answer](ModalRequest& r) {
    EXPECT_EQ(r.text, text) << ModalKindName(r.kind);
    return answer;
  });
}

void ToolWindowTest::ListPictures(const std::vector<std::string>& names) {
  Form1->ListBox1->Clear();
  for (const std::string& n : names) Form1->ListBox1->Items()->Add(n);
}
