// The Shotgraph run: every picture file of the folder (and its sub-folders) is asked
// for its focal length, ISO number, aperture and shutter time; each value becomes a
// text key; the keys are counted and charted, and the files are listed per value.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>

#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "metadata/ExifFacade.h"
#include "tools/ExifInfoUnit2.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Spin.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Math.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/Charts.h"
#include "tools/UnitAnalize.h"

bool StopAnalyzing = false;

namespace shotgraph {

bool IsJpegExt(const std::string& FileName) {
  const std::string ext = UpperCase(ExtractFileExt(FileName));
  return ext == ".JPG" || ext == ".JPEG" || ext == ".THM" || ext == ".JPE";
}

bool StrToRoundedInt(const std::string& text, int& value) {
  std::string digits;
  bool roundUp = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ',' || c == '.') {
      roundUp = i + 1 < text.size() && text[i + 1] >= '5' && text[i + 1] <= '9';
      break;
    }
    if (c >= '0' && c <= '9') digits += c;
  }
  // Leading zeros say nothing; nine digits are far beyond any focal length.
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
  if (digits.empty() || digits.size() > 9) return false;
  value = std::stoi(digits) + (roundUp ? 1 : 0);
  return true;
}

int RoundToStep(int focal, int steps, int ignore) {
  if (ignore > 0 && focal <= ignore) return focal;
  // A value outside the brackets (below 0, or beyond 10000 steps) keeps its own value.
  if (steps <= 0 || focal < 0 || focal > 10000 * steps) return focal;
  const int lower = focal / steps * steps, upper = lower + steps;
  if (lower == focal) return focal;
  return upper - focal <= focal - lower ? upper : lower;
}

std::string FocalKey(int focal) {
  const std::string number = IntToStr(focal);
  return number.size() >= 5 ? number : std::string(5 - number.size(), '_') + number;
}

namespace {
// '_' and other marks first, then digits, then letters (without case), then the bytes of
// other characters. The runs sort thousands of keys: the weights are a table.
struct Weights {
  int of[256];
  constexpr Weights() : of() {
    for (int c = 0; c < 256; ++c)
      of[c] = c >= '0' && c <= '9'   ? 1000 + c
              : c >= 'A' && c <= 'Z' ? 2000 + c
              : c >= 'a' && c <= 'z' ? 2000 + c - 'a' + 'A'
              : c >= 0x80            ? 3000 + c
                                     : c;
  }
};
constexpr Weights kWeights;
}  // namespace

int CompareKeys(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;
    const int wa = kWeights.of[static_cast<unsigned char>(a[i])], wb = kWeights.of[static_cast<unsigned char>(b[i])];
    if (wa != wb) return wa < wb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

double ApertureValue(const std::string& key) {
  std::string number;
  for (char c : key) {
    if (c >= '0' && c <= '9')
      number += c;
    else if ((c == '.' || c == ',') && !number.empty())
      number += DecimalSeparator();
  }
  double v;
  return !number.empty() && TryStrToFloat(number, v) ? v : -1;
}

std::string ShutterText(double t, bool fractions) {
  // No exposure time (or none that makes sense) gives no text: 1/t is never taken of 0.
  if (!(t > 0) || !std::isfinite(t) || t > 1e9) return "";
  if (!fractions) return FloatToStr(RoundTo(t, -4));
  if (t < 1) return "1/" + FloatToStr(double(Round(1 / t)));
  return FloatToStr(double(Round(t)));
}

int CompareFloatStrings(const std::string& a, const std::string& b) {
  double x = 0, y = 0;
  // Texts that are no number sort after every exposure.
  const bool okA = TryStrToFloat(a, x), okB = TryStrToFloat(b, y);
  if (okA != okB) return okA ? -1 : 1;
  if (x == y) return 0;
  return x > y ? -1 : 1;
}

int CompareFractionStrings(const std::string& a, const std::string& b) {
  const std::string pa = std::string(a.size() < 30 ? 30 - a.size() : 0, '0') + a;
  const std::string pb = std::string(b.size() < 30 ? 30 - b.size() : 0, '0') + b;
  if (pa == pb) return 0;
  const bool fraction = a.find('/') != std::string::npos || b.find('/') != std::string::npos;
  const int order = pa < pb ? -1 : 1;
  return fraction ? order : -order;
}

}  // namespace shotgraph

using namespace shotgraph;

