#include "tools/SortUnit.h"

#include <algorithm>
#include <cmath>

#include "controls/QzFileExplorer28.h"
#include "controls/RowPanel.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "metadata/ExifData.h"
#include "metadata/ExifFacade.h"
#include "tools/ExifInfoUnit2.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Math.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitDragDrop.h"

TSortForm* SortForm = nullptr;

namespace {

enum TSortRule { srText, srInteger, srNumber };

struct ColumnDef {
  const char* caption;
  int width;
  bool right;
  TSortRule rule;
};

// The columns in order. Shutter times are numbers of seconds and sort as such ("15"
// after "2"), not as text.
const ColumnDef kColumns[] = {
    {"Path", 160, false, srText},          {"File name", 120, false, srText},  {"Photo date", 120, false, srText},
    {"Exif", 40, false, srText},           {"File date", 120, false, srText},  {"Kb", 60, true, srInteger},
    {"Size", 90, true, srText},            {"Camera", 90, false, srText},      {"Model", 110, false, srText},
    {"ISO", 50, true, srInteger},          {"Focal length", 80, true, srNumber}, {"35mm equiv.", 80, true, srNumber},
    {"Shutter", 70, true, srNumber},       {"Aperture", 60, true, srNumber}};
constexpr int kColumnCount = int(std::size(kColumns));

// The characters '0'-'9', ',' and '.' of a value text, in their order.
std::string NumberChars(const std::string& text) {
  std::string out;
  std::copy_if(text.begin(), text.end(), std::back_inserter(out),
               [](char c) { return (c >= '0' && c <= '9') || c == ',' || c == '.'; });
  return out;
}

// A cell as a number; a cell that holds none (or two, as "100, 100") counts from its
// first number, and one without any as 0, so a single odd cell never stops a sort.
double CellNumber(const std::string& cell) {
  std::string first;
  bool separator = false;
  for (char c : Trim(cell)) {
    if (c >= '0' && c <= '9') {
      first += c;
    } else if ((c == ',' || c == '.') && !separator && !first.empty()) {
      first += c;
      separator = true;
    } else if (!first.empty()) {
      break;
    }
  }
  while (!first.empty() && (first.back() == ',' || first.back() == '.')) first.pop_back();
  double v;
  return LocaleNumber(first, v) ? v : 0;
}

}  // namespace

