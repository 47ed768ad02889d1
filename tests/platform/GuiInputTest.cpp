// Keyboard and mouse: key preview, menu shortcuts, dialog keys, clicks, mouse moves,
// the wheel, context menus and drag and drop between controls.

#include "GuiTestSupport.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"

namespace {

using Input = GuiTest;

struct FormWithEdit : Host {
  TEdit* edit = Add<TEdit>(10, 10, 200, 21);
  FormWithEdit() : Host(300, 200) {
    form->Show();
    edit->SetFocus();
    GuiTesting::ProcessEvents();
  }
};

TEST_F(Input, KeyPreviewSeesKeysFirstButAnEditorKeepsItsEditingKeys) {
  FormWithEdit f;
  f.form->SetKeyPreview(true);
  std::vector<std::string> order;
  f.form->OnKeyDown = [&](TObject*, uint16_t& key, TShiftState) {
    order.push_back("form " + std::to_string(key));
    if (key == VK_F3) key = 0;  // the form can swallow a key: the edit then never sees it
  };
  f.edit->OnKeyDown = [&](TObject*, uint16_t& key, TShiftState) { order.push_back("edit " + std::to_string(key)); };
  f.form->OnKeyPress = [&](TObject*, char& key) { order.push_back(std::string("form char ") + key); };
  // Letters, punctuation, Delete and the arrows edit the text: the form hears none of them.
  GuiTesting::TypeText(f.edit, "ab");
  GuiTesting::PressKey(f.edit, VK_OEM_MINUS, {}, '-');
  GuiTesting::PressKey(f.edit, VK_LEFT);
  GuiTesting::PressKey(f.edit, VK_DELETE);
  GuiTesting::PressKey(f.edit, VK_F3);
  EXPECT_EQ(f.edit->Text(), "ab");
  EXPECT_EQ(order, (std::vector<std::string>{"edit 65", "edit 66", "edit 189", "edit 37", "edit 46", "form 114"}));
  // Key ups reach the previewing form first too; the press and the release are built at
  // one address with one time, as the window system builds them, and both are handled.
  std::vector<std::string> ups;
  f.form->OnKeyUp = [&](TObject*, uint16_t& key, TShiftState) { ups.push_back("form " + std::to_string(key)); };
  f.edit->OnKeyUp = [&](TObject*, uint16_t& key, TShiftState) { ups.push_back("edit " + std::to_string(key)); };
  GuiTesting::PressKey(f.edit, VK_F2);
  EXPECT_EQ(ups, (std::vector<std::string>{"form 113", "edit 113"}));
  // Without key preview the form hears nothing of keys meant for the edit.
  f.form->SetKeyPreview(false);
  order.clear();
  GuiTesting::PressKey(f.edit, VK_F5);
  ASSERT_EQ(order.size(), 1u);
  EXPECT_EQ(order[0], "edit " + std::to_string(VK_F5));
  // The edit's own handler can replace the character.
  f.edit->OnKeyPress = [](TObject*, char& key) {
    if (key >= 'a' && key <= 'z') key = char(key - 32);
  };
  GuiTesting::TypeText(f.edit, "ok");
  EXPECT_EQ(f.edit->Text(), "abOK");

  // A tree's name edited in place has every key: the previewing form, the tree's own key
  // events (a handler that keeps "-", "." and "," for the window, as the viewer's does) and
  // the shortcuts of the tree's menu hear nothing; the name is what was typed, keypad keys
  // too. Once the editor is closed the keys are the window's again.
  auto* tree = f.Add<TTreeView>(10, 40, 200, 120);
  TTreeNode* node = tree->Items()->Add(nullptr, "old");
  auto* popup = new TPopupMenu(f.form.get());
  auto* item = new TMenuItem(f.form.get());
  item->SetShortCut(ShortCut(VK_F7, {}));
  popup->Items()->Add(item);
  tree->SetPopupMenu(popup);
  int shortcuts = 0;
  item->OnClick = [&](TObject*) { ++shortcuts; };
  tree->OnKeyDown = [&](TObject*, uint16_t& key, TShiftState) { order.push_back("tree " + std::to_string(key)); };
  tree->OnKeyUp = [&](TObject*, uint16_t& key, TShiftState) { ups.push_back("tree " + std::to_string(key)); };
  tree->OnKeyPress = [](TObject*, char& key) {
    if (key == '-' || key == '.' || key == ',' || key == '=') key = 0;
  };
  f.form->SetKeyPreview(true);
  order.clear();
  ups.clear();
  ASSERT_TRUE(node->EditText());
  GuiTesting::PressKey(tree, 'A', {ssCtrl});
  GuiTesting::TypeText(tree, "2024-05-10 St. a=b,c");
  GuiTesting::PressKey(tree, VK_SUBTRACT, {}, '-');
  GuiTesting::PressKey(tree, VK_DECIMAL, {}, '.');
  for (uint16_t key : {VK_F3, VK_F7, VK_DELETE}) GuiTesting::PressKey(tree, key);
  GuiTesting::PressKey(tree, VK_RETURN, {}, '\r');
  GuiTesting::ProcessEvents();
  EXPECT_FALSE(tree->IsEditing());
  EXPECT_EQ(node->Text(), "2024-05-10 St. a=b,c-.");
  ASSERT_TRUE(node->EditText());
  GuiTesting::TypeText(tree, "x");
  GuiTesting::PressKey(tree, VK_ESCAPE);
  GuiTesting::ProcessEvents();
  EXPECT_EQ(node->Text(), "2024-05-10 St. a=b,c-.");
  EXPECT_EQ(order, std::vector<std::string>{});
  EXPECT_EQ(ups, std::vector<std::string>{});
  EXPECT_EQ(shortcuts, 0);
  GuiTesting::PressKey(tree, VK_F7);
  GuiTesting::PressKey(tree, VK_F3);
  EXPECT_EQ(shortcuts, 1);
  EXPECT_EQ(order, std::vector<std::string>{"form 114"});
}

TEST_F(Input, MenuShortcutsFireWhileTheMenuBarIsHidden) {
  FormWithEdit f;
  auto* menu = new TMainMenu(f.form.get());
  auto* file = new TMenuItem(f.form.get());
  file->SetCaption("&File");
  auto* open = new TMenuItem(f.form.get());
  open->SetCaption("&Open...");
  open->SetShortCut(TextToShortCut("Ctrl+O"));
  auto* slide = new TMenuItem(f.form.get());
  slide->SetCaption("Slide show");
  slide->SetShortCut(ShortCut(VK_F8, {}));
  auto* off = new TMenuItem(f.form.get());
  off->SetCaption("Disabled");
  off->SetShortCut(ShortCut('D', {ssCtrl, ssAlt}));
  off->SetEnabled(false);
  file->Add(open);
  file->Add(slide);
  file->Add(off);
  menu->Items()->Add(file);
  f.form->SetMenu(menu);
  int opens = 0, slides = 0, offs = 0;
  open->OnClick = [&](TObject*) { ++opens; };
  slide->OnClick = [&](TObject*) { ++slides; };
  off->OnClick = [&](TObject*) { ++offs; };
  int editKeys = 0;
  f.edit->OnKeyDown = [&](TObject*, uint16_t&, TShiftState) { ++editKeys; };

  GuiTesting::PressKey(f.edit, 'O', {ssCtrl});
  EXPECT_EQ(opens, 1);
  file->SetVisible(false);  // what ToggleMainMenus does in full screen
  GuiTesting::PressKey(f.edit, 'O', {ssCtrl});
  GuiTesting::PressKey(f.edit, VK_F8);
  EXPECT_EQ(opens, 2);
  EXPECT_EQ(slides, 1);
  GuiTesting::PressKey(f.edit, 'D', {ssCtrl, ssAlt});
  EXPECT_EQ(offs, 0);
  // The shortcut keys never reached the edit; the disabled one did.
  EXPECT_EQ(editKeys, 1);
}

TEST_F(Input, ShortcutTextsRoundTrip) {
  EXPECT_EQ(ShortCutToText(ShortCut('O', {ssCtrl})), "Ctrl+O");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_F6, {ssCtrl})), "Ctrl+F6");
  EXPECT_EQ(ShortCutToText(ShortCut('A', {ssCtrl, ssAlt})), "Ctrl+Alt+A");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_DELETE, {ssShift})), "Shift+Del");
  EXPECT_EQ(TextToShortCut("ctrl+alt+a"), ShortCut('A', {ssCtrl, ssAlt}));
  EXPECT_EQ(TextToShortCut("Alt+Ctrl+A"), ShortCut('A', {ssCtrl, ssAlt}));
  EXPECT_EQ(TextToShortCut("F1"), ShortCut(VK_F1, {}));
  EXPECT_EQ(TextToShortCut("Ctrl+\\"), ShortCut(VK_OEM_5, {ssCtrl}));
  EXPECT_EQ(TextToShortCut("Num +"), ShortCut(VK_ADD, {}));
  EXPECT_EQ(TextToShortCut("Ctrl+"), 0);
  EXPECT_EQ(TextToShortCut("Hyper+Q"), 0);
}