namespace {

// Moves a progress bar on when the move shows (a whole percent) and the bar was last
// moved a moment ago, so a fast scan does not spend its time repainting the bar.
void Advance(TProgressBar* bar, int position) {
  static auto last = std::chrono::steady_clock::time_point();
  const auto now = std::chrono::steady_clock::now();
  const int64_t span = std::max(1, bar->Max() - bar->Min());
  const bool shows = (int64_t(position) * 100 / span) != (int64_t(bar->Position()) * 100 / span);
  if (position >= bar->Max() || (shows && now - last >= std::chrono::milliseconds(40))) {
    bar->SetPosition(position);
    last = now;
  }
}

}  // namespace

// What one run gathers; the settings it reads are fixed when it starts.
struct TFormAnalize::Run {
  std::string folder;
  std::vector<std::string> folders;
  std::vector<std::string> focal, iso, aperture, shutter;
  // The path list: each line with the file it names.
  std::vector<std::pair<std::string, std::string>> paths;
  int selected = 0;  // the quantity of the path list (RadioGroup1)
  bool filter = false;
  std::string make, model, noteLabel, noteData;
  bool realLength = false, alwaysCalc = false, pairUsable = true;
  std::string realLens, equivalent;
  bool steps = false;
  int stepSize = 10, ignore = 28;
  bool fractions = true;
  // The window or the program closes: the run ends without messages.
  bool closing = false;
};

bool TFormAnalize::pump() {
  Application->ProcessMessages();
  if (Application->Terminated() || FClosedDuringRun) StopAnalyzing = true;
  return !StopAnalyzing;
}

bool TFormAnalize::lensPairUsable() {
  double real, equivalent;
  return LocaleNumber(Trim(Edit1->Text()), real) && LocaleNumber(Trim(Edit2->Text()), equivalent) && real > 0 &&
         equivalent > 0;
}

void TFormAnalize::CollectIso(Run& run, const std::string& Path) {
  const int iso = ExifInfoForm->Get_ISO_NR(Path);
  std::string makeModel;
  if (run.selected == 1) ExifInfoForm->GetMakeAndModel(Path, makeModel);
  if (iso != 0) {
    run.iso.push_back(PadLeft(IntToStr(iso), 5, '_'));
    if (run.selected == 1)
      run.paths.push_back({"ISO " + PadLeft(IntToStr(iso), 3, '_') + " - " + Path + " " + makeModel, Path});
  } else if (run.selected == 1) {
    run.paths.push_back({"ISO n/a   - " + Path + " " + makeModel, Path});
  }
}

void TFormAnalize::CollectAperture(Run& run, const std::string& Path) {
  std::string a;
  ExifInfoForm->Get_Aperture(Path, a);
  std::string makeModel;
  if (run.selected == 2) ExifInfoForm->GetMakeAndModel(Path, makeModel);
  if (a != "n/a") {
    run.aperture.push_back(PadLeft(a, 5, '_'));
    if (run.selected == 2) run.paths.push_back({PadLeft(a, 4, '_') + " - " + Path + " " + makeModel, Path});
  } else if (run.selected == 2) {
    run.paths.push_back({"Aperture n/a - " + Path + " " + makeModel, Path});
  }
}

void TFormAnalize::CollectShutter(Run& run, const std::string& Path) {
  std::string raw;
  ExifInfoForm->Get_RawShutterSpeed(Path, raw);
  const std::string s = ShutterText(ExifInfoForm->ExtractFloatFromstr(raw), run.fractions);
  std::string makeModel;
  if (run.selected == 3) ExifInfoForm->GetMakeAndModel(Path, makeModel);
  if (!s.empty()) {
    run.shutter.push_back(s);
    if (run.selected == 3)
      run.paths.push_back({PadLeft(s, 6, '_') + " " + _("sec") + " - " + Path + " " + makeModel, Path});
  } else if (run.selected == 3) {
    run.paths.push_back({_("Shutterspeed") + " n/a - " + Path + " " + makeModel, Path});
  }
}

