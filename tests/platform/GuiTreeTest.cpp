// Tree views: nodes, absolute indexes, navigation, sorting, deletion, selection and
// expansion events, label editing and hit tests.

#include "GuiTestSupport.h"
#include "platform/gui/ComCtrls.h"

namespace {

using Tree = GuiTest;

struct TreeForm : Host {
  TTreeView* tree = Add<TTreeView>();
  TreeForm() : Host(300, 300) { tree->SetAlign(alClient); }
  // "a(a1(a11) a2) b c" as text in depth-first order.
  std::string Order() const {
    std::string s;
    for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext()) s += n->Text() + " ";
    return s;
  }
};

TEST_F(Tree, AddChildBuildsTheDepthFirstOrderAndAbsoluteIndexes) {
  TreeForm f;
  TTreeNodes* items = f.tree->Items();
  TTreeNode* a = items->Add(nullptr, "a");
  TTreeNode* c = items->Add(a, "c");
  TTreeNode* a2 = items->AddChild(a, "a2");
  TTreeNode* a1 = items->AddChildFirst(a, "a1");
  TTreeNode* a11 = items->AddChild(a1, "a11");
  TTreeNode* b = items->Insert(c, "b");
  EXPECT_EQ(f.Order(), "a a1 a11 a2 b c ");
  EXPECT_EQ(items->Count(), 6);
  EXPECT_EQ(a11->AbsoluteIndex(), 2);
  EXPECT_EQ(b->AbsoluteIndex(), 4);
  EXPECT_EQ(items->Item(3), a2);
  EXPECT_EQ(a11->Level(), 2);
  EXPECT_EQ(a2->Index(), 1);
  EXPECT_EQ(a11->Parent(), a1);
  EXPECT_TRUE(a->HasChildren());
  EXPECT_FALSE(b->HasChildren());
  EXPECT_EQ(a->Count(), 2);
  EXPECT_EQ(a->Item(1), a2);
  EXPECT_EQ(a2->GetPrev(), a11);
  EXPECT_EQ(b->GetPrev(), a2);
  EXPECT_EQ(a->GetPrev(), nullptr);
  EXPECT_EQ(c->GetNext(), nullptr);
  EXPECT_EQ(a1->GetNextSibling(), a2);
  EXPECT_EQ(a2->GetNextSibling(), nullptr);
  EXPECT_EQ(b->GetPrevSibling(), a);
  EXPECT_TRUE(a11->HasAsParent(a));
  EXPECT_THROW(items->Item(6), EListError);
}

TEST_F(Tree, AlphaSortWithoutCaseAndRecursively) {
  TreeForm f;
  TTreeNodes* items = f.tree->Items();
  TTreeNode* root = items->Add(nullptr, "root");
  for (const char* s : {"pear", "Apple", "banana"}) items->AddChild(root, s);
  TTreeNode* banana = root->Item(2);
  for (const char* s : {"z", "b", "B"}) items->AddChild(banana, s);
  root->AlphaSort(false);
  EXPECT_EQ(f.Order(), "root Apple banana z b B pear ");
  root->AlphaSort(true);
  EXPECT_EQ(f.Order(), "root Apple banana b B z pear ");
  EXPECT_EQ(items->Item(5)->Text(), "z");
  // A compare handler replaces the text order.
  f.tree->OnCompare = [](TObject*, TTreeNode* a, TTreeNode* b, int, int& r) {
    r = int(b->Text().size()) - int(a->Text().size());
  };
  root->AlphaSort(false);
  EXPECT_EQ(root->Item(0)->Text(), "banana");
}

TEST_F(Tree, DeleteRemovesABranchAndReportsEveryNode) {
  TreeForm f;
  TTreeNodes* items = f.tree->Items();
  TTreeNode* a = items->Add(nullptr, "a");
  TTreeNode* a1 = items->AddChild(a, "a1");
  items->AddChild(a1, "a11");
  items->AddChild(a, "a2");
  TTreeNode* b = items->Add(nullptr, "b");
  std::vector<std::string> deleted;
  f.tree->OnDeletion = [&](TObject*, TTreeNode* n) { deleted.push_back(n->Text()); };
  a1->Delete();
  EXPECT_EQ(deleted, (std::vector<std::string>{"a11", "a1"}));
  EXPECT_EQ(f.Order(), "a a2 b ");
  EXPECT_EQ(b->AbsoluteIndex(), 2);
  deleted.clear();
  items->Clear();
  EXPECT_EQ(items->Count(), 0);
  EXPECT_EQ(items->GetFirstNode(), nullptr);
  // Clear reports every node too, so that handlers can free the nodes' data.
  EXPECT_EQ(deleted, (std::vector<std::string>{"b", "a2", "a"}));
}

