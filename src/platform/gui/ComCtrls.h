#pragma once
// The common controls: tree view, list view (report style), page control with tab
// sheets, status bar, progress bar, track bar, tool bar and the rich edit (plain text).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"

class TImageList;
class TStrings;
class TTreeView;
class TTreeNodes;
class TCustomTreeView;

// ===========================================================================
// Tree view
// ===========================================================================
struct TTreeNodePrivate;

class TTreeNode : public TPersistent {
 public:
  ~TTreeNode() override;
  TTreeNodes* Owner() const { return owner_; }
  TCustomTreeView* TreeView() const;

  std::string Text() const { return text_; }
  void SetText(const std::string& text);
  void* Data() const { return data_; }
  void SetData(void* data) { data_ = data; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index);
  int SelectedIndex() const { return selectedIndex_; }
  void SetSelectedIndex(int index);
  int StateIndex() const { return stateIndex_; }
  void SetStateIndex(int index) { stateIndex_ = index; }

  TTreeNode* Parent() const { return parent_; }
  // 0 for a root node.
  int Level() const;
  // Has children, or was told it has some (an expand button is shown).
  bool HasChildren() const;
  void SetHasChildren(bool v);
  int Count() const { return int(children_.size()); }
  TTreeNode* Item(int index) const;
  TTreeNode* operator[](int index) const { return Item(index); }
  // The index among the siblings.
  int Index() const;
  // The index in the depth-first order of every node of the tree.
  int AbsoluteIndex() const;
  int IndexOf(const TTreeNode* child) const;

  bool Expanded() const;
  void SetExpanded(bool v);
  void Expand(bool Recurse);
  void Collapse(bool Recurse);
  // Shows the node (expands its parents and scrolls to it).
  void MakeVisible();
  // Every parent expanded.
  bool IsVisible() const;
  bool Selected() const;
  void SetSelected(bool v);
  bool Focused() const;
  void SetFocused(bool v);
  // Frees the node and its children.
  void Delete();
  void DeleteChildren();
  // Starts editing the label; false when OnEditing or ReadOnly refused.
  bool EditText();
  void EndEdit(bool Cancel);
  // Sorts the children by their text without case (Recurse: the whole branch).
  bool AlphaSort(bool Recurse = false);
  using TCompare = std::function<int(TTreeNode* a, TTreeNode* b)>;
  bool CustomSort(const TCompare& compare, bool Recurse = false);
  // Moves the node below destination (naAdd: as last sibling of destination, naAddChild:
  // as its last child, naInsert: before it).
  enum TNodeAttachMode { naAdd, naAddFirst, naAddChild, naAddChildFirst, naInsert };
  void MoveTo(TTreeNode* destination, TNodeAttachMode mode);
  // The client rectangle of the node's row (TextOnly: of its label); empty when hidden.
  TRect DisplayRect(bool TextOnly) const;

  // Navigation in depth-first order over all nodes, and among siblings and children.
  TTreeNode* GetNext() const;
  TTreeNode* GetPrev() const;
  TTreeNode* GetNextSibling() const;
  TTreeNode* GetPrevSibling() const;
  TTreeNode* getFirstChild() const { return children_.empty() ? nullptr : children_.front(); }
  TTreeNode* GetFirstChild() const { return getFirstChild(); }
  TTreeNode* GetLastChild() const { return children_.empty() ? nullptr : children_.back(); }
  // The next or previous node that is shown (its parents expanded).
  TTreeNode* GetNextVisible() const;
  TTreeNode* GetPrevVisible() const;
  bool HasAsParent(const TTreeNode* node) const;

  // For the layer.
  TTreeNodePrivate* Private() const { return d_.get(); }

 private:
  friend class TTreeNodes;
  friend class TCustomTreeView;
  friend struct TTreeNodePrivate;
  explicit TTreeNode(TTreeNodes* owner);
  TTreeNodes* owner_;
  TTreeNode* parent_ = nullptr;
  std::vector<TTreeNode*> children_;
  std::string text_;
  void* data_ = nullptr;
  int imageIndex_ = -1, selectedIndex_ = -1, stateIndex_ = -1;
  bool hasChildren_ = false;
  std::unique_ptr<TTreeNodePrivate> d_;
};

