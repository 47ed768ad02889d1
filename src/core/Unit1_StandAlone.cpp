// The stand-alone copy of the program on a removable drive: the program folder copied into
// "KIVO2_USB" below the folder chosen in the tree, with the marker that keeps its settings
// beside it, and a start script at the drive's root that runs it from wherever the drive
// is mounted. The marker goes first and the program last, and a note lies beside them
// until the copy is whole: a copy cut short never runs as an ordinary install on a host,
// and one started anyway says that it is not whole.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "controls/QzFileExplorer28.h"
#include "core/Diversen.h"
#include "core/ProgramGlobals.h"
#include "core/StartUp.h"
#include "core/Unit1.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"

namespace {

// The files of the program folder that make up the copy, each under the same name below
// the target; those the program folder does not hold are left out.
const char* const kProgramFiles[] = {"jpegtran/jpegtran",
                                     "locale/nl/LC_MESSAGES/default.mo",
                                     "locale/nl/LC_MESSAGES/corvo.mo",
                                     "cam_equivalent.kv2",
                                     "readme.txt",
                                     "shutter.wav"};
// Folders copied whole: the help in its languages, the buttons' own glyphs, and the
// libraries and Qt plugins of a program folder that carries its own (the start script
// points the loader at them relative to where the drive is mounted).
const char* const kProgramFolders[] = {"help", "glyphs", "lib", "plugins"};

constexpr char kStartScript[] = "kivo2start.sh";
constexpr char kStartIni[] = "kivostart.ini";
constexpr char kProgramName[] = "kivo2";
constexpr char kUnfinishedNote[] = "usb_copy.unfinished";

std::string UsbMarkerText() {
  return "Do'nt remove this file!\r\n"
         "Without this file Kivo2 will act as a normal version.\r\n"
         "------------------------------------------------------\r\n"
         "Dit bestand niet verwijderen!\r\n"
         "Zonder dit bestand werkt Kivo2 als een normale versie.\r\n";
}

std::string UnfinishedNoteText() {
  return "This stand-alone copy of Kivo2 is not whole: its copy was cut short. Make it again.\r\n"
         "Deze losstaande kopie van Kivo2 is niet compleet: het kopiëren is afgebroken. Maak hem opnieuw.\r\n";
}

// The start script reads the program's place below the drive's root from kivostart.ini
// beside it and runs it there, with the copy's own libraries and plugins when it has them.
std::string StartScriptText() {
  return "#!/bin/sh\n"
         "# Starts the stand-alone Kivo2 of this drive: kivostart.ini beside this script names\n"
         "# the program below the drive's root, wherever the drive is mounted.\n"
         "drive=$(CDPATH= cd -- \"$(dirname -- \"$0\")\" && pwd) || exit 1\n"
         "program=$(head -n 1 \"$drive/kivostart.ini\" | tr -d '\\r')\n"
         "folder=$(dirname -- \"$drive$program\")\n"
         "if [ -d \"$folder/lib\" ]; then\n"
         "  LD_LIBRARY_PATH=\"$folder/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}\"\n"
         "  export LD_LIBRARY_PATH\n"
         "fi\n"
         "if [ -d \"$folder/plugins\" ]; then\n"
         "  QT_PLUGIN_PATH=\"$folder/plugins\"\n"
         "  export QT_PLUGIN_PATH\n"
         "fi\n"
         "exec \"$drive$program\" \"$@\"\n";
}

// Copies one file of the program folder (found without regard to case) to the same
// relative name below target. True when it is there afterwards with the source's size;
// a file the program folder does not have counts as done.
bool CopyProgramFile(const std::string& programDir, const std::string& relative, const std::string& target,
                     bool& present) {
  std::string source = programDir;
  size_t start = 0;
  for (;;) {
    const size_t slash = relative.find('/', start);
    const std::string part = relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    const std::string found = FindNameNoCase(source, part);
    if (found.empty()) {
      present = false;
      return true;
    }
    source = found;
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  present = true;
  const std::string destination = PathJoin(target, relative);
  if (!ForceDirectories(ExtractFileDir(destination))) return false;
  return CopyFileKeepAttr(source, destination) && GetFileSizeByName(destination) == GetFileSizeByName(source);
}

// The files of the copy, relative to the program folder: the program files, the folders'
// files, and the program itself last, so that a copy cut short has none to start.
std::vector<std::string> ProgramCopyFiles(const std::string& programDir) {
  std::vector<std::string> files(std::begin(kProgramFiles), std::end(kProgramFiles));
  for (const char* name : kProgramFolders) {
    const std::string folder = FindNameNoCase(programDir, name);
    if (folder.empty() || !DirectoryExists(folder)) continue;
    TStringList list;
    ListAllFilesInTree(folder, list);
    for (int i = 0; i < list.Count(); ++i) files.push_back(name + list.Strings(i).substr(folder.size()));
  }
  files.push_back(kProgramName);
  return files;
}

}  // namespace

void TForm1::CreateUSBKivo21Click(TObject* /*Sender*/) {
  const std::string selected = QzDirTree211->SelectedPath();
  if (!IsFullPath(selected)) return;
  const std::string target = PathJoin(selected, "KIVO2_USB");
  if (DriveKind(selected) == 2) {  // a fixed disk
    ShowMessage(_("Harddisk selected, select a removable drive at the navigation panel first"));
    return;
  }
  const std::string question = _("This wil create an Kivo2 Stand-Alone version on a removable drive or USB pen.") +
                               "\n" + target + "\n" +
                               _("If you want to use another removable usb drive, close this dialog") + "\n" +
                               _("and select a usb drive and folder at the navigation panel first.") + "\n\n" +
                               _("Info: A Stand-Alone version doesn't write to the registry or harddisk of the "
                                 "connected system.") +
                               "\n" + _("Now you can safely show your images anywhere.");
  if (TranslatedMessageDialog(question, mtConfirmation, {mbYes, mbNo}, 0) != mrYes) return;
  if (DirectoryExists(target) && !IsFolderEmpty(target) &&
      TranslatedMessageDialog(_("Drive folder is not empty, continue anyway?"), mtConfirmation, {mbYes, mbNo}, 0) !=
          mrYes)
    return;

  // The drive's root is the mount point that holds the target; the start files go there.
  const std::string drive = MountPointOf(selected);
  const std::string startScript = PathJoin(drive, kStartScript);
  const std::string programFile = PathJoin(target, "kivo2");
  const std::string marker = PathJoin(target, "usb_drive.on");
  const std::string note = PathJoin(target, kUnfinishedNote);
  std::vector<std::string> failed;
  std::string reason;  // the system's word for the first thing that failed
  bool programCopied = false;
  HourGlassCursor();
  try {
    if (!ForceDirectories(target)) throw Exception(target + ": " + SysErrorMessage(errno));
    SaveTextFileAtomically(note, UnfinishedNoteText());
    SaveTextFileAtomically(marker, UsbMarkerText());
    TIniFile ini(PathJoin(target, "Kivo2_usb.ini"));
    ini.WriteString("U3", "Language", UiLanguageCode);
    for (const std::string& relative : ProgramCopyFiles(FProgramDir)) {
      bool present = false;
      const bool copied = CopyProgramFile(FProgramDir, relative, target, present);
      if (!copied && failed.empty()) reason = SysErrorMessage(errno);
      if (!copied) failed.push_back(relative);
      programCopied = copied && present;  // the program comes last
    }
    if (programCopied) {
      // The program's place below the drive's root, as the start script reads it.
      std::string below = programFile.substr(RemoveTrailingBackslash(drive).size());
      if (drive == "/") below = programFile;
      SaveTextFileAtomically(PathJoin(drive, kStartIni), below + "\r\n");
      SaveTextFileAtomically(startScript, StartScriptText());
      if (::chmod(startScript.c_str(), 0755) != 0) throw Exception(startScript + ": " + SysErrorMessage(errno));
      if (failed.empty() && !DeleteFile(note)) throw Exception(note + ": " + SysErrorMessage(errno));
    }
  } catch (const std::exception& e) {
    Screen->SetCursor(crDefault);
    ShowMessage(_("Error creating Stand Alone version - check target drive space!") + "\n" + e.what());
    return;
  }
  Screen->SetCursor(crDefault);
  if (!failed.empty()) {
    // Any companion that did not arrive makes the copy unfit to use: said, not hidden.
    std::string list;
    for (const std::string& name : failed) list += "\n" + name;
    ShowMessage(_("Error creating Stand Alone version - check target drive space!") + list + "\n" + reason);
    return;
  }
  if (programCopied && FileExists(marker)) {
    ShowMessage(_("Your Stand Alone version can be started from: ") +
                (FileExists(startScript) ? startScript : programFile));
    return;
  }
  if (!FileExists(marker)) ShowMessage(_("usb_drive.on file not created, don't use the Stand Alone version"));
  if (!FileExists(programFile))
    ShowMessage(target + _(" Kivo2 not copied, check target drive space! or try another removable drive."));
}

void TForm1::ReportUnfinishedStandAloneCopy() {
  if (ProgramMarkerExists(FProgramDir, kUnfinishedNote))
    ShowMessage(_("This stand-alone copy of Kivo2 is not whole: its copy was cut short, so files are missing. "
                  "Make the stand-alone copy again."));
}
