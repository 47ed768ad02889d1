#pragma once
// The manual order window: the entries of a picture list file (the paperclip list or a
// show file: one full picture path per line) put into a new order by drag and drop,
// deleted, duplicated or sorted by the sort tool, and saved back into the list file.
// The caller fills ListBox1 with the file list's entries and sets FListFile before
// showing it modally.
#include <string>
#include <vector>

#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"

class TListBox;
class TPanel;
class TZqSpeedButton;
class TStaticText;
class TImage;
class TLabel;

class TDragForm : public TForm {
 public:
  explicit TDragForm(TComponent* AOwner);

  TListBox* ListBox1 = nullptr;               // the entries; dragging moves them
  TPanel* Panel1 = nullptr;
  TStaticText* StaticText1 = nullptr;         // how to drag
  TPanel* Panel2 = nullptr;
  TImage* Image1 = nullptr;                   // the entry under the mouse or clicked
  TLabel* Label1 = nullptr;                   // "Move selected image(s) to"
  TLabel* Label2 = nullptr;                   // "the location of this image."
  TPanel* Panel3 = nullptr;
  TImage* Image2 = nullptr;                   // the drop target
  TPanel* Panel4 = nullptr;
  TZqSpeedButton* ZqSpeedButton3 = nullptr;   // "Close"
  TZqSpeedButton* Zq_Save = nullptr;          // "Save"
  TZqSpeedButton* ZqSpeedButton1 = nullptr;   // "Sort"
  TPopupMenu* PopupMenu1 = nullptr;
  TMenuItem* Delete1 = nullptr;
  TMenuItem* Duplicate1 = nullptr;

  // The list file the order is saved to (the caption shows it), and the entries the list
  // held when the window was shown or last saved.
  std::string FListFile;
  std::vector<std::string> FView;
  // The list differs from the file (Zq_Save is enabled exactly then).
  bool FModified = false;
  // The entry drawn as the drop target (-1: none).
  int FDropTarget = -1;
  // The entry whose picture was shown last (-1: none).
  int FPreviewIndex = -1;

  // The entry's thumbnail fitted into 134 x 134 pixels into the image; a file of an
  // associated (non-picture) type empties it.
  void ShowThumbnail(const std::string& Entry, TImage* Target);
  // Saves what the user made of FView into FListFile as it is now and gives the main window
  // the new order; false (with the reason said) when the file could not be written, which
  // then stays as it was.
  bool SaveList();

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void ListBox1Click(TObject* Sender);
  void ListBox1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void ListBox1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ListBox1MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ListBox1KeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void ListBox1DragOver(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept);
  void ListBox1EndDrag(TObject* Sender, TObject* Target, int X, int Y);
  void ListBox1DrawItem(TWinControl* Control, int Index, const TRect& Rect, TOwnerDrawState State);
  void Delete1Click(TObject* Sender);
  void Duplicate1Click(TObject* Sender);
  void ZqSpeedButton1Click(TObject* Sender);
  void Zq_SaveClick(TObject* Sender);
  void ZqSpeedButton3Click(TObject* Sender);

 private:
  void setModified(bool modified);
  // Makes the window high enough for the drop target's thumbnail above the button bar.
  void fitPreview();
  // Asks "Save changes to ..."; Yes saves.
  void askAndSave();
};

extern TDragForm* DragForm;