class TTreeNodes : public TPersistent {
 public:
  explicit TTreeNodes(TCustomTreeView* owner);
  ~TTreeNodes() override;
  TCustomTreeView* Owner() const { return owner_; }
  // Every node of the tree.
  int Count() const;
  // The node at an absolute (depth-first) index.
  TTreeNode* Item(int index) const;
  TTreeNode* operator[](int index) const { return Item(index); }
  TTreeNode* GetFirstNode() const;
  void Clear();
  void Delete(TTreeNode* node);
  // A new last sibling of sibling (nullptr: a new last root node).
  TTreeNode* Add(TTreeNode* sibling, const std::string& text);
  TTreeNode* AddObject(TTreeNode* sibling, const std::string& text, void* data);
  // A new first sibling of sibling (nullptr: a new first root node).
  TTreeNode* AddFirst(TTreeNode* sibling, const std::string& text);
  TTreeNode* AddChild(TTreeNode* parent, const std::string& text);
  TTreeNode* AddChildObject(TTreeNode* parent, const std::string& text, void* data);
  TTreeNode* AddChildFirst(TTreeNode* parent, const std::string& text);
  // A new node just before sibling (nullptr: a new last root node).
  TTreeNode* Insert(TTreeNode* sibling, const std::string& text);
  TTreeNode* InsertObject(TTreeNode* sibling, const std::string& text, void* data);
  void BeginUpdate();
  void EndUpdate();
  void Assign(TPersistent* source) override;

  // For the layer.
  const std::vector<TTreeNode*>& Roots() const { return roots_; }
  void Invalidate() { flatValid_ = false; }

 private:
  friend class TTreeNode;
  friend class TCustomTreeView;
  TTreeNode* insertNode(TTreeNode* parent, int index, const std::string& text, void* data);
  void removeNode(TTreeNode* node);
  std::vector<TTreeNode*>& siblingsOf(TTreeNode* parent);
  void rebuildFlat() const;
  TCustomTreeView* owner_;
  std::vector<TTreeNode*> roots_;
  mutable std::vector<TTreeNode*> flat_;
  mutable bool flatValid_ = false;
  int updateCount_ = 0;
};

enum TSortType { stNone, stData, stText, stBoth };
enum THitTest {
  htAbove,
  htBelow,
  htNowhere,
  htOnItem,
  htOnButton,
  htOnIcon,
  htOnIndent,
  htOnLabel,
  htOnRight,
  htOnStateIcon,
  htToLeft,
  htToRight
};
using THitTests = TSetOf<THitTest>;
// How a name the user typed into a tree to find a node ended: nothing more typed for the
// toolkit's search interval, or a key that neither continues the name nor moves through the
// tree (teTypingPaused); a key that moves through the tree (arrows, page keys, Home, End) or
// a mouse press in the tree (teInTree); a mouse press elsewhere (teElsewhere).
enum TTypingEnd { teTypingPaused, teInTree, teElsewhere };

using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVChangingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVExpandingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVCollapsingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowCollapse)>;
using TTVExpandedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVEditingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowEdit)>;
using TTVEditedEvent = std::function<void(TObject* Sender, TTreeNode* Node, std::string& S)>;
using TTVCompareEvent = std::function<void(TObject* Sender, TTreeNode* Node1, TTreeNode* Node2, int Data, int& Compare)>;

struct TTreeViewPrivate;

