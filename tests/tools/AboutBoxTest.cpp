// The about box's running line of thanks: set up as the box holds it, running while the
// box shows, stopped and emptied when it closes.
#include <gtest/gtest.h>

#include <memory>

#include "controls/RunText.h"
#include "platform/gui/Forms.h"
#include "tools/UnitAbout.h"

TEST(AboutBox, TheLineOfThanksRunsWhileTheBoxShows) {
  Application->Initialize();
  auto box = std::make_unique<TAboutBox>(nullptr);
  TRunningText* text = box->RunningText1;
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->Width(), 281);
  EXPECT_EQ(text->Height(), 17);
  EXPECT_EQ(text->Direct(), diRightToLeft);
  EXPECT_TRUE(text->Continuous());
  EXPECT_EQ(text->Steps(), 1000);
  EXPECT_EQ(text->Speed(), 30);
  EXPECT_EQ(text->Color(), clCream);
  EXPECT_FALSE(text->Active());
  box->Show();
  EXPECT_TRUE(text->Active());
  EXPECT_FALSE(text->Caption().empty());
  box->Close();
  EXPECT_FALSE(text->Active());
  EXPECT_TRUE(text->Caption().empty());
}
