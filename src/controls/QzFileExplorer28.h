#pragma once
// The explorer controls and their shell routines.
//
// TQzDirTree21 is the folder tree: a tree view whose first node stands for the computer,
// whose second level holds the drives (on Linux the root, the home and desktop folders,
// mounted volumes and network shares, each shown by its folder path) and whose deeper
// levels hold the folders, filled one level at a time when a node is expanded. It keeps
// the selected folder as a path, reports it through OnDirChange, makes, renames, deletes,
// cuts, copies, pastes and drags folders, mounts network shares, and reloads itself when
// folders or drives change on disk. TQzDirTreeCombo28 is a read-only field that drops
// down such a tree. TQzFilelistView28 is a report-style list of a folder's files (or of
// the drives) with its own context menu and send-to commands.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "controls/QzConsts.h"
#include "controls/ZqSpeedButton.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

class TFolderWatcher;
class TQzFilelistView28;
struct TQzFolderEntry;
class TQzDirTreeCombo28;
class TQzDirTree21;
class TTimer;

// ===========================================================================
// Shell routines
// ===========================================================================

// Shell operation codes.
enum TShellFileOp { foMove = 1, foCopy = 2, foDelete = 3, foRename = 4 };

// Opens fileName with the desktop's program for it (operation "open" or "find"; a
// program given as fileName is started with parameters). A failure shows
// "ERROR - Can't " + operation + " file " + fileName. True when started.
bool ShellExecuteFile(const std::string& operation, const std::string& fileName, const std::string& parameters,
                      int showCmd, const std::string& folder);
// Moves, copies, deletes (to the freedesktop Trash) or renames sources. A target ending in
// '/' is the folder the sources go into; otherwise it is the new full name of the one
// source. Nothing is ever replaced and nothing lost: a target name that exists is refused
// with the "already exists" message; a folder is never moved or copied onto itself or into
// its own sub folders, and drives (mount points, home, desktop) are never moved, renamed
// or deleted. Deleting asks first. True when every source was handled; on a failure,
// reported (when given) tells whether the user already knows why: a message said it, or No was the answer.
bool ShellFileOperation(TShellFileOp operation, const std::vector<std::string>& sources, const std::string& target,
                        bool* reported = nullptr);
bool ShellFileOperation(TShellFileOp operation, const std::string& source, const std::string& target,
                        bool* reported = nullptr);
// The text with a NUL character appended unless it is empty or already ends with one.
std::string DoubleNullTerminate(const std::string& text);
// True when any of the characters occurs in text.
bool NameHasAnyChar(const std::string& chars, const std::string& text);
// The folder browser ("Please specify a directory"); root kinds: 1 desktop, 4 documents,
// others anywhere. True with path (ending in '/') when a folder was chosen.
bool BrowseForFolder(std::string& path, int rootKind, bool includeFiles);
// Size and free space of the drive holding path, in KB; -1 when unknown.
int64_t DiskSizeKB(const std::string& path);
int64_t DiskFreeKB(const std::string& path);
// True when the drive holding path is mounted and can be read; else, with showMessage,
// a beep and "There is no disk in Drive or Drive is not ready".
bool CheckDriveReady(const std::string& path, bool showMessage);
// AddBackslash(folder) + name when both are set, else "".
std::string ConcatPath(const std::string& folder, const std::string& name);
// The path with a trailing '/' (an empty path stays empty), and without one.
std::string AddBackslash(const std::string& path);
std::string StripBackslash(const std::string& path);
// A local date and time formatted with dateFormat + " " + timeFormat.
std::string FileTimeText(TDateTime time, const std::string& dateFormat, const std::string& timeFormat);
// True, after showing "\"name\" already exists !", when something exists at path.
bool TargetExists(const std::string& path);
// Icons of the shared small-icon list.
int GetIconIndex(const std::string& path);
int GetOpenIconIndex(const std::string& path);
// KB text of a size ("1 KB" for 1..1023 bytes); " " for the type text "DIR".
std::string SizeText(const std::string& typeText, int64_t size);
// Special folders: 0 desktop, 1 favorites, 3 documents, 4 programs, 5 send-to, 6 start
// menu, 7 autostart (XDG); others "" on Linux. A result ends in '/'.
std::string GetShellFolderPath(int kind);
std::string NameWithoutExtension(const std::string& path);
// Shows the properties of a file, folder or drive: type, size, dates and free space.
void ShowPropertiesDialog(const std::string& path);
// Mounts a network share (\\server\share, smb://, sftp:// ...) as a drive with gio; 0 on
// success with its folder in mountPoint, else 1 after showing the error when showError.
// With reconnect the share is connected again at the program's next start, without it
// not.
int AddNetConnection(const std::string& remotePath, bool showError, std::string& mountPoint,
                     bool reconnect = false);