class TCustomTreeView : public TWinControl {
 public:
  explicit TCustomTreeView(TComponent* AOwner);
  ~TCustomTreeView() override;
  TTreeNodes* Items() const;
  TTreeNode* Selected() const;
  // Selecting a node runs OnChanging and OnChange, as the user's selection does.
  void SetSelected(TTreeNode* node);
  TTreeNode* TopItem() const;
  void SetTopItem(TTreeNode* node);
  bool ReadOnly() const;
  void SetReadOnly(bool v);
  bool HideSelection() const;
  void SetHideSelection(bool v);
  bool ShowRoot() const;
  void SetShowRoot(bool v);
  bool ShowLines() const;
  void SetShowLines(bool v);
  bool ShowButtons() const;
  void SetShowButtons(bool v);
  bool RowSelect() const;
  void SetRowSelect(bool v);
  bool HotTrack() const;
  void SetHotTrack(bool v);
  int Indent() const;
  void SetIndent(int v);
  TImageList* Images() const;
  void SetImages(TImageList* images);
  TImageList* StateImages() const;
  void SetStateImages(TImageList* images);
  TSortType SortType() const;
  void SetSortType(TSortType t);
  TBorderStyle BorderStyle() const;
  void SetBorderStyle(TBorderStyle s);
  bool AutoExpand() const;
  void SetAutoExpand(bool v);
  bool IsEditing() const;
  // A mouse button pressed on the tree is still held (its rows must not move meanwhile).
  bool MouseHeld() const;
  // While Change runs: true when the user moved the selection (keys, type-ahead, a
  // click), false when the program did (SetSelected, a removed node).
  bool SelectionChangedByUser() const;
  // The user is typing a node's name, which moves the selection to the node it names: true
  // from each key typed until TypingEnded runs.
  bool TypingName() const;
  // The node at a client position (nullptr when none).
  TTreeNode* GetNodeAt(int X, int Y) const;
  THitTests GetHitTestInfoAt(int X, int Y) const;
  void FullExpand();
  void FullCollapse();
  bool AlphaSort(bool Recurse = true);
  TTreeNode* DropTarget() const;
  void SetDropTarget(TTreeNode* node);
  TCanvas* Canvas() const;

  TTVChangedEvent OnChange;
  TTVChangingEvent OnChanging;
  TTVExpandingEvent OnExpanding;
  TTVExpandedEvent OnExpanded;
  TTVCollapsingEvent OnCollapsing;
  TTVExpandedEvent OnCollapsed;
  TTVEditingEvent OnEditing;
  TTVEditedEvent OnEdited;
  TTVExpandedEvent OnDeletion;
  TTVCompareEvent OnCompare;

  // The class library's overridable steps; the defaults run the events.
  virtual bool CanChange(TTreeNode* Node);
  virtual void Change(TTreeNode* Node);
  virtual bool CanExpand(TTreeNode* Node);
  virtual void Expand(TTreeNode* Node);
  virtual bool CanCollapse(TTreeNode* Node);
  virtual void Collapse(TTreeNode* Node);
  virtual bool CanEdit(TTreeNode* Node);
  virtual void Edit(TTreeNode* Node, std::string& S);
  virtual void Delete(TTreeNode* Node);
  // The rows in view changed: the view scrolled up or down, or its height changed. Runs
  // once the event that moved them is over.
  virtual void VisibleRowsChanged();
  // The user typed a node's name (or its start) and has typed nothing more for the
  // toolkit's search interval, or gives other input (told before that input is handled);
  // a key typed after it starts a new name.
  virtual void TypingEnded(TTypingEnd How);

  // For the layer.
  TTreeViewPrivate* TreePrivate() const { return tree_.get(); }

 protected:
  void FontChanged() override;
  void ColorChanged() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class TTreeNodes;
  friend class TTreeNode;
  std::unique_ptr<TTreeNodes> items_;
  std::unique_ptr<TTreeViewPrivate> tree_;
};

class TTreeView : public TCustomTreeView {
 public:
  explicit TTreeView(TComponent* AOwner) : TCustomTreeView(AOwner) {}
};

// ===========================================================================
// List view (report style: columns, rows of a caption and sub-items)
// ===========================================================================
class TListView;
class TListItems;
struct TListViewPrivate;

