// The preferences dialog driven as a user drives it, every modal step answered by the
// modal responder: the option tree, the options that act at once on the main window, the
// associated-extension editor and the three quick configurations.

#include "PreferencesFixture.h"
#include "controls/EventScrollbox.h"
#include "controls/ZqSpeedButton.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/Spin.h"

namespace {

namespace fs = std::filesystem;

using PreferencesTest = PreferencesFixture;

TEST_F(PreferencesTest, ShowingFillsThePagesAndTheTreeShowsOneGroupAtATime) {
  Form1->FVersionText = "2.0.0.1";
  Form1->FSlideDelay = 5;
  Form1->FScreensaver = true;
  Form1->M_Recursive->SetChecked(false);
  UiLanguageCode = "nl";
  testsupport::WriteFile(appDir_ + "/HistoryProgs.LST", "/usr/bin/gimp\n");
  Show([&] {
    EXPECT_EQ(Settings()->Label8->Caption(), "Kivo2 2.0.0.1");
    EXPECT_EQ(Settings()->SpinEdit1->Value(), 5);
    EXPECT_TRUE(Settings()->ChB_Screensaver->Checked());
    EXPECT_FALSE(Settings()->ChB_Recursive->Checked());
    EXPECT_EQ(Settings()->StaticText2->Caption(), "nl");
    EXPECT_TRUE(Settings()->KillHistoryButton->Enabled()) << "the history file is found whatever its case";
    EXPECT_EQ(VisibleGroups(), std::vector<int>{0});
    for (TButton* b : {Settings()->Button3, Settings()->Button4, Settings()->Button5})
      EXPECT_FALSE(b->Enabled()) << b->Name() << " is designed disabled";
    for (int node = Settings()->GroupCount - 1; node >= 0; --node) {
      Settings()->TreeView1->SetSelected(Settings()->TreeView1->Items()->Item(node));
      EXPECT_EQ(VisibleGroups(), std::vector<int>{node});
    }
    Settings()->ChB_Screensaver->SetChecked(false);
  });
  EXPECT_FALSE(Form1->FScreensaver) << "closing hands the screen saver option to the main window";

  // Clearing the history asks first, then deletes the file; the button follows the file.
  Show([&] {
    Answer(mrNo);
    Settings()->KillHistoryButton->Click();
    EXPECT_TRUE(fs::exists(appDir_ + "/HistoryProgs.LST"));
    Answer(mrYes);
    Settings()->KillHistoryButton->Click();
    EXPECT_FALSE(fs::exists(appDir_ + "/HistoryProgs.LST"));
    EXPECT_FALSE(Settings()->KillHistoryButton->Enabled());
  });
  EXPECT_EQ(QuestionTexts(), (std::vector<std::string>{"Clear the last used program history list?",
                                                       "Clear the last used program history list?"}));
}

TEST_F(PreferencesTest, OptionsActAtOnceOnTheMainWindow) {
  Show([&] {
    // Every extra-button box shows or hides its own main-window button and no other.
    const std::pair<TCheckBox*, TControl*> pairs[] = {
        {Settings()->ChB_ShowDelay, Form1->PanelDelayButtons}, {Settings()->Chb_CopyButton, Form1->ZqSpeedButton1},
        {Settings()->ChB_RotateButton, Form1->ZqRotate},       {Settings()->CB_ShowCameraBttn, Form1->Zq_Paperclip},
        {Settings()->ChB_AddImportButton, Form1->ZqImport},    {Settings()->CB_Shotgraph, Form1->Zq_Shotgraph},
        {Settings()->CB_FileSort, Form1->ZqSortmenu},          {Settings()->CB_PrintButton, Form1->ZqPrint}};
    for (const auto& [box, control] : pairs) {
      box->SetChecked(true);
      ASSERT_TRUE(control->Visible()) << box->Name();
    }
    for (const auto& [box, control] : pairs) {
      GuiTesting::Click(box, 4, 4);
      EXPECT_FALSE(box->Checked());
      for (const auto& [other, otherControl] : pairs)
        EXPECT_EQ(otherControl->Visible(), other->Checked()) << box->Name() << " changed " << other->Name();
      box->SetChecked(true);
    }

    Form1->ZqSoundbutton->SetVisible(true);
    GuiTesting::Click(Settings()->ChB_MemoButton, 4, 4);
    EXPECT_TRUE(Settings()->ChB_MemoButton->Checked());
    EXPECT_FALSE(Form1->ZqSoundbutton->Visible()) << "shown again only for the next picture with a memo";

    Settings()->ColorBox1->SetSelected(clRed);
    Settings()->ColorBox1Change(Settings()->ColorBox1);
    EXPECT_EQ(Form1->ScrollBox1->Color(), clRed);
    Settings()->Button2->Click();
    EXPECT_EQ(Settings()->ColorBox1->Selected(), clWindow);
    EXPECT_EQ(Form1->ScrollBox1->Color(), clWindow);

    Settings()->ChB_ListBgColor->SetChecked(true);
    EXPECT_EQ(Form1->FListColorMode, 0);
    Settings()->ChB_ListBgColor->SetChecked(false);
    EXPECT_EQ(Form1->FListColorMode, 1);

    Settings()->SpinEdit1->SetValue(7);
    EXPECT_EQ(Form1->FSlideDelay, 7);
    EXPECT_EQ(Form1->LabelDelay->Caption(), "7");
    Settings()->SpinEdit1->SetValue(150);
    EXPECT_EQ(Form1->FSlideDelay, 99) << "the delay stays within 0 to 99 seconds";

    ModalResponder::Expect(ModalKind::OpenDialog, 1, "/usr/local/bin/my editor");
    Settings()->Button1->Click();
    EXPECT_EQ(Settings()->JPGEdit->Text(), "/usr/local/bin/my editor");

    UiLanguageCode = "en";
    Settings()->ComboBox1->SetItemIndex(1);
    Settings()->ComboBox1->Click();
    EXPECT_EQ(UiLanguageCode, "nl");
    EXPECT_EQ(Settings()->StaticText2->Caption(), "nl");
    Settings()->ComboBox1->SetItemIndex(0);
    Settings()->ComboBox1->Click();
    EXPECT_EQ(UiLanguageCode, "en");
  });
}

TEST_F(PreferencesTest, ExtensionEditorRefusesBadAndKnownExtensions) {
  SetAssociated({".AVI", ".MPG"});
  Show([&] {
    auto add = [&](const std::string& text) {
      Settings()->Edit1->SetText(text);
      Settings()->Button3->Click();
    };
    EXPECT_TRUE(Settings()->ListBox1->Items()->Equals(*Form1->FAssociatedList));
    EXPECT_FALSE(Settings()->Button5->Enabled());
    Settings()->Edit1->SetText("");
    EXPECT_FALSE(Settings()->Button3->Enabled());

    for (const char* refused : {"jpg", ".avi", "a.vi", ".A.VI", "mp.g"}) {
      ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
      add(refused);
    }
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Extension .JPG already used by the image viewer",
                                                        "Allready there", "no dots allowed", "no dots allowed",
                                                        "no dots allowed"}));
    EXPECT_FALSE(Settings()->FAssocChanged);

