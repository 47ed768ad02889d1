// The batch rename options: the names the example shows for prefixes and suffixes with
// and without today's date, the date button, the keys refused while typing, and the
// results the main window reads; a refused input keeps the dialog open.

#include "FileToolsFixture.h"
#include "controls/ZqButton.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"
#include "tools/UnitBatchRename2.h"

namespace {

const char kNotAllowed[] = "/\\:*?\"<>| characters are not allow in file names";

class BatchRenameTest : public FileToolsTest {
 protected:
  TBatchRenameForm* w = nullptr;
  void SetUp() override {
    FileToolsTest::SetUp();
    w = BatchRenameForm;
    w->FRenameMode = 0;
  }
  std::string Example(const std::string& text, bool suffix) {
    w->ChB_Suffix->SetChecked(suffix);
    w->PrefixEdit->SetText(text);
    return w->Label4->Caption();
  }
  // Shows the dialog modally; inside, act runs (it may click and answer messages).
  int Show(const std::function<void()>& act) {
    ModalResponder::Expect(ModalKind::ShowModal, [act](ModalRequest&) {
      act();
      return int(mrNone);
    });
    return w->ShowModal();
  }
};

}  // namespace

TEST_F(BatchRenameTest, TheExampleShowsThePartsAsTheRenameJoinsThem) {
  const std::string today = TodayInNames();
  // A word without the token gets no separator.
  EXPECT_EQ(Example("holiday", false), "holidayIMG00234.JPG");
  EXPECT_EQ(Example("holiday", true), "IMG00234holiday.JPG");
  // The token alone: a blank on the side of the name.
  EXPECT_EQ(Example("[%d]", true), "IMG00234 " + today + ".JPG");
  EXPECT_EQ(Example("[%d]", false), today + " IMG00234.JPG");
  // A hyphen or underscore next to the name already separates.
  EXPECT_EQ(Example("-[%d]", true), "IMG00234-" + today + ".JPG");
  EXPECT_EQ(Example("[%d]_", false), today + "_IMG00234.JPG");
  EXPECT_EQ(Example("trip [%d]", false), "trip " + today + " IMG00234.JPG");
  // Only the first token is today's date.
  EXPECT_EQ(Example("[%d][%d]", false), today + "[%d] IMG00234.JPG");
  // The date never brings a character a file name may not hold.
  EXPECT_EQ(today.find('/'), std::string::npos);
}

TEST_F(BatchRenameTest, TheDateButtonInsertsAtTheCaretAndRemovesAgain) {
  w->PrefixEdit->SetText("ab");
  w->PrefixEdit->SetSelStart(1);
  w->DateButtonClick(nullptr);
  EXPECT_EQ(w->PrefixEdit->Text(), "a[%d]b");
  w->DateButtonClick(nullptr);
  EXPECT_EQ(w->PrefixEdit->Text(), "ab");
  // Characters, not bytes: the caret after "é" is one character in.
  w->PrefixEdit->SetText("\xC3\xA9t\xC3\xA9");
  w->PrefixEdit->SetSelStart(1);
  w->DateButtonClick(nullptr);
  EXPECT_EQ(w->PrefixEdit->Text(), "\xC3\xA9[%d]t\xC3\xA9");
}

TEST_F(BatchRenameTest, TheFieldRefusesPathCharactersAndThePoint) {
  const std::string refused = "\"*./:<>?\\|";
  for (char c : refused + "aZ0 -_[%]") {
    char key = c;
    w->PrefixEditKeyPress(w->PrefixEdit, key);
    EXPECT_EQ(key, refused.find(c) != std::string::npos ? 0 : c) << c;
  }
}

// Accepted input closes the dialog with OK and the texts the rename takes: an empty
// replacement, and today's date alone as a suffix, apart from the name. (Each page's rule
// is run on files from the main window in its own test.)
TEST_F(BatchRenameTest, AcceptedInputClosesWithItsMode) {
  w->Edit1->SetText("IMG_");
  w->Edit2->SetText("");
  EXPECT_EQ(Show([&] {
              w->PageControl1->SetActivePage(w->TabSheet1);
              w->ZqButton1->Click();
            }),
            mrOk);
  EXPECT_EQ(w->FRenameMode, 1);
  EXPECT_EQ(w->FFindText, "IMG_");
  EXPECT_EQ(w->FNewText, "");  // an empty replacement removes the text

  w->ChB_Suffix->SetChecked(true);
  w->PrefixEdit->SetText("[%d]");
  EXPECT_EQ(Show([&] {
              w->PageControl1->SetActivePage(w->TabSheet2);
              w->ZqButton1->Click();
            }),
            mrOk);
  EXPECT_EQ(w->FRenameMode, 3);
  EXPECT_EQ(w->FNewText, " " + TodayInNames());
}

TEST_F(BatchRenameTest, ARefusedInputKeepsTheDialogOpenForCorrection) {
  // Each refusal is said, the dialog stays (no modal result), and the corrected input
  // then closes it with OK.
  struct Case {
    TTabSheet* TBatchRenameForm::*page;
    std::function<void(TBatchRenameForm*)> bad, good;
    std::string message;
  };
  const std::vector<Case> cases = {
      {&TBatchRenameForm::TabSheet1, [](TBatchRenameForm* f) { f->Edit1->SetText("a"), f->Edit2->SetText("x/y"); },
       [](TBatchRenameForm* f) { f->Edit2->SetText("x-y"); }, kNotAllowed},
      // An empty find text would find nothing.
      {&TBatchRenameForm::TabSheet1, [](TBatchRenameForm* f) { f->Edit1->SetText(""); },
       [](TBatchRenameForm* f) { f->Edit1->SetText("a"); }, "Enter the text to find"},
      // A prefix is checked strictly: not blank, no leading blank or point.
      {&TBatchRenameForm::TabSheet2,
       [](TBatchRenameForm* f) { f->ChB_Suffix->SetChecked(false), f->PrefixEdit->SetText(" x"); },
       [](TBatchRenameForm* f) { f->PrefixEdit->SetText("x"); }, kNotAllowed},
      {&TBatchRenameForm::TabSheet2,
       [](TBatchRenameForm* f) { f->ChB_Suffix->SetChecked(false), f->PrefixEdit->SetText("   "); },
       [](TBatchRenameForm* f) { f->PrefixEdit->SetText("[%d]"); }, kNotAllowed},
      {&TBatchRenameForm::TabSheet2,
       [](TBatchRenameForm* f) { f->ChB_Suffix->SetChecked(true), f->PrefixEdit->SetText("a:b"); },
       [](TBatchRenameForm* f) { f->PrefixEdit->SetText("ab"); }, kNotAllowed},
  };
  for (const Case& c : cases) {
    w->FRenameMode = 0;
    EXPECT_EQ(Show([&] {
                w->PageControl1->SetActivePage(w->*c.page);
                c.bad(w);
                ExpectMessage(c.message);
                w->ZqButton1->Click();
                EXPECT_EQ(w->ModalResult(), mrNone) << c.message;
                EXPECT_EQ(w->FRenameMode, 0);
                c.good(w);
                w->ZqButton1->Click();
              }),
              mrOk)
        << c.message;
    EXPECT_NE(w->FRenameMode, 0);
  }
  // Cancel leaves with Cancel.
  EXPECT_EQ(Show([&] { w->ZqButton2->Click(); }), mrCancel);
}
