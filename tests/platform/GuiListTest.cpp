// List boxes and check list boxes: owner drawing through OnDrawItem, item geometry,
// selection by mouse and keyboard, sorting, and the lines of memos.

#include "GuiTestSupport.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/CheckLst.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/StdCtrls.h"

namespace {

using Lists = GuiTest;

struct ListForm : Host {
  TListBox* list = Add<TListBox>();
  explicit ListForm(int height = 100) : Host(200, 200) {
    list->SetBorderStyle(bsNone);
    list->SetBounds(0, 0, 120, height);
  }
};

TColor Pixel(const TBitmap& b, int x, int y) { return b.PixelColor(x, y) & 0xFFFFFF; }

TEST_F(Lists, OwnerDrawnItemsArePaintedByOnDrawItemInTheirRectangles) {
  ListForm f;
  f.list->SetStyle(lbOwnerDrawFixed);
  f.list->SetItemHeight(20);
  f.list->SetColor(clLime);
  for (const char* s : {"zero", "one", "two"}) f.list->Items()->Add(s);
  f.list->SetItemIndex(1);
  struct Call {
    int index;
    TRect rect;
    bool selected;
  };
  std::vector<Call> calls;
  const TColor colors[] = {clRed, clBlue, clYellow};
  f.list->OnDrawItem = [&](TWinControl* control, int index, const TRect& rect, TOwnerDrawState state) {
    calls.push_back({index, rect, state.Contains(odSelected)});
    TCanvas* c = static_cast<TListBox*>(control)->Canvas();
    // The canvas comes prepared with the highlight colour for a selected item.
    if (state.Contains(odSelected)) {
      EXPECT_EQ(c->Brush().Color(), clHighlight);
    }
    c->Brush().SetColor(state.Contains(odSelected) ? clBlack : colors[index]);
    c->FillRect(rect);
  };
  f.form->Show();
  TBitmap shot;
  ASSERT_TRUE(GuiTesting::Grab(f.list, shot));
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0].rect, Rect(0, 0, 120, 20));
  EXPECT_EQ(calls[2].rect, Rect(0, 40, 120, 60));
  EXPECT_FALSE(calls[0].selected);
  EXPECT_TRUE(calls[1].selected);
  EXPECT_EQ(Pixel(shot, 60, 10), clRed);
  EXPECT_EQ(Pixel(shot, 60, 30), clBlack);
  EXPECT_EQ(Pixel(shot, 5, 45), clYellow);
  EXPECT_EQ(Pixel(shot, 60, 90), clLime);  // below the last item: the list's colour
}

TEST_F(Lists, ItemGeometryFollowsTheTopIndex) {
  ListForm f(60);
  f.list->SetItemHeight(15);
  for (int i = 0; i < 20; ++i) f.list->Items()->Add("item " + std::to_string(i));
  f.form->Show();
  GuiTesting::ProcessEvents();
  EXPECT_EQ(f.list->ItemRect(2), Rect(0, 30, 120, 45));
  EXPECT_EQ(f.list->ItemAtPos(TPoint(5, 31), true), 2);
  EXPECT_EQ(f.list->ItemAtPos(TPoint(5, 59), true), 3);
  f.list->SetTopIndex(5);
  EXPECT_EQ(f.list->TopIndex(), 5);
  EXPECT_EQ(f.list->ItemRect(5), Rect(0, 0, 120, 15));
  EXPECT_EQ(f.list->ItemRect(4).Top, -15);
  EXPECT_EQ(f.list->ItemAtPos(TPoint(5, 1), true), 5);
  // The top index stops where the last item is in view.
  f.list->SetTopIndex(100);
  EXPECT_EQ(f.list->TopIndex(), 16);
  // Beyond the last item: -1, or the count when not Existing.
  f.list->Items()->Clear();
  f.list->Items()->Add("only");
  EXPECT_EQ(f.list->ItemAtPos(TPoint(5, 40), true), -1);
  EXPECT_EQ(f.list->ItemAtPos(TPoint(5, 40), false), 1);
}