TEST_F(Tree, SortedTreesKeepNewNodesInOrder) {
  TreeForm f;
  f.tree->SetSortType(stText);
  TTreeNodes* items = f.tree->Items();
  TTreeNode* root = items->Add(nullptr, "root");
  for (const char* s : {"Windows", "bin", "Users", "etc"}) items->AddChild(root, s);
  EXPECT_EQ(f.Order(), "root bin etc Users Windows ");
  items->AddChildFirst(root, "zz");  // even a node put first moves to its place
  EXPECT_EQ(root->GetLastChild()->Text(), "zz");
}

TEST_F(Tree, MovingNodesAndCopyingTrees) {
  TreeForm f;
  TTreeNodes* items = f.tree->Items();
  TTreeNode* a = items->Add(nullptr, "a");
  TTreeNode* b = items->Add(nullptr, "b");
  TTreeNode* a1 = items->AddChild(a, "a1");
  items->AddChild(a1, "a11");
  a1->MoveTo(b, TTreeNode::naAddChild);
  EXPECT_EQ(f.Order(), "a b a1 a11 ");
  EXPECT_EQ(a1->Parent(), b);
  EXPECT_EQ(a1->Level(), 1);
  b->MoveTo(a, TTreeNode::naInsert);
  EXPECT_EQ(f.Order(), "b a1 a11 a ");
  a1->MoveTo(a1->getFirstChild(), TTreeNode::naAddChild);  // never into its own branch
  EXPECT_EQ(f.Order(), "b a1 a11 a ");
  a->SetData(reinterpret_cast<void*>(5));
  TreeForm copy;
  copy.tree->Items()->Assign(items);
  EXPECT_EQ(copy.Order(), "b a1 a11 a ");
  EXPECT_EQ(copy.tree->Items()->Item(3)->Data(), reinterpret_cast<void*>(5));
}

TEST_F(Tree, CollapsingCanBeRefused) {
  TreeForm f;
  TTreeNode* n = f.tree->Items()->Add(nullptr, "n");
  f.tree->Items()->AddChild(n, "child");
  n->Expand(false);
  f.tree->OnCollapsing = [](TObject*, TTreeNode*, bool& allow) { allow = false; };
  n->Collapse(false);
  EXPECT_TRUE(n->Expanded());
  f.tree->OnCollapsing = nullptr;
  f.tree->FullCollapse();
  EXPECT_FALSE(n->Expanded());
  f.tree->FullExpand();
  EXPECT_TRUE(n->Expanded());
}

TEST_F(Tree, SelectingAsksOnChangingThenReportsOnChange) {
  TreeForm f;
  TTreeNodes* items = f.tree->Items();
  TTreeNode* a = items->Add(nullptr, "a");
  TTreeNode* b = items->Add(nullptr, "b");
  f.form->Show();
  std::vector<std::string> events;
  bool allow = true;
  f.tree->OnChanging = [&](TObject*, TTreeNode* n, bool& ok) {
    events.push_back("changing " + n->Text());
    ok = allow;
  };
  f.tree->OnChange = [&](TObject*, TTreeNode* n) { events.push_back("change " + (n ? n->Text() : "-")); };
  f.tree->SetSelected(a);
  EXPECT_EQ(f.tree->Selected(), a);
  allow = false;
  b->SetSelected(true);
  EXPECT_EQ(f.tree->Selected(), a);
  EXPECT_TRUE(a->Selected());
  EXPECT_EQ(events, (std::vector<std::string>{"changing a", "change a", "changing b"}));
  // Freeing the selected node moves the selection and reports it.
  allow = true;
  events.clear();
  a->Delete();
  EXPECT_EQ(f.tree->Selected(), b);
  EXPECT_EQ(events, (std::vector<std::string>{"change b"}));
  // Also while the user's move to another node is asked about: once.
  TTreeNode* c = items->Add(nullptr, "c");
  f.tree->OnChanging = [&](TObject*, TTreeNode* n, bool&) {
    events.push_back("changing " + n->Text());
    if (b->Selected()) b->Delete();
  };
  events.clear();
  f.tree->SetFocus();
  GuiTesting::PressKey(f.tree, VK_DOWN);
  EXPECT_EQ(f.tree->Selected(), c);
  EXPECT_EQ(events, (std::vector<std::string>{"changing c", "change c"}));
}