class TListColumn : public TPersistent {
 public:
  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& s);
  int Width() const { return width_; }
  void SetWidth(int w);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  int Index() const { return index_; }

 private:
  friend class TListColumns;
  friend class TListView;
  TListView* view_ = nullptr;
  int index_ = 0;
  std::string caption_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
};

class TListColumns {
 public:
  explicit TListColumns(TListView* view) : view_(view) {}
  ~TListColumns();
  TListColumn* Add();
  int Count() const { return int(columns_.size()); }
  TListColumn* Items(int index) const;
  TListColumn* operator[](int index) const { return Items(index); }
  void Clear();

 private:
  TListView* view_;
  std::vector<TListColumn*> columns_;
};

class TListItem : public TPersistent {
 public:
  ~TListItem() override;
  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& s);
  // The texts of the columns after the first.
  TStrings* SubItems() const { return subItems_.get(); }
  void* Data() const { return data_; }
  void SetData(void* d) { data_ = d; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int i);
  int Index() const;
  bool Selected() const;
  void SetSelected(bool v);
  bool Focused() const;
  void SetFocused(bool v);
  void Delete();
  void MakeVisible(bool PartialOK = false);
  TListView* ListView() const { return view_; }

 private:
  friend class TListItems;
  friend class TListView;
  explicit TListItem(TListView* view);
  // Back to the state of a new item, for use again after a Clear.
  void reset();
  TListView* view_;
  std::string caption_;
  std::unique_ptr<TStrings> subItems_;
  void* data_ = nullptr;
  int imageIndex_ = -1;
  bool selected_ = false;
};

class TListItems {
 public:
  explicit TListItems(TListView* view) : view_(view) {}
  ~TListItems();
  TListItem* Add();
  TListItem* Insert(int index);
  int Count() const { return int(items_.size()); }
  TListItem* Item(int index) const;
  TListItem* operator[](int index) const { return Item(index); }
  void Delete(int index);
  void Clear();
  int IndexOf(const TListItem* item) const;
  void BeginUpdate();
  void EndUpdate();

 private:
  friend class TListView;
  friend class TListItem;
  TListView* view_;
  std::vector<TListItem*> items_;
  // Items a Clear let go, made new again by the next Adds: a refill of a large list
  // then allocates no item, no line list and no room for lines.
  std::vector<TListItem*> spare_;
  static constexpr size_t kMaxSpare = 100000;
  int updateCount_ = 0;
};

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum TItemChange { ctText, ctImage, ctState };
using TLVColumnClickEvent = std::function<void(TObject* Sender, TListColumn* Column)>;
using TLVCompareEvent =
    std::function<void(TObject* Sender, TListItem* Item1, TListItem* Item2, int Data, int& Compare)>;
using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;

class TListView : public TWinControl {
 public:
  explicit TListView(TComponent* AOwner);
  ~TListView() override;
  TListColumns* Columns() const { return columns_.get(); }
  TListItems* Items() const { return items_.get(); }
  TViewStyle ViewStyle() const;
  void SetViewStyle(TViewStyle v);
  bool ReadOnly() const;
  void SetReadOnly(bool v);
  bool RowSelect() const;
  void SetRowSelect(bool v);
  bool MultiSelect() const;
  void SetMultiSelect(bool v);
  bool HideSelection() const;
  void SetHideSelection(bool v);
  bool GridLines() const;
  void SetGridLines(bool v);
  // A hint for how many rows will come (ignored).
  void SetAllocBy(int n) { allocBy_ = n; }
  int SelCount() const;
  // The first selected item (nullptr when none).
  TListItem* Selected() const;
  void SetSelected(TListItem* item);
  TListItem* ItemFocused() const;
  void SetItemFocused(TListItem* item);
  TListItem* GetItemAt(int X, int Y) const;
  THitTests GetHitTestInfoAt(int X, int Y) const;
  // Sorts the rows with OnCompare (Data is passed on), or by caption without case.
  bool AlphaSort();
  bool CustomSort(const std::function<int(TListItem*, TListItem*)>& compare);
  // Puts the items in this order: order[i] is the present index of the item that becomes
  // item i (a permutation of 0 .. Count() - 1).
  void ApplyOrder(const std::vector<size_t>& order);
  void Clear();
  TListItem* TopItem() const;