// Connects the remembered shares (connected with reconnect) that are not connected now;
// one that cannot be connected is named, with the reason, when showError, and stays
// remembered for the next start.
void RestoreNetConnections(bool showError);
// A drive of the explorer: a mount point, the home folder or the desktop folder.
bool IsDrivePath(const std::string& path);
// The explorer drive at drivePath is a removable disk or a disc, whose medium may be
// missing; only such drives are tested for readiness (a network mount is never asked).
bool MayLackMedium(const std::string& drivePath);
// The folder of a node of an explorer tree (a drive node's caption is its folder) with a
// trailing '/'; "" for the computer node.
std::string ExplorerNodePath(const TTreeNode* node);
// Fills node with the sub folders of its folder, sorted, with their icons; a child offers
// to expand when it has sub folders, or always when probe is false (network drives).
void AddFolderChildren(TTreeNodes* nodes, TTreeNode* node, bool probe);
// Brings node's children in line with the sub folders its folder has now: the nodes of
// gone folders are deleted, new folders get a node at their sorted place, and the others
// stay as they are, with what was opened below them.
void MergeFolderChildren(TTreeNodes* nodes, TTreeNode* node, bool probe);
// Makes parent's children carry the wanted texts in that order: children no longer wanted
// are deleted, a new one is made at its place and handed to made, the others stay.
void MergeChildren(TTreeNodes* nodes, TTreeNode* parent, const std::vector<std::string>& wanted,
                   const std::function<void(TTreeNode*)>& made);
// Runs change (which adds or deletes nodes) and keeps the row under the pointer, or else
// the top row, where it was on the screen.
void KeepRowsInPlace(TCustomTreeView* tree, const std::function<void()>& change);
// The fourteen characters a folder name may not hold.
extern const std::string InvalidFolderChars;

// ===========================================================================
// Folder tree
// ===========================================================================
using TDirChangeEvent = std::function<void(TObject* Sender, const std::string& SelectedPath)>;
using TFileChangeEvent = std::function<void(TObject* Sender, const std::string& SelectedFile)>;

class TQzDirTree21PopUp;

class TQzDirTree21 : public TCustomTreeView {
 public:
  explicit TQzDirTree21(TComponent* AOwner);
  ~TQzDirTree21() override;

  // The selected folder with a trailing '/' (also a drive's folder); "Drives" while the
  // computer node is selected. The setter stores a value that differs (without case).
  const std::string& SelectedPath() const { return FSelectedPath; }
  void SetSelectedPath(const std::string& path);
  const std::string& SelectedFile() const { return FSelectedFile; }
  void SetSelectedFile(const std::string& file);
  TQzFilelistView28* FileList() const { return FFileList; }
  void SetFileList(TQzFilelistView28* list);
  bool PopUpMenuEnabled() const { return FPopUpMenuEnabled; }
  void SetPopUpMenuEnabled(bool v);
  bool DragDropEnabled() const { return FDragDropEnabled; }
  void SetDragDropEnabled(bool v) { FDragDropEnabled = v; }
  TLanguage Language() const { return FLanguage; }
  void SetLanguage(TLanguage language);
  std::string About() const { return FAbout; }
  TQzDirTree21PopUp* BuiltInMenu() const { return FPopup; }
  // A cut or copy waits for a paste, and its source folder.
  bool ClipboardPending() const { return FClipboardPending; }
  const std::string& ClipboardPath() const { return FClipboardPath; }

  // Clears the tree and builds the computer node and the drive nodes again.
  void ReloadTree();
  // Expands the tree along an existing folder path, selects its deepest node, sets
  // SelectedPath and fires OnDirChange.
  void OpenPath(const std::string& path);
  // OpenPath, when path differs from the last one handled here; informs the file list.
  void ChangePath(const std::string& path);
  // The folder of a node with a trailing '/'; "" for the computer node (and none).
  std::string GetNodePath(const TTreeNode* node);
  // The computer node (level 0), drive nodes (level 1) and folder nodes.
  bool IsDriveNode(const TTreeNode* node) const { return node && node->Level() == 1; }
  bool IsFolderNode(const TTreeNode* node) const { return node && node->Level() >= 2; }

