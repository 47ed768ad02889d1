// The compression center's runs: saving the checked pictures into a folder (a whole tree
// mirrored, or over the sources), and mailing resampled copies. Every copy is written
// whole under a temporary name and then renamed; an existing file is replaced only after
// the user said so, and then in one step.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "metadata/ExifData.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/CheckLst.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/Mail.h"
#include "platform/shell/Shell.h"
#include "tools/QuenSimpelMail.h"
#include "tools/SendMail.h"
#include "tools/UnitSaveImage.h"
#include "tools/UnitSaveToFolder.h"

namespace {

constexpr int kYesToAll = 10;

// "My Photo 1.jpg" becomes "my_photo_1.jpg"; the folder part stays.
std::string WebName(const std::string& path) {
  std::string name = AnsiLowerCase(ExtractFileName(path));
  for (char& c : name)
    if (c == ' ') c = '_';
  return ExtractFilePath(path) + name;
}

bool IsJpegName(const std::string& path) {
  const std::string ext = UpperCase(ExtractFileExt(path));
  return ext == ".JPG" || ext == ".JPEG" || ext == ".JPE";
}

// What to do with an output path: write it (asking first when it exists, unless the
// user said yes to all), skip it, or end the loop.
enum class TExistsAnswer { Write, Skip, Cancel };
TExistsAnswer AskOverwrite(const std::string& output, bool& overwriteAll) {
  if (overwriteAll || !FileExists(output)) return TExistsAnswer::Write;
  const int answer = TranslatedMessageDialog(Format(_("File %s exists, Overwrite this file? "), {output}),
                                             mtConfirmation, {mbYes, mbNo, mbCancel, mbYesToAll}, 0);
  if (answer == mrCancel) return TExistsAnswer::Cancel;
  if (answer == kYesToAll) overwriteAll = true;
  return answer == mrYes || answer == kYesToAll ? TExistsAnswer::Write : TExistsAnswer::Skip;
}

// Makes the folder (with its parents); when it cannot be made, says so once with the
// system's reason (a read-only disk, no permission) and gives false: a run stops there,
// as every file after it would fail alike.
bool MadeFolder(const std::string& folder) {
  if (ForceDirectories(folder)) return true;
  const int error = errno;
  ShowMessage(_("Could't create folder ") + folder + "\n" + SysErrorMessage(error));
  return false;
}

// A network location is not checked for free space.
bool IsNetworkPath(const std::string& path) { return path.rfind("//", 0) == 0 || GetPathKind(path) == 2; }

}  // namespace

bool TFormSaveImage::SaveWithExif(const std::string& OutputPath, bool Replace, std::string& Error) {
  auto* jpeg = FCompressedValid ? dynamic_cast<TJPEGImage*>(Image2->Picture()->Graphic()) : nullptr;
  if (!jpeg) {
    Error = _("Compression error");
    return false;
  }
  // The copy is made under a name of its own beside the target, marked as this process's
  // work file so that what a crash leaves is cleared later.
  std::string temp = WorkFileTemplate(OutputPath, ".kivo2copy-");
  int fd = fileio::MakeTemp(temp, O_CLOEXEC);
  if (fd < 0) {
    Error = SysErrorMessage(errno);
    return false;
  }
  bool ok = true;
  try {
    close(fd);
    fd = -1;
    if (!FJpegOut) FJpegOut = new TJPEGImage;
    FJpegOut->Assign(jpeg);
    // The source's segments go in front of the new picture, with the Exif size
    // adjusted; a copy without them keeps the source's colour profile.
    if (FWriteExif)
      SaveImageMetadata->WriteMetadataJpeg(*FJpegOut, temp, true, FFileName);
    else
      SaveImageMetadata->WriteColourProfileJpeg(*FJpegOut, temp, FFileName);
  } catch (const std::exception& e) {
    Error = e.what();
    ok = false;
  }
  if (fd >= 0 && close(fd) != 0 && ok) {
    Error = SysErrorMessage(errno);
    ok = false;
  }
  if (ok) chmod(temp.c_str(), mode_t(NewFileMode(Replace ? OutputPath : std::string())));
  // On the disk before it takes the name: the file it replaces (the original itself in the
  // overwrite run) is gone from then on.
  if (ok) {
    fd = fileio::Open(temp, O_RDONLY | O_CLOEXEC);
    ok = fd >= 0 && fileio::Sync(fd) == 0;
    if (!ok) Error = SysErrorMessage(errno);
    if (fd >= 0) close(fd);
  }
  if (ok && (Replace ? fileio::Rename(temp, OutputPath) : fileio::RenameNoReplace(temp, OutputPath)) != 0) {
    Error = SysErrorMessage(errno);
    ok = false;
  }
  if (!ok) fileio::Unlink(temp);
  if (ok) fileio::SyncFolder(ExtractFileDir(OutputPath));
  return ok;
}

