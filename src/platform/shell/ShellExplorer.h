#pragma once
// What the explorer controls need of the desktop beyond Shell.h: copying whole folders,
// the drives the folder tree shows, file types and icons from the desktop's MIME database
// and icon theme, live folder change notification (inotify), network shares mounted with
// gio, compressed folders (.zip), handing files to the mail service, and files dropped on
// a window by other programs.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/shell/Shell.h"

class TBitmap;

class TImageList;
class TWinControl;

// ===========================================================================
// Copying
// ===========================================================================

// Copies a file, link or folder (with everything below it; links as links; modes and dates
// kept) to target, which must not exist. The copy is made under a hidden name beside the
// target and renamed into place only when complete, never replacing anything; a failed
// copy leaves nothing behind.
bool CopyPath(const std::string& source, const std::string& target);
// True when path is folder itself or lies below it, by the real (resolved) paths; a
// missing path is taken by its nearest existing parent.
bool IsSameOrInside(const std::string& path, const std::string& folder);

// ===========================================================================
// Drives as the folder tree shows them
// ===========================================================================
struct TExplorerDrive {
  std::string Path;  // the folder, without a trailing '/' (except "/")
  TDriveKind Kind = dkUnknown;
  std::string Label;  // "Home", "Desktop", the volume's folder name ... (English; callers translate)
};
// "/" first, then the home folder and the desktop folder (when they exist and are not
// "/" itself), then the other mounted volumes shown as drives (/media/*, /run/media/*,
// /mnt/*, network shares mounted by gio), each once, in the mount table's order.
std::vector<TExplorerDrive> ExplorerDrives();
// The mount points of network shares that gio mounted for this user
// ($XDG_RUNTIME_DIR/gvfs/* and remote file systems of the mount table).
std::vector<std::string> NetworkMounts();

// ===========================================================================
// File types and icons
// ===========================================================================

// The shared list of 16 x 16 icons of files, folders and drives (the system's small-icon
// list); it grows as new kinds are asked for and lives as long as the program.
TImageList* SystemSmallImages();
// The index in SystemSmallImages of the icon of path: the icon of its MIME type from the
// desktop's icon theme (by name only, the file is not read), a folder icon for folders,
// the drive icons for drive roots. open: the open-folder variant for folders.
int SystemIconIndex(const std::string& path, bool open = false);
// The same for a name that is known to be a file or a folder (no look at the disk); open:
// the open-folder icon.
int SystemIconIndexOf(const std::string& name, bool isFolder, bool open = false);
// The icon of a drive kind.
int DriveIconIndex(TDriveKind kind);
// The index of a named icon of the desktop's icon theme ("edit-copy", "folder-new" ...):
// the first of the names the theme has, else the style's file icon.
int ThemeIconIndex(const std::vector<std::string>& names);
// An icon by its freedesktop name ("go-next", "document-print") at size x size pixels,
// as a pf32bit bitmap whose 4th byte is the alpha: from the desktop's icon theme, else
// from the program's glyph folder (name.svg, then name.png). Names that start with
// "kivo2-" are the program's own and come from its folder only. False when neither has
// the icon (or no toolkit runs).
bool IconBitmap(const std::string& name, int size, TBitmap& out);
// The folder of the program's own glyphs: ProgramDir() + "glyphs/" unless set otherwise.
std::string GlyphFolder();
void SetGlyphFolder(const std::string& folder);
// The MIME type's description in the interface language ("JPEG image", "Folder").
std::string FileTypeName(const std::string& name, bool isFolder);
// The MIME type of a file name by its extension, followed by the type's other names
// ("application/rtf", "text/rtf"); empty when the desktop's database knows none.
std::vector<std::string> MimeTypesOfName(const std::string& name);

// ===========================================================================
// Change notification
// ===========================================================================

// Watches folders (each one level deep, through inotify) and the mount table, and calls
// its handler on the GUI thread a short moment after changes settle: with the folder that
// changed, or with "" when drives were mounted or unmounted.
class TFolderWatcher {
 public:
  using THandler = std::function<void(const std::string& folder)>;
  explicit TFolderWatcher(THandler handler);
  ~TFolderWatcher();
  TFolderWatcher(const TFolderWatcher&) = delete;
  TFolderWatcher& operator=(const TFolderWatcher&) = delete;
  // Watches exactly these folders from now on (missing ones are skipped).
  void SetFolders(const std::vector<std::string>& folders);
  std::vector<std::string> Folders() const;
  // False when the system refused every watch (no inotify).
  bool Active() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> d_;
};

// The real sub folders of folder (links to folders left out), in directory order;
// firstOnly stops at the first one.
std::vector<std::string> SubFolderNames(const std::string& folder, bool firstOnly = false);

// ===========================================================================
// Network shares (gio)
// ===========================================================================

// The location gio mounts for a typed share: "\\server\share\dir" and "//server/share"
// become "smb://server/share/dir"; smb://, sftp://, ftp://, dav:// ... stay; "" for any
// other text.
std::string NetworkShareUri(const std::string& typed);
// Mounts the share with `gio mount` and finds its mount point below
// $XDG_RUNTIME_DIR/gvfs. False with a message in error when gio is missing, the
// location is not a share, or the mount fails.
bool MountNetworkShare(const std::string& typed, std::string& mountPoint, std::string& error);
// Unmounts a share that gio mounted (`gio mount -u`), given its mount point.
bool UnmountNetworkShare(const std::string& mountPoint, std::string& error);
// The shares to connect again at the next start, as Windows keeps its persistent
// connections: in the user's registry under the key "Network", the share's location as
// the value's name and its mount point as the value. Remember keeps or replaces one,
// Forget drops the one of a location or of a mount point.
void RememberNetworkShare(const std::string& typed, const std::string& mountPoint);
void ForgetNetworkShare(const std::string& typedOrMountPoint);
// The remembered shares: pairs of location and mount point.
std::vector<std::pair<std::string, std::string>> RememberedNetworkShares();

// ===========================================================================
// Compressed folders and mail
// ===========================================================================

// Writes a .zip holding the files and folders (folders with everything below them, under
// their own names), made with libzip into a temporary file beside zipPath and renamed to
// zipPath, which must not exist. False with the reason in error on failure, leaving nothing.
bool WriteZipArchive(const std::string& zipPath, const std::vector<std::string>& paths, std::string& error);

// The mail service: hands files to the user's mail program as attachments of a new
// message. The default hands them to xdg-email; a program or a test may put its own
// service in place (an empty handler restores the default).
using TMailFilesHandler = std::function<bool(const std::vector<std::string>& files)>;
void SetMailFilesHandler(TMailFilesHandler handler);
bool MailFiles(const std::vector<std::string>& files);

// ===========================================================================
// Files dropped by other programs
// ===========================================================================

// Lets other programs drop files (file URLs) on control; handler receives their paths.
// An empty handler stops accepting drops.
void AcceptDroppedFiles(TWinControl* control, std::function<void(const std::vector<std::string>& paths)> handler);
// Puts a list of files on the clipboard as the desktop's file managers do (text/uri-list,
// with the cut marker of GNOME and KDE when cut), and reads it back.
void SetClipboardFiles(const std::vector<std::string>& paths, bool cut);
bool ClipboardHasFiles();
std::vector<std::string> ClipboardFiles(bool* cut = nullptr);

// Runs fn on the GUI thread after the event being handled now (a control that must not
// free what the toolkit still uses, such as a node whose editing ends, acts from there).
void RunAfterCurrentEvent(std::function<void()> fn);
