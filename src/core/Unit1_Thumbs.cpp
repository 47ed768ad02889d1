// The thumbnail panel and the thumbnail cache: one panel per file-list entry in a row
// above or below the picture area or in columns beside it, built on the GUI thread one
// thumbnail at a time, and the cache of small JPEG files that lets a folder seen before
// show at once.
//
// A cache file is named by the CRC-32 of the picture's path. Two paths can share a
// checksum, so each cache file carries, in a JPEG comment right after its start marker,
// the path it was made from with the picture's size and modification time: a file is
// only taken for the picture it names, as the picture is now, and a second path with the
// same checksum gets the next name ("066B17DD_1.jpg").
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "controls/EventScrollbox.h"
#include "controls/QzFileExplorer28.h"
#include "controls/Resmeter.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "core/Unit_Crc32.h"
#include "formats/Resample.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Gauges.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Spin.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitThumbSpy.h"

namespace {

// The comment that marks a cache file as ours: this line, then "size", "time" and "path".
constexpr char kThumbMark[] = "Kivo2 thumbnail 1\n";
// Names tried for one checksum: "XXXXXXXX.jpg", then "XXXXXXXX_1.jpg" ... "_7".
constexpr int kThumbSlots = 8;
// A cache file's comment lies in its first bytes; more is never read.
constexpr size_t kMaxCommentBytes = 64 * 1024;
constexpr int kThumbQuality = 70;

// What a cache file says about the picture it was made from.
struct TThumbFacts {
  std::string Key;  // the path as the cache name hashes it
  int64_t Size = -1;
  int64_t Seconds = 0;
  int64_t Nanoseconds = 0;
  bool operator==(const TThumbFacts&) const = default;
};

// The size and modification time of a picture; false when it is missing or a folder.
bool PictureFacts(const std::string& fileName, const std::string& key, TThumbFacts& facts) {
  struct stat st;
  if (fileName.empty() || ::stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  facts.Key = key;
  facts.Size = int64_t(st.st_size);
  facts.Seconds = int64_t(st.st_mtim.tv_sec);
  facts.Nanoseconds = int64_t(st.st_mtim.tv_nsec);
  return true;
}

std::string FactsComment(const TThumbFacts& facts) {
  return std::string(kThumbMark) + "size " + IntToStr(facts.Size) + "\ntime " + IntToStr(facts.Seconds) + "." +
         IntToStr(facts.Nanoseconds) + "\npath " + facts.Key;
}

bool ParseFacts(const std::string& text, TThumbFacts& facts) {
  if (text.compare(0, std::strlen(kThumbMark), kThumbMark) != 0) return false;
  size_t pos = std::strlen(kThumbMark);
  auto line = [&](const char* label, std::string& value) {
    const size_t labelLength = std::strlen(label);
    if (text.compare(pos, labelLength, label) != 0) return false;
    const size_t end = text.find('\n', pos);
    if (end == std::string::npos) return false;
    value = text.substr(pos + labelLength, end - pos - labelLength);
    pos = end + 1;
    return true;
  };
  std::string size, time;
  if (!line("size ", size) || !line("time ", time)) return false;
  if (text.compare(pos, 5, "path ") != 0) return false;
  facts.Key = text.substr(pos + 5);
  const size_t dot = time.find('.');
  if (dot == std::string::npos) return false;
  int64_t value = 0;
  if (!TryStrToInt64(size, value) || value < 0) return false;
  facts.Size = value;
  if (!TryStrToInt64(time.substr(0, dot), facts.Seconds) || !TryStrToInt64(time.substr(dot + 1), facts.Nanoseconds))
    return false;
  return true;
}

// Reads the comment of a cache file (the segment after the start marker); false when
// the file cannot be read or is not one of ours. whole, when asked for, tells whether the
// file ends with the end marker that ends every cache file written whole (one cut short
// would show the rows it lacks in grey).
bool ReadThumbFacts(const std::string& cacheFile, TThumbFacts& facts, bool* whole = nullptr) {
  try {
    TFileStream stream(cacheFile, fmOpenRead | fmShareDenyNone);
    uint8_t head[6];
    if (stream.Read(head, 6) != 6) return false;
    if (head[0] != 0xFF || head[1] != 0xD8 || head[2] != 0xFF || head[3] != 0xFE) return false;
    const size_t length = size_t(head[4]) << 8 | head[5];
    if (length < 2 || length - 2 > kMaxCommentBytes) return false;
    std::string text(length - 2, '\0');
    if (stream.Read(text.data(), int64_t(text.size())) != int64_t(text.size())) return false;
    if (!ParseFacts(text, facts)) return false;
    if (whole) {
      uint8_t tail[2] = {0, 0};
      *whole = stream.Seek(-2, soEnd) >= int64_t(length) + 4 && stream.Read(tail, 2) == 2 && tail[0] == 0xFF &&
               tail[1] == 0xD9;
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}

// The cache file for key: the one made for it, else the first name that is free or
// holds no thumbnail of ours; found tells which, and whole whether the one found ends whole.
std::string ThumbSlot(const std::string& folder, const std::string& key, TThumbFacts* facts, bool& found,
                      bool* whole = nullptr) {
  const std::string base = PathJoin(folder, StringCrc32Hex(key));
  std::string reusable;
  found = false;
  for (int slot = 0; slot < kThumbSlots; ++slot) {
    const std::string name = slot == 0 ? base + ".jpg" : base + "_" + IntToStr(slot) + ".jpg";
    if (!FileExists(name)) return reusable.empty() ? name : reusable;
    TThumbFacts stored;
    if (!ReadThumbFacts(name, stored, whole)) {
      if (reusable.empty()) reusable = name;
      continue;
    }
    if (stored.Key == key) {
      found = true;
      if (facts) *facts = stored;
      return name;
    }
  }
  // Every name is taken by other pictures: the first one is made over (the stored path
  // keeps the other picture from taking it for its own).
  return reusable.empty() ? base + ".jpg" : reusable;
}

// The size a picture gets to fit a square of side pixels: its own size when smaller in
// both directions, otherwise the long side becomes side and the other one shrinks in the
// same proportion (other * side div long). A whole percentage taken first would distort
// every thumbnail a little and flatten a picture over a hundred times the side to a line.
void ThumbFitSize(int width, int height, int side, int& fitWidth, int& fitHeight) {
  fitWidth = width;
  fitHeight = height;
  if (width < side && height < side) return;
  if (width > height) {
    fitWidth = side;
    fitHeight = int(int64_t(height) * side / width);
  } else {
    fitHeight = side;
    fitWidth = int(int64_t(width) * side / height);
  }
  fitWidth = std::max(fitWidth, 1);
  fitHeight = std::max(fitHeight, 1);
}

// A 24-bit copy of the picture's graphic scaled to width x height (a smooth reduction:
// each pixel is a weighted mean of the source pixels it covers); its transparent parts
// show the background.
bool ScaledBitmap(TGraphic* graphic, int width, int height, TColor background, TBitmap& out) {
  if (!graphic || graphic->Empty() || width <= 0 || height <= 0) return false;
  TBitmap source;
  if (auto* jpeg = dynamic_cast<TJPEGImage*>(graphic))
    source.Assign(&jpeg->Bitmap());
  else if (graphic->HasAlphaChannel())
    DrawOverColor(*graphic, background, source);
  else
    source.Assign(graphic);
  if (source.Empty()) return false;
  source.SetPixelFormat(pf24bit);
  if (source.Width() == width && source.Height() == height) {
    out.Assign(&source);
    return true;
  }
  Stretch(uint32_t(width), uint32_t(height), sfTriangle, 0, source, out);
  return !out.Empty();
}

// Loads a picture file; a JPEG decodes at the DCT scale that still covers side pixels.
// False (picture emptied) when it cannot be read.
bool LoadScaled(const std::string& fileName, int side, TPicture& picture) {
  try {
    picture.LoadFromFile(fileName);
    if (auto* jpeg = dynamic_cast<TJPEGImage*>(picture.Graphic())) {
      static const TJPEGScale scales[] = {jsFullSize, jsHalf, jsQuarter, jsEighth};
      jpeg->SetPixelFormat(jf24Bit);
      jpeg->SetPerformance(jpBestSpeed);
      jpeg->SetScale(scales[TForm1::ChooseJpegScale(side, jpeg->Height(), jpeg->Width())]);
      jpeg->DIBNeeded();
    }
    return picture.Graphic() && !picture.Graphic()->Empty() && picture.Width() > 0 && picture.Height() > 0;
  } catch (const std::exception&) {
    picture.Assign(nullptr);
    return false;
  }
}

// Writes the thumbnail as a JPEG file of quality 70 whose comment holds the picture's
// facts, through a temporary file, and gives it the picture's modification time.
bool WriteThumbFile(TBitmap& thumb, const TThumbFacts& facts, const std::string& picture, const std::string& target) {
  try {
    TJPEGImage encoder;
    encoder.Assign(&thumb);
    encoder.SetCompressionQuality(kThumbQuality);
    encoder.Compress();
    TMemoryStream encoded;
    encoder.SaveToStream(encoded);
    const auto* bytes = static_cast<const uint8_t*>(encoded.Memory());
    const std::string comment = FactsComment(facts);
    if (encoded.Size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8 || comment.size() + 2 > 0xFFFF) return false;
    // Start marker, the comment segment, then the rest of the picture as encoded.
    std::string file;
    file.reserve(size_t(encoded.Size()) + comment.size() + 4);
    file.append("\xFF\xD8\xFF\xFE", 4);
    file.push_back(char((comment.size() + 2) >> 8));
    file.push_back(char((comment.size() + 2) & 0xFF));
    file += comment;
    file.append(reinterpret_cast<const char*>(bytes) + 2, size_t(encoded.Size() - 2));
    // The picture class keeps bytes as loaded and writes them through a temporary file.
    TJPEGImage withComment;
    TReadOnlyMemoryStream stream(file.data(), int64_t(file.size()));
    withComment.LoadFromStream(stream);
    withComment.SaveToFile(target);
  } catch (const std::exception&) {
    return false;
  }
  CopyFileDate(picture, target);
  return true;
}

}  // namespace

// ===========================================================================
// Names and validity
// ===========================================================================
namespace {

// The text the cache name hashes: the full path; in stand-alone mode a path on the
// program's own drive is taken without its drive, as ":\folder\name.jpg", so that the
// stick keeps its thumbnails wherever it is mounted.
std::string ThumbKey(const std::string& fileName, bool usbMode, const std::string& appDir) {
  if (!usbMode) return fileName;
  const std::string drive = IncludeTrailingPathDelimiter(MountPointOf(appDir));
  if (fileName.compare(0, drive.size(), drive) != 0) return fileName;
  std::string rest = fileName.substr(drive.size());
  std::replace(rest.begin(), rest.end(), '/', '\\');
  return ":\\" + rest;
}

}  // namespace

std::string TForm1::ThumbNailName(const std::string& FileName) {
  bool found = false;
  return ThumbSlot(FThumbCacheFolder, ThumbKey(FileName, FUsbMode, FAppDir), nullptr, found);
}

bool TForm1::ValidThumbFileExists(const std::string& FileName) {
  const std::string key = ThumbKey(FileName, FUsbMode, FAppDir);
  TThumbFacts picture;
  if (!PictureFacts(FileName, key, picture)) {
    if (Ch_Debug_newThumb->Checked()) SetCaption("No Thumb found - " + FileName);
    return false;
  }
  TThumbFacts stored;
  bool found = false, whole = false;
  const std::string name = ThumbSlot(FThumbCacheFolder, key, &stored, found, &whole);
  const bool valid = found && whole && stored == picture && GetFileSizeByName(name) > 0 &&
                     FileDosDateTime(name) == FileDosDateTime(FileName);
  if (Ch_Debug_newThumb->Checked()) SetCaption((valid ? "Thumb present - " : "Invalid thumb - ") + FileName);
  return valid;
}

int TForm1::ThumbCacheSide() const {
  switch (SpinEdit1->Value()) {
    case 1: return 75;
    case 2: return 112;
    case 3: return 140;
    default: return 175;
  }
}

int TForm1::ChooseJpegScale(int Side, int Height, int Width) {
  if (Side > Width / 2 && Side > Height / 2) return 0;
  if (Width <= 4 * Side && Height <= 4 * Side) return 1;
  if (Width <= 8 * Side && Height <= 8 * Side) return 2;
  return 3;
}

void TForm1::SetSlideSize(int Size) {
  static const int geometry[4][4] = {{45, 55, 3, 3}, {95, 105, 5, 5}, {140, 150, 5, 5}, {175, 185, 5, 5}};
  if (Size < 0 || Size > 3) return;
  FThumbImageSize = geometry[Size][0];
  FThumbPanelSize = geometry[Size][1];
  FThumbGapX = geometry[Size][2];
  FThumbGapY = geometry[Size][3];
}

// ===========================================================================
// Making a thumbnail
// ===========================================================================
bool TForm1::InThumbCacheFolder(const std::string& FileName) const {
  return ExcludeTrailingPathDelimiter(ExtractFilePath(FileName)) == ExcludeTrailingPathDelimiter(FThumbCacheFolder);
}

bool TForm1::SaveAsJpgThumb(const std::string& FileName, TImage* Target, bool Always) {
  const bool lockedList = FileExists(FAppDir + "skipsearch.ini") || FileExists(FProgramDir + "skipsearch.ini");
  if (lockedList && IsLockedFolder(FileName)) return false;
  bool save = true;
  if (Always)
    save = M_UseTumbCache->Checked();
  else if (!M_UseTumbCache->Checked())
    return false;
  // The cache's own files get no thumbnail of their own.
  if (InThumbCacheFolder(FileName))
    return false;
  if (!FUsbMode) {
    if (M_CacheonlyFixedDiskfiles->Checked() && DriveKind(FileName) != 2) save = false;
  } else if (MountPointOf(FileName) != MountPointOf(FProgramDir)) {
    save = false;
  }
  if (save && !DirectoryExists(FThumbCacheFolder)) ForceDirectories(FThumbCacheFolder);
  if (!IsImageFile(FileName)) return false;

  const int side = ThumbCacheSide();
  TPicture picture;
  if (!LoadScaled(FileName, side, picture)) return false;
  int width = 0, height = 0;
  ThumbFitSize(picture.Width(), picture.Height(), side, width, height);
  TBitmap thumb;
  if (!ScaledBitmap(picture.Graphic(), width, height, ScrollBox1->Color(), thumb)) return false;
  if (Target) Target->Picture()->Assign(&thumb);
  if (save) {
    TThumbFacts facts;
    if (PictureFacts(FileName, ThumbKey(FileName, FUsbMode, FAppDir), facts))
      WriteThumbFile(thumb, facts, FileName, ThumbNailName(FileName));
  }
  return true;
}

bool TForm1::LoadThumbnail(const std::string& FileName, TImage* Target, bool Always) {
  try {
    if (InThumbCacheFolder(FileName)) {
      Target->Picture()->LoadFromFile(FileName);
      return true;
    }
    if (ValidThumbFileExists(FileName)) {
      Target->Picture()->LoadFromFile(ThumbNailName(FileName));
      return true;
    }
    return SaveAsJpgThumb(FileName, Target, Always);
  } catch (const std::exception&) {
    return false;
  }
}

void TForm1::CreateThumbHint(const std::string& FileName, const std::string& WidthText, std::string& Hint,
                             const std::string& HeightText) {
  // One line each (a hint breaks its lines at line feeds).
  if (!WidthText.empty() && !HeightText.empty())
    Hint = FileName + "\n" + WidthText + " x " + HeightText + " pixels" + "\n" + FileSizeText(FileName);
  else
    Hint = FileName + "\n" + FileSizeText(FileName);
  if (M_IncludeExifhint->Checked()) Hint += "\n" + ExifOverlayText(FileName);
}

// ===========================================================================
// The panel
// ===========================================================================
namespace {

// The panel of thumbnail index in the scroll box (the boxes hold one panel per entry, in
// list order); nullptr when there is none.
TPanel* ThumbPanel(TScrollBox* box, int index) {
  if (!box || index < 0 || index >= box->ControlCount()) return nullptr;
  return dynamic_cast<TPanel*>(box->Controls(index));
}

TImage* ThumbImage(TPanel* panel) {
  if (!panel || panel->ControlCount() < 1) return nullptr;
  return dynamic_cast<TImage*>(panel->Controls(0));
}

}  // namespace

void TForm1::ResetThumbColor() {
  if (!FThumbScrollBox) return;
  const int current = ListBox1->ItemIndex();
  for (int i = 0; i < FThumbScrollBox->ControlCount(); ++i) {
    TPanel* panel = ThumbPanel(FThumbScrollBox, i);
    if (!panel) continue;
    const int entry = int(panel->Tag());
    TColor color = ScrollBox1->Color();
    if (entry == current)
      color = TColor(0x00FF0000);
    else if (entry >= 0 && entry < ListBox1->Count() && ListBox1->Selected(entry))
      color = TColor(0x00800000);
    if (panel->Color() != color) panel->SetColor(color);
  }
}

void TForm1::BlueThumb() {
  if (!FThumbScrollBox || !PanelThumbHolder->Visible() || FThumbScrollBox->ControlCount() != ListBox1->Count()) return;
  TPanel* panel = ThumbPanel(FThumbScrollBox, ListBox1->ItemIndex());
  if (panel) FThumbScrollBox->ScrollInView(panel);
  ResetThumbColor();
}

void TForm1::PanelThumbHolderMouseMove(TObject* Sender, TShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  if (!Application->Active()) return;
  if (FormThumbSpy && FormThumbSpy->Visible()) FormThumbSpy->Close();
  // The wheel moves the thumbnails while the pointer is over them: their holder takes the
  // focus (the picture area takes it back), unless a text is being edited or another of
  // the program's windows is the active one.
  if (Active() && !PanelThumbHolder->Focused() && PanelThumbHolder->CanFocus() &&
      !dynamic_cast<TCustomEdit*>(Screen->ActiveControl()) && !QzDirTree211->IsEditing() && !TreeView1->IsEditing())
    PanelThumbHolder->SetFocus();
  auto* control = dynamic_cast<TControl*>(Sender);
  if (!control) return;
  const int tag = int(control->Tag());
  if (tag == FLastHoverThumb) return;
  FLastHoverThumb = tag;
  TPanel* panel = dynamic_cast<TPanel*>(control);
  if (!panel && dynamic_cast<TImage*>(control)) panel = dynamic_cast<TPanel*>(control->Parent());
  if (!panel || !FThumbScrollBox || panel->Parent() != FThumbScrollBox) return;
  ResetThumbColor();
  if (tag != ListBox1->ItemIndex()) panel->SetColor(TColor(0x00C0C0C0));
}

namespace {

// Places a thumbnail of width x height centred in its panel's image.
void ShowInPanel(TPanel* panel, TImage* image, TBitmap& thumb, int panelSize) {
  const int width = thumb.Width(), height = thumb.Height();
  image->SetStretch(true);
  image->SetAutoSize(false);
  image->SetBounds((panelSize - width) / 2, (panelSize - height) / 2, width, height);
  image->Picture()->Assign(&thumb);
  panel->Invalidate();
}

}  // namespace

void TForm1::FillTheTumbsNow() {
  const unsigned generation = ++thumbBuildGeneration_;
  // The build ends when its flag is cleared, when another build starts, or when the
  // panel it fills is gone.
  auto stopped = [&] { return generation != thumbBuildGeneration_ || !FBuildingThumbs || !FThumbScrollBox; };

  PanelThumbHolder->SetDoubleBuffered(false);
  if (FBuildingThumbs) {
    Application->ProcessMessages();
    FBuildingThumbs = false;
  }
  if (generation != thumbBuildGeneration_) return;
  if (PanelThumbHolder->ControlCount() > 0 && FThumbScrollBox) {
    delete FThumbScrollBox;
    FThumbScrollBox = nullptr;
    Application->ProcessMessages();
    if (generation != thumbBuildGeneration_) return;
  }

  if (!FIsWinNT && SystemResourcesLow()) {
    ShowMessage(_("Low system resources!, cannot create thumbnails.") + "\r\n" +
                _("Close other programs, or get more memory"));
    PanelThumbHolder->SetVisible(false);
    return;
  }

  Application->ProcessMessages();
  if (generation != thumbBuildGeneration_) return;
  FThumbsVertical = FThumbsPos == 2;
  SetSlideSize(FThumbSize);
  FThumbX = FThumbGapX;
  FThumbY = FThumbGapY;

  // The scroll box and the holder's place.
  FThumbScrollBox = new TScrollBox(this);
  FThumbScrollBox->SetParent(PanelThumbHolder);
  FThumbScrollBox->SetAlign(alClient);
  FThumbScrollBox->SetBorderStyle(bsNone);
  FThumbScrollBox->SetShowHint(true);
  FThumbScrollBox->SetTag(-1);
  for (TControlScrollBar* bar : {FThumbScrollBox->HorzScrollBar(), FThumbScrollBox->VertScrollBar()}) {
    bar->SetStyle(ssFlat);
    bar->SetTracking(true);
  }
  FThumbScrollBox->SetColor(PanelThumbHolder->Color());
  FThumbScrollBox->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    PanelThumbHolderMouseMove(Sender, Shift, X, Y);
  };
  if (FThumbsVertical) {
    PanelThumbHolder->SetAlign(alRight);
    PanelThumbHolder->SetWidth((FThumbPanelSize + FThumbGapX) * FThumbColumns + 30);
  } else {
    PanelThumbHolder->SetAlign(FThumbsPos == 1 ? alTop : alBottom);
    PanelThumbHolder->SetHeight(FThumbPanelSize + 30);
  }
  if (!PanelThumbHolder->Visible()) {
    PanelThumbHolder->SetVisible(true);
    FormResize(this);
  }
  Application->ProcessMessages();
  if (generation != thumbBuildGeneration_ || !FThumbScrollBox) return;

  const int count = ListBox1->Count();
  thumbsListed_.clear();
  for (int i = 0; i < count; ++i) thumbsListed_.push_back(ListEntryPath(i));
  if (count > 0) {
    Gauge1->SetMinValue(0);
    Gauge1->SetMaxValue(std::max(count - 1, 0));
    Gauge1->SetProgress(0);
    PanelGauge->SetVisible(true);
  }
  if (count == 0) {
    PanelThumbHolder->SetDoubleBuffered(true);
    return;
  }

  // Pass 1: every panel at its place, the box hidden.
  FBuildingThumbs = true;
  FThumbScrollBox->SetVisible(false);
  Gauge1->SetForeColor(TColor(0x00C0C0C0));
  const TColor areaColor = ScrollBox1->Color();
  auto mouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    PanelThumbHolderMouseDown(Sender, Button, Shift, X, Y);
  };
  auto mouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    PanelThumbHolderMouseMove(Sender, Shift, X, Y);
  };
  auto doubleClick = [this](TObject* Sender) { ListBox1DblClick(Sender); };
  for (int i = 0; i < count && !stopped(); ++i) {
    auto* panel = new TPanel(FThumbScrollBox);
    panel->SetParent(FThumbScrollBox);
    panel->SetBounds(FThumbX - FThumbScrollBox->HorzScrollBar()->Position(),
                     FThumbY - FThumbScrollBox->VertScrollBar()->Position(), FThumbPanelSize, FThumbPanelSize);
    panel->SetBevelOuter(bvNone);
    panel->SetColor(areaColor);
    panel->SetTag(i);
    panel->SetShowHint(true);
    panel->OnMouseDown = mouseDown;
    panel->OnMouseMove = mouseMove;
    panel->OnDblClick = doubleClick;
    auto* image = new TImage(panel);
    image->SetParent(panel);
    image->SetBounds(0, 0, FThumbPanelSize, FThumbPanelSize);
    image->SetTag(i);
    image->SetShowHint(true);
    image->OnMouseDown = mouseDown;
    image->OnMouseMove = mouseMove;
    image->OnDblClick = doubleClick;
    FThumbX += FThumbPanelSize + FThumbGapX;
    if (FThumbsVertical && FThumbX + FThumbGapX + FThumbPanelSize > PanelThumbHolder->Width()) {
      FThumbX = FThumbGapX;
      FThumbY += FThumbPanelSize + FThumbGapY;
    }
  }

