#pragma once
// The desktop shell on Linux: the freedesktop Trash, the XDG user folders, opening
// documents and starting programs, mounted volumes as "drives", moving and copying files
// without ever replacing what exists by accident, and running a program with a time-out
// while the GUI stays alive. Processes are always started from an argument vector,
// never through a shell.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"

// ===========================================================================
// Trash (the freedesktop Trash layout: files/ and info/NAME.trashinfo)
// ===========================================================================

// $XDG_DATA_HOME/Trash (~/.local/share/Trash when unset).
std::string HomeTrashDir();
// Moves a file, link or folder to the trash of the volume that holds it: the home trash
// when it lies on the same file system as $XDG_DATA_HOME, else the volume's own
// $topdir/.Trash/$uid (when .Trash is a real folder with the sticky bit) or
// $topdir/.Trash-$uid. First info/NAME.trashinfo is written (Path percent-encoded,
// absolute for the home trash and relative to $topdir otherwise; DeletionDate in local
// time), then the entry is renamed to files/NAME. NAME is the entry's own name, or
// "stem.2.ext", "stem.3.ext" ... when that is taken. False, with nothing changed, when the
// entry is missing or cannot be trashed. trashedAs receives the path below files/.
bool MoveToTrash(const std::string& path, std::string* trashedAs = nullptr);
// Puts ready (a complete entry on target's file system: a finished copy, or an entry being
// moved) in the place of the existing entry target, which goes to the Trash. The name target
// holds the old entry until the new one takes it: the Trash gets a second name of the old
// file and ready is renamed over target in one step; where the file system has no second
// names (FAT), or a folder is involved, the old entry is moved to the Trash first and put
// back when ready cannot take its name. False (errno set; the old entry where it was, ready
// untouched) when the old entry cannot go to the Trash or ready cannot take its name.
bool ReplaceTrashingOld(const std::string& ready, const std::string& target);
// The path as the trash info writes it: bytes outside A-Z a-z 0-9 - . _ ~ / as %XX.
std::string TrashInfoEncodePath(const std::string& path);

// ===========================================================================
// User folders (XDG user directories)
// ===========================================================================
enum class TUserFolder { Desktop, Documents, Pictures };
// The folder from $XDG_CONFIG_HOME/user-dirs.dirs (XDG_DESKTOP_DIR="$HOME/Desktop" ...),
// else from the environment variable of that name, else $HOME/Desktop for the desktop and
// $HOME for the others, as xdg-user-dir gives it. No trailing '/'. The folder may not exist.
std::string UserFolder(TUserFolder kind);

// ===========================================================================
// Opening documents and starting programs
// ===========================================================================

// Opens a file, folder or URL with the desktop's default application and waits for its
// answer; while it waits the windows are repainted but take no input. A file is never run
// itself, whatever its mode or first bytes: the default program of its type as the desktop
// sees it (FileMimeType) is started with the file, and a type whose files run code counts
// as one without a program. Folders and URLs go to xdg-open; an xdg-open that is still
// running after five seconds runs the program in front of itself (desktops without a
// launcher of their own): that counts as opened, and it runs on.
enum class TOpenOutcome { Opened, Missing, NoProgram, Failed, NoOpener };
TOpenOutcome OpenDocumentOutcome(const std::string& pathOrUrl);
// The sentence that says why an opening failed ("" when it was opened).
std::string OpenOutcomeText(TOpenOutcome outcome);
// OpenDocumentOutcome as true when opened; otherwise reason (when given) says why.
bool OpenDocument(const std::string& pathOrUrl, std::string* reason = nullptr);
// The desktop's file types: the shared MIME database in $XDG_DATA_HOME and $XDG_DATA_DIRS,
// and a type's default program from mimeapps.list, then the desktop database.
// The MIME type of an extension (".avi") by the database's globs; "" when unknown.
std::string MimeTypeOfExtension(const std::string& extension);
// The description of a MIME type ("AVI video"); "" when none.
std::string MimeTypeComment(const std::string& mimeType);
// The desktop entry file of the type's default program; "" when none.
std::string DefaultDesktopEntry(const std::string& mimeType);
// A key's value in the [Desktop Entry] group of a desktop entry file; "" when none.
std::string DesktopEntryValue(const std::string& entryFile, const std::string& key);
// The argument vector that opens file with the desktop entry's program (its Exec line with
// the field codes filled in; the file added at the end when the line has none); empty when
// the entry names no program.
std::vector<std::string> DesktopEntryCommand(const std::string& entryFile, const std::string& file);
// The MIME type the desktop gives a file by its content and name (xdg-mime query filetype),
// else by its extension; "" when unknown. pump (when set) runs while the answer is awaited.
std::string FileMimeType(const std::string& path, const std::function<void()>& pump = {});
// True for types whose files run code when opened: programs, scripts, desktop launchers,
// installable bundles (also through the database's aliases and parent types).
bool IsRunnableMimeType(const std::string& mimeType);
// Starts a program detached from this one (its own session; never reaped by us). argv[0]
// is looked up on PATH when it holds no '/'. workingDir "" keeps the current folder.
// False when the program cannot be started (missing, not executable, bad folder).
bool StartDetached(const std::vector<std::string>& argv, const std::string& workingDir = std::string());
// The executable file a program name stands for: the name itself when it holds a '/',
// else the first executable regular file of that name on PATH; "" when there is none.
std::string FindProgramFile(const std::string& program);

