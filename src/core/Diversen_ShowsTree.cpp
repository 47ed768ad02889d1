// Diversen: the paperclip-and-shows tree, filled from the shows folder.
#include <filesystem>
#include <system_error>

#include "core/Diversen.h"
#include "platform/gui/ComCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Paths.h"

namespace {

void AddShowFileNodes(TTreeNodes* items, TTreeNode* parent, const std::string& folder) {
  TStringList shows;
  ListShowFiles(folder, shows);
  for (int i = 0; i < shows.Count(); ++i) {
    TTreeNode* node = items->AddChild(parent, shows.StringRef(i));
    node->SetImageIndex(1);
    node->SetSelectedIndex(2);
  }
}

// A node per sub folder of folder with its show files, and with recursive the same for the
// folders below. Links to folders are not entered. The order does not matter: the caller sorts.
void AddShowFolderNodes(TTreeNodes* items, TTreeNode* parent, const std::string& folder, bool recursive,
                        int selectedImage, int image) {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_directory(ec) || it->is_symlink(ec)) continue;
    std::string name = it->path().filename().string();
    std::string path = PathJoin(folder, name);
    TTreeNode* node = items->AddChild(parent, name);
    node->SetImageIndex(image);
    node->SetSelectedIndex(selectedImage);
    AddShowFileNodes(items, node, path);
    if (recursive) AddShowFolderNodes(items, node, path, true, selectedImage, image);
  }
}

}  // namespace

void FillShowsTree(const std::string& showsFolder, TCustomTreeView* tree, bool recursive, int selectedImage,
                   int image) {
  if (!tree) return;
  TTreeNodes* items = tree->Items();
  TTreeNode* paperclip = items->Add(nullptr, _("Paperclip"));
  paperclip->SetImageIndex(3);
  paperclip->SetSelectedIndex(3);
  TTreeNode* shows = items->Add(nullptr, _("Shows"));
  shows->SetImageIndex(4);
  shows->SetSelectedIndex(4);
  AddShowFolderNodes(items, shows, showsFolder, recursive, selectedImage, image);
  // The folders (and everything below them) in alphabetical order; the show files lying
  // directly in the shows folder follow them in their own order.
  shows->AlphaSort(true);
  AddShowFileNodes(items, shows, showsFolder);
  shows->Expand(false);
}