TEST_F(Input, EnterAndEscPressTheDefaultAndCancelButtons) {
  FormWithEdit f;
  auto* ok = f.Add<TButton>();
  ok->SetDefault(true);
  auto* cancel = f.Add<TButton>();
  cancel->SetCancel(true);
  std::vector<std::string> clicks;
  ok->OnClick = [&](TObject*) { clicks.push_back("ok"); };
  cancel->OnClick = [&](TObject*) { clicks.push_back("cancel"); };
  GuiTesting::PressKey(f.edit, VK_RETURN, {}, '\r');
  GuiTesting::PressKey(f.edit, VK_ESCAPE, {}, 27);
  EXPECT_EQ(clicks, (std::vector<std::string>{"ok", "cancel"}));

  // A self-painting push button takes part through DialogKey.
  struct PushButton : TCustomControl {
    using TCustomControl::TCustomControl;
    bool DialogKey(uint16_t key, TShiftState) override {
      if (key != VK_RETURN) return false;
      Click();
      return true;
    }
  };
  ok->SetDefault(false);
  auto* own = f.Add<PushButton>();
  own->OnClick = [&](TObject*) { clicks.push_back("own"); };
  GuiTesting::PressKey(f.edit, VK_RETURN, {}, '\r');
  EXPECT_EQ(clicks.back(), "own");
  // A hidden default button does not take the key.
  own->Hide();
  ok->SetDefault(true);
  ok->Hide();
  clicks.clear();
  GuiTesting::PressKey(f.edit, VK_RETURN, {}, '\r');
  EXPECT_TRUE(clicks.empty());
  // Keys typed into a dialog of the toolkit that the form opened stay in that dialog: Esc
  // closes it, not the form, and the form's key preview hears none of them.
  f.form->SetKeyPreview(true);
  f.form->OnKeyDown = [&](TObject*, uint16_t& key, TShiftState) { clicks.push_back("key " + std::to_string(key)); };
  f.form->OnKeyUp = f.form->OnKeyDown;
  bool open = true;
  const std::vector<std::pair<uint16_t, char>> keys{{'Z', 'z'}, {VK_OEM_PERIOD, '.'}, {VK_OEM_MINUS, '-'},
                                                    {VK_DELETE, 0}, {VK_F5, 0},        {VK_ESCAPE, 27}};
  EXPECT_EQ(GuiTesting::KeysInFileDialog(keys, open), "z.-");
  EXPECT_FALSE(open);
  EXPECT_TRUE(clicks.empty());
}