TEST_F(Lists, ClicksAndKeysSelectAndFireOnClick) {
  ListForm f;
  f.list->SetItemHeight(16);
  for (const char* s : {"apple", "banana", "cherry", "date"}) f.list->Items()->Add(s);
  f.form->Show();
  std::vector<int> clicks;
  int indexAtMouseDown = -2;
  f.list->OnClick = [&](TObject*) { clicks.push_back(f.list->ItemIndex()); };
  f.list->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { indexAtMouseDown = f.list->ItemIndex(); };
  GuiTesting::Click(f.list, 10, 20);
  EXPECT_EQ(f.list->ItemIndex(), 1);
  EXPECT_EQ(indexAtMouseDown, 1);  // the list selects before OnMouseDown, as the class library's does
  GuiTesting::PressKey(f.list, VK_DOWN);
  GuiTesting::PressKey(f.list, VK_END);
  GuiTesting::PressKey(f.list, VK_HOME);
  GuiTesting::PressKey(f.list, 'C', {}, 'c');
  EXPECT_EQ(clicks, (std::vector<int>{1, 2, 3, 0, 2}));
  // Setting ItemIndex in code runs no event.
  f.list->SetItemIndex(3);
  EXPECT_EQ(clicks.size(), 5u);
  EXPECT_TRUE(f.list->Selected(3));
  EXPECT_EQ(f.list->SelCount(), -1);
}

TEST_F(Lists, OnlyTheItemTheUserMovedToIsHighlighted) {
  ListForm f;
  f.list->SetItemHeight(16);
  for (const char* s : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) f.list->Items()->Add(s);
  // The program selects the first entry when it fills the list.
  f.list->SetItemIndex(0);
  f.form->Show();
  GuiTesting::ProcessEvents();
  TBitmap shot;
  ASSERT_TRUE(GuiTesting::Grab(f.list, shot));
  // Right of the short names every row shows only its background.
  auto row = [&](int index) { return Pixel(shot, 110, f.list->ItemRect(index).Top + 8); };
  const TColor background = row(3), highlight = row(0);
  ASSERT_NE(background, highlight);
  GuiTesting::PressKey(f.list, VK_DOWN);
  GuiTesting::ProcessEvents();
  ASSERT_TRUE(GuiTesting::Grab(f.list, shot));
  EXPECT_EQ(row(0), background);
  EXPECT_EQ(row(1), highlight);
  GuiTesting::Click(f.list, 10, f.list->ItemRect(3).Top + 8);
  GuiTesting::ProcessEvents();
  ASSERT_TRUE(GuiTesting::Grab(f.list, shot));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(row(i), background) << i;
  EXPECT_EQ(row(3), highlight);
  EXPECT_FALSE(f.list->Selected(1));
  EXPECT_TRUE(f.list->Selected(3));
}

TEST_F(Lists, ExtendedMultiSelection) {
  ListForm f;
  f.list->SetItemHeight(10);
  f.list->SetMultiSelect(true);
  for (int i = 0; i < 6; ++i) f.list->Items()->Add(std::to_string(i));
  f.form->Show();
  GuiTesting::Click(f.list, 5, 5);                 // 0
  GuiTesting::Click(f.list, 5, 35, mbLeft, ssShift);  // 0..3
  EXPECT_EQ(f.list->SelCount(), 4);
  GuiTesting::Click(f.list, 5, 15, mbLeft, ssCtrl);   // toggles 1 off
  EXPECT_EQ(f.list->SelCount(), 3);
  EXPECT_FALSE(f.list->Selected(1));
  EXPECT_TRUE(f.list->Selected(3));
  GuiTesting::Click(f.list, 5, 55);  // a plain click selects only 5
  EXPECT_EQ(f.list->SelCount(), 1);
  EXPECT_TRUE(f.list->Selected(5));
  // Deleting items keeps the selection of the others.
  f.list->SetSelected(2, true);
  f.list->Items()->Delete(0);
  EXPECT_TRUE(f.list->Selected(1));
  EXPECT_TRUE(f.list->Selected(4));
  f.list->DeleteSelected();
  EXPECT_EQ(f.list->Items()->Text(), "1\r\n3\r\n4\r\n");
}