    // A type no program opens: asked first; No leaves the list as it was.
    Answer(mrNo);
    add("qqz");
    EXPECT_EQ(Settings()->ListBox1->Count(), 2);
    Answer(mrYes);
    Settings()->Edit1->SetText("qqz");
    EXPECT_TRUE(Settings()->Button3->Enabled());
    uint16_t enter = VK_RETURN;
    Settings()->Edit1KeyDown(Settings()->Edit1, enter, TShiftState());
    EXPECT_EQ(Settings()->ListBox1->Items()->ToVector(), (std::vector<std::string>{".AVI", ".MPG", ".QQZ"}));
    EXPECT_EQ(Settings()->StaticText1->Caption(), "...");
    EXPECT_TRUE(Settings()->FAssocChanged);
    EXPECT_TRUE(Settings()->Button5->Enabled());

    Settings()->ListBox1->SetItemIndex(0);
    Settings()->ListBox1->Click();
    EXPECT_TRUE(Settings()->Button4->Enabled());
    Settings()->Button4->Click();
    EXPECT_EQ(Settings()->ListBox1->Items()->ToVector(), (std::vector<std::string>{".MPG", ".QQZ"}));
    EXPECT_FALSE(Settings()->Button4->Enabled());

    Settings()->Button5->Click();
    EXPECT_EQ(Settings()->ListBox1->Items()->ToVector(), (std::vector<std::string>{".AVI", ".MPG"}));
    EXPECT_FALSE(Settings()->FAssocChanged);
  });
  EXPECT_EQ(Form1->FAssociatedList->Count(), 2);
}

