// Lossless JPEG rotation and flipping through the jpegtran of libjpeg-turbo, and the one
// file step that they share with the lossless crop.
//
// jpegtran never writes into the picture: it writes a temporary file beside it, and that
// file takes the picture's name (with the picture's mode, date and trailer) only when
// jpegtran ended with status 0 and the file holds a whole JPEG picture of the expected
// size. A failed, refused, killed or timed-out run, or a crash at any moment, leaves a
// whole picture under the picture's name. What the file's own bytes need after jpegtran
// (its Exif, its thumbnail, its trailer) is done in LosslessJpeg.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <future>
#include <vector>

#include "controls/QzFileExplorer28.h"
#include "core/Diversen.h"
#include "core/LosslessJpeg.h"
#include "core/Unit1.h"
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
  // A listed link stays a link: the picture it points to is turned, in its own folder and
  // with its own backup beside it.
  std::string picture = FileName;
  if (char* real = ::realpath(FileName.c_str(), nullptr)) {
    picture = real;
    std::free(real);
  }
  ClearReadOnly(picture);
  struct stat original {};
  if (::stat(picture.c_str(), &original) != 0 || !S_ISREG(original.st_mode)) {
    const int err = S_ISDIR(original.st_mode) ? EISDIR : original.st_mode != 0 ? EINVAL : errno;
    ShowMessage(Step.FailureText + "\r" + FileName + "\r" + SysErrorMessage(err));
    return false;
  }
  const std::string folder = ExtractFilePath(picture);
  const std::string backup = folder + "backup_" + ExtractFileName(picture);
  bool makeBackup = Step.Backup, replaceBackup = false;
  if (makeBackup && FileExists(backup)) {
    switch (TranslatedMessageDialog(_("Backup file found, overwrite backup file?"), mtConfirmation,
                                    TMsgDlgButtons{mbYes, mbNo, mbCancel}, 0)) {
      case mrCancel:
        return false;
      case mrYes:
        replaceBackup = true;
        break;
      default:
        makeBackup = false;  // the file is transformed without a backup
        break;
    }
  }

  HourGlassCursor();
  DeleteCachedThumb(FileName);
  if (picture != FileName) DeleteCachedThumb(picture);
  if (makeBackup) DeleteCachedThumb(backup);

  // The picture keeps its name and bytes until the end: jpegtran writes the changed picture
  // into a work file beside it, which is checked, given an Exif that says what it shows with
  // the thumbnail changed as it was (in a second work file when the Exif's length changes),
  // the picture's trailer (the further pictures of an MPF file, a motion photo's video) and
  // date, and flushed; the backup then gets its name by a second name of the picture (or a
  // copy), and the work file takes the picture's name in one step. The first step that
  // fails gives the reason.
  std::string reason;
  int diskError = 0;  // ENOSPC, EROFS or EDQUOT when the disk is the reason
  auto failed = [&reason](const std::string& why) {
    if (reason.empty()) reason = why;
    return false;
  };
  auto failedErrno = [&](bool ok) {
    if (ok || !reason.empty()) return ok;
    const int err = errno;
    if (err == ENOSPC || err == EROFS || err == EDQUOT) diskError = err;
    return failed(SysErrorMessage(err));
  };
  std::string output;
  const int fd = NewWorkFile(picture, original, output);
  bool done = failedErrno(fd >= 0);
  bool backupMade = false;
  if (fd >= 0) {
    ::close(fd);
    // The picture is walked to the end of its first picture by a thread of its own while
    // jpegtran runs (where no thread can be had, when its verdict is asked); its verdict
    // counts before jpegtran's.
    TJpegLayout layout;
    std::future<int> walk = std::async(std::launch::async | std::launch::deferred, [&picture, &layout] {
      return ReadJpegFileLayout(picture, layout, false);
    });
    std::vector<std::string> argv{program};
    if (Step.Perfect) argv.push_back("-perfect");
    for (const char* word : {"-copy", "all", "-trim"}) argv.push_back(word);
    argv.insert(argv.end(), Step.Transform.begin(), Step.Transform.end());
    argv.insert(argv.end(), {"-outfile", output, picture});
    std::string messages;
    const TProcessResult run = RunProcessAndWait(
        argv, JpegtranTimeOut(original.st_size), true, [] { Application->ProcessMessages(); }, nullptr, &messages);
    const int walked = walk.get();
    if (walked != 0) failed(walked > 0 ? SysErrorMessage(walked) : _("The file is not a whole JPEG picture."));
    TJpegLayout outputLayout;
    done = walked == 0 && run.Outcome == TWaitOutcome::Finished && run.ExitCode == 0 &&
           ReadJpegFileLayout(output, outputLayout, true) == 0 &&
           Step.WholeResult(layout.width, layout.height, outputLayout.width, outputLayout.height);
    if (!done && walked == 0) {
      // The disk that took no more says so before the work file gives its room back;
      // otherwise jpegtran's own refusal, in the user's words, is the reason.
      diskError = DiskReason(folder, original.st_size);
      if (diskError != 0)
        failed(SysErrorMessage(diskError));
      else if (const std::string why = JpegtranReason(messages); !why.empty())
        failed(why);
    }
    // The Exif says what the new pixels show, with the thumbnail changed as they were;
    // the trailer (the further pictures of an MPF file, a motion photo's video) follows.
    const TLosslessRun job{program, picture, original, Step.Transform, layout, outputLayout,
                           [] { Application->ProcessMessages(); }};
    done = done && failedErrno(FitExifToPicture(job, output));
    done = done && failedErrno(CarryTrailer(job, output, FLosslessFurtherImages));
    done = done && failedErrno(CopyFileDate(picture, output) == 0 && SyncFile(output));
    if (done && makeBackup) done = backupMade = failedErrno(MakeBackup(picture, backup, replaceBackup));
    done = done && failedErrno(fileio::Rename(output, picture) == 0);
    if (done) {
      fileio::SyncFolder(ExtractFileDir(picture));
    } else {
      fileio::Unlink(output);
      // A backup made for a turn that did not happen is only a second copy of the picture.
      if (backupMade && !replaceBackup) fileio::Unlink(backup);
      backupMade = false;
    }
  }

  if (!done) {
    // A run that ended without a whole picture and without a word of its own.
    if (reason.empty()) reason = _("jpegtran made no whole picture.");
    const std::string text = Step.FailureText + "\r" + FileName + "\r" + reason;
    // A full or read-only disk ends the batch: it says so once, for all its files.
    if (diskError != 0 && ActionRunning)
      FLosslessStopText = text;
    else
      ShowMessage(text);
  } else {
    // The backup shows in the list of its folder.
    if (backupMade && !TreeView1->Visible() && !PanelCustomLists->Visible() && SameFolderPath(folder, FLastPath) &&
        ListBox1->Items()->IndexOf(ExtractFileName(backup)) < 0)
      ListBox1->Items()->Add(ExtractFileName(backup));
    if (Step.ShowResult) OpenThePicture(FileName);
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
  FLosslessFurtherImages = 0;
  FLosslessStopText.clear();
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
    if (!FLosslessStopText.empty()) {
      // The disk is full or read-only: the files after this one are left as they are.
      const int left = count - n - 1;
      if (left > 0)
        FLosslessStopText += "\r" + Format(_n("%d more file was left as it was.", "%d more files were left as they were.",
                                               static_cast<unsigned long>(left)),
                                            {left});
      break;
    }
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
  if (Application->Terminated()) return;
  if (FLosslessFurtherImages > 0)
    ShowMessage(Format(_n("%d further picture in the files (MPF) was kept as it was, not changed with the main "
                          "picture.",
                          "%d further pictures in the files (MPF) were kept as they were, not changed with the main "
                          "picture.",
                          FLosslessFurtherImages),
                       {FLosslessFurtherImages}));
  if (!FLosslessStopText.empty()) ShowMessage(FLosslessStopText);
  if (stopped) ShowMessage(_("Action aborted by user"));
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
