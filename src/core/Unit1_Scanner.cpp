// The main window's scanner command: the scanner component is loaded, the user chooses a
// scanner or camera and scans with its dialog; every picture it delivers is saved as a JPEG
// file "twain_" + month day hour minute second (without leading zeros) in the folder the
// folder tree shows, then listed and opened.
//
// A picture never replaces a file: when the name is taken (a second picture within the same
// second, or the same digits on another day) a counter follows it ("twain_531459_2.JPG"). The
// file is written under a temporary name and only then given its own, so a failed save leaves
// nothing under the picture's name. A scan that fails or is cancelled saves nothing and says so.
#include <atomic>
#include <random>

#include "controls/QzFileExplorer28.h"
#include "core/Unit1.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "scanner/CorvoTwain.h"

namespace {

// A name for the file being written, hidden and unused in folder.
std::string TemporaryName(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  static std::mt19937 random{std::random_device{}()};
  for (;;) {
    const std::string name = folder + ".twain-" + IntToStr(int(random() & 0x7FFFFFFF)) + "-" +
                             IntToStr(int(++counter)) + ".part";
    if (!FileExists(name) && !DirectoryExists(name)) return name;
  }
}

}  // namespace

std::string TForm1::SaveNewFile(const std::string& Folder, const std::string& BaseName, const std::string& Extension,
                                TMemoryStream& Data) {
  const std::string temp = TemporaryName(Folder);
  const std::string wanted = Folder + BaseName + Extension;
  try {
    TFileStream file(temp, fmCreate);
    file.WriteBuffer(Data.Memory(), Data.Size());
  } catch (const Exception& e) {
    DeleteFile(temp);
    throw EWriteError("Cannot write file \"" + wanted + "\". " + e.Message());
  }
  // The rename refuses an existing name, so two savers can never take the same one.
  for (int n = 1; n <= 100000; ++n) {
    const std::string name = Folder + BaseName + (n == 1 ? std::string() : "_" + IntToStr(n)) + Extension;
    if (RenameFile(temp, name)) return name;
    if (!FileExists(name) && !DirectoryExists(name)) break;
  }
  DeleteFile(temp);
  throw EWriteError("Cannot write file \"" + wanted + "\".");
}

void TForm1::buildScanner() {
  Twain = new TCorvoTwain(this);
  Twain->SetName("Twain");
  Twain->OnTwainAcquire = [this](TObject* Sender, int Index, TBitmap* Image, bool& Cancel) {
    TwainTwainAcquire(Sender, Index, Image, Cancel);
  };
  Twain->OnAcquireError = [this](TObject* Sender, int Index, int ErrorCode, int Additional) {
    TwainAcquireError(Sender, Index, ErrorCode, Additional);
  };
  Twain->OnAcquireCancel = [this](TObject* Sender, int Index) { TwainAcquireCancel(Sender, Index); };
}

void TForm1::Aquireimagetwainscannerebcam1Click(TObject* /*Sender*/) {
  if (!Twain->LoadTwainLibrary()) {
    ShowMessage(_("Error loading the scanner library SANE (libsane)"));
    return;
  }
  Twain->SetSourceManagerLoaded(true);
  const int index = Twain->SelectSource();
  if (index == -1) return;
  TTwainSource* source = Twain->GetSource(index);
  if (!source) return;
  source->SetLoaded(true);
  // A scanner that went away after it was chosen cannot be opened: say so instead of nothing.
  if (!source->Loaded()) {
    MessageDlg(_("The scanner could not be opened. Check that it is connected and switched on."), mtError, {mbOK}, 0);
    return;
  }
  source->SetTransferMode(ttmMemory);
  source->SetEnabled(true);
}

void TForm1::TwainTwainAcquire(TObject* /*Sender*/, int /*Index*/, TBitmap* Image, bool& /*Cancel*/) {
  int year, month, day, hour, minute, second, msec;
  DecodeDateTime(Now(), year, month, day, hour, minute, second, msec);
  TJPEGImage jpeg;
  jpeg.SetCompressionQuality(90);
  jpeg.Assign(Image);
  jpeg.Compress();
  EmptyAllImages();
  const std::string folder = IncludeTrailingPathDelimiter(QzDirTree211->SelectedPath());
  const std::string base = "twain_" + IntToStr(month) + IntToStr(day) + IntToStr(hour) + IntToStr(minute) +
                           IntToStr(second);
  std::string fileName;
  try {
    TMemoryStream data;
    jpeg.SaveToStream(data);
    fileName = SaveNewFile(folder, base, ".JPG", data);
  } catch (const std::exception& e) {
    Application->ShowException(e);
    return;
  }
  const std::string bare = ExtractFileName(fileName);
  int entry = ListBox1->Items()->IndexOf(bare);
  if (entry < 0) entry = ListBox1->Items()->Add(bare);
  Application->ProcessMessages();
  // The pump may have refilled the list; the entry is looked up again.
  entry = ListBox1->Items()->IndexOf(bare);
  if (entry >= 0) ListBox1->SetItemIndex(entry);
  OpenThePicture(fileName);
  Application->ProcessMessages();
}

void TForm1::TwainAcquireError(TObject* /*Sender*/, int /*Index*/, int /*ErrorCode*/, int Additional) {
  std::string reason;
  switch (Additional) {
    case TWCC_CHECKDEVICEONLINE: reason = _("The scanner does not answer. Check that it is connected and switched on."); break;
    case TWCC_PAPERJAM: reason = _("The paper is jammed in the scanner."); break;
    case TWCC_NOMEDIA: reason = _("There is no paper in the scanner's document feeder."); break;
    case TWCC_INTERLOCK: reason = _("The scanner's cover is open."); break;
    case TWCC_LOWMEMORY: reason = _("There is not enough memory for the scanned picture."); break;
    case TWCC_DENIED: reason = _("Access to the scanner was denied."); break;
    default: reason = Format(_("The scanner reported an error (code %d)."), {Additional}); break;
  }
  MessageDlg(_("Scanning failed; no picture was saved.") + "\n" + reason, mtError, {mbOK}, 0);
}

void TForm1::TwainAcquireCancel(TObject* /*Sender*/, int /*Index*/) {
  ShowIt(_("Scanning cancelled; no picture was saved."), true);
}