TEST_F(PreferencesTest, ChangedExtensionsAreSavedOnlyWhenTheUserSaysSo) {
  SetAssociated({".AVI", ".MOV"});
  auto removeFirst = [&] {
    Settings()->ListBox1->SetItemIndex(0);
    Settings()->ListBox1->Click();
    Settings()->Button4->Click();
  };
  Show([&] {
    removeFirst();
    Answer(mrNo);  // "Associated list changed, save now?"
  });
  EXPECT_EQ(Form1->FAssociatedList->ToVector(), (std::vector<std::string>{".AVI", ".MOV"}));
  EXPECT_EQ(QuestionTexts().back(), "Associated list changed, save now?");

  Show([&] {
    EXPECT_EQ(Settings()->ListBox1->Items()->ToVector(), (std::vector<std::string>{".AVI", ".MOV"}))
        << "the next opening shows the program's list again";
    removeFirst();
    Answer(mrYes);
  });
  EXPECT_EQ(Form1->FAssociatedList->ToVector(), std::vector<std::string>{".MOV"});
  EXPECT_LT(Form1->FKnownExtList->IndexOf(".AVI"), 0) << "the extension lists are rebuilt";
  EXPECT_GE(Form1->FKnownExtList->IndexOf(".MOV"), 0);
  EXPECT_GE(Form1->FKnownExtList->IndexOf(".JPG"), 0);
}

// The three configurations set exactly the values of their table.
TEST_F(PreferencesTest, QuickConfigurationsSetTheirTableAndCloseTheDialog) {
  struct Expected {
    TZqButton* TFormSettings::*button;
    int filter;
    bool smooth, preview;
    int thumbSize;
    bool fading;
    int delay;
    bool cache;
  };
  const Expected table[] = {{&TFormSettings::ZqSlow, 0, false, false, 0, false, 1, false},
                            {&TFormSettings::ZqNormal, 1, true, true, 1, true, 2, true},
                            {&TFormSettings::ZqFast, 6, true, false, 1, true, 2, true}};
  for (const Expected& row : table) {
    // Start from the opposite of every value, so that each one is seen to be set.
    FormFilterSelect->RG_Resample->SetItemIndex(row.filter == 0 ? 6 : 0);
    Form1->Smoothstrech->SetChecked(!row.smooth);
    Form1->M_Preview->SetChecked(!row.preview);
    Form1->FPreview = !row.preview;
    Form1->FThumbSize = 3;
    FormFadestyles->ChB_Fading->SetChecked(!row.fading);
    Form1->FSlideDelay = 9;
    Form1->M_UseTumbCache->SetChecked(!row.cache);
    Form1->M_Recursive->SetChecked(true);
    PageControl()->SetActivePage(Settings()->TabSheet2);
    const int result = Show([&] {
      Settings()->ChB_Recursive->SetChecked(false);
      Answer(mrYes);
      ModalResponder::Expect(ModalKind::ShowMessage, mrOk);
      (Settings()->*row.button)->Click();
    });
    EXPECT_NE(result, mrOk) << "the configuration closes the dialog itself";
    EXPECT_EQ(FormFilterSelect->RG_Resample->ItemIndex(), row.filter);
    EXPECT_EQ(Form1->Smoothstrech->Checked(), row.smooth);
    EXPECT_EQ(Form1->M_Preview->Checked(), row.preview);
    EXPECT_EQ(Form1->FPreview, row.preview);
    EXPECT_EQ(Form1->FThumbSize, row.thumbSize);
    EXPECT_EQ(FormFadestyles->ChB_Fading->Checked(), row.fading);
    EXPECT_EQ(Form1->FSlideDelay, row.delay);
    EXPECT_EQ(Form1->M_UseTumbCache->Checked(), row.cache) << "the table holds, not the step list";
    EXPECT_FALSE(Form1->M_Recursive->Checked());
    EXPECT_EQ(MessageTexts().back(), "Done, you can fine tune by enabeling or disabeling\n"
                                     "items at the program dropdown menu's");
  }

  // No leaves everything as it was.
  Form1->FSlideDelay = 9;
  Form1->M_UseTumbCache->SetChecked(true);
  Show([&] {
    Answer(mrNo);
    Settings()->ZqSlow->Click();
  });
  EXPECT_EQ(Form1->FSlideDelay, 9);
  EXPECT_TRUE(Form1->M_UseTumbCache->Checked());
  EXPECT_EQ(QuestionTexts().back(), "The program wil use a configuration with the fastest settings,\n"
                                    "usualy only needed for slower systems, continue?");
}