  TLVColumnClickEvent OnColumnClick;
  TLVCompareEvent OnCompare;
  TLVSelectItemEvent OnSelectItem;

  // The pictures of the items' ImageIndex (not owned).
  TImageList* SmallImages() const;
  void SetSmallImages(TImageList* images);
  // The header's sort mark: an arrow at column (-1: none), pointing down when descending.
  void SetSortMark(int column, bool descending);
  int SortMarkColumn() const;
  // The width a column's header needs to show its caption whole beside a sort mark.
  int CaptionWidth(int column) const;
  // Starts editing an item's caption in place; false when CanEdit refused or ReadOnly.
  bool EditCaption(TListItem* item);
  bool IsEditing() const;
  // The class library's steps of in-place editing: may the caption be edited, and the
  // edited text (S) when editing ended; the defaults run OnEditing and OnEdited and then
  // take S as the caption.
  virtual bool CanEdit(TListItem* Item);
  virtual void Edit(TListItem* Item, std::string& S);
  std::function<void(TObject* Sender, TListItem* Item, bool& AllowEdit)> OnEditing;
  std::function<void(TObject* Sender, TListItem* Item, std::string& S)> OnEdited;

  // For the layer.
  TListViewPrivate* ViewPrivate() const { return view_.get(); }
  void Rebuild();
  void ColumnsChanged();
  void ItemChanged(TListItem* item);

 private:
  friend class TListItems;
  friend class TListItem;
  std::unique_ptr<TListViewPrivate> view_;
  std::unique_ptr<TListColumns> columns_;
  std::unique_ptr<TListItems> items_;
  int allocBy_ = 0;
};

// ===========================================================================
// Page control
// ===========================================================================
class TPageControl;

class TTabSheet : public TWinControl {
 public:
  explicit TTabSheet(TComponent* AOwner);
  ~TTabSheet() override;
  TPageControl* PageControl() const;
  // Puts the sheet on a page control (the same as SetParent with the page control).
  void SetPageControl(TPageControl* pc);
  void SetParent(TWinControl* parent) override;
  // The index among the page control's sheets (also hidden ones).
  int PageIndex() const;
  void SetPageIndex(int index);
  // The index among the visible tabs (-1 when the tab is hidden).
  int TabIndex() const;
  bool TabVisible() const;
  void SetTabVisible(bool v);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int i) { imageIndex_ = i; }
  void SetVisible(bool visible) override;

  TNotifyEvent OnShow;
  TNotifyEvent OnHide;

 protected:
  void TextChanged() override;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
  int imageIndex_ = -1;
};

using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;
enum TTabPosition { tpTop, tpBottom, tpLeft, tpRight };

class TPageControl : public TWinControl {
 public:
  explicit TPageControl(TComponent* AOwner);
  ~TPageControl() override;
  int PageCount() const;
  TTabSheet* Pages(int index) const;
  // Setting it runs no event (as in the class library).
  TTabSheet* ActivePage() const;
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const;
  void SetActivePageIndex(int index);
  // The next or previous visible sheet after current.
  TTabSheet* FindNextPage(TTabSheet* current, bool GoForward, bool CheckTabVisible) const;
  void SelectNextPage(bool GoForward, bool CheckTabVisible = true);
  TTabPosition TabPosition() const;
  void SetTabPosition(TTabPosition p);
  TImageList* Images() const;
  void SetImages(TImageList* images);
  TRect AlignClientRect() const override;
  // Where the sheets show, in the control's client coordinates, for its present size (also
  // before it was ever shown).
  TRect DisplayRect() const;
  // The tabs side by side, each whole, against the control's width.
  bool TextRoom(TSize& needed, TSize& room) const override;

  TNotifyEvent OnChange;
  TTabChangingEvent OnChanging;

