// The input controls' events as the class library fires them (setting Checked or a
// radio group's ItemIndex clicks, setting a combo's ItemIndex does not), page controls,
// status bars, tool bars, menu items, the colour box, the clipboard and the rich edit.

#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Spin.h"
#include "platform/gui/StdCtrls.h"

namespace {

using Controls = GuiTest;

TEST_F(Controls, CheckBoxClicksWhenItsStateChangesByCodeOrUser) {
  Host h;
  auto* box = h.Add<TCheckBox>(10, 10, 100, 20);
  box->SetCaption("Gray lists");
  std::vector<TCheckBoxState> clicks;
  box->OnClick = [&](TObject*) { clicks.push_back(box->State()); };
  box->SetChecked(true);
  box->SetChecked(true);  // no change, no click
  h.form->Show();
  GuiTesting::Click(box, 5, 10);
  EXPECT_FALSE(box->Checked());
  box->SetAllowGrayed(true);
  GuiTesting::Click(box, 5, 10);
  GuiTesting::Click(box, 5, 10);
  EXPECT_EQ(clicks, (std::vector<TCheckBoxState>{cbChecked, cbUnchecked, cbGrayed, cbChecked}));
}

TEST_F(Controls, RadioGroupItemIndexClicksTheGroup) {
  Host h;
  auto* group = h.Add<TRadioGroup>(0, 0, 150, 120);
  for (const char* s : {"Box", "Triangle", "Lanczos3"}) group->Items()->Add(s);
  std::vector<int> clicks;
  group->OnClick = [&](TObject*) { clicks.push_back(group->ItemIndex()); };
  EXPECT_EQ(group->ItemIndex(), -1);
  group->SetItemIndex(2);  // the settings load sets it this way, and the handler runs
  EXPECT_TRUE(group->Buttons(2)->Checked());
  group->SetItemIndex(7);  // kept in range
  EXPECT_EQ(group->ItemIndex(), 2);
  h.form->Show();
  GuiTesting::Click(group->Buttons(0), 3, 3);
  EXPECT_TRUE(group->Buttons(0)->Checked());
  EXPECT_FALSE(group->Buttons(2)->Checked());
  GuiTesting::Click(group->Buttons(0), 3, 3);  // already checked: no click
  EXPECT_EQ(clicks, (std::vector<int>{2, 0}));
  // Two columns: the second half of the items stands to the right.
  group->Items()->Add("Mitchell");
  group->SetColumns(2);
  EXPECT_EQ(group->Buttons(0)->Left(), group->Buttons(1)->Left());
  EXPECT_GT(group->Buttons(2)->Left(), group->Buttons(0)->Left());
  EXPECT_EQ(group->Buttons(2)->Top(), group->Buttons(0)->Top());
  EXPECT_EQ(group->ItemIndex(), 0);
}

TEST_F(Controls, RadioButtonsOfOneParentExcludeEachOther) {
  Host h;
  auto* a = h.Add<TRadioButton>(0, 0);
  auto* b = h.Add<TRadioButton>(0, 20);
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  a->SetChecked(true);
  b->SetChecked(true);
  EXPECT_FALSE(a->Checked());
  EXPECT_EQ(clicks, 1);
  b->SetChecked(false);
  EXPECT_EQ(clicks, 1);
}

TEST_F(Controls, SpinEditKeepsItsValueInRangeAndReportsChanges) {
  Host h;
  auto* spin = h.Add<TSpinEdit>();
  spin->SetMinValue(0);
  spin->SetMaxValue(99);
  int changes = 0;
  spin->OnChange = [&](TObject*) { ++changes; };
  spin->SetValue(5);
  EXPECT_EQ(spin->Value(), 5);
  EXPECT_EQ(spin->Text(), "5");
  spin->SetValue(150);
  EXPECT_EQ(spin->Value(), 99);
  spin->SetValue(-3);
  EXPECT_EQ(spin->Value(), 0);
  EXPECT_EQ(changes, 3);
  spin->SetText("42");
  EXPECT_EQ(spin->Value(), 42);
  // No limits when MaxValue equals MinValue, as in the class library.
  spin->SetMaxValue(0);
  spin->SetValue(100000);
  EXPECT_EQ(spin->Value(), 100000);
}

TEST_F(Controls, TrackBarAndProgressBar) {
  Host h;
  auto* track = h.Add<TTrackBar>();
  track->SetMin(2);
  track->SetMax(10);
  std::vector<int> changes;
  track->OnChange = [&](TObject*) { changes.push_back(track->Position()); };
  track->SetPosition(5);
  track->SetPosition(50);
  track->SetPosition(10);
  EXPECT_EQ(changes, (std::vector<int>{5, 10}));
  track->SetPosition(3);
  track->SetMin(4);  // raising Min moves the position along
  EXPECT_EQ(changes.back(), 4);
  EXPECT_THROW(track->SetMin(11), EInvalidOperation);
  track->SetPosition(10);
  h.form->Show();
  GuiTesting::PressKey(track, VK_LEFT);
  EXPECT_EQ(track->Position(), 9);

  auto* bar = h.Add<TProgressBar>();
  bar->SetMax(20);
  bar->SetStep(7);
  bar->StepIt();
  bar->StepIt();
  EXPECT_EQ(bar->Position(), 14);
  bar->StepIt();
  EXPECT_EQ(bar->Position(), 1);  // past the end it starts again
  bar->SetPosition(99);
  EXPECT_EQ(bar->Position(), 20);
}

TEST_F(Controls, PageControlPagesAndOnChanging) {
  Host h;
  auto* pages = h.Add<TPageControl>(0, 0, 300, 200);
  auto* settings = new TTabSheet(h.form.get());
  settings->SetCaption("Settings");
  settings->SetPageControl(pages);
  auto* quick = new TTabSheet(h.form.get());
  quick->SetCaption("Quick Configure");
  quick->SetPageControl(pages);
  auto* hidden = new TTabSheet(h.form.get());
  hidden->SetParent(pages);
  hidden->SetTabVisible(false);
  EXPECT_EQ(pages->PageCount(), 3);
  EXPECT_EQ(pages->ActivePage(), settings);
  EXPECT_EQ(quick->PageIndex(), 1);
  EXPECT_EQ(hidden->TabIndex(), -1);
  std::vector<std::string> events;
  bool allow = true;
  pages->OnChanging = [&](TObject*, bool& ok) {
    events.push_back("changing");
    ok = allow;
  };
  pages->OnChange = [&](TObject*) { events.push_back("change " + pages->ActivePage()->Caption()); };
  quick->OnShow = [&](TObject*) { events.push_back("show quick"); };
  pages->SetActivePage(quick);  // code runs only the sheets' show and hide
  pages->SetActivePageIndex(0);
  EXPECT_EQ(events, (std::vector<std::string>{"show quick"}));
  events.clear();
  allow = false;
  EXPECT_FALSE(pages->UserSelectsPage(quick));
  EXPECT_EQ(pages->ActivePage(), settings);
  allow = true;
  EXPECT_TRUE(pages->UserSelectsPage(quick));
  EXPECT_EQ(events, (std::vector<std::string>{"changing", "changing", "show quick", "change Quick Configure"}));
  EXPECT_EQ(pages->FindNextPage(quick, true, true), settings);
  // A sheet's controls lie inside the page.
  auto* label = new TLabel(h.form.get());
  label->SetParent(quick);
  EXPECT_EQ(GetParentForm(label), h.form.get());
  delete quick;
  EXPECT_EQ(pages->PageCount(), 2);
  EXPECT_EQ(pages->ActivePage(), settings);
}

TEST_F(Controls, StatusBarPanelsLieSideBySide) {
  Host h;
  h.form->SetClientWidth(400);
  auto* bar = h.Add<TStatusBar>();
  for (int w : {50, 100, 80}) bar->Panels()->Add()->SetWidth(w);
  bar->Panels()->Items(1)->SetText("4000 x 3000");
  EXPECT_EQ(bar->Align(), alBottom);
  EXPECT_EQ(bar->Width(), 400);
  EXPECT_EQ(bar->PanelRect(0).Left, 0);
  EXPECT_EQ(bar->PanelRect(1).Left, 50);
  EXPECT_EQ(bar->PanelRect(2), Rect(150, 2, 400, bar->ClientHeight()));  // the last one reaches the end
  bar->Panels()->Delete(0);
  EXPECT_EQ(bar->Panels()->Items(0)->Text(), "4000 x 3000");
  EXPECT_EQ(bar->Panels()->Items(0)->Index(), 0);
  bar->SetSimpleText("Busy");
  EXPECT_EQ(bar->SimpleText(), "Busy");
}

TEST_F(Controls, ToolBarLaysOutButtonsAndToggles) {
  Host h;
  auto* bar = h.Add<TToolBar>();
  bar->SetButtonWidth(30);
  std::vector<TToolButton*> buttons;
  for (int i = 0; i < 4; ++i) {
    auto* b = new TToolButton(h.form.get());
    b->SetParent(bar);
    buttons.push_back(b);
  }
  buttons[1]->SetStyle(tbsSeparator);
  bar->AlignControls();
  EXPECT_EQ(buttons[0]->Left(), 0);
  EXPECT_EQ(buttons[1]->Left(), 30);
  EXPECT_EQ(buttons[2]->Left(), 38);
  for (int i : {2, 3}) {
    buttons[size_t(i)]->SetStyle(tbsCheck);
    buttons[size_t(i)]->SetGrouped(true);
  }
  int clicks = 0;
  buttons[2]->OnClick = [&](TObject*) { ++clicks; };
  buttons[2]->Click();
  EXPECT_TRUE(buttons[2]->Down());
  buttons[3]->Click();
  EXPECT_FALSE(buttons[2]->Down());
  EXPECT_TRUE(buttons[3]->Down());
  buttons[3]->Click();  // a grouped button stays down unless AllowAllUp
  EXPECT_TRUE(buttons[3]->Down());
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(bar->ButtonCount(), 4);
}

TEST_F(Controls, MenuItemsCheckGroupAndFind) {
  TPopupMenu menu(nullptr);
  std::vector<TMenuItem*> items;
  for (const char* c : {"&Box", "&Triangle", "-", "&Auto"}) {
    auto* i = new TMenuItem(&menu);
    i->SetCaption(c);
    menu.Items()->Add(i);
    items.push_back(i);
  }
  for (int k : {0, 1}) {
    items[size_t(k)]->SetRadioItem(true);
    items[size_t(k)]->SetGroupIndex(1);
    items[size_t(k)]->SetAutoCheck(true);
  }
  items[3]->SetAutoCheck(true);
  int clicks = 0;
  items[3]->OnClick = [&](TObject* s) {
    ++clicks;
    EXPECT_TRUE(static_cast<TMenuItem*>(s)->Checked());  // AutoCheck toggles before OnClick
  };
  items[0]->SetChecked(true);
  items[1]->Click();
  EXPECT_FALSE(items[0]->Checked());
  EXPECT_TRUE(items[1]->Checked());
  items[3]->Click();
  EXPECT_EQ(clicks, 1);
  items[3]->SetEnabled(false);
  items[3]->Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(items[2]->IsLine());
  EXPECT_EQ(menu.Items()->Find("triangle"), items[1]);
  EXPECT_EQ(menu.Items()->IndexOf(items[3]), 3);
  EXPECT_EQ(StripHotkey("Fish && &Chips"), "Fish & Chips");
  auto* sub = new TMenuItem(&menu);
  sub->SetCaption("Sub");
  items[1]->Add(sub);
  EXPECT_EQ(sub->GetParentMenu(), &menu);
  EXPECT_THROW(items[0]->Add(sub), EMenuError);
  menu.Items()->Delete(1);  // frees Triangle and its sub-item
  EXPECT_EQ(menu.Items()->Count(), 3);
  EXPECT_EQ(menu.ComponentCount(), 3);
  menu.Items()->Clear();
  EXPECT_EQ(menu.ComponentCount(), 0);
}

TEST_F(Controls, MenuChangesAreReported) {
  TMainMenu menu(nullptr);
  std::vector<bool> rebuilds;
  menu.OnChange = [&](TObject*, TMenuItem*, bool rebuild) { rebuilds.push_back(rebuild); };
  auto* item = new TMenuItem(&menu);
  menu.Items()->Add(item);
  item->SetCaption("&Edit");
  EXPECT_EQ(rebuilds, (std::vector<bool>{true, false}));
}

TEST_F(Controls, ColorBoxSelectsNamedAndCustomColours) {
  Host h;
  auto* box = h.Add<TColorBox>();
  EXPECT_GE(box->ColorCount(), 16);
  box->SetSelected(clRed);
  EXPECT_EQ(box->Selected(), clRed);
  EXPECT_EQ(box->ColorNames(box->ItemIndex()), "clRed");
  box->SetSelected(RGB(1, 2, 3));  // not listed: kept, nothing chosen
  EXPECT_EQ(box->ItemIndex(), -1);
  EXPECT_EQ(box->Selected(), RGB(1, 2, 3));
  box->SetStyle({cbStandardColors, cbCustomColor, cbPrettyNames});
  box->SetSelected(RGB(1, 2, 3));
  EXPECT_EQ(box->ItemIndex(), 0);
  EXPECT_EQ(box->Colors(0), RGB(1, 2, 3));
  EXPECT_EQ(box->ColorNames(1), "Black");
  // Choosing "Custom..." asks the colour dialog.
  ModalResponder::Expect(ModalKind::ColorDialog, [](ModalRequest& r) {
    *r.color = clTeal;
    return 1;
  });
  int changes = 0;
  box->OnChange = [&](TObject*) { ++changes; };
  box->SetItemIndex(0);
  box->Select();
  EXPECT_EQ(box->Selected(), clTeal);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(ColorToString(clTeal), "clTeal");
  EXPECT_EQ(ColorToString(RGB(1, 2, 3)), "$00030201");
  EXPECT_EQ(StringToColor("clWindow"), clWindow);
  EXPECT_EQ(StringToColor("$00FF0000"), clBlue);
}

TEST_F(Controls, ClipboardCarriesTextPicturesAndNamedFormats) {
  Clipboard()->SetAsText("C:\\pictures\\a.jpg");
  EXPECT_EQ(Clipboard()->AsText(), "C:\\pictures\\a.jpg");
  EXPECT_TRUE(Clipboard()->HasFormat(CF_TEXT));
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(3, 2);
  b.Canvas().Brush().SetColor(clRed);
  b.Canvas().FillRect(Rect(0, 0, 3, 2));
  b.Canvas().SetPixels(2, 1, clBlue);
  Clipboard()->Assign(&b);
  EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
  TBitmap back;
  ASSERT_TRUE(Clipboard()->GetBitmap(back));
  EXPECT_EQ(back.Width(), 3);
  EXPECT_EQ(back.PixelColor(0, 0) & 0xFFFFFF, clRed);
  EXPECT_EQ(back.PixelColor(2, 1) & 0xFFFFFF, clBlue);
  TClipboardFormatId gif = RegisterClipboardFormat("GIF Image");
  EXPECT_EQ(RegisterClipboardFormat("GIF Image"), gif);
  EXPECT_GE(gif, 0xC000);
  Clipboard()->SetBuffer(gif, {'G', 'I', 'F', 0, 1});
  EXPECT_TRUE(Clipboard()->HasFormat(gif));
  EXPECT_EQ(Clipboard()->GetBuffer(gif), (std::vector<uint8_t>{'G', 'I', 'F', 0, 1}));
  EXPECT_THROW(Clipboard()->SetBuffer(0xC999, {}), EClipboardException);
}

TEST_F(Controls, RichEditLoadsATextFileWithAnyLineEnds) {
  Host h;
  auto* rich = h.Add<TRichEdit>();
  const std::string file = testsupport::TempFile("todo.txt", "first\r\nsecond\nthird\rcaf\xE9");
  rich->Lines()->LoadFromFile(file);
  ASSERT_EQ(rich->Lines()->Count(), 4);
  EXPECT_EQ(rich->Lines()->Strings(2), "third");
  EXPECT_EQ(rich->Lines()->Strings(3), "caf\xC3\xA9");  // Windows-1252 read as such
  rich->Lines()->Clear();
  EXPECT_EQ(rich->Lines()->Count(), 0);
  rich->Lines()->Add("one");
  const std::string out = testsupport::TempPath("out.txt");
  rich->Lines()->SaveToFile(out);
  EXPECT_EQ(testsupport::ReadFile(out), "one\r\n");
}

}  // namespace