TEST_F(PreferencesTest, QuickConfigurationAsksInFrontOfTheStayOnTopDialogAndEscClosesIt) {
  ASSERT_TRUE(Settings()->StaysOnTop());
  TCustomForm* questionParent = nullptr;
  bool questionOnTop = false, dialogShown = false;
  PageControl()->SetActivePage(Settings()->TabSheet2);
  Show([&] {
    ModalResponder::Expect(ModalKind::MessageDlg, [&](ModalRequest& request) {
      questionParent = request.form->PopupParent();
      questionOnTop = request.form->StaysOnTop();
      dialogShown = Settings()->Showing();
      return int(mrNo);
    });
    GuiTesting::Click(Settings()->ZqNormal, 10, 10);
  });
  EXPECT_EQ(questionParent, FormSettings);
  EXPECT_TRUE(questionOnTop) << "a question behind a stay-on-top window cannot be answered";
  EXPECT_TRUE(dialogShown);

  // Esc closes the dialog as its close button does.
  int closedWith = mrNone;
  const int result = Show([&] {
    GuiTesting::Click(Settings()->TreeView1, 10, 10);
    GuiTesting::PressKey(Settings()->TreeView1, VK_ESCAPE);
    closedWith = FormSettings->ModalResult();
  });
  EXPECT_EQ(closedWith, mrOk);
  EXPECT_EQ(result, mrOk);
}

TEST_F(PreferencesTest, TheColourListNamesColoursAndTheChoiceShowsBehindThePictureAtOnce) {
  Show([&] {
    TColorBox* box = Settings()->ColorBox1;
    ASSERT_GE(box->ColorCount(), 16);
    for (int i = 0; i < box->ColorCount(); ++i)
      EXPECT_NE(box->ColorNames(i).rfind("cl", 0), 0u) << box->ColorNames(i) << " is an identifier";
    box->SetSelected(clMoneyGreen);
    EXPECT_EQ(box->ColorNames(box->ItemIndex()), "Money Green");
    box->SetSelected(clWindow);
    EXPECT_EQ(box->ColorNames(box->ItemIndex()), "Window Background");
    // The user steps from yellow to the next colour with the keyboard.
    box->SetSelected(clYellow);
    GuiTesting::Click(Settings()->TreeView1, 10, 30);  // the colour group
    GuiTesting::PressKey(box, VK_DOWN);
    EXPECT_EQ(box->Selected(), clBlue);
    EXPECT_EQ(Form1->ScrollBox1->Color(), clBlue);
    TBitmap shot;
    ASSERT_TRUE(GuiTesting::Grab(Form1->ScrollBox1, shot));
    EXPECT_EQ(shot.PixelColor(shot.Width() / 2, shot.Height() - 3) & 0xFFFFFF, clBlue);
  });
}

}  // namespace