TEST_F(Lists, AListThatBecomesMultiSelectExtendsFromItsCurrentItem) {
  ListForm f;
  f.list->SetItemHeight(10);
  for (int i = 0; i < 6; ++i) f.list->Items()->Add(std::to_string(i));
  f.form->Show();
  // Clicked while single-select, then switched: Shift extends from the clicked item.
  GuiTesting::Click(f.list, 5, 15);  // 1
  f.list->SetMultiSelect(true);
  f.list->SetSelected(1, true);
  GuiTesting::Click(f.list, 5, 45, mbLeft, ssShift);  // 1..4
  EXPECT_EQ(f.list->SelCount(), 4);
  EXPECT_FALSE(f.list->Selected(0));
  EXPECT_TRUE(f.list->Selected(4));
  EXPECT_EQ(f.list->ItemIndex(), 4);
  // Set by the program while single-select: Shift extends from that item.
  f.list->SetMultiSelect(false);
  f.list->SetItemIndex(5);
  f.list->SetMultiSelect(true);
  GuiTesting::Click(f.list, 5, 25, mbLeft, ssShift);  // 2..5
  EXPECT_EQ(f.list->SelCount(), 4);
  EXPECT_TRUE(f.list->Selected(2));
  EXPECT_TRUE(f.list->Selected(5));
}

TEST_F(Lists, SortedListsInsertInPlaceWithoutCase) {
  ListForm f;
  f.list->SetSorted(true);
  for (const char* s : {"pear", "Apple", "banana", "apricot"}) f.list->Items()->Add(s);
  EXPECT_EQ(f.list->Items()->Text(), "Apple\r\napricot\r\nbanana\r\npear\r\n");
  f.list->Items()->AddObject("cherry", reinterpret_cast<TObject*>(7));
  EXPECT_EQ(f.list->Items()->IndexOf("CHERRY"), 3);
  EXPECT_EQ(reinterpret_cast<intptr_t>(f.list->Items()->Objects(3)), 7);
}

TEST_F(Lists, ScrollWidthGivesAHorizontalScrollBarAndShiftsTheItems) {
  ListForm f;
  f.list->SetItemHeight(10);
  f.list->Items()->Add("a long path");
  f.list->SetScrollWidth(400);
  f.form->Show();
  GuiTesting::ProcessEvents();
  EXPECT_EQ(f.list->ItemRect(0), Rect(0, 0, 400, 10));
}

TEST_F(Lists, CheckListBoxTogglesOnTheBoxOnly) {
  Host h;
  auto* list = h.Add<TCheckListBox>();
  list->SetBorderStyle(bsNone);
  list->SetBounds(0, 0, 150, 100);
  list->SetItemHeight(18);
  list->Items()->Add("first");
  list->Items()->Add("second");
  h.form->Show();
  int checks = 0;
  list->OnClickCheck = [&](TObject*) { ++checks; };
  GuiTesting::Click(list, 60, 25);  // on the text: selects only
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_FALSE(list->Checked(1));
  GuiTesting::Click(list, 5, 25);  // on the box
  EXPECT_TRUE(list->Checked(1));
  GuiTesting::PressKey(list, VK_SPACE, {}, ' ');
  EXPECT_FALSE(list->Checked(1));
  EXPECT_EQ(checks, 2);
  list->SetChecked(0, true);  // no event from code
  EXPECT_EQ(checks, 2);
  list->SetItemEnabled(0, false);
  list->ToggleByUser(0);
  EXPECT_TRUE(list->Checked(0));
  EXPECT_THROW(list->Checked(5), EListError);
}

TEST_F(Lists, MemoLinesAddWithATrailingLineBreakAsInTheClassLibrary) {
  Host h;
  auto* memo = h.Add<TMemo>();
  EXPECT_EQ(memo->Lines()->Count(), 0);
  memo->Lines()->Add("first");
  memo->Lines()->Add("second");
  EXPECT_EQ(memo->Lines()->Count(), 2);
  EXPECT_EQ(memo->Text(), "first\r\nsecond\r\n");
  memo->Lines()->Insert(1, "middle");
  memo->Lines()->Delete(0);
  EXPECT_EQ(memo->Text(), "middle\r\nsecond\r\n");
  memo->SetText("a\r\nb");
  EXPECT_EQ(memo->Lines()->Count(), 2);
  memo->Lines()->Add("c");
  EXPECT_EQ(memo->Text(), "a\r\nb\r\nc");
  memo->Lines()->Delete(2);
  EXPECT_EQ(memo->Lines()->Count(), 2);
  EXPECT_EQ(memo->Lines()->Strings(1), "b");
  memo->Lines()->SetText("x\ny\n");
  EXPECT_EQ(memo->Lines()->Count(), 2);
  int changes = 0;
  memo->OnChange = [&](TObject*) { ++changes; };
  memo->Lines()->Clear();
  EXPECT_GE(changes, 1);
  EXPECT_THROW(memo->Lines()->Strings(0), EStringListError);
}