  // --- folder commands ---
  bool AddNewFolder(TTreeNode* node, const std::string& name);
  bool DeleteFolder(TTreeNode* node);
  // Renames the folder of node to newCaption (the end of in-place editing).
  bool RenameFolder(TTreeNode* node, const std::string& newCaption);
  void CutFolder();
  void CopyFolder();
  bool PasteFolder();
  // Starts in-place editing of the selected folder node.
  void EditSelectedFolder();
  double ShowTreeSize();
  void ShowFolderContents();
  // The folder contents window while it is shown (nullptr otherwise), and its OK button.
  TForm* ContentsForm() const { return FContentsForm; }
  TListView* ContentsList() const { return FContentsList; }
  void ContentsOkClick(TObject* Sender);
  void ConnectNetworkDrive();
  void DisconnectNetworkDrive();
  void ShowProperties();
  // Moves (or with copy, copies) the folder of FClipboardPath or the attached list's
  // selected files onto node, as a drop does.
  void DropOnNode(TObject* source, TTreeNode* node, bool copy);
  // Renames or moves the folder source to target through change, within OnChangeFolder;
  // reported when a message was given.
  bool changeFolder(const std::string& source, const std::string& target, const std::function<bool()>& change,
                    bool& reported);

  TDirChangeEvent OnDirChange;
  TFileChangeEvent OnFileChange;
  // Around each rename or move of a folder by the tree (OldPath to NewPath, the folder's
  // own paths): Change does it and tells whether it succeeded. The owner may refuse
  // without calling Change; Reported then tells that it said why. Unset: the tree renames
  // and moves alone.
  std::function<bool(const std::string& OldPath, const std::string& NewPath, const std::function<bool()>& Change,
                     bool& Reported)>
      OnChangeFolder;

  // The folder change handling (also run by the watcher): reloads when folders or drives
  // came, went or were renamed, and opens the selected folder again.
  void ShellChanged(const std::string& folder);
  // The folders being watched for changes.
  std::vector<std::string> WatchedFolders() const;