TSortForm::TSortForm(TComponent* AOwner) : TForm(AOwner), FExif(std::make_unique<TimgData>(255)) {
  SetName("SortForm");
  SetCaption("Sort tool");
  SetClientWidth(720);
  SetClientHeight(440);

  auto* topBar = NewAligned<TRowPanel>(this, this, "Panel1", alTop, 28);
  topBar->SetSpacing(2);
  Panel1 = topBar;
  ZqSpeedButton1 = NewControl<TZqSpeedButton>(this, Panel1, "ZqSpeedButton1", "Close", 2, 2, 100, 24);
  ZqBCloseAndUse = NewControl<TZqButton>(this, Panel1, "ZqBCloseAndUse", "Close and Use", 106, 2, 110, 24);
  SetHintText(ZqBCloseAndUse, "Close and use sort order in the file list (works with section also)");
  ZqBCloseAndUse->SetEnabled(false);
  Label1 = NewControl<TLabel>(this, Panel1, "Label1", "", 224, 7, 340, 15);
  Label1->Font()->SetColor(clRed);
  AProgressBar1 = NewControl<TProgressBar>(this, Panel1, "AProgressBar1", 570, 6, 140, 16);
  AProgressBar1->SetSmooth(true);
  AProgressBar1->SetVisible(false);
  topBar->LineUp();
  StatusBar1 = NewAligned<TStatusBar>(this, this, "StatusBar1", alBottom, 20);
  StatusBar1->SetSimplePanel(true);
  StatusBar1->SetSimpleText(
      "Mouseclick on column header to sort - Ctrl+mouseclick = select - Shift+mouseclick = multi select");
  ListView1 = NewAligned<TListView>(this, this, "ListView1", alClient);
  ListView1->SetViewStyle(vsReport);
  ListView1->SetReadOnly(true);
  ListView1->SetRowSelect(true);
  ListView1->SetMultiSelect(true);
  ListView1->SetHideSelection(false);
  for (const ColumnDef& def : kColumns) {
    TListColumn* column = ListView1->Columns()->Add();
    column->SetCaption(def.caption);
    column->SetWidth(def.width);
    if (def.right) column->SetAlignment(taRightJustify);
  }

  ZqSpeedButton1->OnClick = [this](TObject* Sender) { ZqSpeedButton1Click(Sender); };
  ZqBCloseAndUse->OnClick = [this](TObject* Sender) { ZqBCloseAndUseClick(Sender); };
  ListView1->OnColumnClick = [this](TObject* Sender, TListColumn* Column) { ListView1ColumnClick(Sender, Column); };
  ListView1->OnClick = [this](TObject* Sender) { ListView1Click(Sender); };
  ListView1->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    ListView1MouseMove(Sender, Shift, X, Y);
  };
  ListView1->OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) {
    ListView1KeyDown(Sender, Key, Shift);
  };
  OnActivate = [this](TObject* Sender) { FormActivate(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

TSortForm::~TSortForm() = default;

void TSortForm::FormCreate(TObject* /*Sender*/) { TranslateComponent(this); }

void TSortForm::FormActivate(TObject* /*Sender*/) {
  FSavedCursor = Screen->Cursor();
  Screen->SetCursor(crHourGlass);
  ZqBCloseAndUse->SetEnabled(false);
  FCloseClicked = false;
  if (ListView1->Items()->Count() == 0) {
    // Each column as wide as its caption in the user's language and, for the dates, a
    // date; never narrower than it was made or than the user left it.
    TBitmap measure;
    measure.SetSize(1, 1);
    measure.Canvas().SetFont(*ListView1->Font());
    const int date = measure.Canvas().TextWidth("0000:00:00 00:00:00") + 12;
    for (int i = 0; i < ListView1->Columns()->Count(); ++i) {
      TListColumn* column = ListView1->Columns()->Items(i);
      column->SetWidth(std::max({column->Width(), ListView1->CaptionWidth(i), i == 2 || i == 4 ? date : 0}));
    }
    ListViewVullen();
  }
  Screen->SetCursor(FSavedCursor);
}

void TSortForm::FormClose(TObject* /*Sender*/, TCloseAction& Action) {
  if (FFilling || FFillRunning) {
    // Closing stops the filling; the window stays with the rows filled so far.
    Action = caNone;
    FFilling = false;
    return;
  }
  ListView1->Items()->Clear();
}

void TSortForm::ZqSpeedButton1Click(TObject* /*Sender*/) {
  FFilling = false;
  FCloseClicked = true;
  SetModalResult(mrCancel);
}

void TSortForm::addRow(const std::string& path) {
  TListItem* row = ListView1->Items()->Add();
  row->SetCaption(ExtractFileDir(path));
  TStrings& cells = *row->SubItems();
  cells.Add(ExtractFileName(path));
  FExif->ReadFileMetadata(path);
  std::string date;
  ExifInfoForm->GetPhotoDate(path, date);
  cells.Add(date.empty() ? "-" : date);
  cells.Add(date.empty() ? _("n/a") : _("yes"));
  cells.Add(FileDateAsExifText(path));
  cells.Add(IntToStr(GetFileSizeByName(path) / 1024));
  try {
    if (FExif->ErrStr != "<none>" || !FExif->ImageInfo) throw Exception("no metadata");
    const TImageInfo& info = *FExif->ImageInfo;
    auto tag = [&info](const char* name) { return info.GetTagValue(name); };
    auto orZero = [](const std::string& v) { return v.empty() ? _("0") : v; };
    std::vector<std::string> values;
    int32_t width, height;
    info.PictureSize(width, height);
    values.push_back(IntToStr(width) + " x " + IntToStr(height));
    const std::string make = TextFromBytes(info.CameraMake), model = TextFromBytes(info.CameraModel);
    values.push_back(make.empty() ? _("n/a") : make);
    values.push_back(model.empty() ? _("n/a") : model);
    std::string iso = tag("ISOSpeedRatings");
    if (iso.empty()) ExifInfoForm->GetIsoFromSpecific(iso);
    values.push_back(orZero(iso));
    values.push_back(orZero(NumberChars(tag("FocalLength"))));
    std::string equivalent = tag("FocalLengthin35mmFilm");
    double zero;
    if (equivalent.empty() || (LocaleNumber(NumberChars(equivalent), zero) && zero == 0)) {
      equivalent.clear();
      if (!tag("Make").empty() && !tag("Model").empty())
        ExifInfoForm->EquivalentfromDataBase(tag("FocalLength"), tag("Make"), equivalent, tag("Model"));
    }
    values.push_back(orZero(NumberChars(equivalent)));
    std::string exposure = tag("ExposureTime");
    if (exposure.empty()) exposure = tag("ShutterSpeedValue");
    const double seconds = exposure.empty() ? 0 : ExifInfoForm->ExtractFloatFromstr(exposure);
    values.push_back(seconds > 0 && std::isfinite(seconds) ? FloatToStr(RoundTo(seconds, -4)) : _("0"));
    values.push_back(orZero(NumberChars(tag("FNumber"))));
    for (const std::string& v : values) cells.Add(v);
  } catch (const std::exception&) {
    // Every row gets all fourteen columns, with placeholders where nothing was read.
    while (cells.Count() > 5) cells.Delete(cells.Count() - 1);
    for (int i = 0; i < 3; ++i) cells.Add(_("n/a"));
    for (int i = 0; i < 5; ++i) cells.Add(_("0"));
  }
}

void TSortForm::ListViewVullen() {
  FFilling = true;
  // A new table is in the list's own order: no column sorts it yet, and the first click
  // on any column sorts ascending.
  FLastSortColumn = -1;
  FSortDirection = 0;
  ListView1->SetSortMark(-1, false);
  FFillRunning = true;
  ListView1->Items()->BeginUpdate();
  AProgressBar1->SetVisible(true);
  ZqBCloseAndUse->SetEnabled(false);
  Label1->SetCaption(_("Filling the columns may take a few minutes, please be patient."));
  TListBox* source = FFromDragList ? (DragForm ? DragForm->ListBox1 : nullptr) : Form1->ListBox1;
  const int total = source ? source->Items()->Count() : 0;
  ListView1->SetAllocBy(total);
  AProgressBar1->SetMax(std::max(0, total - 1));
  uint8_t counter = 0;
  bool closing = false;
  // The source is asked by index each time: the queue runs in between and may change it.
  for (int i = 0; FFilling && source && i < source->Items()->Count(); ++i) {
    std::string path = source->Items()->Strings(i);
    if (path.empty() || path[0] != '/') path = IncludeTrailingPathDelimiter(Form1->FLastPath) + path;
    if (counter > 100) counter = 0;
    ++counter;
    if (counter == 100) {
      AProgressBar1->SetPosition(i);
      Application->ProcessMessages();
      // The program closes, or the window was asked to close: the filling stops. The
      // "Close" button closes the window; the window's close box leaves it open.
      if (Application->Terminated()) {
        closing = true;
        FFilling = false;
      } else if (ModalResult() != mrNone && !FCloseClicked) {
        FFilling = false;
        SetModalResult(mrNone);
      }
      if (!FFilling) break;
    }
    addRow(path);
  }
  AProgressBar1->SetVisible(false);
  ListView1->Items()->EndUpdate();
  FFillRunning = false;
  if (!FFilling && !closing && !FCloseClicked) ShowMessage(_("Action canceled by user, sort list not complete"));
  Label1->SetCaption("");
  FFilling = false;
}

std::string TSortForm::CellText(TListItem* Item, int Column) {
  if (Column == 0) return Item->Caption();
  TStrings* cells = Item->SubItems();
  return Column - 1 < cells->Count() ? cells->Strings(Column - 1) : std::string();
}

int TSortForm::CompareRows(TListItem* Item1, TListItem* Item2, int Column, int Direction) const {
  const std::string a = CellText(Item1, Column), b = CellText(Item2, Column);
  int order;
  if (Column < 0 || Column >= kColumnCount || kColumns[Column].rule == srText) {
    order = AnsiCompareStr(a, b);
  } else {
    const double x = CellNumber(a), y = CellNumber(b);
    order = x < y ? -1 : (x > y ? 1 : 0);
  }
  return Direction == 1 ? -order : order;
}

void TSortForm::SortListView() {
  const int column = FSortColumn, direction = FSortDirection;
  ListView1->CustomSort([this, column, direction](TListItem* a, TListItem* b) {
    return CompareRows(a, b, column, direction);
  });
}

void TSortForm::showSelectionCount() {
  const int selected = ListView1->SelCount();
  StatusBar1->SetSimpleText(selected < 2 ? _("All files selected")
                                         : Format(_n("%d file selected", "%d files selected", selected), {selected}));
}

void TSortForm::ListView1ColumnClick(TObject* /*Sender*/, TListColumn* Column) {
  ZqBCloseAndUse->SetEnabled(true);
  FSortColumn = Column->Index();
  FSortDirection = (FSortColumn != FLastSortColumn || FSortDirection == 1) ? 0 : 1;
  SortListView();
  ListView1->SetSortMark(FSortColumn, FSortDirection == 1);
  FLastSortColumn = FSortColumn;
  showSelectionCount();
}

void TSortForm::ListView1Click(TObject* /*Sender*/) {
  if (ListView1->Selected() && ListView1->SelCount() > 1) {
    StatusBar1->SetSimpleText(
        Format(_n("%d file selected", "%d files selected", ListView1->SelCount()), {ListView1->SelCount()}));
    ZqBCloseAndUse->SetEnabled(true);
  }
}

void TSortForm::ListView1MouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int X, int Y) {
  if (TListItem* row = ListView1->GetItemAt(X, Y))
    SetCaption(IncludeTrailingPathDelimiter(row->Caption()) + CellText(row, 1));
}

void TSortForm::ListView1KeyDown(TObject* /*Sender*/, uint16_t& Key, TShiftState /*Shift*/) {
  if (Key == VK_ESCAPE && ActionRunning) FFilling = false;
}

void TSortForm::ZqBCloseAndUseClick(TObject* /*Sender*/) {
  Form1->HourGlassCursor();
  TListBox* target = FFromDragList ? (DragForm ? DragForm->ListBox1 : nullptr) : Form1->ListBox1;
  if (target) {
    const bool onlySelected = ListView1->SelCount() > 1;
    const bool bareNames = !FFromDragList && Form1->QzDirTree211 && Form1->QzDirTree211->Visible();
    TStringList entries;
    for (int i = 0; i < ListView1->Items()->Count(); ++i) {
      TListItem* row = ListView1->Items()->Item(i);
      if (onlySelected && !row->Selected()) continue;
      const std::string name = CellText(row, 1);
      entries.Add(bareNames ? name : IncludeTrailingPathDelimiter(row->Caption()) + name);
    }
    target->Items()->Assign(entries);
  }
  Form1->RestoreCursor();
  SetModalResult(mrOk);
}