void TFormAnalize::ScanFolder(Run& run, std::string Folder) {
  if (Folder.size() > 1) Folder = ExcludeTrailingPathDelimiter(Folder);
  const bool single = run.folders.size() == 1;
  TStringList names;
  TSearchRec rec;
  if (FindFirst(IncludeTrailingPathDelimiter(Folder) + "*", faAnyFile, rec) == 0) {
    do {
      if (!(rec.Attr & faDirectory)) names.Add(rec.Name);
    } while (FindNext(rec) == 0);
    FindClose(rec);
  }
  int count = 0;
  for (int i = 0; i < names.Count(); ++i)
    if (IsJpegExt(names.Strings(i))) ++count;
  FTotalFiles += count;
  if (single) ProgrBarCollect->SetMax(FTotalFiles);
  int done = 0;
  for (int i = 0; i < names.Count(); ++i) {
    const std::string& name = names.Strings(i);
    if (!IsJpegExt(name)) continue;
    const std::string path = IncludeTrailingPathDelimiter(Folder) + name;
    // The questions below are about this one file: it is looked at once.
    const TExifFacade::TOneFile oneFile(*ExifInfoForm);
    bool included = true;
    if (run.filter) {
      if (StatusBar1->SimpleText().empty()) StatusBar1->SetSimpleText(_("Scanning files with the filter enabled"));
      const bool noteFits = run.noteLabel.empty() || run.noteData.empty() ||
                            ExifInfoForm->GetMakerNote(run.noteLabel, run.noteData, path);
      const bool cameraFits = (run.make.empty() && run.model.empty()) ||
                              ExifInfoForm->IsMakeAndModel(path, run.make, run.model);
      included = noteFits && cameraFits;
    }
    std::string focalText;
    if (included) {
      if (run.realLength)
        ExifInfoForm->Get35mmLens(path, "1", focalText, true, "1");
      else
        ExifInfoForm->Get35mmLens(path, run.realLens, focalText, run.alwaysCalc, run.equivalent);
      // Without a usable lens pair, a file whose 35 mm value must be worked out from it
      // (it has none of its own and the lens list has none) ends the run with the message;
      // files with their own values count. The value asked with a pair of 1 and 2 differs
      // only when it is worked out.
      if (!run.realLength && !run.pairUsable && !focalText.empty()) {
        std::string worked;
        ExifInfoForm->Get35mmLens(path, "1", worked, run.alwaysCalc, "2");
        if (worked != focalText)
          throw Exception(_("The lens length and its 35mm equivalent must be numbers above 0."));
      }
      CollectIso(run, path);
      CollectAperture(run, path);
      CollectShutter(run, path);
    }
    int focal = 0;
    // A focal length text without digits gives the file no focal key (its other values count).
    if (!focalText.empty() && StrToRoundedInt(focalText, focal)) {
      if (run.steps) focal = RoundToStep(focal, run.stepSize, run.ignore);
      const std::string key = FocalKey(focal);
      run.focal.push_back(key);
      if (run.selected == 0) {
        std::string info, makeModel;
        ExifInfoForm->Debuginfo(path, info);
        ExifInfoForm->GetMakeAndModel(path, makeModel);
        run.paths.push_back({key + " mm = " + info + " - " + path + makeModel, path});
      }
      ++FAnalysedFiles;
    }
    if (single) Advance(ProgrBarCollect, ++done);
    // The queue runs after each file, so Stop, Esc and closing are served within a folder too.
    if (!pump()) return;
  }
}

bool TFormAnalize::PlotList(Run& run, std::vector<std::string>& list, TChartSeries* series, bool focal) {
  if (list.empty()) return true;
  FValueList->Clear();
  std::vector<int> counts;
  std::map<std::string, int> index;
  if (focal) {
    ProgrBarAnalyse->SetMax(int(list.size()));
    ProgrBarAnalyse->SetPosition(0);
  }
  for (size_t i = 0; i < list.size(); ++i) {
    auto [at, added] = index.emplace(list[i], int(counts.size()));
    if (added) {
      FValueList->Add(list[i]);
      counts.push_back(0);
    }
    ++counts[size_t(at->second)];
    if (focal) Advance(ProgrBarAnalyse, int(i) + 1);
  }
  for (int i = 0; i < FValueList->Count(); ++i) {
    const std::string key = FValueList->Strings(i);
    if (focal) {
      series->Add(counts[size_t(i)], IntToStr(IntegerPartOf(key)), clTeeColor);
      FValueList->SetStrings(i, key.substr(std::min(key.find_first_not_of('_'), key.size())) + "\t" +
                                    IntToStr(counts[size_t(i)]));
    } else {
      series->Add(counts[size_t(i)], StripChar(key, '_'), clTeeColor);
    }
  }
  // The queue runs once the series is drawn; only closing ends the plotting, a stop
  // request lets what was gathered be drawn.
  Application->ProcessMessages();
  if (Application->Terminated() || FClosedDuringRun) {
    run.closing = true;
    return false;
  }
  return true;
}

