// Every menu item (main menu and popups) and every bar button of the main window is
// connected: an item runs a handler or is an option whose check mark the program reads;
// a button runs a handler or opens its menu. Items that open sub-items and separators
// are not commands.
#include <iostream>
#include <set>

#include "ViewerFixture.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"

namespace {

// Commands whose work another piece of work is still building; they are named here so
// that nothing else can be left unconnected unnoticed.
const std::set<std::string> kStillBuilt = {
    // The paperclip, the shows and their tree, folder search, history, renames and the
    // small tools of the main window.
    "Zq_CustomShow", "Zq_Paperclip", "ZqSoundbutton", "ZqSpeedButton2", "FileDatetoExifdate1", "Reload1",
    "M_Playmemo", "Playmemo1", "FindFolder1", "P_FindFolder", "M_Addfilestopapercli1", "AddToPaperclip",
    "Removefilesfrompaperclip1", "Removefromshow", "M_Clearpaperclip1", "P_ClearPaperclip", "TreeToPaperclip",
    "M_OpenShow", "SortTool1", "Sorttool2", "GotoHomepage1", "Browsetoopen1", "P_History1", "P_History2",
    "P_History3", "P_History4", "P_History5", "P_History6", "P_History7", "P_History8", "BatchReplace",
    "P_SaveClipAsShow", "P_PasteAsShow", "P_PasteInShow", "P_PasteClipInShow", "EditShow1", "RenameNode",
    "P_AddShowFolder", "P_DeleteShow", "P_DeleteShowFolder", "Closeslideshow1",
    // The Shotgraph window and its lens list.
    "Zq_Shotgraph", "Plotfocallengthusage1", "Checklenslengthusage1", "Editequivalentlist1",
    // The card import and the thumbnail settings with the tree-wide thumbnails.
    "Importfrommemorycardorfolder1", "Importfrommemorycardorfolder2", "Pastememorycardfiles1",
    "Pastecardfoldercontents", "CreateallthumbsforSelTree", "Stopbackgroundcreation1", "Settings1",
    // The wallpaper, the copy of a folder tree and the stand-alone copy.
    "WallpaperCenter", "WallpaperTiled1", "WallpaperStreched1", "showold1", "RemoveWallpaper1",
    "Compresscompleettree1", "XPCopyCompressTree1", "Copyandcompresscompletetree1", "CreateUSBKivo21"};

}  // namespace

class MenuWalkTest : public ViewerTest {};

TEST_F(MenuWalkTest, EveryMenuItemAndBarButtonIsConnected) {
  StartIn();
  std::vector<std::string> unconnected, stale;
  int items = 0, buttons = 0;
  auto check = [&](const std::string& name, bool connected) {
    if (connected && kStillBuilt.count(name)) stale.push_back(name);
    if (!connected && !kStillBuilt.count(name)) unconnected.push_back(name);
  };
  for (int i = 0; i < Form1->ComponentCount(); ++i) {
    TComponent* component = Form1->Components(i);
    if (auto* item = dynamic_cast<TMenuItem*>(component)) {
      if (item->Caption() == "-" || item->Count() > 0) continue;
      ++items;
      check(item->Name(), bool(item->OnClick) || item->AutoCheck());
    } else if (auto* button = dynamic_cast<TZqSpeedButton*>(component)) {
      ++buttons;
      check(button->Name(), bool(button->OnClick) || button->PopupMenu() != nullptr);
    } else if (auto* push = dynamic_cast<TZqButton*>(component)) {
      ++buttons;
      check(push->Name(), bool(push->OnClick));
    }
  }
  // The walk saw the menus and bars (the designed ones hold well over these numbers).
  EXPECT_GT(items, 150);
  EXPECT_GT(buttons, 25);
  std::string list;
  for (const std::string& name : unconnected) list += " " + name;
  EXPECT_TRUE(unconnected.empty()) << "not connected:" << list;
  // A command that got its work can be taken off the list above.
  list.clear();
  for (const std::string& name : stale) list += " " + name;
  if (!stale.empty()) std::cout << "connected now:" << list << "\n";
}