// ===========================================================================
// Shared steps of the runs
// ===========================================================================
bool TFormSaveImage::PumpAndContinue() {
  Application->ProcessMessages();
  // The program ending, or the window closed while it shows modally (which only sets its
  // result, to close once the run has returned), ends the run.
  if (Application->Terminated() || (Modal() && ModalResult() != mrNone)) FStopBatch = true;
  return !FStopBatch;
}

void TFormSaveImage::ShowRunPanels(bool Running, int Maximum) {
  Label12->SetCaption("");
  PanelProgressbar->SetVisible(Running);
  PanelSettings->SetVisible(Running ? false : ZqConfig->Down());
  PanelButtons->SetVisible(!Running);
  // The list is not browsed while a run shows its entries one by one.
  ChecklistPanel->SetEnabled(!Running);
  ProgressBar1->SetMax(std::max(Maximum, 1));
  ProgressBar1->SetPosition(0);
}

void TFormSaveImage::EndRun(const std::string& Caption) {
  ShowRunPanels(false, 1);
  FOverwriteSource = false;
  FBatchRunning = false;
  SetCaption(Caption);
  // A close asked for during the run happens now.
  if (FCloseRequested) {
    FCloseRequested = false;
    Close();
  }
}

bool TFormSaveImage::EnoughSpace(const std::string& Source, const std::string& Target) {
  if (SaveToFolderForm->ChBNoSpaceCheck->Checked() || IsNetworkPath(Target)) return true;
  const int64_t free = DriveFreeSpace(Target);
  return free < 0 || GetFileSizeByName(Source) <= free;
}

