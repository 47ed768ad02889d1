#pragma once
// The windows the preferences dialog works on (the main window and the two palettes), a
// program folder in the sandbox, and helpers that open the dialog modally with a script.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "controls/ZqButton.h"
#include "core/ProgramGlobals.h"
#include "core/Unit1.h"
#include "core/UnitFadestyles.h"
#include "core/UnitFilterselect.h"
#include "core/UnitSetting.h"
#include "formats/GraphicFormats.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ModalResponder.h"
#include "platform/i18n/GnuGetText.h"

class PreferencesFixture : public testing::Test {
 protected:
  void SetUp() override {
    InitTranslation(testsupport::ProgramDir() + "/locale");
    UseLanguage("en");
    InitializeGraphicFormats();
    Application->Initialize();
    programDir_ = testsupport::TempDir() + "/Kivo2 program";
    std::filesystem::create_directories(programDir_);
    Application->CreateForm(Form1);
    Application->CreateForm(FormSettings);
    Application->CreateForm(FormFilterSelect);
    Application->CreateForm(FormFadestyles);
    // The program's own folder (launcher target, markers) and its writable folder (lists).
    Form1->FProgramDir = programDir_ + "/";
    appDir_ = testsupport::TempDir() + "/data/Kivo2";
    std::filesystem::create_directories(appDir_);
    Form1->FAppDir = appDir_ + "/";
    // The lists the main window's first showing makes.
    for (auto* list : {&Form1->FAssociatedList, &Form1->FKnownExtList, &Form1->FImageExtList})
      if (!*list) *list = std::make_unique<TStringList>();
    UiLanguageCode = "en";
  }
  void TearDown() override {
    DoneApplication();
    FinalizeGraphicFormats();
    UseLanguage("en");
    FinalizeProgramGlobals();
  }

  static TFormSettings* Settings() { return FormSettings; }
  static TPageControl* PageControl() { return FormSettings->PageControl1; }

  // The main window's associated extensions, and its extension lists built from them.
  static void SetAssociated(const std::vector<std::string>& extensions) {
    Form1->FAssociatedList->Clear();
    Form1->FAssociatedList->AddStrings(extensions);
    Form1->InitExtensions();
  }

  // Opens the dialog as the main window does (its list of extensions filled first) and
  // runs body while it is shown; unless body closed it, the Close button closes it.
  static int Show(const std::function<void()>& body) {
    FormSettings->PlaceAssociatedInListbox();
    ModalResponder::Expect(ModalKind::ShowModal, [body](ModalRequest& request) {
      body();
      if (request.form->ModalResult() == mrNone && request.form->Visible()) FormSettings->ZqButton1->Click();
      return int(mrNone);
    });
    const int result = FormSettings->ShowModal();
    EXPECT_EQ(ModalResponder::Pending(), 0) << "unused answers";
    return result;
  }

  // The answer to the next question (a message dialog).
  static void Answer(int result) { ModalResponder::Expect(ModalKind::MessageDlg, result); }

  static std::vector<std::string> TextsOf(ModalKind kind) {
    std::vector<std::string> texts;
    for (const ModalRecord& record : ModalResponder::History())
      if (record.kind == kind) texts.push_back(record.text);
    return texts;
  }
  static std::vector<std::string> QuestionTexts() { return TextsOf(ModalKind::MessageDlg); }
  static std::vector<std::string> MessageTexts() { return TextsOf(ModalKind::ShowMessage); }

  static std::vector<int> VisibleGroups() {
    std::vector<int> groups;
    for (int i = 0; i < TFormSettings::GroupCount; ++i)
      if (FormSettings->GroupBox(i)->Visible()) groups.push_back(i);
    return groups;
  }

  std::string programDir_, appDir_;
};