// ===========================================================================
// Drives: mounted volumes
// ===========================================================================
// The values are those the program stores and compares (the Windows drive types).
enum TDriveKind { dkUnknown = 0, dkRemovable = 1, dkFixed = 2, dkRemote = 3, dkCDRom = 4, dkRamDisk = 5 };

struct TMountEntry {
  std::string Device;      // "/dev/sdb1", "server:/export", "tmpfs" ...
  std::string MountPoint;  // with the table's \040-style escapes undone
  std::string FsType;      // "ext4", "vfat", "nfs4", "fuse.sshfs" ...
};

struct TDriveInfo {
  std::string MountPoint;
  std::string Device;
  std::string FsType;
  TDriveKind Kind = dkUnknown;
  int64_t FreeBytes = -1;   // available to this user; -1 when unknown
  int64_t TotalBytes = -1;  // -1 when unknown
};

// Parses the text of /proc/self/mounts (or /etc/mtab); malformed lines are skipped.
std::vector<TMountEntry> ParseMountTable(const std::string& text);
// The mount table of this process.
std::vector<TMountEntry> ReadMountTable();
// The kind of a mounted volume: remote file systems (nfs, cifs, smb, sshfs, fuse.sshfs ...),
// CD-ROMs (iso9660, udf, /dev/sr*), RAM disks (tmpfs, ramfs), removable disks (the disk's
// <sysfsRoot>/block/<disk>/removable is 1), fixed disks (other block devices and local disk
// file systems); dkUnknown for the rest (proc, sysfs ...).
TDriveKind DriveKindOf(const TMountEntry& entry, const std::string& sysfsRoot = "/sys");
// A mount point shown as a drive: "/", the mount holding $HOME, and those below /media,
// /run/media and /mnt.
bool IsDriveMountPoint(const std::string& mountPoint);
// The drives in the order of the mount table (a mount point mounted twice: the last one).
// Without sizes no volume is asked for its space (a slow network mount stalls that ask).
std::vector<TDriveInfo> MountedDrives(bool withSizes = true);
// The drive (mount point) that holds path; "" when path does not exist.
std::string DriveOfPath(const std::string& path);
// The facts of the volume that holds path; false when path does not exist.
bool DriveInfoOfPath(const std::string& path, TDriveInfo& info, bool withSizes = true);

// ===========================================================================
// Moving and copying
// ===========================================================================

// Moves a file, link or folder. On one file system a rename; across file systems a copy
// (folders with everything below them; modes and dates kept; links as links) flushed to the
// disk and read back equal, put in place under its final name only when complete; then the
// source is removed. An existing target
// is never replaced. False on failure: a failed copy leaves the source as it was and no
// partial target.
bool MovePath(const std::string& source, const std::string& target);
// Copies (or moves) source over the existing entry target, whose old entry goes to the
// Trash: the copy is made whole beside target and flushed to its disk first (a move across
// file systems also reads it back equal), then ReplaceTrashingOld puts it in place; a moved
// source goes only after that. A failed copy or move leaves the old target, the source and
// nothing else; false with errno set.
bool CopyPathOver(const std::string& source, const std::string& target);
bool MovePathOver(const std::string& source, const std::string& target);
// ClearLeftovers (what killed runs left in a folder) is the run-time library's.
// Copies a regular file to target, which must not exist (it is created exclusively).
// keepAttributes copies the permission bits and the modification time. A failed copy
// removes what it wrote.
bool CopyFileExclusive(const std::string& source, const std::string& target, bool keepAttributes);
// Replaces target by a copy of source safely: the copy (with the source's permission bits
// and modification time) goes to a temporary file in target's folder and is renamed over
// target only when complete, so a failed copy leaves the old target as it was. A
// read-only target is replaced too. pump (when set) runs after the copy and after the rename.
bool CopyFileReplacing(const std::string& source, const std::string& target,
                       const std::function<void()>& pump = {});

