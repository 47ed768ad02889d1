#include "tools/ExifInfoUnit2.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/FormLayout.h"
#include "core/Unit1.h"
#include "formats/GraphicFormats.h"
#include "metadata/IptcData.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ComponentTranslation.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Math.h"
#include "platform/rtl/SysUtils.h"

TExifInfoForm* ExifInfoForm = nullptr;

namespace {

const char* const kDashLine = "- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - -";
const char* const kDividerLine = "-------------------------";

// A label of the report's closing lines: three blanks and a tab after it, or two
// tabs when it is short, so that the values line up.
std::string PaddedLabel(const std::string& label) {
  const std::string padded = label + "   ";
  return padded + (padded.size() < 11 ? "\t\t" : "\t");
}

// Pads a text with blanks to a number of characters.
std::string PadRight(const std::string& text, size_t width) {
  size_t characters = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
  return characters >= width ? text : text + std::string(width - characters, ' ');
}

std::string ColorSchemeText(int scheme) {
  static const char* const kNames[] = {"Unknown, no defined color scheme",
                                       "Indexed, any palette format",
                                       "G - Gray scale",
                                       "GA - Gray scale with Alpha channel",
                                       "RGB - Red, Green, Blue",
                                       "RGBA - Red, Green, Blue with Alpha channel",
                                       "BGR - Blue Green Red (RGB in Reversed order)",
                                       "BGRA - Blue Green Red with Alpha channel",
                                       "CMY - Cyan, Magenta, Yellow",
                                       "CMYK - Cyan, Magenta, Yellow with blacK",
                                       "CIELab",
                                       "YCbCr",
                                       "PhotoYCC"};
  return _(scheme >= 0 && scheme < int(std::size(kNames)) ? kNames[scheme] : kNames[0]);
}

// A compression name padded to 11 characters (the two words among them translated).
std::string CompressionText(int compression) {
  static const char* const kNames[] = {"Unknown", "None",     "RLE",      "PackedBits", "LZW",       "Fax3",
                                       "FaxRLE",  "Fax4",     "FaxRLEW",  "LZ77",       "JPEG",      "OJPEG",
                                       "Thunderscan", "Next", "IT8CTPAD", "IT8LW",      "IT8MP",     "IT8BL",
                                       "PixarFilm", "PixarLog", "DCS",    "JBIG",       "PCDHuffmann"};
  const char* name = compression >= 0 && compression < int(std::size(kNames)) ? kNames[compression] : kNames[0];
  return PadRight(compression <= 1 ? _(name) : std::string(name), 11);
}

// A label of the "Info" page with the blanks and the tab that follow it.
std::string Label(const char* label, const char* padding) { return _(label) + padding; }

// The "Info" page's line that describes the colours of a scheme at a depth.
std::string DescriptionLine(int scheme, int bitsPerPixel) {
  const double levels = std::ldexp(1.0, bitsPerPixel);
  std::string text;
  if (scheme == 2 || scheme == 3)
    text = Format(_n("%d gray level", "%d gray levels", uint64_t(levels)), {int64_t(levels)});
  else if (scheme >= 4 && scheme <= 12)
    text = Format(_("%d bit true color"), {int64_t(bitsPerPixel)});
  else if (bitsPerPixel != 1)
    text = Format(_n("%d palette color", "%d palette colors", uint64_t(levels)), {int64_t(levels)});
  else
    text = _("black and white");
  return Label("Description", "    \t") + text;
}

// A size line of the "Info" page: the size in the file, with the size loaded after it when
// the picture was not loaded whole.
std::string SizeLine(const char* label, const char* padding, int inFile, int loaded, bool whole) {
  std::string line = Label(label, padding) + IntToStr(inFile);
  if (!whole) line += "\t (" + _("loaded:") + " " + IntToStr(loaded) + ")";
  return line;
}

bool IsJpegName(const std::string& fileName) {
  const std::string ext = UpperCase(ExtractFileExt(fileName));
  return ext == ".JPG" || ext == ".THM" || ext == ".JPEG";
}

}  // namespace

