#pragma once
// The explorer controls. TQzDirTree21 is the folder tree: a tree view whose first node
// stands for the computer, whose second level holds one node per drive (on Linux a
// mounted volume, shown by its mount point) and whose deeper levels hold the folders,
// filled one level at a time when a node is expanded. It keeps the selected folder as a
// path and reports every change the user makes through OnDirChange.
//
// This version is the tree itself with the members the windows call (ReloadTree,
// OpenPath, ChangePath, SelectedPath, OnDirChange); the shell commands of the tree
// (new, rename, delete, cut, copy, paste and drag of folders, its own context menu and
// change notification) come with the tree's own work.
#include <functional>
#include <string>

#include "platform/gui/ComCtrls.h"

using TDirChangeEvent = std::function<void(TObject* Sender, const std::string& SelectedPath)>;

class TQzDirTree21 : public TCustomTreeView {
 public:
  explicit TQzDirTree21(TComponent* AOwner);

  // The selected folder with a trailing '/' (also a drive's mount point); "Drives" while
  // the computer node is selected. The setter stores a value that differs (without case).
  const std::string& SelectedPath() const { return selectedPath_; }
  void SetSelectedPath(const std::string& path);
  bool DragDropEnabled() const { return dragDropEnabled_; }
  void SetDragDropEnabled(bool v) { dragDropEnabled_ = v; }

  // Clears the tree and builds the computer node and the drive nodes again.
  void ReloadTree();
  // Expands the tree along an existing folder path, selects its deepest node, sets
  // SelectedPath and fires OnDirChange. Nothing happens for an empty path, a folder that
  // does not exist, or a path that leads through a folder the tree does not list.
  void OpenPath(const std::string& path);
  // OpenPath, when path differs from the last one handled here.
  void ChangePath(const std::string& path);
  // The folder of a node with a trailing '/'; "" for the computer node (and none).
  std::string GetNodePath(const TTreeNode* node) const;

  TDirChangeEvent OnDirChange;

  // Fills a node with its sub folders the first time it is expanded.
  bool CanExpand(TTreeNode* Node) override;
  // A press on a node selects it and reports its folder.
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  // The arrow keys report the newly selected folder; F5 rebuilds the tree.
  void KeyUp(uint16_t& Key, TShiftState Shift) override;

 private:
  void loadDrives();
  void addSubFolders(TTreeNode* node);
  void selectionChangedByUser();
  TTreeNode* findChild(TTreeNode* parent, const std::string& caption) const;

  std::string selectedPath_;
  std::string previousPath_;
  std::string lastChangePath_;
  bool dragDropEnabled_ = true;
};
