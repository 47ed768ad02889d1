// Alignment, anchors, splitters, scroll boxes, parents and ownership of controls.

#include "GuiTestSupport.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"

namespace {

using Layout = GuiTest;

TPanel* NewPanel(TWinControl* parent, TAlign align, int w, int h, const char* name) {
  auto* p = new TPanel(parent);
  p->SetName(name);
  p->SetParent(parent);
  p->SetBounds(0, 0, w, h);
  p->SetAlign(align);
  return p;
}

TEST_F(Layout, AlignedChildrenFillTheClientAreaInTheClassLibrarysOrder) {
  Host h(400, 300);
  auto& form = h.form;
  // Created in a mixed order: top and bottom come first, then left and right, then client.
  TPanel* client = NewPanel(form.get(), alClient, 10, 10, "Client");
  TPanel* left = NewPanel(form.get(), alLeft, 50, 10, "Left");
  TPanel* top1 = NewPanel(form.get(), alTop, 10, 30, "Top1");
  TPanel* bottom = NewPanel(form.get(), alBottom, 10, 20, "Bottom");
  TPanel* top2 = NewPanel(form.get(), alTop, 10, 25, "Top2");
  TPanel* right = NewPanel(form.get(), alRight, 60, 10, "Right");
  EXPECT_EQ(top1->BoundsRect(), Rect(0, 0, 400, 30));
  EXPECT_EQ(top2->BoundsRect(), Rect(0, 30, 400, 55));
  EXPECT_EQ(bottom->BoundsRect(), Rect(0, 280, 400, 300));
  EXPECT_EQ(left->BoundsRect(), Rect(0, 55, 50, 280));
  EXPECT_EQ(right->BoundsRect(), Rect(340, 55, 400, 280));
  EXPECT_EQ(client->BoundsRect(), Rect(50, 55, 340, 280));

  // A resize lays everything out again.
  form->SetClientWidth(500);
  form->SetClientHeight(200);
  EXPECT_EQ(bottom->BoundsRect(), Rect(0, 180, 500, 200));
  EXPECT_EQ(right->BoundsRect(), Rect(440, 55, 500, 180));
  EXPECT_EQ(client->BoundsRect(), Rect(50, 55, 440, 180));

  // Hiding an aligned control gives its room to the client control.
  top2->Hide();
  EXPECT_EQ(client->BoundsRect(), Rect(50, 30, 440, 180));
  left->SetWidth(80);
  EXPECT_EQ(client->BoundsRect(), Rect(80, 30, 440, 180));
}

TEST_F(Layout, PanelBevelsShrinkTheAreaOfAlignedChildren) {
  Host h(200, 200);
  TPanel* outer = NewPanel(h.form.get(), alClient, 10, 10, "Outer");
  outer->SetBevelOuter(bvRaised);
  outer->SetBevelInner(bvLowered);
  outer->SetBevelWidth(2);
  outer->SetBorderWidth(3);
  TPanel* inner = NewPanel(outer, alClient, 10, 10, "Inner");
  EXPECT_EQ(inner->BoundsRect(), Rect(7, 7, 193, 193));
}

TEST_F(Layout, AnchoredControlsFollowTheParentsSize) {
  Host h(300, 200);
  auto* ok = h.Add<TButton>(210, 160, 80, 25);
  ok->SetAnchors({akRight, akBottom});
  auto* edit = h.Add<TEdit>(10, 10, 280, 21);
  edit->SetAnchors({akLeft, akTop, akRight});
  h.form->SetClientWidth(400);
  h.form->SetClientHeight(260);
  EXPECT_EQ(ok->BoundsRect(), Rect(310, 220, 390, 245));
  EXPECT_EQ(edit->BoundsRect(), Rect(10, 10, 390, 31));
}

TEST_F(Layout, ConstraintsLimitTheSize) {
  Host h;
  auto* p = h.Add<TPanel>();
  p->Constraints()->SetMinWidth(40);
  p->Constraints()->SetMaxHeight(50);
  p->SetBounds(0, 0, 10, 100);
  EXPECT_EQ(p->Width(), 40);
  EXPECT_EQ(p->Height(), 50);
}

TEST_F(Layout, SplitterResizesTheControlItTouches) {
  Host h(400, 200);
  TPanel* tree = NewPanel(h.form.get(), alLeft, 120, 10, "Tree");
  auto* splitter = new TSplitter(h.form.get());
  splitter->SetParent(h.form.get());
  splitter->SetMinSize(30);
  TPanel* view = NewPanel(h.form.get(), alClient, 10, 10, "View");
  ASSERT_EQ(splitter->Left(), 120);
  EXPECT_EQ(splitter->ResizeControl(), tree);
  int moved = 0;
  splitter->OnMoved = [&](TObject*) { ++moved; };

  GuiTesting::MouseDown(splitter, mbLeft, 1, 50);
  GuiTesting::MouseMove(splitter, 41, 50, TShiftState{ssLeft});
  GuiTesting::MouseUp(splitter, mbLeft, 41, 50);
  EXPECT_EQ(tree->Width(), 160);
  EXPECT_EQ(splitter->Left(), 160);
  EXPECT_EQ(view->Left(), 163);
  EXPECT_EQ(moved, 1);

  // Never smaller than MinSize, never so large that the rest gets less than MinSize.
  splitter->SetAutoSnap(false);
  splitter->MoveBy(-1000);
  EXPECT_EQ(tree->Width(), 30);
  splitter->MoveBy(1000);
  EXPECT_EQ(tree->Width(), 400 - 3 - 30);
  // With AutoSnap, reaching the minimum closes the control.
  splitter->SetAutoSnap(true);
  splitter->MoveBy(-1000);
  EXPECT_EQ(tree->Width(), 0);
  EXPECT_EQ(view->Left(), 3);
}

TEST_F(Layout, ScrollBoxScrollsByMovingItsChildren) {
  Host h(300, 300);
  auto* box = h.Add<TScrollBox>(0, 0, 200, 150);
  box->SetBorderStyle(bsNone);
  auto* image = h.Add<TImage>(0, 0, 500, 400, box);
  h.form->Show();
  GuiTesting::ProcessEvents();
  EXPECT_EQ(box->HorzScrollBar()->Range(), 500);
  EXPECT_EQ(box->VertScrollBar()->Range(), 400);
  EXPECT_TRUE(box->HorzScrollBar()->IsScrollBarVisible());
  EXPECT_LT(box->ClientWidth(), 200);
  box->HorzScrollBar()->SetPosition(100);
  box->VertScrollBar()->SetPosition(30);
  GuiTesting::ProcessEvents();
  EXPECT_EQ(image->Left(), -100);
  EXPECT_EQ(image->Top(), -30);
  // The range stays the contents' extent while scrolled.
  EXPECT_EQ(box->HorzScrollBar()->Range(), 500);
  // A picture that fits needs no bars and starts at the origin again.
  box->HorzScrollBar()->SetPosition(0);
  box->VertScrollBar()->SetPosition(0);
  image->SetBounds(10, 10, 50, 50);
  EXPECT_FALSE(box->HorzScrollBar()->IsScrollBarVisible());
  EXPECT_FALSE(box->VertScrollBar()->IsScrollBarVisible());
  EXPECT_EQ(box->ClientWidth(), 200);
}

TEST_F(Layout, ScrollBoxShowsItsColourAroundItsChildren) {
  Host h(300, 200);
  auto* box = h.Add<TScrollBox>();
  box->SetBorderStyle(bsNone);
  box->SetAlign(alClient);
  const TColor moneyGreen = RGB(192, 220, 192);
  box->SetColor(moneyGreen);
  h.Add<TImage>(10, 10, 40, 30, box);
  h.form->Show();
  GuiTesting::ProcessEvents();
  TBitmap shot;
  ASSERT_TRUE(GuiTesting::Grab(box, shot));
  EXPECT_EQ(shot.PixelColor(shot.Width() - 3, shot.Height() - 3) & 0xFFFFFF, moneyGreen);
  EXPECT_EQ(shot.PixelColor(150, 100) & 0xFFFFFF, moneyGreen);
  // A new colour shows at once.
  box->SetColor(clNavy);
  GuiTesting::ProcessEvents();
  ASSERT_TRUE(GuiTesting::Grab(box, shot));
  EXPECT_EQ(shot.PixelColor(150, 100) & 0xFFFFFF, clNavy);
}

TEST_F(Layout, UserScrollingIsReportedAfterTheContentsMoved) {
  struct Box : TScrollBox {
    using TScrollBox::TScrollBox;
    std::vector<int> seen;
    TControl* child = nullptr;
    void DoScroll(TScrollBarKind kind) override { seen.push_back(kind == sbVertical ? child->Top() : -1000); }
  };
  Host h;
  auto* box = h.Add<Box>(0, 0, 100, 100);
  box->SetBorderStyle(bsNone);
  box->VertScrollBar()->SetIncrement(10);
  box->child = h.Add<TPanel>(0, 0, 50, 400, box);
  h.form->Show();
  GuiTesting::ScrollStep(box, true, 2);
  GuiTesting::ProcessEvents();
  EXPECT_EQ(box->seen, (std::vector<int>{-20, -20}));
  EXPECT_EQ(box->VertScrollBar()->Position(), 20);
  // The wheel does not scroll a scroll box by itself.
  GuiTesting::Wheel(box, -120, 10, 10);
  EXPECT_EQ(box->VertScrollBar()->Position(), 20);
}

TEST_F(Layout, ReparentingMovesTheControlBetweenParents) {
  Host h;
  auto& form = h.form;
  TPanel* a = NewPanel(form.get(), alNone, 100, 100, "A");
  TPanel* b = NewPanel(form.get(), alNone, 100, 100, "B");
  auto* label = h.Add<TLabel>(0, 0, -1, -1, a);
  EXPECT_EQ(a->ControlCount(), 1);
  label->SetParent(b);
  EXPECT_EQ(a->ControlCount(), 0);
  ASSERT_EQ(b->ControlCount(), 1);
  EXPECT_EQ(b->Controls(0), label);
  EXPECT_EQ(GetParentForm(label), form.get());
  label->SetParent(nullptr);
  EXPECT_EQ(b->ControlCount(), 0);
  EXPECT_EQ(GetParentForm(label), nullptr);
}

TEST_F(Layout, FreeingAFormFreesItsControlsOnceInAnyOrder) {
  int destroyed = 0;
  struct Counted : TPanel {
    int& n;
    Counted(TComponent* o, int& count) : TPanel(o), n(count) {}
    ~Counted() override { ++n; }
  };
  auto* form = new TForm(nullptr);
  auto* outer = new Counted(form, destroyed);
  outer->SetParent(form);
  auto* inner = new Counted(form, destroyed);
  inner->SetParent(outer);
  // Owned by the form but placed on another form: freed with its owner, not its parent.
  auto other = std::make_unique<TForm>(nullptr);
  auto* away = new Counted(form, destroyed);
  away->SetParent(other.get());
  // A child freed on its own leaves both lists.
  auto* gone = new Counted(form, destroyed);
  gone->SetParent(outer);
  delete gone;
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(outer->ControlCount(), 1);
  EXPECT_EQ(form->ComponentCount(), 3);
  form->Show();
  delete form;
  EXPECT_EQ(destroyed, 4);
  EXPECT_EQ(other->ControlCount(), 0);
  GuiTesting::ProcessEvents();
}

TEST_F(Layout, AControlFreedFromItsOwnClickHandlerIsSafe) {
  Host h;
  auto& form = h.form;
  auto* button = h.Add<TButton>(0, 0, 80, 24);
  bool clicked = false;
  button->OnClick = [&](TObject* sender) {
    clicked = true;
    delete sender;
  };
  form->Show();
  GuiTesting::Click(button, 10, 10);
  EXPECT_TRUE(clicked);
  EXPECT_EQ(form->ControlCount(), 0);
  GuiTesting::ProcessEvents();
}

TEST_F(Layout, ParentFontAndColorFollowTheParentUntilSet) {
  Host h;
  auto* panel = h.Add<TPanel>();
  auto* label = h.Add<TLabel>(0, 0, -1, -1, panel);
  panel->Font()->SetSize(14);
  panel->SetColor(clYellow);
  EXPECT_EQ(label->Font()->Size(), 14);
  EXPECT_EQ(label->Color(), clYellow);
  EXPECT_TRUE(label->ParentFont());
  label->Font()->SetSize(9);
  EXPECT_FALSE(label->ParentFont());
  panel->Font()->SetSize(20);
  EXPECT_EQ(label->Font()->Size(), 9);
  label->SetColor(clRed);
  panel->SetColor(clBlue);
  EXPECT_EQ(label->Color(), clRed);
}

TEST_F(Layout, ClientAreaOfAFormWithAMenuStartsBelowTheMenu) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* menu = new TMainMenu(form.get());
  auto* file = new TMenuItem(form.get());
  file->SetCaption("&File");
  menu->Items()->Add(file);
  form->SetHeight(300);
  form->SetMenu(menu);
  form->Show();
  int withMenu = form->ClientHeight();
  EXPECT_LT(withMenu, 300);
  // Hiding every top-level item hides the bar.
  file->SetVisible(false);
  EXPECT_EQ(form->ClientHeight(), 300);
  TPoint origin = form->ClientOrigin();
  EXPECT_EQ(origin, form->ClientToScreen(TPoint(0, 0)));
}

}  // namespace