TEST_F(Input, ClickComesBeforeMouseUpAndOnlyWhenReleasedInside) {
  Host h;
  auto* panel = h.Add<TPanel>(10, 10, 100, 50);
  h.form->Show();
  std::vector<std::string> events;
  panel->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
    events.push_back("down " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y) +
                     (s.Contains(ssLeft) ? " L" : ""));
  };
  panel->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { events.push_back("up"); };
  panel->OnClick = [&](TObject*) { events.push_back("click"); };
  panel->OnDblClick = [&](TObject*) { events.push_back("dblclick"); };
  GuiTesting::Click(panel, 20, 30);
  EXPECT_EQ(events, (std::vector<std::string>{"down 0 20,30 L", "click", "up"}));
  events.clear();
  GuiTesting::MouseDown(panel, mbLeft, 5, 5);
  GuiTesting::MouseUp(panel, mbLeft, 150, 5);  // released outside
  EXPECT_EQ(events, (std::vector<std::string>{"down 0 5,5 L", "up"}));
  events.clear();
  GuiTesting::DoubleClick(panel, 5, 5);
  EXPECT_EQ(events, (std::vector<std::string>{"down 0 5,5 L", "click", "up", "dblclick", "down 0 5,5 L", "up"}));
}

TEST_F(Input, MouseMovesArriveWithoutAPressedButton) {
  Host h;
  auto* image = h.Add<TImage>(0, 0, 100, 100);
  h.form->Show();
  std::vector<TPoint> moves;
  TShiftState last;
  image->OnMouseMove = [&](TObject*, TShiftState s, int x, int y) {
    moves.emplace_back(x, y);
    last = s;
  };
  GuiTesting::MouseMove(image, 12, 34);
  GuiTesting::MouseMove(image, 13, 35, {ssCtrl});
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(moves[1], TPoint(13, 35));
  EXPECT_TRUE(last == ssCtrl);
}