TEST_F(Lists, ComboBoxItemIndexTextAndEvents) {
  Host h;
  auto* combo = h.Add<TComboBox>();
  combo->SetStyle(csDropDownList);
  combo->Items()->Add("English");
  combo->Items()->Add("Dutch");
  int changes = 0;
  combo->OnChange = [&](TObject*) { ++changes; };
  EXPECT_EQ(combo->ItemIndex(), -1);
  combo->SetItemIndex(1);
  EXPECT_EQ(combo->Text(), "Dutch");
  EXPECT_EQ(changes, 0);  // code runs no event
  combo->SetStyle(csDropDown);
  combo->SetText("Klingon");
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(combo->Text(), "Klingon");
  // A drop-down combo whose items come after its text keeps the text and chooses none.
  auto* language = h.Add<TComboBox>();
  language->SetText("Select a language");
  language->Items()->Add("English");
  language->Items()->Add("Dutch");
  EXPECT_EQ(language->ItemIndex(), -1);
  EXPECT_EQ(language->Text(), "Select a language");
  language->Items()->SetStrings(0, "Engels");
  EXPECT_EQ(language->Text(), "Select a language");
}

TEST_F(Lists, ListViewColumnsRowsAndSorting) {
  Host h;
  auto* view = h.Add<TListView>();
  view->SetMultiSelect(true);
  for (const char* c : {"Path", "File name", "Kb"}) view->Columns()->Add()->SetCaption(c);
  const char* rows[][3] = {{"/b", "x.jpg", "20"}, {"/a", "y.jpg", "3"}, {"/c", "z.jpg", "100"}};
  for (auto& r : rows) {
    TListItem* item = view->Items()->Add();
    item->SetCaption(r[0]);
    item->SubItems()->Add(r[1]);
    item->SubItems()->Add(r[2]);
  }
  TListColumn* clicked = nullptr;
  view->OnColumnClick = [&](TObject*, TListColumn* c) { clicked = c; };
  view->AlphaSort();
  EXPECT_EQ(view->Items()->Item(0)->Caption(), "/a");
  view->CustomSort([](TListItem* a, TListItem* b) {
    return std::stoi(a->SubItems()->Strings(1)) - std::stoi(b->SubItems()->Strings(1));
  });
  EXPECT_EQ(view->Items()->Item(2)->SubItems()->Strings(0), "z.jpg");
  view->Items()->Item(0)->SetSelected(true);
  view->Items()->Item(2)->SetSelected(true);
  EXPECT_EQ(view->SelCount(), 2);
  EXPECT_EQ(view->Selected(), view->Items()->Item(0));
  EXPECT_EQ(clicked, nullptr);
}