  // Pass 2: the pictures, one at a time, with the events handled after each.
  if (!stopped()) {
    FThumbScrollBox->SetVisible(true);
    Gauge1->SetForeColor(clActiveCaption);
  }
  int lastReading = 0;
  for (int i = 0; i < count && !stopped(); ++i) {
    Gauge1->SetProgress(i);
    if (!FIsWinNT && lastReading >= 0) {
      const int gdi = GetGDIResourcesFree(), user = GetUserResourcesFree(), system = GetSystemResourcesFree();
      lastReading = system;
      if (ResourcesLow(system, gdi, user)) {
        ShowMessage(_("Out of system resourses, thumb building stopped!"));
        break;
      }
      if (ChB_GDI->Checked())
        SetCaption("GDI: " + IntToStr(gdi) + "% User: " + IntToStr(user) + "% SYS: " + IntToStr(system) + "%");
    }
    TPanel* panel = ThumbPanel(FThumbScrollBox, i);
    TImage* image = ThumbImage(panel);
    if (!image || i >= ListBox1->Count()) break;
    const std::string path = ListEntryPath(i);

    std::string hint;
    TPicture picture;
    TGraphic* graphic = nullptr;
    int side = FThumbImageSize;
    // A cache file that cannot be read is made again, as a missing one is.
    if (ValidThumbFileExists(path) && LoadScaled(ThumbNailName(path), side, picture)) {
      CreateThumbHint(path, "", hint, "");
      graphic = picture.Graphic();
    } else if (IsAssociatedFile(path)) {
      CreateThumbHint(path, "", hint, "");
      hint += "\n" + _("Associated file.");
      graphic = AsociateImage->Picture()->Graphic();
    } else if (!IsImageFile(path)) {
      CreateThumbHint(path, "", hint, "");
      hint += "\n" + _("Not supported!");
      graphic = FalseImage->Picture()->Graphic();
    } else {
      TImage* made = nullptr;
      std::unique_ptr<TImage> temporary;
      if (M_UseTumbCache->Checked()) {
        temporary = std::make_unique<TImage>(nullptr);
        made = temporary.get();
        if (SaveAsJpgThumb(path, made, false)) {
          CreateThumbHint(path, "", hint, "");
          picture.Assign(made->Picture()->Graphic());
          graphic = picture.Graphic();
        }
      }
      if (!graphic) {
        // The picture itself, decoded no larger than the thumbnail needs.
        if (LoadScaled(path, side, picture)) {
          graphic = picture.Graphic();
          int fullWidth = graphic->Width(), fullHeight = graphic->Height();
          if (auto* jpeg = dynamic_cast<TJPEGImage*>(graphic)) {
            const TJPEGScale scale = jpeg->Scale();
            jpeg->SetScale(jsFullSize);
            fullWidth = jpeg->Width();
            fullHeight = jpeg->Height();
            jpeg->SetScale(scale);
          }
          CreateThumbHint(path, IntToStr(fullWidth), hint, IntToStr(fullHeight));
        } else {
          // A picture that cannot be read shows the placeholder.
          CreateThumbHint(path, "", hint, "");
          hint += "\n" + _("Not supported!");
          graphic = FalseImage->Picture()->Graphic();
        }
      }
    }
    if (graphic && !graphic->Empty()) {
      int width = 0, height = 0;
      ThumbFitSize(graphic->Width(), graphic->Height(), FThumbImageSize, width, height);
      TBitmap thumb;
      if (ScaledBitmap(graphic, width, height, ScrollBox1->Color(), thumb))
        ShowInPanel(panel, image, thumb, FThumbPanelSize);
      panel->SetHint(hint);
      image->SetHint(hint);
    }
    Application->ProcessMessages();
  }

