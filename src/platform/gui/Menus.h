#pragma once
// Menus: the main menu of a form, popup menus and their items.
//
// A caption "-" makes a separator; '&' marks the accelerator letter ("&&" is a real
// '&'). Shortcuts are handled by the layer for the active form: they fire while the
// form is active even when the item, its parents or the whole menu bar are hidden
// (only a disabled item does not fire).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Controls.h"

class TMenu;
class TMenuItem;

KIVO2_EXCEPTION(EMenuError, Exception)
class TImageList;
class TBitmap;

enum TOwnerDrawStateItem {
  odSelected,
  odGrayed,
  odDisabled,
  odChecked,
  odFocused,
  odDefault,
  odHotLight,
  odInactive,
  odNoAccel,
  odNoFocusRect,
  odReserved1,
  odReserved2,
  odComboBoxEdit
};
using TOwnerDrawState = TSetOf<TOwnerDrawStateItem>;

using TMenuDrawItemEvent =
    std::function<void(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State)>;
using TMenuMeasureItemEvent = std::function<void(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height)>;
// Source is the item that changed (nullptr: the whole menu); Rebuild when items came or went.
using TMenuChangeEvent = std::function<void(TObject* Sender, TMenuItem* Source, bool Rebuild)>;

struct TMenuItemPrivate;

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;

  std::string Caption() const;
  void SetCaption(const std::string& caption);
  bool IsLine() const { return Caption() == "-"; }
  bool Checked() const;
  void SetChecked(bool v);
  bool Enabled() const;
  void SetEnabled(bool v);
  bool Visible() const;
  void SetVisible(bool v);
  // The default item is shown in bold.
  bool Default() const;
  void SetDefault(bool v);
  TShortCut ShortCut() const;
  void SetShortCut(TShortCut shortCut);
  // Clicking toggles Checked before OnClick.
  bool AutoCheck() const;
  void SetAutoCheck(bool v);
  // Checked radio items of one GroupIndex exclude each other.
  bool RadioItem() const;
  void SetRadioItem(bool v);
  uint8_t GroupIndex() const;
  void SetGroupIndex(uint8_t v);
  std::string Hint() const;
  void SetHint(const std::string& hint);
  int ImageIndex() const;
  void SetImageIndex(int index);
  // A picture shown beside the caption (created on first use).
  TBitmap* Bitmap();
  void SetBitmap(const TBitmap* bitmap);

  // --- sub-items ---
  int Count() const;
  TMenuItem* Items(int index) const;
  TMenuItem* operator[](int index) const { return Items(index); }
  void Add(TMenuItem* item);
  void Add(const std::vector<TMenuItem*>& items);
  void Insert(int index, TMenuItem* item);
  // Removes the item from the list without freeing it (the class library's Remove).
  void Remove(TMenuItem* item);
  // Frees the sub-item at index.
  void Delete(int index);
  // Frees every sub-item.
  void Clear();
  int IndexOf(const TMenuItem* item) const;
  // The sub-item whose caption (without '&') equals caption without case, or nullptr.
  TMenuItem* Find(const std::string& caption) const;
  TMenuItem* Parent() const;
  int MenuIndex() const;
  void SetMenuIndex(int index);
  // The menu the item belongs to (through its parents), or nullptr.
  TMenu* GetParentMenu() const;

  // Runs the item as a click does: AutoCheck, then OnClick.
  virtual void Click();

  TNotifyEvent OnClick;
  TMenuDrawItemEvent OnAdvancedDrawItem;
  TMenuDrawItemEvent OnDrawItem;
  TMenuMeasureItemEvent OnMeasureItem;

  // For the layer.
  TMenuItemPrivate* Private() const { return d_.get(); }
  void SetParentMenu(TMenu* menu);

 private:
  void changed(bool rebuild);
  std::unique_ptr<TMenuItemPrivate> d_;
};

struct TMenuPrivate;

class TMenu : public TComponent {
 public:
  explicit TMenu(TComponent* AOwner);
  ~TMenu() override;
  // The root item; its sub-items are the top-level entries.
  TMenuItem* Items() const;
  TImageList* Images() const;
  void SetImages(TImageList* images);
  // Items are drawn by their OnAdvancedDrawItem / OnDrawItem handlers.
  bool OwnerDraw() const;
  void SetOwnerDraw(bool v);
  // Finds the enabled item with that shortcut (hidden ones too), or nullptr.
  TMenuItem* FindShortCut(TShortCut shortCut) const;
  // Fires the item with that shortcut; true when one fired.
  bool IsShortCut(TShortCut shortCut);

  TMenuChangeEvent OnChange;

  // For the layer.
  TMenuPrivate* Private() const { return d_.get(); }
  void MenuChanged(TMenuItem* source, bool rebuild);

 private:
  std::unique_ptr<TMenuPrivate> d_;
};

// The menu bar of a form (TCustomForm::SetMenu).
class TMainMenu : public TMenu {
 public:
  explicit TMainMenu(TComponent* AOwner);
  ~TMainMenu() override;
  // The form showing the menu (set by the form).
  TCustomForm* Form() const;
};

enum TPopupAlignment { paLeft, paRight, paCenter };

class TPopupMenu : public TMenu {
 public:
  explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;
  // Shows the menu at a screen position and returns when it closed (the chosen item's
  // OnClick has run by then). OnPopup runs first and may call CancelPopup.
  virtual void Popup(int X, int Y);
  // Called from OnPopup: this time the menu does not come up (nothing to offer).
  void CancelPopup();
  // A right click on a control with this menu pops it up.
  bool AutoPopup() const;
  void SetAutoPopup(bool v);
  // The control the menu was popped up for.
  TComponent* PopupComponent() const;
  void SetPopupComponent(TComponent* c);
  TPopupAlignment Alignment() const;
  void SetAlignment(TPopupAlignment a);

  TNotifyEvent OnPopup;
  TNotifyEvent OnClose;
};

// Strips the accelerator marks: "&Open" -> "Open", "Fish && Chips" -> "Fish & Chips".
std::string StripHotkey(const std::string& caption);
// Makes a new item (the class library's NewItem helper).
TMenuItem* NewItem(const std::string& caption, TShortCut shortCut, bool checked, bool enabled,
                   TNotifyEvent onClick, const std::string& name);
TMenuItem* NewLine();