  bool CanExpand(TTreeNode* Node) override;
  void Expand(TTreeNode* Node) override;
  void Collapse(TTreeNode* Node) override;
  bool CanEdit(TTreeNode* Node) override;
  void Edit(TTreeNode* Node, std::string& S) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyUp(uint16_t& Key, TShiftState Shift) override;
  void Change(TTreeNode* Node) override;
  void VisibleRowsChanged() override;
  void TypingEnded(TTypingEnd How) override;
  void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) override;
  void DragDrop(TObject* Source, int X, int Y) override;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class TQzDirTree21PopUp;
  void loadRoot();
  void loadDrives();
  // The drive nodes follow the drives there are now; the others stay as they are.
  void mergeDrives();
  // Takes the pending changes on disk into the nodes they concern, when no edit, press
  // or drag is under way (else a little later).
  void applyChanges();
  // The selected folder was renamed or removed elsewhere: the nearest folder above it
  // that is still there is selected and reported, and the file list shows it.
  void followGoneFolder();
  // The drive or folder node of a path (with or without its trailing slash), if listed.
  TTreeNode* nodeOfFolder(const std::string& folder);
  void addSubFolders(TTreeNode* node);
  // Takes the highlighted node as the folder shown: SelectedPath, OnDirChange and the
  // file list follow it. A removable drive or disc without its medium is not taken: a
  // click reopens the folder before, a key or type-ahead puts the highlight back on the
  // folder shown.
  void pathChangedByUser(bool byMouse);
  // A highlight the user moved (type-ahead, a click beside a node) and left resting on
  // another folder than the one shown is opened, as an arrow key does.
  void settleHighlight();
  // Opens path (or the computer node for "Drives") without reporting a change.
  void openQuietly(const std::string& path);
  // The drive is a removable disk or a disc: its medium may be missing.
  bool mayLackMedium(const TTreeNode* driveNode) const;
  void informFileList(const std::string& path, bool refresh);
  void rebuildMenu();
  // Watches the open folders and the closed ones in view.
  void updateWatches();
  // The node lies on a network drive (whose folders are never probed).
  bool onNetworkDrive(const TTreeNode* node) const;
  TTreeNode* findChild(TTreeNode* parent, const std::string& caption) const;
  TTreeNode* driveNodeOf(const std::string& folder) const;

  std::string FPreviousPath;
  std::string FSelectedPath;
  std::string FNodePath;
  TQzDirTree21PopUp* FPopup = nullptr;
  bool FPopUpMenuEnabled = true;
  bool FNamingNewFolder = false;
  std::string FNamingFolderPath;  // the folder made with the default name, renamed without a question
  std::string FSelectedFile;
  std::string FAbout = "Version 2.1.8.0";
  std::string FLastChangePath;
  bool FClipboardPending = false;
  std::string FClipboardPath;  // the folder of a pending cut or copy
  std::string FDragPath;       // the folder being dragged (kept apart from the clipboard's)
  std::string FDropPath;
  std::map<std::string, TDriveKind> FDriveKinds;  // of each drive node, by its folder
  int FOwnChanges = 0;         // > 0 while the tree moves its own selection
  bool FHighlightSettled = false;  // the key being pressed already opened its folder
  TLanguage FLanguage = lnSysDefault;
  std::unique_ptr<TFolderWatcher> FWatcher;
  // Folders changed on disk ("" for the drives), waiting while the user edits a name,
  // holds a mouse button on the tree or drags a folder.
  std::set<std::string> FPendingChanges;
  TTimer* FChangeLater = nullptr;
  std::set<std::string> FRowsWatched;  // the closed folders in view, watched for their expand button
  TTreeNode* FDragNode = nullptr;
  TTreeNode* FDropNode = nullptr;
  bool FDragDropEnabled = true;
  TQzFilelistView28* FFileList = nullptr;
  int FClipboardOperation = 0;  // 0 copy, 2 move
  std::shared_ptr<int> FAlive = std::make_shared<int>(0);  // for work queued after an event
  TForm* FContentsForm = nullptr;
  TListView* FContentsList = nullptr;
  std::string FContentsFolder;
};

// The folder tree's own context menu.
class TQzDirTree21PopUp : public TPopupMenu {
 public:
  explicit TQzDirTree21PopUp(TQzDirTree21* tree);
  // Appends the items in the current language.
  void BuildTreeMenu();
  // Enables each item by the selected node and the pending clipboard.
  void UpdateItemStates();
  // Sets the enabled states, then shows the menu 10 pixels right of and below (X, Y).
  void Popup(int X, int Y) override;
  // The item with this component name ("AddNode", "PasteNode" ...), or nullptr.
  TMenuItem* ItemNamed(const std::string& name) const;
  void ItemClick(TObject* Sender);

 private:
  TQzDirTree21* tree_;
};

// One item of an explorer menu table: nullptr name makes a separator.
struct TExplorerMenuEntry {
  int tag;
  const char* name;
  const char* caption;  // English, looked up in the catalogue's context
  const char* icon;     // the theme icon that stands for the item's bitmap
};
// Appends the items of a table to parent (a menu's Items or a sub-menu), each with its
// caption in the explorer language, tag, name, picture and the click handler (none for
// items with sub-items, tag subMenuTag). Returns the item of subMenuTag, if any.
TMenuItem* AddExplorerMenuItems(TPopupMenu* menu, TMenuItem* parent, const TExplorerMenuEntry* entries, size_t count,
                                const char* context, const TNotifyEvent& click, int subMenuTag = -1);

// ===========================================================================
// Map network drive dialog
// ===========================================================================
class TNetPathDlg : public TComponent {
 public:
  explicit TNetPathDlg(TComponent* AOwner);
  ~TNetPathDlg() override;
  // Shows the dialog; true when it closed with OK (then Path holds the typed share).
  bool Execute();
  const std::string& Path() const { return path_; }
  void SetPath(const std::string& p) { path_ = p; }
  bool Reconnect() const { return reconnect_; }
  TForm* Form() const { return form_; }
  TEdit* PathEdit() const { return pathEdit_; }
  TComboBox* DriveList() const { return driveList_; }
  void BrowseClick(TObject* Sender);