void TFormAnalize::PlotAll(Run& run) {
  auto textOrder = [](const std::string& a, const std::string& b) { return CompareKeys(a, b) < 0; };
  std::stable_sort(run.focal.begin(), run.focal.end(), textOrder);
  std::stable_sort(run.iso.begin(), run.iso.end(), textOrder);
  // Apertures by their number: "F4" before "F11" however the keys are filled.
  std::stable_sort(run.aperture.begin(), run.aperture.end(), [](const std::string& a, const std::string& b) {
    const double x = ApertureValue(a), y = ApertureValue(b);
    return x != y ? x < y : CompareKeys(a, b) < 0;
  });
  const bool fractions = run.fractions;
  std::stable_sort(run.shutter.begin(), run.shutter.end(), [fractions](const std::string& a, const std::string& b) {
    return (fractions ? CompareFractionStrings(a, b) : CompareFloatStrings(a, b)) < 0;
  });
  if (!PlotList(run, run.focal, ChBbar->Checked() ? static_cast<TChartSeries*>(BarSeries1) : LineSeries1, true))
    return;
  if (!PlotList(run, run.iso, BarSeries2, false)) return;
  if (!PlotList(run, run.aperture, BarSeries3, false)) return;
  PlotList(run, run.shutter, BarSeries4, false);
}

void TFormAnalize::showPathList(Run& run) {
  std::stable_sort(run.paths.begin(), run.paths.end(),
                   [](const auto& a, const auto& b) { return CompareKeys(a.first, b.first) < 0; });
  TStringList lines;
  FLinePaths.clear();
  for (const auto& [line, path] : run.paths) {
    lines.Add(line);
    FLinePaths.push_back(path);
  }
  // The whole text at once: one layout of the list instead of one per line.
  RichEdit1->Lines()->SetText(lines.Text());
  Zq_SaveRichedit->SetEnabled(true);
  try {
    lines.SaveToFile(Form1->FAppDir + "fp_debug.txt");
  } catch (const Exception& e) {
    // The list stays shown and can be saved elsewhere; the failure is said.
    if (!run.closing) ShowMessage(e.Message());
  }
}