  // For the layer.
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  void UpdateTab(TTabSheet* page);
  // The user chose a tab; returns false when OnChanging refused.
  bool UserSelectsPage(TTabSheet* page);

 private:
  std::vector<TTabSheet*> pages_;
  TTabSheet* active_ = nullptr;
  TImageList* images_ = nullptr;
  TTabPosition tabPosition_ = tpTop;
  bool syncing_ = false;
  friend class TTabSheet;
};

// ===========================================================================
// Status bar
// ===========================================================================
class TStatusBar;
enum TStatusPanelStyle { psText, psOwnerDraw };
enum TStatusPanelBevel { pbNone, pbLowered, pbRaised };

class TStatusPanel : public TPersistent {
 public:
  std::string Text() const { return text_; }
  void SetText(const std::string& s);
  int Width() const { return width_; }
  void SetWidth(int w);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  TStatusPanelBevel Bevel() const { return bevel_; }
  void SetBevel(TStatusPanelBevel b);
  TStatusPanelStyle Style() const { return style_; }
  void SetStyle(TStatusPanelStyle s);
  int Index() const { return index_; }

 private:
  friend class TStatusPanels;
  TStatusBar* bar_ = nullptr;
  int index_ = 0;
  std::string text_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
  TStatusPanelBevel bevel_ = pbLowered;
  TStatusPanelStyle style_ = psText;
};

class TStatusPanels {
 public:
  explicit TStatusPanels(TStatusBar* bar) : bar_(bar) {}
  ~TStatusPanels();
  TStatusPanel* Add();
  int Count() const { return int(panels_.size()); }
  TStatusPanel* Items(int index) const;
  TStatusPanel* operator[](int index) const { return Items(index); }
  void Delete(int index);
  void Clear();

 private:
  TStatusBar* bar_;
  std::vector<TStatusPanel*> panels_;
};

using TDrawPanelEvent = std::function<void(TStatusBar* StatusBar, TStatusPanel* Panel, const TRect& Rect)>;

class TStatusBar : public TWinControl {
 public:
  explicit TStatusBar(TComponent* AOwner);
  ~TStatusBar() override;
  TStatusPanels* Panels() const { return panels_.get(); }
  // One text over the whole bar instead of the panels.
  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool v);
  std::string SimpleText() const { return simpleText_; }
  void SetSimpleText(const std::string& s);
  bool SizeGrip() const { return sizeGrip_; }
  void SetSizeGrip(bool v);
  // The client rectangle of a panel.
  TRect PanelRect(int index) const;
  TCanvas* Canvas() const;
  // The simple text in one line beside the size grip, against the bar's width.
  bool TextRoom(TSize& needed, TSize& room) const override;

  TDrawPanelEvent OnDrawPanel;

  // For the layer.
  void PanelsChanged();
  void PaintBar();

 private:
  std::unique_ptr<TStatusPanels> panels_;
  bool simplePanel_ = false;
  std::string simpleText_;
  bool sizeGrip_ = true;
};

// ===========================================================================
// Progress bar and track bar
// ===========================================================================
enum TProgressBarOrientation { pbHorizontal, pbVertical };

class TProgressBar : public TWinControl {
 public:
  explicit TProgressBar(TComponent* AOwner);
  int Min() const { return min_; }
  void SetMin(int v);
  int Max() const { return max_; }
  void SetMax(int v);
  int Position() const { return position_; }
  void SetPosition(int v);
  int Step() const { return step_; }
  void SetStep(int v) { step_ = v; }
  void StepIt();
  void StepBy(int delta);
  bool Smooth() const { return smooth_; }
  void SetSmooth(bool v) { smooth_ = v; }
  TProgressBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TProgressBarOrientation o);

 private:
  void apply();
  int min_ = 0, max_ = 100, position_ = 0, step_ = 10;
  bool smooth_ = false;
  TProgressBarOrientation orientation_ = pbHorizontal;
};

