// Every caption and hint of the card import, search, rename, find-folder, batch rename,
// thumbnail and floating-bar windows has its Dutch text in the compiled catalogue.
#include <set>
#include <string>

#include "ToolWindowFixture.h"
#include "platform/gui/StdCtrls.h"
#include "tools/UnitBatchRename2.h"
#include "tools/UnitEditName.h"
#include "tools/UnitFindFolder.h"
#include "tools/UnitFloatButtons.h"
#include "tools/UnitGetMemorycard.h"
#include "tools/UnitSearch.h"
#include "tools/UnitShowProgress2.h"
#include "tools/UnitThumbSettings.h"
#include "tools/UnitThumbSpy.h"

TEST_F(ToolWindowTest, EveryTextOfTheFileToolsHasADutchTranslation) {
  KIVO2_REQUIRE_TOOL("msgunfmt");
  const std::set<std::string> translated = testsupport::DutchTranslations();
  ASSERT_FALSE(translated.empty());
  // Texts that are the same in every language, and captions the program fills in.
  const std::set<std::string> neutral{"", "<", ">", "+", "-", "2", "...", "album", "Kivo2"};
  int checked = 0;
  for (TForm* form : std::initializer_list<TForm*>{FormGetcard, SearchForm, FormEditName, FormFolderFind,
                                                   BatchRenameForm, FormThumbsettings, FormThumbSpy,
                                                   ShowProgressForm, FormFloatB}) {
    std::vector<std::string> texts{form->Caption()};
    for (int i = 0; i < form->ComponentCount(); ++i) {
      auto* control = dynamic_cast<TControl*>(form->Components(i));
      if (!control || dynamic_cast<TCustomEdit*>(control) || dynamic_cast<TCustomListBox*>(control)) continue;
      texts.push_back(control->Caption());
      texts.push_back(control->Hint());
    }
    for (const std::string& text : texts) {
      if (neutral.count(text)) continue;
      ++checked;
      EXPECT_TRUE(translated.count(text)) << form->Name() << ": \"" << text << "\" has no Dutch text";
    }
  }
  EXPECT_GT(checked, 60);
}