void TFormAnalize::StartAnalizingClick(TObject* /*Sender*/) {
  if (FRunning) return;
  if (Cb_Custom->Checked() && (MN_name_Edit->Text().empty() != MN_Data_Edit->Text().empty())) {
    ShowMessage(_("You need to fill Maker and/or Model, and/or enter two strings at the Maker note."));
    return;
  }
  // Always working out the 35 mm values needs the typed pair for every file.
  if (!ZqSetforRealLength->Down() && Ch_AlwaysCalc->Checked() && !lensPairUsable()) {
    ShowMessage(_("The lens length and its 35mm equivalent must be numbers above 0."));
    return;
  }
  if (!FValueList) FValueList = std::make_unique<TStringList>();
  Image1->Picture()->Assign(nullptr);
  Label15->SetCaption(_("Select a line to view information"));
  Form1->HourGlassCursor();
  Run run;
  run.folder = Form1->QzDirTree211 ? Form1->QzDirTree211->SelectedPath() : std::string();
  if (run.folder.empty()) run.folder = Form1->FLastPath;
  run.selected = RadioGroup1->ItemIndex();
  run.filter = Cb_Custom->Checked();
  run.make = EditMake->Text();
  run.model = EditModel->Text();
  run.noteLabel = MN_name_Edit->Text();
  run.noteData = MN_Data_Edit->Text();
  run.realLength = ZqSetforRealLength->Down();
  run.realLens = Edit1->Text();
  run.equivalent = Edit2->Text();
  run.alwaysCalc = Ch_AlwaysCalc->Checked();
  run.pairUsable = lensPairUsable();
  run.steps = ChBoxSteps->Checked();
  run.stepSize = SpinEdit1->Value();
  run.ignore = SpinEdit2->Value();
  run.fractions = ChB_Raw->Checked();
  TZqSpeedButton* saveButtons[] = {ZqSaveDate, ZqSpeedButton5, ZqSpeedButton6, ZqSpeedButton7};
  std::string failure;
  bool scanned = false;
  FRunning = true;
  FClosedDuringRun = false;
  if (run.folder.empty() || !DirectoryExists(run.folder)) {
    ShowMessage(_("No folder selected."));
  } else {
    scanned = true;
    RichEdit1->Clear();
    FLinePaths.clear();
    Zq_SaveRichedit->SetEnabled(false);
    SetCaption(_("Analyzing: ") + run.folder);
    ProgrBarCollect->SetPosition(0);
    ProgrBarAnalyse->SetPosition(0);
    StatusBar1->SetSimpleText("");
    FStatusText.clear();
    FValueList->Clear();
    for (TZqSpeedButton* b : saveButtons) b->SetEnabled(false);
    for (TChartSeries* s : {static_cast<TChartSeries*>(LineSeries1), static_cast<TChartSeries*>(BarSeries1),
                            static_cast<TChartSeries*>(BarSeries2), static_cast<TChartSeries*>(BarSeries3),
                            static_cast<TChartSeries*>(BarSeries4)})
      s->Clear();
    for (TChart* c : {Chart5, Chart6, Chart7, Chart8}) c->UndoZoom();
    StopAnalyzing = false;
    StartAnalizing->SetVisible(false);
    StopAnalizing->SetVisible(true);
    FAnalysedFiles = 0;
    try {
      // The queue runs once before the scan; a stop asked for now ends it after the
      // first picture, closing before any.
      pump();
      if (!Application->Terminated() && !FClosedDuringRun) {
        if (ChB_Subs->Checked()) {
          TStringList tree;
          ListFolderTree(run.folder, tree);
          run.folders = tree.ToVector();
        } else {
          run.folders.push_back(run.folder);
        }
        FTotalFiles = 0;
        if (run.folders.size() > 1) ProgrBarCollect->SetMax(int(run.folders.size()));
        for (size_t i = 0; i < run.folders.size(); ++i) {
          ScanFolder(run, run.folders[i]);
          if (run.folders.size() > 1) ProgrBarCollect->SetPosition(int(i));
          if (!pump()) break;
        }
      }
      run.closing = Application->Terminated() || FClosedDuringRun;
      const std::string total = IntToStr(FTotalFiles);
      FStatusText = _("Files analyzed:") + " " + IntToStr(FAnalysedFiles) + _(" out of total: ") + total;
      StatusBar1->SetSimpleText(FStatusText);
      if (!run.closing) PlotAll(run);
      if (!run.closing) {
        if (FTotalFiles == 0) {
          ShowMessage(_("No files found."));
        } else if (run.focal.empty()) {
          ProgrBarCollect->SetPosition(0);
          ShowMessage(run.filter ? _("None of the jpeg files match the make and/or model filter strings.")
                                 : _("None of the jpeg files contained EXIF info."));
        }
      }
    } catch (const std::exception& e) {
      failure = e.what();
    }
    run.closing = run.closing || Application->Terminated() || FClosedDuringRun;
    if (!run.paths.empty() && !run.closing) showPathList(run);
    if (!run.closing) {
      if (StopAnalyzing) ShowMessage(_("Plot interrupted, graph not complete."));
      if (run.filter && FAnalysedFiles > 0) {
        const std::string cr = "\r";
        ShowMessage(Format(_n("Filtering selected, %d file out of a total of %s is a match for the filter strings.",
                              "Filtering selected, %d files out of a total of %s are a match for the filter strings.",
                              FAnalysedFiles),
                           {FAnalysedFiles, Format(_n("%d file", "%d files", FTotalFiles), {FTotalFiles})}) +
                    cr + cr + " " + _("Make:") + " " + run.make + cr + " " + _("Model:") + " " + run.model + cr + cr +
                    " " + _("Maker Note:") + cr + " " + _("Label:") + " " + run.noteLabel + cr + " " + _("Data:") +
                    " " + run.noteData);
      }
    }
  }
  StopAnalizing->SetVisible(false);
  StartAnalizing->SetVisible(true);
  for (TZqSpeedButton* b : saveButtons) b->SetEnabled(true);
  SetCaption(_("Analysed: ") + run.folder);
  ProgrBarCollect->SetPosition(0);
  ProgrBarAnalyse->SetPosition(0);
  Form1->RestoreCursor();
  if (scanned && !StopAnalyzing) {
    StatusPanel->SetColor(TColor(0xC0DCC0));
    StatusPanel->Font()->SetColor(clBlack);
  }
  FRunning = false;
  if (FClosedDuringRun) {
    FClosedDuringRun = false;
    cleanUpAfterClose();
  }
  if (!failure.empty() && !run.closing) ShowMessage(failure);
}

void TFormAnalize::StopAnalizingClick(TObject* /*Sender*/) { StopAnalyzing = true; }