TEST_F(Lists, VariableHeightItemsAreMeasuredOnce) {
  ListForm f;
  f.list->SetStyle(lbOwnerDrawVariable);
  std::vector<int> measured;
  f.list->OnMeasureItem = [&](TWinControl*, int index, int& height) {
    measured.push_back(index);
    height = 10 + 5 * index;
  };
  for (int i = 0; i < 4; ++i) f.list->Items()->Add("line " + std::to_string(i));
  EXPECT_EQ(measured, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(f.list->ItemRect(0), Rect(0, 0, 120, 10));
  EXPECT_EQ(f.list->ItemRect(2), Rect(0, 25, 120, 45));
  EXPECT_EQ(f.list->ItemAtPos(TPoint(3, 44), true), 2);
  EXPECT_EQ(f.list->ItemAtPos(TPoint(3, 45), true), 3);
}

TEST_F(Lists, ItemsInColumnsFlowDownThenAcross) {
  ListForm f(60);
  f.list->SetItemHeight(20);
  f.list->SetColumns(2);
  for (int i = 0; i < 7; ++i) f.list->Items()->Add(std::to_string(i));
  f.form->Show();
  GuiTesting::ProcessEvents();
  // Three rows per column, two columns of 60 pixels each.
  EXPECT_EQ(f.list->ItemRect(0), Rect(0, 0, 60, 20));
  EXPECT_EQ(f.list->ItemRect(4), Rect(60, 20, 120, 40));
  EXPECT_EQ(f.list->ItemAtPos(TPoint(70, 45), true), 5);
  EXPECT_EQ(f.list->ItemAtPos(TPoint(5, 45), true), 2);
}

TEST_F(Lists, ListViewSelectionByTheUserIsReported) {
  Host h;
  auto* view = h.Add<TListView>(0, 0, 300, 200);
  view->Columns()->Add()->SetCaption("Name");
  for (const char* n : {"a", "b", "c"}) view->Items()->Add()->SetCaption(n);
  h.form->Show();
  GuiTesting::ProcessEvents();
  std::vector<std::string> events;
  view->OnSelectItem = [&](TObject*, TListItem* item, bool selected) {
    events.push_back(item->Caption() + (selected ? "+" : "-"));
  };
  TListItem* b = view->Items()->Item(1);
  b->MakeVisible();
  TListItem* hit = nullptr;
  int at = 0;
  for (int y = 0; y < 200 && !hit; ++y)
    if (view->GetItemAt(20, y) == b) {
      GuiTesting::Click(view, 20, at = y);
      hit = b;
    }
  ASSERT_NE(hit, nullptr);
  EXPECT_TRUE(b->Selected());
  EXPECT_EQ(view->Selected(), b);
  EXPECT_EQ(events, (std::vector<std::string>{"b+"}));
  // Sorted b first: rows show the new order, selection and keyboard place go with b.
  view->CustomSort([](TListItem* x, TListItem* y) { return int(x->Caption() != "b") - int(y->Caption() != "b"); });
  EXPECT_EQ(view->GetItemAt(20, at)->Caption(), "a");
  GuiTesting::PressKey(view, VK_DOWN);
  EXPECT_EQ(events, (std::vector<std::string>{"b+", "b-", "a+"}));
  view->Items()->Delete(1);
  EXPECT_EQ(view->Items()->Count(), 2);
  EXPECT_EQ(view->SelCount(), 0);
  view->Clear();
  EXPECT_EQ(view->GetItemAt(20, 5), nullptr);
  // Refilled inside an update, as a folder list is: the rows show the new items, only the
  // new items' selection stands, no row is current and the list is at its top.
  for (int i = 0; i < 40; ++i) view->Items()->Add()->SetCaption("old " + std::to_string(i));
  view->Items()->Item(35)->SetSelected(true);
  for (int rows : {50, 3, 60}) {
    view->Items()->Item(view->Items()->Count() - 1)->MakeVisible();
    view->Items()->BeginUpdate();
    view->Items()->Clear();
    for (int i = 0; i < rows; ++i) view->Items()->Add()->SetCaption("new " + std::to_string(i));
    view->Items()->Item(1)->SetSelected(true);
    view->Items()->EndUpdate();
    GuiTesting::ProcessEvents();
    EXPECT_EQ(view->GetItemAt(20, 5)->Caption(), "new 0") << rows;
    EXPECT_EQ(view->GetItemAt(20, at)->Caption(), "new 1") << rows;
    EXPECT_EQ(view->ItemFocused(), nullptr) << rows;
    events.clear();
    GuiTesting::Click(view, 20, 5);
    EXPECT_EQ(events, (std::vector<std::string>{"new 0+"})) << rows;
    EXPECT_EQ(view->SelCount(), 1) << rows;
    EXPECT_EQ(view->Selected()->Caption(), "new 0") << rows;
  }
}

}  // namespace

TEST_F(Lists, AMemoIsModifiedByTheUserNotByTheProgram) {
  Host h;
  auto* memo = h.Add<TMemo>();
  h.form->Show();
  memo->Lines()->SetText("loaded\n");
  EXPECT_FALSE(memo->Modified());
  GuiTesting::TypeText(memo, "x");
  EXPECT_TRUE(memo->Modified());
  memo->SetModified(false);
  EXPECT_FALSE(memo->Modified());
  memo->SetModified(true);
  EXPECT_TRUE(memo->Modified());
  memo->SetText("again");
  EXPECT_FALSE(memo->Modified());
}
