// Diversen's filler of the paperclip-and-shows tree, on a shows folder with nested folders,
// a hidden folder, non-ASCII names and a link loop.
#include <filesystem>

#include "TestSupport.h"
#include "core/Diversen.h"
#include "platform/gui/ComCtrls.h"
#include "platform/i18n/GnuGetText.h"

namespace {

using testsupport::TempPath;
using testsupport::WriteFile;

// One line per node: indentation by level, the text, then [image/selected image].
std::string Dump(TCustomTreeView& tree) {
  std::string out;
  for (TTreeNode* n = tree.Items()->GetFirstNode(); n; n = n->GetNext())
    out += std::string(size_t(n->Level()) * 2, ' ') + n->Text() + " [" + std::to_string(n->ImageIndex()) + "/" +
           std::to_string(n->SelectedIndex()) + "]\n";
  return out;
}

class DiversenShowsTree : public testing::Test {
 protected:
  void SetUp() override {
    shows = TempPath("Shows");
    for (const char* dir : {"Zomer/Italië", "appel", ".verborgen"}) std::filesystem::create_directories(shows + "/" + dir);
    for (const char* file : {"Zomer/a.shw", "Zomer/B.shw", "Zomer/notes.txt", "Zomer/Italië/c.shw", "appel/x.shw",
                             "z.shw", "m.shw"})
      WriteFile(shows + "/" + file, "");
    std::filesystem::create_directory_symlink("..", shows + "/Zomer/lus");
  }
  void TearDown() override { UseLanguage("en"); }
  std::string shows;
};

TEST_F(DiversenShowsTree, FoldersSortedThenLooseShows) {
  TTreeView tree(nullptr);
  FillShowsTree(shows, &tree, false, 6, 5);
  EXPECT_EQ(Dump(tree),
            "Paperclip [3/3]\n"
            "Shows [4/4]\n"
            "  .verborgen [5/6]\n"
            "  appel [5/6]\n"
            "    x.shw [1/2]\n"
            "  Zomer [5/6]\n"
            "    a.shw [1/2]\n"
            "    B.shw [1/2]\n"
            "  m.shw [1/2]\n"
            "  z.shw [1/2]\n");
  EXPECT_TRUE(tree.Items()->Item(1)->Expanded());
}

TEST_F(DiversenShowsTree, RecursiveToAnyDepthWithoutFollowingLinks) {
  TTreeView tree(nullptr);
  FillShowsTree(shows, &tree, true, 8, 7);
  EXPECT_EQ(Dump(tree),
            "Paperclip [3/3]\n"
            "Shows [4/4]\n"
            "  .verborgen [7/8]\n"
            "  appel [7/8]\n"
            "    x.shw [1/2]\n"
            "  Zomer [7/8]\n"
            "    a.shw [1/2]\n"
            "    B.shw [1/2]\n"
            "    Italië [7/8]\n"
            "      c.shw [1/2]\n"
            "  m.shw [1/2]\n"
            "  z.shw [1/2]\n");
}

TEST_F(DiversenShowsTree, DutchNodeTextsAndMissingFolder) {
  InitTranslation(testsupport::ProgramDir() + "/locale");
  UseLanguage("nl");
  TTreeView tree(nullptr);
  FillShowsTree(TempPath("missing"), &tree, true, 2, 1);
  EXPECT_EQ(Dump(tree), "Paperclip [3/3]\nDiavoorstellingen [4/4]\n");
}

}  // namespace