TEST_F(Tree, ExpandingCanFillChildrenLazilyOrBeRefused) {
  TreeForm f;
  TTreeNodes* items = f.tree->Items();
  TTreeNode* folder = items->Add(nullptr, "folder");
  folder->SetHasChildren(true);
  TTreeNode* locked = items->Add(nullptr, "locked");
  locked->SetHasChildren(true);
  EXPECT_TRUE(folder->HasChildren());
  EXPECT_EQ(folder->Count(), 0);
  std::vector<std::string> events;
  f.tree->OnExpanding = [&](TObject*, TTreeNode* n, bool& allow) {
    events.push_back("expanding " + n->Text());
    if (n->Text() == "locked") {
      allow = false;
      return;
    }
    if (n->Count() == 0) items->AddChild(n, "sub");
  };
  f.tree->OnExpanded = [&](TObject*, TTreeNode* n) { events.push_back("expanded " + n->Text()); };
  folder->Expand(false);
  locked->Expand(false);
  EXPECT_TRUE(folder->Expanded());
  EXPECT_FALSE(locked->Expanded());
  EXPECT_EQ(folder->Count(), 1);
  EXPECT_EQ(events, (std::vector<std::string>{"expanding folder", "expanded folder", "expanding locked"}));
  EXPECT_TRUE(folder->Item(0)->IsVisible());
  folder->Collapse(false);
  EXPECT_FALSE(folder->Item(0)->IsVisible());
  folder->Item(0)->MakeVisible();
  EXPECT_TRUE(folder->Expanded());
}

TEST_F(Tree, LabelEditingAsksOnEditingAndTakesTheTextFromOnEdited) {
  TreeForm f;
  TTreeNode* n = f.tree->Items()->Add(nullptr, "old");
  f.form->Show();
  bool allow = false;
  f.tree->OnEditing = [&](TObject*, TTreeNode*, bool& ok) { ok = allow; };
  EXPECT_FALSE(n->EditText());
  EXPECT_FALSE(f.tree->IsEditing());
  allow = true;
  f.tree->OnEdited = [](TObject*, TTreeNode*, std::string& s) { s += "!"; };
  ASSERT_TRUE(n->EditText());
  EXPECT_TRUE(f.tree->IsEditing());
  GuiTesting::PressKey(f.tree, 'A', {ssCtrl});
  GuiTesting::TypeText(f.tree, "new");
  GuiTesting::PressKey(f.tree, VK_RETURN, {}, '\r');
  GuiTesting::ProcessEvents();
  EXPECT_FALSE(f.tree->IsEditing());
  EXPECT_EQ(n->Text(), "new!");
  f.tree->SetReadOnly(true);
  EXPECT_FALSE(n->EditText());
}

TEST_F(Tree, NodeAtAPointAndHitTests) {
  TreeForm f;
  TTreeNode* a = f.tree->Items()->Add(nullptr, "first node");
  TTreeNode* b = f.tree->Items()->Add(nullptr, "second");
  f.tree->Items()->AddChild(b, "child");
  f.form->Show();
  GuiTesting::ProcessEvents();
  TRect ra = a->DisplayRect(true);
  TRect rb = b->DisplayRect(false);
  ASSERT_FALSE(ra.IsEmpty());
  EXPECT_GT(rb.Top, ra.Top);
  EXPECT_EQ(f.tree->GetNodeAt(ra.Left + 2, ra.Top + 2), a);
  EXPECT_EQ(f.tree->GetNodeAt(ra.Left + 2, rb.Top + 2), b);
  EXPECT_EQ(f.tree->GetNodeAt(5, 250), nullptr);
  EXPECT_TRUE(f.tree->GetHitTestInfoAt(ra.Left + 3, ra.Top + 2).Contains(htOnLabel));
  EXPECT_TRUE(f.tree->GetHitTestInfoAt(ra.Left + 3, ra.Top + 2).Contains(htOnItem));
  EXPECT_TRUE(f.tree->GetHitTestInfoAt(ra.Right + 40, ra.Top + 2).Contains(htOnRight));
  EXPECT_TRUE(f.tree->GetHitTestInfoAt(5, 250).Contains(htNowhere));
  TRect tb = b->DisplayRect(true);
  EXPECT_TRUE(f.tree->GetHitTestInfoAt(tb.Left - 5, tb.Top + 2).Contains(htOnButton));
}

}  // namespace

