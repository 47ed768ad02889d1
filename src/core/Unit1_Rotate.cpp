// Lossless JPEG rotation and flipping through the jpegtran of libjpeg-turbo, and the one
// file step that they share with the lossless crop.
//
// jpegtran never writes into the picture: it writes a temporary file beside it, and that
// file takes the picture's name (with the picture's mode and date) only when jpegtran
// ended with status 0 and the file holds a whole JPEG picture of the expected size. A
// failed, refused, killed or timed-out run leaves the picture as it was.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "controls/QzFileExplorer28.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

namespace {

// jpegtran reads and writes at disk speed; a huge picture on a slow share still gets
// there in this time. Past it the run is stopped, which harms nothing.
uint16_t JpegtranTimeOut(int64_t fileSize) {
  const int64_t seconds = 120 + fileSize / (int64_t(1) << 20) * 4;
  return uint16_t(std::min<int64_t>(seconds, 3600));
}

// The picture's size from its header; false when it is no JPEG picture.
bool JpegSize(const std::string& fileName, int& width, int& height) {
  try {
    TJPEGImage jpeg;
    jpeg.LoadFromFile(fileName);
    width = jpeg.Width();
    height = jpeg.Height();
    return width > 0 && height > 0;
  } catch (const std::exception&) {
    return false;
  }
}

// The file ends with the end-of-image marker that jpegtran writes last.
bool EndsWithEndOfImage(const std::string& fileName) {
  const int fd = fileio::Open(fileName, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  unsigned char tail[2] = {0, 0};
  struct stat st;
  const bool whole = ::fstat(fd, &st) == 0 && st.st_size >= 4 && ::pread(fd, tail, 2, st.st_size - 2) == 2 &&
                     tail[0] == 0xFF && tail[1] == 0xD9;
  ::close(fd);
  return whole;
}

// A side after -trim: the edge blocks that do not fill a whole MCU (at most 31 pixels)
// may be gone.
bool Trimmed(int got, int want) { return got <= want && got + 32 > want; }

}  // namespace

// ===========================================================================
// One file
// ===========================================================================
std::string TForm1::JpegtranProgram() const {
  const std::string folder = FindNameNoCase(FProgramDir, "jpegtran");
  if (!folder.empty()) {
    const std::string program = FindNameNoCase(folder, "jpegtran");
    if (!program.empty() && !FindProgramFile(program).empty()) return program;
  }
  return FindProgramFile("jpegtran");
}

void TForm1::DeleteCachedThumb(const std::string& FileName) {
  if (FThumbCacheFolder.empty()) return;
  const std::string thumb = ThumbNailName(FileName);
  if (FileExists(thumb)) fileio::Unlink(thumb);
}

bool TForm1::LosslessTransform(const TLosslessStep& Step, const std::string& FileName) {
  const std::string program = JpegtranProgram();
  if (program.empty()) {
    ShowMessage(_("The file jpegtran.exe is needed for this action") + "\r" + _("But not found in the folder: ") + FProgramDir +
                "jpegtran");
    return false;
  }
  ClearReadOnly(FileName);
  struct stat original;
  if (::stat(FileName.c_str(), &original) != 0 || !S_ISREG(original.st_mode)) {
    ShowMessage(Step.FailureText);
    return false;
  }
  const std::string folder = ExtractFilePath(FileName);
  const std::string backup = folder + "backup_" + ExtractFileName(FileName);
  bool backupMade = false;
  if (Step.Backup) {
    bool makeBackup = true;
    if (FileExists(backup)) {
      switch (TranslatedMessageDialog(_("Backup file found, overwrite backup file?"), mtConfirmation,
                                      TMsgDlgButtons{mbYes, mbNo, mbCancel}, 0)) {
        case mrCancel:
          return false;
        case mrYes:
          if (!ForceDeleteFile(backup)) {
            ShowMessage(_("Couldn't remove old backupfile"));
            return false;
          }
          break;
        default:
          makeBackup = false;  // the file is transformed without a backup
          break;
      }
    }
    // The untouched file takes the backup's name (never replacing one that appeared
    // meanwhile); jpegtran then reads it there.
    if (makeBackup) {
      if (fileio::RenameNoReplace(FileName, backup) != 0) {
        ShowMessage(Step.FailureText);
        return false;
      }
      backupMade = true;
    }
  }
  const std::string input = backupMade ? backup : FileName;
  // The backup shows in the list of its folder.
  if (backupMade && !TreeView1->Visible() && !PanelCustomLists->Visible() && SameFolderPath(folder, FLastPath) &&
      ListBox1->Items()->IndexOf(ExtractFileName(backup)) < 0)
    ListBox1->Items()->Add(ExtractFileName(backup));

  HourGlassCursor();
  DeleteCachedThumb(FileName);
  if (backupMade) DeleteCachedThumb(backup);

  int width = 0, height = 0;
  bool done = JpegSize(input, width, height);
  std::string output = folder + ".kivo2lossless-XXXXXX";
  int fd = done ? fileio::MakeTemp(output, O_CLOEXEC) : -1;
  if (fd >= 0) {
    // The new file gets the picture's permissions and, where allowed, its owner.
    if (::fchown(fd, original.st_uid, original.st_gid) != 0) {
      // An ordinary user cannot give a file away; it stays the user's own.
    }
    ::fchmod(fd, (original.st_mode & 07777) | S_IWUSR);
    ::close(fd);
    std::vector<std::string> argv{program};
    if (Step.Perfect) argv.push_back("-perfect");
    for (const char* word : {"-copy", "all", "-trim"}) argv.push_back(word);
    argv.insert(argv.end(), Step.Transform.begin(), Step.Transform.end());
    argv.insert(argv.end(), {"-outfile", output, input});
    int outWidth = 0, outHeight = 0;
    done = RunAndWait(argv, JpegtranTimeOut(original.st_size), true, false) == 0 && EndsWithEndOfImage(output) &&
           JpegSize(output, outWidth, outHeight) && Step.WholeResult(width, height, outWidth, outHeight) &&
           CopyFileDate(input, output) == 0 &&
           (backupMade ? fileio::RenameNoReplace(output, FileName) : fileio::Rename(output, FileName)) == 0;
    if (!done) fileio::Unlink(output);
  } else {
    done = false;
  }

  if (!done) {
    ShowMessage(Step.FailureText);
    // The backup is the untouched file: it takes its name again.
    if (backupMade) fileio::RenameNoReplace(backup, FileName);
  } else if (Step.ShowResult) {
    OpenThePicture(FileName);
  }
  RestoreCursor();
  return done;
}

bool TForm1::RotateJPG(const std::string& Value, const std::string& Option, const std::string& FileName) {
  TLosslessStep step;
  step.Transform = {"-" + Option, Value};
  step.Backup = M_Losslesbackup->Checked();
  step.Perfect = M_JPGTRANPerfect->Checked();
  step.ShowResult = !M_Fastbatchrotate->Checked();
  step.FailureText = _("Jpegtran message: Couldn't crop or rotate the file");
  // A quarter turn swaps the sides, and -trim may drop the edge blocks that do not fill
  // a whole MCU (at most 31 pixels).
  const bool quarter = Value == "90" || Value == "270";
  step.WholeResult = [quarter](int width, int height, int outWidth, int outHeight) {
    if (quarter) std::swap(width, height);
    return Trimmed(outWidth, width) && Trimmed(outHeight, height);
  };
  return LosslessTransform(step, FileName);
}

// ===========================================================================
// The batch
// ===========================================================================
void TForm1::LosslessBatch(const std::function<void(const std::string&)>& OneFile, bool OpenLast, bool ReportEmpty) {
  if (ActionRunning) return;
  FFileAction = 50;
  FillWorkFileList(false);
  if (ReportEmpty && FWorkFiles->Count() == 0) ShowMessage(_("No jpg files found!"));
  StopRequested = false;
  ActionRunning = true;
  // The entry of a file: found by its full path, whatever the list shows (bare names of
  // a folder, full paths of the paperclip, a show or a search); -1 when it is gone.
  auto entryOf = [this](const std::string& file) {
    for (int i = 0; i < ListBox1->Count(); ++i)
      if (ListEntryPath(i) == file) return i;
    return -1;
  };
  // The files are taken as they are now: the steps handle messages.
  const std::vector<std::string> files = FWorkFiles->ToVector();
  const int count = int(files.size());
  for (int n = 0; n < count; ++n) {
    const std::string& file = files[size_t(n)];
    int index = entryOf(file);
    if (index >= 0) {
      ListBox1->SetItemIndex(index);
      ListBox1->SetSelected(index, true);
    }
    Application->ProcessMessages();
    if (StopRequested || Application->Terminated()) break;
    OneFile(file);
    // Messages ran meanwhile: the list may have changed.
    index = entryOf(file);
    if (n == count - 1) {
      if (OpenLast && ListBox1->ItemIndex() >= 0) OpenThePicture(ListEntryPath(ListBox1->ItemIndex()));
    } else if (index >= 0) {
      ListBox1->SetSelected(index, false);
    }
    if (index >= 0) UpdateThumbnail(index, file);
  }
  FWorkFiles->Clear();
  FFileAction = 10;
  const bool stopped = StopRequested;
  StopRequested = false;
  ActionRunning = false;
  if (stopped && !Application->Terminated()) ShowMessage(_("Action aborted by user"));
}

void TForm1::RotateInitStart(const std::string& Value, const std::string& Option) {
  LosslessBatch([this, &Value, &Option](const std::string& file) { RotateJPG(Value, Option, file); },
                M_Fastbatchrotate->Checked(), false);
}

void TForm1::rotateSelected(const char* Value, const char* Option) {
  RotateInitStart(Value, Option);
  if (PanelThumbHolder->Visible()) FillTheTumbsNow();
}

void TForm1::RotateRight2Click(TObject* /*Sender*/) { rotateSelected("90", "rotate"); }

void TForm1::RotateLeft2Click(TObject* /*Sender*/) { rotateSelected("270", "rotate"); }

void TForm1::UpsideDown2Click(TObject* /*Sender*/) { rotateSelected("180", "rotate"); }

void TForm1::FlipHorizontally2Click(TObject* /*Sender*/) { rotateSelected("horizontal", "flip"); }

void TForm1::FlipVertically2Click(TObject* /*Sender*/) { rotateSelected("vertical", "flip"); }