  if (generation != thumbBuildGeneration_) return;
  if (FBuildingThumbs) BlueThumb();
  PanelThumbHolder->SetDoubleBuffered(true);
  if (FThumbScrollBox) FThumbScrollBox->SetDoubleBuffered(true);
  FBuildingThumbs = false;
  Gauge1->SetProgress(0);
  PanelGauge->SetVisible(false);
}

bool TForm1::ThumbsShowTheList() const {
  if (int(thumbsListed_.size()) != ListBox1->Count()) return false;
  for (int i = 0; i < ListBox1->Count(); ++i)
    if (thumbsListed_[size_t(i)] != ListEntryPath(i)) return false;
  return true;
}

void TForm1::UpdateThumbnail(int Index, const std::string& FileName) {
  if (ListBox1->Count() == 0 || !PanelThumbHolder->Visible() || !FThumbScrollBox) return;
  TPanel* panel = ThumbPanel(FThumbScrollBox, Index);
  TImage* image = ThumbImage(panel);
  if (!image) return;
  TImage made(nullptr);
  if (!SaveAsJpgThumb(FileName, &made, true)) return;
  TGraphic* graphic = made.Picture()->Graphic();
  if (!graphic || graphic->Empty()) return;
  int width = 0, height = 0;
  ThumbFitSize(graphic->Width(), graphic->Height(), FThumbImageSize, width, height);
  TBitmap thumb;
  if (ScaledBitmap(graphic, width, height, ScrollBox1->Color(), thumb))
    ShowInPanel(panel, image, thumb, FThumbPanelSize);
  FThumbScrollBox->ScrollInView(panel);
}
