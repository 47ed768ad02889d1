// Every menu item (main menu and popups) and every bar button of the main window is
// connected: an item runs a handler or is an option whose check mark the program reads;
// a button runs a handler or opens its menu. Items that open sub-items and separators
// are not commands.

#include "ViewerFixture.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"

class MenuWalkTest : public ViewerTest {};

TEST_F(MenuWalkTest, EveryMenuItemAndBarButtonIsConnected) {
  StartIn();
  std::vector<std::string> unconnected;
  int items = 0, buttons = 0;
  auto check = [&](const std::string& name, bool connected) {
    if (!connected) unconnected.push_back(name);
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
}