 private:
  TForm* form_ = nullptr;
  TComboBox* driveList_ = nullptr;
  TEdit* pathEdit_ = nullptr;
  TCheckBox* reconnectBox_ = nullptr;
  std::string path_;
  bool reconnect_ = true;
};

// ===========================================================================
// Folder combo with drop-down tree
// ===========================================================================
using TPathChangeEvent = std::function<void(TObject* Sender, const std::string& SelectedPath)>;

// The drop-down button: a speed button that opens no context menu.
class TQzSpeedButton : public TZqSpeedButton {
 public:
  explicit TQzSpeedButton(TComponent* AOwner) : TZqSpeedButton(AOwner) {}
  void DoContextPopup(TPoint, bool& Handled) override { Handled = true; }
};

// The drop-down tree of the combo.
class TQzDirTreeView : public TCustomTreeView {
 public:
  explicit TQzDirTreeView(TComponent* AOwner);
  const std::string& SelectedPath() const { return selectedPath_; }
  std::string NodePath(const TTreeNode* node) const;
  void LoadDrives();
  // Collapses all and expands along path; true when the walk reached its end.
  bool WalkTo(const std::string& path);
  bool CanExpand(TTreeNode* Node) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;

  std::string selectedPath_;
  std::string previousPath_;
  bool expandRoot_ = true;
};

class TQzDirTreeCombo28 : public TEdit {
 public:
  explicit TQzDirTreeCombo28(TComponent* AOwner);
  ~TQzDirTreeCombo28() override;
  const std::string& SelectedPath() const { return selectedPath_; }
  void SetSelectedPath(const std::string& path);
  TQzFilelistView28* FileList() const { return fileList_; }
  void SetFileList(TQzFilelistView28* list);
  bool ExpandRoot() const { return tree_->expandRoot_; }
  void SetExpandRoot(bool v) { tree_->expandRoot_ = v; }
  int TreeHeight() const { return treeHeight_; }
  void SetTreeHeight(int h) { treeHeight_ = h; }
  TLanguage Language() const { return language_; }
  void SetLanguage(TLanguage language);
  std::string About() const { return "Version 2.8.8.0"; }
  TQzDirTreeView* Tree() const { return tree_; }
  TQzSpeedButton* Button() const { return button_; }
  bool DroppedDown() const;
  // The icon shown left of the path (the shown node's icon).
  TImage* Icon() const { return icon_; }

  // Opens or closes the drop-down tree below (or above) the field.
  void DropDown();
  void CloseUp();
  // Takes the tree's selected node as the choice, as a click or Enter does.
  void TakeChoice(TObject* sender);
  // Expands the drop-down tree along path and shows its folder.
  void OpenPath(const std::string& path);
  void ReloadTree();
  void ShellChanged(const std::string& folder);

  TPathChangeEvent OnPathChange;

  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void DoExit() override;
  void MouseEnter() override;
  void Resize() override;

 private:
  void showNode(TTreeNode* node);
  void updateWatches();
  // The drop-down, while shown and the pointer is outside it, takes the mouse.
  void holdMouse();
  TTimer* holdTimer_ = nullptr;
  int holdTries_ = 0;
  TQzDirTreeView* tree_ = nullptr;
  TQzSpeedButton* button_ = nullptr;
  TImage* icon_ = nullptr;  // the shown folder's icon, left of the text
  TQzFilelistView28* fileList_ = nullptr;
  std::string selectedPath_;
  int treeHeight_ = 240;
  TLanguage language_ = lnSysDefault;
  std::unique_ptr<TFolderWatcher> watcher_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// ===========================================================================
// Report-style file list
// ===========================================================================
enum TFileAttr { ftReadOnly, ftHidden, ftSystem, ftArchive, ftNormal };
using TFileType = TSetOf<TFileAttr>;
enum TFileSize { fsKB, fsByte };
enum TDtFormat {
  df_MMddyyyy,
  df_MMddyy,
  df_ddMMyyyy,
  df_ddMMyy_GB,
  df_ddMMyy_DE,
  df_ddMMyy_IT,
  df_yyyyMMdd,
  df_yyMMdd,
  df_Customize
};
enum TTmFormat { tfLongFormat, tfShortFormat, tfCustomize };
using TItemChangeEvent = std::function<void(TObject* Sender, const std::string& SelectedItem)>;

class TQzFilelistView28PopUp;

// The hidden sub-items of every row, after the four visible columns.
enum TFileListSubItem { siSize, siType, siModified, siAttr, siPath, siKind, siSortTime };

class TQzFilelistView28 : public TListView {
 public:
  explicit TQzFilelistView28(TComponent* AOwner);
  ~TQzFilelistView28() override;

