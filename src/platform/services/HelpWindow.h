#pragma once
// The help window: the pages of a help folder (see HtmlHelp.h) with the contents and the
// keyword index beside them, and Back, Forward and Contents above. Links between pages
// are followed inside the window; only files inside the help folder are read.
#include <string>
#include <vector>

#include "platform/gui/Forms.h"
#include "platform/services/HtmlHelp.h"

class TButton;
class TEdit;
class TListBox;
class TPageControl;
class TPanel;
class TTabSheet;
class TTreeNode;
class TTreeView;

// A read-only view of HTML pages that follows their links.
class THtmlView : public TWinControl {
 public:
  explicit THtmlView(TComponent* AOwner);
  ~THtmlView() override;
  // Only files below this folder are shown.
  void SetRoot(const std::string& folder);
  // Shows a file at an anchor ("" for its top).
  void Open(const std::string& file, const std::string& anchor);
  std::string File() const;
  std::string Anchor() const;
  // The page's title and its text without markup.
  std::string Title() const;
  std::string Text() const;
  bool CanGoBack() const;
  bool CanGoForward() const;
  void GoBack();
  void GoForward();
  // Another page or anchor is shown.
  TNotifyEvent OnPageChange;
};

class THtmlHelpForm : public TForm {
 public:
  explicit THtmlHelpForm(TComponent* AOwner);
  ~THtmlHelpForm() override;

  TPanel* PanelButtons = nullptr;
  TButton* ButtonBack = nullptr;
  TButton* ButtonForward = nullptr;
  TButton* ButtonContents = nullptr;
  TButton* ButtonClose = nullptr;
  TPageControl* PageControl1 = nullptr;
  TTabSheet* TabContents = nullptr;
  TTabSheet* TabIndex = nullptr;
  TTreeView* TreeContents = nullptr;
  TEdit* EditKeyword = nullptr;
  TListBox* ListIndex = nullptr;
  THtmlView* View = nullptr;

  // Reads the contents and the index of a help folder (again only when it changed).
  void SetHelpFolder(const std::string& folder);
  // Shows a page of the help folder ("card.html#prefix") and brings the window up.
  // False when the page lies outside the folder or does not exist.
  bool ShowPage(const std::string& page);
  // Selects the first index entry that begins with the keyword (any letter case), else
  // the first that holds it; false when none does.
  bool FindKeyword(const std::string& keyword);
  // The target of the selected index entry ("" when none is selected).
  std::string SelectedIndexTarget() const;
  // The page shown, as a file of the help folder.
  std::string CurrentPage() const { return View->File(); }

 protected:
  void DoShow() override;

 private:
  void bringUp();
  void pageChanged();
  void openIndexEntry();
  void keyDown(uint16_t& Key, TShiftState Shift);
  void fitContents();
  std::string folder_;
  std::vector<std::string> contentTargets_;  // per contents node (its Data is the index + 1)
  std::vector<std::string> indexTargets_;    // per index list line
  bool syncing_ = false;
};

// The program's help window, made on first use (nullptr with create false when none is).
THtmlHelpForm* HtmlHelpForm(bool create = true);