TEST_F(Input, TheWheelGoesToTheControlThenItsParentsUntilOneHandlesIt) {
  Host h;
  auto* panel = h.Add<TPanel>(0, 0, 100, 100);
  h.form->Show();
  std::vector<std::string> events;
  h.form->OnMouseWheelDown = [&](TObject*, TShiftState, TPoint, bool& handled) {
    events.push_back("form down");
    handled = true;
  };
  h.form->OnMouseWheelUp = [&](TObject*, TShiftState, TPoint, bool&) { events.push_back("form up"); };
  panel->OnMouseWheel = [&](TObject*, TShiftState, int delta, TPoint, bool&) {
    events.push_back("panel " + std::to_string(delta));
  };
  GuiTesting::Wheel(panel, -120, 10, 10);
  GuiTesting::Wheel(panel, 120, 10, 10);
  EXPECT_EQ(events, (std::vector<std::string>{"panel -120", "form down", "panel 120", "form up"}));
}

TEST_F(Input, RightClickPopsUpThePopupMenuOfTheControlOrItsParent) {
  Host h;
  auto* popup = new TPopupMenu(h.form.get());
  auto* panel = h.Add<TPanel>(0, 0, 100, 100);
  panel->SetPopupMenu(popup);
  auto* label = h.Add<TLabel>(10, 10, 40, 15, panel);
  h.form->Show();
  int popups = 0;
  popup->OnPopup = [&](TObject*) { ++popups; };
  GuiTesting::Click(label, 2, 2, mbRight);
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(popup->PopupComponent(), panel);
  popup->SetAutoPopup(false);
  GuiTesting::Click(panel, 50, 50, mbRight);
  EXPECT_EQ(popups, 1);
  // A handled OnContextPopup keeps the menu shut.
  popup->SetAutoPopup(true);
  panel->OnContextPopup = [](TObject*, TPoint, bool& handled) { handled = true; };
  GuiTesting::Click(panel, 50, 50, mbRight);
  EXPECT_EQ(popups, 1);
  // The menu forgets nothing when freed: the control no longer points at it.
  delete popup;
  EXPECT_EQ(panel->PopupMenu(), nullptr);
}