TExifInfoForm::TExifInfoForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("ExifInfoForm");
  SetCaption("ExifInfoForm");
  SetFormStyle(fsStayOnTop);
  SetBounds(311, 145, 347, 359);

  PageControl1 = NewAligned<TPageControl>(this, this, "PageControl1", alClient);
  auto page = [&](const char* name, const char* caption) {
    return NewControl<TTabSheet>(this, PageControl1, name, caption, 0, 0, 0, 0);
  };
  TabSheet2 = page("TabSheet2", "Exif");
  TabSheet3 = page("TabSheet3", "Exif - Maker specific");
  TabSheet4 = page("TabSheet4", "Info");
  PageControl1->SetActivePage(TabSheet2);

  Panel3 = NewAligned<TPanel>(this, TabSheet2, "Panel3", alBottom, 58);
  Panel3->SetBevelOuter(bvNone);
  Memo1 = NewAligned<TMemo>(this, TabSheet2, "Memo1", alClient);
  CB_Compact = NewCheckBox(this, Panel3, "CB_Compact", "All EXIF", false, 4, 4, 110);
  SB_Calc = NewControl<TZqSpeedButton>(this, Panel3, "SB_Calc", "35", 4, 28, 44, 24);
  SB_Calc->SetGroupIndex(1);
  SB_Calc->SetAllowAllUp(true);
  SetHintText(SB_Calc, "35mm equivalent calculator");
  Panel2 = NewControl<TPanel>(this, Panel3, "Panel2", 50, 26, 286, 28);
  Panel2->SetBevelOuter(bvNone);
  Edit1 = NewControl<TEdit>(this, Panel2, "Edit1", "8,2", 0, 2, 40, 22);
  Edit1->SetMaxLength(5);
  Edit2 = NewControl<TEdit>(this, Panel2, "Edit2", "38", 44, 2, 40, 22);
  Edit2->SetMaxLength(5);
  // The two edits' hints (set on every show) explain what to type.
  Edit1->SetShowHint(true);
  Edit2->SetShowHint(true);
  StaticText1 = NewControl<TStaticText>(this, Panel2, "StaticText1", "35mm equivalent: n/a", 90, 6, 194, 17);
  ZqButton1 = NewControl<TZqButton>(this, Panel3, "ZqButton1", "Write to file", 170, 2, 166, 22);

  Memo3 = NewAligned<TMemo>(this, TabSheet3, "Memo3", alClient);
  Memo2 = NewAligned<TMemo>(this, TabSheet4, "Memo2", alClient);
  for (TMemo* memo : {Memo1, Memo2, Memo3}) {
    memo->SetWordWrap(false);
    memo->SetScrollBars(ssVertical);
  }
  Memo1->Lines()->SetText("Exif n/a");
  Memo2->Lines()->SetText("n/a");
  Memo3->Lines()->SetText("n/a");
  SaveDialog1 = new TSaveDialog(this);
  SaveDialog1->SetName("SaveDialog1");

  CB_Compact->OnClick = [this](TObject* Sender) { CB_CompactClick(Sender); };
  SB_Calc->OnClick = [this](TObject* Sender) { SB_CalcClick(Sender); };
  Edit1->OnExit = [this](TObject* Sender) { Edit2Exit(Sender); };
  Edit2->OnExit = [this](TObject* Sender) { Edit2Exit(Sender); };
  ZqButton1->OnClick = [this](TObject* Sender) { ZqButton1Click(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

const TStrings* TExifInfoForm::EquivalentList() const { return Form1 ? Form1->FEquivalentList.get() : nullptr; }

void TExifInfoForm::FormCreate(TObject* /*Sender*/) {
  TranslateComponent(this);
  ExifData = std::make_unique<TimgData>(255);
  SetWidth(InfoWidth());
}

int TExifInfoForm::InfoWidth() const {
  // Every colour scheme's line, and the longest descriptions and size lines.
  std::vector<std::string> lines;
  for (int scheme = 0; scheme <= 12; ++scheme) lines.push_back(Label("ColorScheme", "   \t") + ColorSchemeText(scheme));
  for (int scheme : {0, 2, 4}) lines.push_back(DescriptionLine(scheme, 16));
  lines.push_back(SizeLine("Width:", "        \t", 65535, 65535, false));
  // The page control fills the window and the memo fills its page.
  return std::max(Width(), Width() - PageControl1->DisplayRect().Width() + Memo2->WidthForLines(lines));
}

// ---------------------------------------------------------------------------
// The report
// ---------------------------------------------------------------------------

void TExifInfoForm::MemoLineAdd(const std::string& Text) {
  // Lines the text breaks become lines of the report, as a memo shows them.
  size_t from = 0;
  for (;;) {
    const size_t at = Text.find('\n', from);
    std::string line = Text.substr(from, at == std::string::npos ? std::string::npos : at - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Memo1->Lines()->Add(line);
    if (at == std::string::npos) return;
    from = at + 1;
  }
}

void TExifInfoForm::ShowExifInf(const std::string& FileName) {
  FCurrentFile = FileName;
  SetCaption(TextFromBytes(ExtractFileName(FileName)));
  ShowImageInfo();
  Memo1->Lines()->Clear();
  Memo3->Lines()->Clear();
  Memo3->Lines()->Add(_("Maker tag not available"));
  ExifData->ReadMode = 255;
  ExifData->ReadFileMetadata(FileName);
  if (CB_Compact->Checked()) dumpEXIF();

  if (ExifData->HasMetadata()) {
    if (!ExifData->HasThumbnail()) MemoLineAdd(_("No Thumbnail in Exif"));
    if (ExifData->CommentSegment) {
      std::string comment;
      ExifData->CommentText(comment);
      MemoLineAdd(kDashLine);
      MemoLineAdd(" " + _("Comment Segment Available"));
      MemoLineAdd(TextFromBytes(comment));
      MemoLineAdd(" ");
    }
    if (ExifData->IptcSegment && ExifData->IptcData) {
      const std::vector<std::string> lines = ExifData->IptcData->IptcLines(ExifData->IptcSegment->Data);
      if (!lines.empty()) {
        MemoLineAdd(kDashLine);
        MemoLineAdd(" " + _("IPTC Segment Available!") + "\r\n");
        for (const std::string& line : lines) MemoLineAdd(TextFromBytes(line));
        MemoLineAdd(" ");
      }
    }
    if (ExifData->HasExif() && ExifData->ImageInfo) {
      TImageInfo& info = *ExifData->ImageInfo;
      if (CB_Compact->Checked()) MemoLineAdd(kDashLine);
      MemoLineAdd(info.ExifSummary());
      MemoLineAdd(kDashLine);
      auto closing = [&](const std::string& label, const std::string& tag) {
        const std::string value = info.GetTagValue(tag);
        if (!value.empty()) MemoLineAdd(PaddedLabel(label) + TextFromBytes(value));
      };
      closing(_("Widest Aperture:"), "MaxApertureValue");
      closing(_("Response Time:"), "ShutterSpeedValue");
      closing(_("Light Meter mode:"), "MeteringMode");
      closing(_("35mm equivalent:"), "FocalLengthin35mmFilm");
      if (info.MakerNoteDecoded) dumpMSpecific();
    }
  }
  Show3mmEQ(focalLine());
}

void TExifInfoForm::dumpEXIF() {
  MemoLineAdd(_("-- EXIF-Data -------------- "));
  if (ExifData->ErrStr != kStatusNone) MemoLineAdd("ErrStr = " + _(ExifData->ErrStr));
  if (!ExifData->HasExif() || !ExifData->ImageInfo) {
    MemoLineAdd(_("No EXIF data found"));
    return;
  }
  const TImageInfo& info = *ExifData->ImageInfo;
  MemoLineAdd(info.MotorolaOrder ? _("Motorola Byte Order") : _("Intel Byte Order"));
  for (const TTagEntry& tag : info.Tags) {
    if (tag.Key != 0) continue;
    MemoLineAdd(PadRight(tag.Desc + ":", 29) + "\t " + TextFromBytes(tag.Data));
  }
}

void TExifInfoForm::dumpMSpecific() {
  Memo3->Lines()->Clear();
  if (!ExifData->ImageInfo) return;
  for (const TTagEntry& tag : ExifData->ImageInfo->Tags)
    if (tag.Key == 1) Memo3->Lines()->Add(TextFromBytes(tag.Desc + " = " + tag.Data));
}

int TExifInfoForm::FocalLineNr() const {
  const std::string label = AnsiUpperCase(_("Focal Length:"));
  TStrings* lines = Memo1->Lines();
  for (int i = 1; i < lines->Count(); ++i)
    if (AnsiUpperCase(lines->Strings(i)).find(label) != std::string::npos) return i;
  return lines->Count();
}

std::string TExifInfoForm::focalLine() const {
  const int i = FocalLineNr();
  return i < Memo1->Lines()->Count() ? Memo1->Lines()->Strings(i) : std::string();
}

void TExifInfoForm::Show3mmEQ(const std::string& Line) {
  StaticText1->SetCaption(_("35mm equivalent: n/a"));
  const std::string digits = NumberCharacters(Line);
  if (Line.empty() || !IsNumericText(digits) || !Form1) return;
  double focal, film, digi;
  // A reference lens of 0 mm gives no factor.
  if (!LocaleNumber(digits, focal) || !LocaleNumber(Trim(Form1->FFilmFactor), film) ||
      !LocaleNumber(Trim(Form1->FDigiFactor), digi) || digi == 0)
    return;
  StaticText1->SetCaption(" " + _("35mm equivalent:") + " " + FixedNumberText(focal * film / digi) + "mm");
}

// ---------------------------------------------------------------------------
// The "Info" page
// ---------------------------------------------------------------------------

void TExifInfoForm::ShowImageInfo() {
  TStrings* lines = Memo2->Lines();
  lines->Clear();
  if (!Form1 || !Form1->FSourcePicture) return;
  TGraphic* graphic = Form1->FSourcePicture->Graphic();
  int scheme = 0, bitsPerSample = 0, samplesPerPixel = 0, bitsPerPixel = 0, compression = 0;
  double gamma = 0, xResolution = 0, yResolution = 0;
  if (auto* format = dynamic_cast<TFormatGraphic*>(graphic)) {
    const TImageProperties& p = format->ImageProperties;
    const std::string description = FileFormatList ? FileFormatList->GetDescription(format->ClassType()) : "";
    lines->Add(Label("Properties:", "   \t") + description);
    lines->Add(Label("Width:", "        \t") + IntToStr(int64_t(p.Width)));
    lines->Add(Label("Height:", "       \t") + IntToStr(int64_t(p.Height)));
    scheme = p.ColorScheme;
    bitsPerSample = p.BitsPerSample;
    samplesPerPixel = p.SamplesPerPixel;
    bitsPerPixel = p.BitsPerPixel;
    compression = p.Compression;
    gamma = p.FileGamma;
    xResolution = p.XResolution;
    yResolution = p.YResolution;
  } else if (auto* bitmap = dynamic_cast<TBitmap*>(graphic)) {
    lines->Add(Label("Properties:", "   \t") + (IsJpegName(FCurrentFile) ? _("JPEG image") : _("image")));
    const bool whole = bitmap->Width() == Form1->FImageWidth && bitmap->Height() == Form1->FImageHeight;
    lines->Add(SizeLine("Width:", "        \t", Form1->FImageWidth, bitmap->Width(), whole));
    lines->Add(SizeLine("Height:", "       \t", Form1->FImageHeight, bitmap->Height(), whole));
    switch (bitmap->PixelFormat()) {
      case pfDevice: bitsPerPixel = 24; samplesPerPixel = 8; bitsPerSample = bitsPerPixel / 8; scheme = 7; break;
      case pf1bit: bitsPerSample = 1; samplesPerPixel = 1; scheme = 1; break;
      case pf4bit: bitsPerSample = 4; samplesPerPixel = 1; scheme = 1; break;
      case pf8bit: bitsPerSample = 8; samplesPerPixel = 1; scheme = 1; break;
      case pf15bit:
      case pf16bit: bitsPerSample = 5; samplesPerPixel = 3; scheme = 6; break;
      case pf24bit: bitsPerSample = 8; samplesPerPixel = 3; scheme = 6; break;
      case pf32bit: bitsPerSample = 8; samplesPerPixel = 4; scheme = 7; break;
      case pfCustom: break;
    }
    if (bitmap->PixelFormat() != pfDevice) bitsPerPixel = bitsPerSample * samplesPerPixel;
  }
  lines->Add(kDividerLine);
  lines->Add(Label("File Date/Time", " \t") + FileDateAsExifText(FCurrentFile));
  lines->Add(Label("File size", "      \t") + FileSizeText(FCurrentFile));
  lines->Add(kDividerLine);
  lines->Add(Label("ColorScheme", "   \t") + ColorSchemeText(scheme));
  lines->Add(DescriptionLine(scheme, bitsPerPixel));
  lines->Add(Label("Bits per Pixel", "   \t") + IntToStr(bitsPerPixel));
  lines->Add(Label("Bits per Sample", "\t") + IntToStr(bitsPerSample));
  lines->Add(Label("Sample per Bits", "\t") + IntToStr(samplesPerPixel));
  lines->Add(kDividerLine);
  lines->Add(Label("Compression", "   \t") + (IsJpegName(FCurrentFile) ? std::string("JPG") : CompressionText(compression)));
  lines->Add(Label("DPI:", "          \t") + IntToStr(Round(xResolution)) + "x" + IntToStr(Round(yResolution)));
  lines->Add(Label("File gamma:", "   \t") + FloatToStrF(gamma, ffFixed, 5, 2));
}

// ---------------------------------------------------------------------------
// Events
// ---------------------------------------------------------------------------

void TExifInfoForm::FormShow(TObject* /*Sender*/) {
  // Hints break their lines at line feeds.
  Edit1->SetHint(_("Enter lens length of the digital camera\nFor example 7") + std::string(1, DecimalSeparator()) +
                 _("2\nSee the f number on the lens or documentation of the camera."));
  Edit2->SetHint(_("Enter equivalent for the lens length\nFor example 38\nSee documentation of the camera."));
  if (!Form1) return;
  SB_Calc->SetDown(Form1->FEquivalentCalc);
  Panel2->SetVisible(Form1->FEquivalentCalc);
  Edit1->SetText(UseLocaleDecimalSeparator(Form1->FDigiFactor));
  Edit2->SetText(UseLocaleDecimalSeparator(Form1->FFilmFactor));
  CB_Compact->SetChecked(Form1->FCompactExif);
  Edit2Exit(Edit2);
}

void TExifInfoForm::Edit2Exit(TObject* /*Sender*/) {
  if (!Form1) return;
  if (!IsNumericText(Edit1->Text())) Edit1->SetText(Form1->FDigiFactor);
  if (!IsNumericText(Edit2->Text())) Edit2->SetText(Form1->FFilmFactor);
  Form1->FDigiFactor = Edit1->Text();
  Form1->FFilmFactor = Edit2->Text();
  Show3mmEQ(focalLine());
}

void TExifInfoForm::SB_CalcClick(TObject* /*Sender*/) {
  Panel2->SetVisible(SB_Calc->Down());
  if (Panel2->Visible()) Show3mmEQ(focalLine());
}

void TExifInfoForm::CB_CompactClick(TObject* /*Sender*/) { ShowExifInf(FCurrentFile); }

void TExifInfoForm::ZqButton1Click(TObject* /*Sender*/) {
  if (Form1) SaveDialog1->SetFileName(Form1->ExifTXTName());
  if (!SaveDialog1->Execute()) return;
  const std::string fileName = SaveDialog1->FileName();
  // A file of that name (a text the user keeps beside the picture) is replaced only when the user says so.
  if (FileExists(fileName) &&
      TranslatedMessageDialog(Format(_("The file %s already exists. Do you want to replace it?"),
                                     {TextFromBytes(fileName)}),
                              mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
    return;
  try {
    Memo1->Lines()->SaveToFile(fileName);
  } catch (const Exception& e) {
    ShowMessage(e.Message());
  }
}

void TExifInfoForm::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  if (!Form1) return;
  Form1->FEquivalentCalc = SB_Calc->Down();
  Form1->FDigiFactor = Edit1->Text();
  Form1->FFilmFactor = Edit2->Text();
  Form1->FCompactExif = CB_Compact->Checked();
  if (Form1->Imageinfo1) Form1->Imageinfo1->SetChecked(false);
  if (Form1->Exifinfo1) Form1->Exifinfo1->SetChecked(false);
}