// ===========================================================================
// The save run
// ===========================================================================
void TFormSaveImage::Zq_SaveClick(TObject* /*Sender*/) {
  if (FBatchRunning) return;
  const std::string keptCaption = Caption();
  FStopBatch = false;
  bool overwriteAll = false;
  FBatchRunning = true;
  const int checked = SelItems();
  std::string target = Form1->FWebFolder;
  const bool treeRun = !FTreeRoot.empty();
  const std::string treeFolder = LastFolderName(Form1->QzDirTree211->SelectedPath());
  auto endEarly = [&] {
    FOverwriteSource = false;
    FBatchRunning = false;
    SetCaption(keptCaption);
  };
  if (checked == 0) {
    ShowMessage(_("No files selected!"));
    endEarly();
    return;
  }
  if (FOverwriteSource) {
    if (TranslatedMessageDialog(_("Danger! your'e about to overwrite original files, are you sure?"), mtWarning,
                                {mbYes, mbNo}, 0) != mrYes) {
      endEarly();
      return;
    }
  } else {
    SaveToFolderForm->SetCaption(treeRun ? _("Copy/compress folder ") + treeFolder + _(" to location")
                                         : _("Save files's"));
    if (SaveToFolderForm->ShowModal() != mrOk) {
      endEarly();
      return;
    }
    target = SaveToFolderForm->FChosenFolder;
    if (!DirectoryExists(target) && !MadeFolder(RemoveTrailingBackslash(target))) {
      endEarly();
      return;
    }
    FWriteExif = !SaveToFolderForm->ChB_WriteExif->Checked();
    std::string shown = RemoveTrailingBackslash(target);
    if (treeRun) shown = PathJoin(shown, treeFolder);
    if (TranslatedMessageDialog(Format(_n("Save %d file to %s", "Save %d files to %s", checked), {checked, shown}),
                                mtConfirmation, {mbYes, mbNo}, 0) != mrYes) {
      endEarly();
      return;
    }
  }
  AddTrailingBackslash(target);
  ShowRunPanels(true, checked);
  Application->ProcessMessages();

  int saved = 0, done = 0;
  for (int i = 0; i < CheckListBox1->Count() && !FStopBatch; ++i) {
    if (!CheckListBox1->Checked(i)) continue;
    Label12->SetCaption(_("Processing ") + IntToStr(done + 1) + "/" + IntToStr(checked));
    ++done;
    CheckListBox1->SetItemIndex(i);
    const std::string source = CheckListBox1->Items()->Strings(i);
    const bool shown = InitSmallImages() && FFileName == source;
    if (!PumpAndContinue()) break;
    // The overwrite run writes beside each source.
    if (!EnoughSpace(source, FOverwriteSource ? ExtractFilePath(source) : target)) {
      ShowMessage(_("Not enough space to copy file") + " " + ExtractFileName(source));
      ProgressBar1->SetPosition(0);
      EndRun(keptCaption);
      return;
    }
    ShowSelectedCaptions();
    if (!shown) {
      // A picture that could not be read or compressed is left out (and not written
      // under its name from what the previews held before).
      ShowMessage(_("error creating file ") + source);
      continue;
    }
    std::string output;
    if (FOverwriteSource) {
      // Over the source itself: a JPEG in its own place, another picture as a JPEG of the
      // same name beside it.
      output = IsJpegName(source) ? source : ExtractFilePath(source) + CreateSavename(true);
    } else if (treeRun && source.rfind(FTreeRoot, 0) == 0) {
      output = target + source.substr(FTreeRoot.size());
      if (!MadeFolder(RemoveTrailingBackslash(ExtractFilePath(output)))) {
        ProgressBar1->SetPosition(0);
        EndRun(keptCaption);
        return;
      }
    } else {
      output = target + CreateSavename(false);
    }
    if (SaveToFolderForm->Chb_lowercase->Checked()) output = WebName(output);
    const TExistsAnswer answer = AskOverwrite(output, overwriteAll);
    if (answer == TExistsAnswer::Cancel) break;
    if (answer == TExistsAnswer::Write) {
      // The file exists only when the user agreed to replace it (here or with yes to all).
      const bool replace = FileExists(output);
      SetCaption(output);
      std::string error;
      if (SaveWithExif(output, replace, error))
        ++saved;
      else
        ShowMessage(_("error creating file ") + output + "\n" + error);
      if (!PumpAndContinue()) break;
    }
    ProgressBar1->SetPosition(saved);
  }
  ShowMessage(Format(_n("%d of %d file saved", "%d of %d files saved", checked), {saved, checked}));
  if (treeRun && Form1->FTreeFiles->Count() > 0 && !FStopBatch) CopyTreeFiles(target);
  ProgressBar1->SetPosition(0);
  EndRun(keptCaption);
}

