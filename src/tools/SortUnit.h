#pragma once
// The sort tool: a table of the files of a list with their file and EXIF data, one row
// per file. Clicking a column header sorts the rows by that column (again: the other
// way round); "Close and Use" writes the rows, in the table's order, back into the list
// the table was filled from (only the selected rows when two or more are selected).
// The caller sets FFromDragList and shows the window modally; a modal result of OK
// means the list holds the new order.
#include <memory>
#include <string>

#include "platform/gui/Forms.h"

class TPanel;
class TLabel;
class TProgressBar;
class TListView;
class TListItem;
class TListColumn;
class TStatusBar;
class TZqButton;
class TZqSpeedButton;
class TimgData;

class TSortForm : public TForm {
 public:
  explicit TSortForm(TComponent* AOwner);
  ~TSortForm() override;

  TPanel* Panel1 = nullptr;
  TZqSpeedButton* ZqSpeedButton1 = nullptr;  // "Close"
  TZqButton* ZqBCloseAndUse = nullptr;       // "Close and Use"
  TLabel* Label1 = nullptr;                  // the busy text
  TProgressBar* AProgressBar1 = nullptr;
  TListView* ListView1 = nullptr;
  TStatusBar* StatusBar1 = nullptr;

  // False: the tool works on the main window's file list; true: on the ordering window's.
  bool FFromDragList = false;
  int FSortColumn = 0;
  int FLastSortColumn = -1;
  int FSortDirection = 0;
  // Set while the table is being filled; clearing it stops the filling.
  bool FFilling = false;

  // Fills the table from the source list.
  void ListViewVullen();
  // Sorts the rows by FSortColumn in FSortDirection (0 ascending, 1 descending).
  void SortListView();
  // The order of two rows by a column: negative, 0 or positive (descending already applied).
  int CompareRows(TListItem* Item1, TListItem* Item2, int Column, int Direction) const;
  // The text of a row's column (0: the caption).
  static std::string CellText(TListItem* Item, int Column);

  void FormCreate(TObject* Sender);
  void FormActivate(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void ZqSpeedButton1Click(TObject* Sender);
  void ZqBCloseAndUseClick(TObject* Sender);
  void ListView1ColumnClick(TObject* Sender, TListColumn* Column);
  void ListView1Click(TObject* Sender);
  void ListView1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void ListView1KeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);

 private:
  // Adds the row of one file.
  void addRow(const std::string& path);
  void showSelectionCount();

  std::unique_ptr<TimgData> FExif;
  TCursor FSavedCursor = crDefault;
  // True while ListViewVullen runs (it may be waiting in the message queue).
  bool FFillRunning = false;
  // "Close" was clicked: the window closes even while it fills.
  bool FCloseClicked = false;
};

extern TSortForm* SortForm;