  std::string About() const { return "Version 2.8.8.0"; }
  int ColWidth_Name() const { return colWidth_[0]; }
  void SetColWidth_Name(int w) { colWidth_[0] = w; }
  int ColWidth_Size() const { return colWidth_[1]; }
  void SetColWidth_Size(int w) { colWidth_[1] = w; }
  int ColWidth_Type() const { return colWidth_[2]; }
  void SetColWidth_Type(int w) { colWidth_[2] = w; }
  int ColWidth_Mod() const { return colWidth_[3]; }
  void SetColWidth_Mod(int w) { colWidth_[3] = w; }
  int ColWidth_Attr() const { return colWidth_[4]; }
  void SetColWidth_Attr(int w) { colWidth_[4] = w; }
  TDtFormat DateFormat() const { return dateFormat_; }
  void SetDateFormat(TDtFormat f);
  TTmFormat TimeFormat() const { return timeFormat_; }
  void SetTimeFormat(TTmFormat f);
  // The folder shown (with a trailing '/'), or "Drives" for the drive list.
  const std::string& Directory() const { return directory_; }
  void SetDirectory(const std::string& dir);
  TQzDirTreeCombo28* DirTreeCombo() const { return dirTreeCombo_; }
  void SetDirTreeCombo(TQzDirTreeCombo28* combo);
  TQzDirTree21* DirTree() const { return dirTree_; }
  void SetDirTree(TQzDirTree21* tree);
  int64_t DriveFreeSpace() const;
  bool DblClickToOpen() const { return dblClickToOpen_; }
  void SetDblClickToOpen(bool v) { dblClickToOpen_ = v; }
  TFileType FileType() const { return fileType_; }
  void SetFileType(TFileType t);
  TFileSize FileSize() const { return fileSize_; }
  void SetFileSize(TFileSize s) { fileSize_ = s; }
  bool HideFileExt() const { return hideFileExt_; }
  void SetHideFileExt(bool v) { hideFileExt_ = v; }
  TLanguage Language() const { return language_; }
  void SetLanguage(TLanguage language);
  const std::string& Mask() const { return mask_; }
  void SetMask(const std::string& mask);
  bool ParentDirEnabled() const { return parentDirEnabled_; }
  void SetParentDirEnabled(bool v) { parentDirEnabled_ = v; }
  const std::string& ParentDirCaption() const { return parentDirCaption_; }
  void SetParentDirCaption(const std::string& caption);
  bool PopUpMenuEnabled() const { return popUpMenuEnabled_; }
  void SetPopUpMenuEnabled(bool v);
  const std::string& SelectedItem() const { return selectedItem_; }
  void SetSelectedItem(const std::string& item);
  int SelectedNumber() const;
  int64_t SelectedSize() const;
  bool ShowFolders() const { return showFolders_; }
  void SetShowFolders(bool v);
  int SortColumn() const { return sortColumn_; }
  bool SortDescending() const { return sortDescending_; }
  bool SortingEnabled() const { return sortingEnabled_; }
  TQzFilelistView28PopUp* BuiltInMenu() const { return popup_; }
  const std::vector<std::string>& PendingFiles() const { return pendingFiles_; }
  int PendingOperation() const { return pendingOperation_; }
  bool IsDriveView() const;
  // The full paths of the selected items (the parent entry left out).
  std::vector<std::string> SelectedPaths() const;

  void UpdateFileList();
  void OneLevelUp();
  void OpenItem();
  void ViewFile();
  void NewFolder();
  void RenameSelected();
  // Renames the item being edited (or item) to newCaption, as the end of in-place editing.
  bool RenameItem(TListItem* item, const std::string& newCaption);
  void DeleteSelected();
  void PermanentDelete();
  void CutCopy(int operation);
  void Paste();
  void FindInFolder();
  void ShowItemProperties();
  void CopyFilesTo(const std::string& folder);
  void SendTo(const std::string& target);
  void SendToSpecial(int kind);
  void CreateDesktopShortcut();
  // Files dropped by another program: copied here.
  void FilesDropped(const std::vector<std::string>& paths);
  // Sorts by the column as a header click does.
  void ColumnClick(int column);
  int CompareItems(TListItem* Item1, TListItem* Item2) const;