void TFormSaveImage::CopyTreeFiles(const std::string& Target) {
  const int total = Form1->FTreeFiles->Count();
  if (TranslatedMessageDialog(Format(_n("%d non image file found, do you want to copy the file also?",
                                        "%d non images files found, do you want to copy the files also?", total),
                                     {total}),
                              mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
    return;
  ProgressBar1->SetMax(std::max(total - 1, 1));
  ProgressBar1->SetPosition(0);
  bool overwriteAll = false;
  int copied = 0;
  for (int i = 0; i < total; ++i) {
    const std::string source = Form1->FTreeFiles->Strings(i);
    if (!EnoughSpace(source, Target)) {
      ShowMessage(_("Not enough space to copy file.") + " " + ExtractFileName(source));
      return;
    }
    const std::string output =
        source.rfind(FTreeRoot, 0) == 0 ? Target + source.substr(FTreeRoot.size()) : Target + ExtractFileName(source);
    if (!MadeFolder(RemoveTrailingBackslash(ExtractFilePath(output)))) return;
    const TExistsAnswer answer = AskOverwrite(output, overwriteAll);
    if (answer == TExistsAnswer::Cancel) break;
    if (answer == TExistsAnswer::Write) {
      if (CopyFileKeepAttr(source, output))
        ++copied;
      else
        ShowMessage(_("error creating file ") + output);
    }
    Label12->SetCaption(_("Copying: ") + IntToStr(copied) + "/" + IntToStr(total));
    ProgressBar1->SetPosition(i);
    if (!PumpAndContinue()) break;
  }
  ShowMessage(Format(_n("%d of %d file saved", "%d of %d files saved", total), {copied, total}));
}

void TFormSaveImage::ZqOverWriteOrgClick(TObject* Sender) {
  if (FBatchRunning) return;
  const bool webNames = SaveToFolderForm->Chb_lowercase->Checked();
  SaveToFolderForm->Chb_lowercase->SetChecked(false);
  FOverwriteSource = true;
  FWriteExif = true;
  Zq_SaveClick(Sender);
  SaveToFolderForm->Chb_lowercase->SetChecked(webNames);
}

// ===========================================================================
// The e-mail run
// ===========================================================================
void TFormSaveImage::Zq_MailClick(TObject* /*Sender*/) {
  if (FBatchRunning) return;
  const std::string keptCaption = Caption();
  FWriteExif = true;
  FStopBatch = false;
  const int checked = SelItems();
  if (checked == 0) {
    ShowMessage(_("No files selected!"));
    return;
  }
  FBatchRunning = true;
  // The attachments are made in a folder of this run's own, so no other file (not even a
  // source that lies in the temporary folder) is ever written over or deleted.
  std::string base = GetTempFolder();
  if (!DirectoryExists(base)) {
    base = Form1->FWebFolder;
    AddTrailingBackslash(base);
    base += "tmp/";
    ForceDirectories(RemoveTrailingBackslash(base));
  }
  std::string folder = base + "kivo2-mail-XXXXXX";
  if (!fileio::MakeTempDir(folder)) {
    ShowMessage(_("error creating file ") + folder);
    FBatchRunning = false;
    return;
  }
  AddTrailingBackslash(folder);
  TStringList attachments;
  std::set<std::string> names;
  ShowRunPanels(true, checked);
  const std::string subject =
      Format(_n("%d file attached, resampled by Kivo2", "%d files attached, resampled by Kivo2", checked), {checked});
  int done = 0;
  for (int i = 0; i < CheckListBox1->Count(); ++i) {
    if (!CheckListBox1->Checked(i)) continue;
    Label12->SetCaption(_("Processing ") + IntToStr(done + 1) + "/" + IntToStr(checked));
    CheckListBox1->SetItemIndex(i);
    if (FStopBatch) break;
    const std::string source = CheckListBox1->Items()->Strings(i);
    const bool shown = InitSmallImages() && FFileName == source;
    ShowSelectedCaptions();
    // Two sources of one name (from a search or the paperclip list) get two attachments.
    std::string name = CreateSavename(true);
    for (int n = 2; names.count(name); ++n) name = FileNameWithoutExt(FFileName) + " (" + IntToStr(n) + ").jpg";
    names.insert(name);
    const std::string path = folder + name;
    std::string error;
    if (shown && SaveWithExif(path, false, error)) {
      ++done;
      attachments.Add(path);
    } else {
      ShowMessage(_("Error, could'nt resample file ") + path);
    }
    ProgressBar1->SetPosition(done);
    if (!PumpAndContinue()) break;
  }
  if (!FStopBatch && attachments.Count() > 0) {
    // The mail program comes in front of the window while the message is made.
    SetFormStyle(fsNormal);
    const int result = SendSimpleMail(subject.c_str(), nullptr, &attachments);
    Application->BringToFront();
    // A cancel is the user's own choice; every other failure is said.
    if (result != 0 && result != int(MAPI_USER_ABORT))
      ShowMessage(_("The e-mail could not be handed to the mail program: ") + MapiErrorText(result));
  }
  ShowRunPanels(false, 1);
  FBatchRunning = false;
  for (int i = 0; i < attachments.Count(); ++i) ForceDeleteFile(attachments.Strings(i));
  fileio::RemoveDir(RemoveTrailingBackslash(folder));
  SetFormStyle(fsStayOnTop);
  SetCaption(keptCaption);
  if (FCloseRequested) {
    FCloseRequested = false;
    Close();
  }
}