enum TTrackBarOrientation { trHorizontal, trVertical };
enum TTickStyle { tsNone, tsAuto, tsManual };

class TTrackBar : public TWinControl {
 public:
  explicit TTrackBar(TComponent* AOwner);
  int Min() const { return min_; }
  void SetMin(int v);
  int Max() const { return max_; }
  void SetMax(int v);
  // Setting it runs OnChange when it changes.
  int Position() const { return position_; }
  void SetPosition(int v);
  int Frequency() const { return frequency_; }
  void SetFrequency(int v);
  int LineSize() const { return lineSize_; }
  void SetLineSize(int v);
  int PageSize() const { return pageSize_; }
  void SetPageSize(int v);
  TTrackBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TTrackBarOrientation o);
  TTickStyle TickStyle() const { return tickStyle_; }
  void SetTickStyle(TTickStyle t);

  TNotifyEvent OnChange;

  // For the layer.
  void Changed();

 private:
  void apply();
  int min_ = 0, max_ = 10, position_ = 0, frequency_ = 1, lineSize_ = 1, pageSize_ = 2;
  TTrackBarOrientation orientation_ = trHorizontal;
  TTickStyle tickStyle_ = tsAuto;
};

// ===========================================================================
// Tool bar and tool buttons
// ===========================================================================
class TToolBar;
enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

class TToolButton : public TGraphicControl {
 public:
  explicit TToolButton(TComponent* AOwner);
  ~TToolButton() override;
  TToolButtonStyle Style() const { return style_; }
  void SetStyle(TToolButtonStyle s);
  // Pressed state of a check button (setting it runs no event).
  bool Down() const { return down_; }
  void SetDown(bool v);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int i);
  bool Grouped() const { return grouped_; }
  void SetGrouped(bool v) { grouped_ = v; }
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool v) { allowAllUp_ = v; }
  TPopupMenu* DropdownMenu() const { return dropdownMenu_; }
  void SetDropdownMenu(TPopupMenu* m) { dropdownMenu_ = m; }
  void Click() override;

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseEnter() override;
  void MouseLeave() override;

 protected:
  void Paint() override;
  void TextChanged() override;

 private:
  TToolButtonStyle style_ = tbsButton;
  bool down_ = false, pressed_ = false, hot_ = false, grouped_ = false, allowAllUp_ = false;
  int imageIndex_ = -1;
  TPopupMenu* dropdownMenu_ = nullptr;
};

class TToolBar : public TWinControl {
 public:
  explicit TToolBar(TComponent* AOwner);
  int ButtonCount() const;
  TToolButton* Buttons(int index) const;
  int ButtonWidth() const { return buttonWidth_; }
  void SetButtonWidth(int w);
  int ButtonHeight() const { return buttonHeight_; }
  void SetButtonHeight(int h);
  bool ShowCaptions() const { return showCaptions_; }
  void SetShowCaptions(bool v);
  bool Flat() const { return flat_; }
  void SetFlat(bool v);
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* images);
  bool Wrapable() const { return wrapable_; }
  void SetWrapable(bool v);
  // Lays the buttons out from the left in their order.
  void AlignControls() override;
  // The width its visible buttons take side by side in one row.
  int RowWidth() const;

 protected:
  // A button that comes or goes takes its place in the row at once.
  void ControlListChanged(TControl* control, bool inserted) override;

 private:
  int spanOf(const TToolButton* b) const;
  int buttonWidth_ = 23, buttonHeight_ = 22;
  bool showCaptions_ = false, flat_ = true, wrapable_ = true;
  TImageList* images_ = nullptr;
};

// ===========================================================================
// Rich edit, as plain text
// ===========================================================================
class TRichEdit : public TMemo {
 public:
  explicit TRichEdit(TComponent* AOwner);
  bool PlainText() const { return true; }
  void SetPlainText(bool) {}
  bool HideScrollBars() const { return hideScrollBars_; }
  void SetHideScrollBars(bool v) { hideScrollBars_ = v; }

 private:
  bool hideScrollBars_ = true;
};