  TItemChangeEvent OnItemChange;

  void Click() override;
  void DblClick() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  bool CanEdit(TListItem* Item) override;
  void Edit(TListItem* Item, std::string& S) override;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void buildFileColumns();
  void buildDriveColumns();
  // Rows for the entries of the folder (read once per fill) that match mask, folders or files.
  void addFiles(std::vector<TQzFolderEntry>& entries, const std::string& mask, bool folders);
  void listDrives();
  void loadListTexts();
  void rebuildPopup();
  void refreshLinked(const std::string& path, bool reload);
  // The linked combo (or else the tree) reloads and opens path.
  void reloadLinked(const std::string& path);
  std::string dateFormatString() const;
  std::string timeFormatString() const;

  std::string directory_ = "Drives";
  std::string selectedItem_;
  std::vector<std::string> pendingFiles_;
  int pendingOperation_ = 0;
  int sortColumn_ = 0;
  bool sortDescending_ = true;
  bool sortingEnabled_ = true;
  bool fileColumnsShown_ = false;
  int colWidth_[5] = {165, 75, 95, 125, 40};
  TDtFormat dateFormat_ = df_Customize;
  TTmFormat timeFormat_ = tfShortFormat;
  std::string dateFormatString_, timeFormatString_;
  TQzDirTreeCombo28* dirTreeCombo_ = nullptr;
  TQzDirTree21* dirTree_ = nullptr;
  bool dblClickToOpen_ = true;
  TFileType fileType_{ftReadOnly, ftHidden, ftSystem, ftArchive};
  TFileSize fileSize_ = fsKB;
  bool hideFileExt_ = false;
  TLanguage language_ = lnSysDefault;
  std::string mask_ = "*.*";
  bool parentDirEnabled_ = true;
  std::string parentDirCaption_ = " Parent";
  bool popUpMenuEnabled_ = true;
  bool showFolders_ = true;
  TQzFilelistView28PopUp* popup_ = nullptr;
  std::string oldPath_;
  // Sort keys of the rows, made once per refill (the row's Data is its index + 1).
  struct RowKeys {
    bool folder = false;
    bool parent = false;
    std::string upperCaption;
    uint64_t prefix[2] = {0, 0};  // the first 16 bytes of upperCaption, zero-padded, big-endian
    double size = 0;
    double time = 0;
  };
  std::vector<RowKeys> keys_;
  // The keys of a row made by the fill; nullptr for a row added otherwise.
  const RowKeys* keysOf(TListItem* item) const;
  // CompareItems for two rows with keys, by name, size or date.
  int compareKeys(const RowKeys& a, const RowKeys& b) const;
  // Sorts rows that all have keys by the sort column and direction; false when a row has
  // none or the column has no key (then the rows are compared by their texts).
  bool sortByKeys();
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);

 public:
  // The list's own texts in the current language.
  struct Texts {
    std::string Cancel, Browse, ReadOnly, Archive, Hidden, System, RenameRefused, NothingSelected, SendToTitle,
        SendToPrompt, ShortcutFailed, AttributesTitle;
  } ListTexts;
};

class TQzFilelistView28PopUp : public TPopupMenu {
 public:
  explicit TQzFilelistView28PopUp(TQzFilelistView28* list);
  void BuildPopupItems();
  void FillSendToMenu();
  void UpdateItemStates();
  void Popup(int X, int Y) override;
  void PopupItemClick(TObject* Sender);
  TMenuItem* ItemNamed(const std::string& name) const;
  // The send-to targets after the fixed ones: the folders and programs the entries of
  // the user's send-to folder name, in menu order.
  const std::vector<std::string>& SendToPaths() const { return sendToPaths_; }

 private:
  TQzFilelistView28* list_;
  TMenuItem* sendMenu_ = nullptr;
  std::vector<std::string> sendToPaths_;
};

// Asks for a folder to send files to ("Send to any folder"); "" when cancelled.
std::string AskSendToFolder(const std::string& startPath, const TQzFilelistView28::Texts& texts);