TEST_F(Input, DragAndDropBetweenControls) {
  Host h(300, 100);
  auto* source = h.Add<TListBox>(0, 0, 100, 100);
  auto* target = h.Add<TPanel>(150, 0, 100, 100);
  h.form->Show();
  GuiTesting::ProcessEvents();
  std::vector<std::string> events;
  source->OnMouseDown = [&](TObject* s, TMouseButton, TShiftState, int, int) {
    static_cast<TControl*>(s)->BeginDrag(false, 10);
  };
  source->OnStartDrag = [&](TObject*, TDragObject*&) { events.push_back("start"); };
  target->OnDragOver = [&](TObject*, TObject* src, int, int, TDragState state, bool& accept) {
    events.push_back(state == dsDragEnter ? "enter" : state == dsDragMove ? "move" : "leave");
    accept = src == source;
  };
  target->OnDragDrop = [&](TObject*, TObject* src, int x, int y) {
    events.push_back("drop " + std::to_string(x) + "," + std::to_string(y) + (src == source ? " from list" : ""));
  };
  source->OnEndDrag = [&](TObject*, TObject* t, int, int) { events.push_back(t == target ? "end on target" : "end"); };

  GuiTesting::MouseDown(source, mbLeft, 10, 10);
  GuiTesting::MouseMove(source, 12, 10, {ssLeft});  // below the threshold
  EXPECT_TRUE(source->Dragging());
  GuiTesting::MouseMove(target, 20, 30, {ssLeft});
  GuiTesting::MouseMove(target, 25, 30, {ssLeft});
  GuiTesting::MouseUp(target, mbLeft, 25, 30);
  EXPECT_FALSE(source->Dragging());
  EXPECT_EQ(events, (std::vector<std::string>{"start", "enter", "move", "drop 25,30 from list", "end on target"}));

  // A press without moving far enough is no drag: OnEndDrag without a target.
  events.clear();
  GuiTesting::MouseDown(source, mbLeft, 10, 10);
  GuiTesting::MouseUp(source, mbLeft, 11, 10);
  EXPECT_EQ(events, (std::vector<std::string>{"start", "end"}));
}

TEST_F(Input, EnterAndExitFollowTheFocus) {
  FormWithEdit f;
  auto* second = f.Add<TEdit>(10, 40, 100, 21);
  std::vector<std::string> events;
  f.edit->OnExit = [&](TObject*) { events.push_back("exit 1"); };
  second->OnEnter = [&](TObject*) { events.push_back("enter 2"); };
  second->SetFocus();
  GuiTesting::ProcessEvents();
  EXPECT_TRUE(second->Focused());
  EXPECT_EQ(events, (std::vector<std::string>{"exit 1", "enter 2"}));
  EXPECT_EQ(f.form->ActiveControl(), second);
  second->Hide();
  EXPECT_THROW(second->SetFocus(), EInvalidOperation);
}

TEST_F(Input, ShortcutsOfTheFocusedControlsPopupMenuFireToo) {
  FormWithEdit f;
  auto* popup = new TPopupMenu(f.form.get());
  auto* copy = new TMenuItem(f.form.get());
  copy->SetCaption("Copy path");
  copy->SetShortCut(ShortCut('P', {ssCtrl, ssShift}));
  popup->Items()->Add(copy);
  int copies = 0;
  copy->OnClick = [&](TObject*) { ++copies; };
  GuiTesting::PressKey(f.edit, 'P', {ssCtrl, ssShift});
  EXPECT_EQ(copies, 0);  // not the edit's menu yet
  f.edit->SetPopupMenu(popup);
  GuiTesting::PressKey(f.edit, 'P', {ssCtrl, ssShift});
  EXPECT_EQ(copies, 1);
}

TEST_F(Input, AutomaticDragModeStartsADragFromAPress) {
  Host h;
  h.form->SetClientWidth(300);
  auto* source = h.Add<TPanel>(0, 0, 100, 100);
  source->SetDragMode(dmAutomatic);
  auto* target = h.Add<TPanel>(150, 0, 100, 100);
  h.form->Show();
  TObject* dropped = nullptr;
  target->OnDragOver = [](TObject*, TObject*, int, int, TDragState, bool& accept) { accept = true; };
  target->OnDragDrop = [&](TObject*, TObject* src, int, int) { dropped = src; };
  // A drag object handed over by OnStartDrag is the source the targets see.
  TDragObject object;
  source->OnStartDrag = [&](TObject*, TDragObject*& drag) { drag = &object; };
  GuiTesting::MouseDown(source, mbLeft, 5, 5);
  GuiTesting::MouseMove(target, 10, 10, {ssLeft});
  GuiTesting::MouseUp(target, mbLeft, 10, 10);
  EXPECT_EQ(dropped, &object);
  // Esc cancels a drag: nothing is dropped.
  dropped = nullptr;
  GuiTesting::MouseDown(source, mbLeft, 5, 5);
  GuiTesting::MouseMove(target, 10, 10, {ssLeft});
  GuiTesting::PressKey(source, VK_ESCAPE);
  GuiTesting::MouseUp(target, mbLeft, 10, 10);
  EXPECT_EQ(dropped, nullptr);
  EXPECT_FALSE(source->Dragging());
}

}  // namespace