// ===========================================================================
// Running a program and waiting for it
// ===========================================================================

// Splits a command line into words as a POSIX shell does, without any expansion: blanks
// separate words; '...' is literal; in "..." a backslash escapes " \ $ ` only; outside
// quotes a backslash escapes the next character. ok (when given) is false for an
// unfinished quote or escape (the words read so far are returned).
std::vector<std::string> SplitCommandLine(const std::string& line, bool* ok = nullptr);
// Quotes a word so that SplitCommandLine gives it back unchanged ('...' with ' as '\'').
std::string QuoteCommandArgument(const std::string& word);

enum class TWaitOutcome { Finished, StartFailed, TimedOut };
struct TProcessResult {
  TWaitOutcome Outcome = TWaitOutcome::StartFailed;
  int ExitCode = 0;         // Finished: the exit status, or 128 + the signal that ended it
  int Error = 0;            // StartFailed: the errno value
  bool Terminated = false;  // TimedOut: the program was killed
};
// Starts argv (looked up on PATH when argv[0] holds no '/'; stdin empty; its own process
// group) and waits for it on a monotonic clock without spinning. With timeoutSeconds > 0
// the wait ends once more than timeoutSeconds whole seconds have passed; then, with
// terminate, the program and its process group are killed, else the program runs on (and
// is reaped when it ends). pump (when set) runs between waits of at most 20 ms, so a GUI
// stays responsive. output and errors (when given) receive the first MiB of what it wrote
// to its standard output and error.
TProcessResult RunProcessAndWait(const std::vector<std::string>& argv, int timeoutSeconds, bool terminate,
                                 const std::function<void()>& pump = {}, std::string* output = nullptr,
                                 std::string* errors = nullptr);
// Runs argv as RunProcessAndWait does (killed after timeoutSeconds) and gives its standard
// output (at most 1 MiB) in output. True when it ran to the end with exit status 0.
bool RunProcessOutput(const std::vector<std::string>& argv, int timeoutSeconds, std::string& output);

// ===========================================================================
// Desktop wallpaper
// ===========================================================================
// The desktops whose wallpaper setting we know: the GNOME family keeps it in gsettings
// (GNOME, Unity, Budgie, Pantheon under org.gnome.desktop.background, Cinnamon under
// org.cinnamon.desktop.background, MATE under org.mate.background), XFCE in the
// xfce4-desktop channel of xfconf (xfconf-query), KDE Plasma in the configuration of its
// desktops, reached through the shell's script call on the session bus (dbus-send).
enum class TWallpaperDesktop { Unknown, Gnome, Cinnamon, Mate, Xfce, Plasma };
enum class TWallpaperStyle { Centered, Tiled, Stretched };
// The desktop named by $XDG_CURRENT_DESKTOP (a colon-separated list, the first known name
// wins), else by $DESKTOP_SESSION.
TWallpaperDesktop CurrentWallpaperDesktop();
// The desktop's wallpaper setting as it stands: the picture as the desktop keeps it (a URI,
// or a path for MATE and XFCE) and as a local path ("" for none or a picture that is not a
// local file; on Plasma it may be a wallpaper package's folder), the dark style's picture
// where the desktop has one, and the placement option as the desktop names it ("zoom",
// "centered", "none" ...; XFCE's and Plasma's numbers as text). False, with error set, when
// it cannot be read.
struct TWallpaperSetting {
  std::string Value;
  std::string Picture;
  std::string DarkValue;
  bool HasDarkValue = false;
  std::string Options;
};
bool ReadDesktopWallpaper(TWallpaperSetting& setting, std::string& error);
// Makes picture (a full path) the wallpaper with the given placement. False, with error set
// (the desktop's own message where it gives one), when the desktop is unknown or refuses.
bool SetDesktopWallpaper(const std::string& picture, TWallpaperStyle style, std::string& error);
// Puts back a setting read before, picture and placement as they were.
bool RestoreDesktopWallpaper(const TWallpaperSetting& setting, std::string& error);
// Leaves the desktop without a wallpaper picture.
bool RemoveDesktopWallpaper(std::string& error);
