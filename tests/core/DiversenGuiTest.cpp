// Diversen's gray conversion in every pixel format (against hand-computed values) and the
// translated message dialog answered through the modal responder, in English and Dutch.
#include <cstring>

#include "TestSupport.h"
#include "core/Diversen.h"
#include "platform/graphics/Graphics.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ModalResponder.h"
#include "platform/i18n/GnuGetText.h"

namespace {

std::vector<uint8_t> Pixels(TBitmap& b) {
  std::vector<uint8_t> out;
  for (int y = 0; y < b.Height(); ++y) out.insert(out.end(), b.ScanLine(y), b.ScanLine(y) + b.ScanLineSize());
  return out;
}

// A bitmap whose bytes (padding included) all differ from their neighbours.
void MakeBitmap(TBitmap& b, TPixelFormat format, int width, int height) {
  b.SetPixelFormat(format);
  b.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int i = 0; i < b.ScanLineSize(); ++i) row[i] = uint8_t(y * 97 + i * 31 + 5);
  }
}

TEST(DiversenGray, IndexedBitmapsGetAGrayPaletteAndKeepTheirPixels) {
  const TPalette colours{PaletteEntry(10, 20, 31), PaletteEntry(255, 255, 254), PaletteEntry(1, 1, 0),
                         PaletteEntry(255, 0, 0)};
  const uint8_t grays[] = {20, 254, 0, 85};
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit}) {
    TBitmap b;
    MakeBitmap(b, format, 13, 3);
    TPalette palette = colours;
    if (format == pf1bit) palette.Resize(2);
    b.SetPalette(palette);
    std::vector<uint8_t> before = Pixels(b);
    GrayscaleBitmap(b);
    TPalette gray = b.Palette();
    ASSERT_EQ(gray.Count(), palette.Count()) << "same number of entries";
    for (int i = 0; i < gray.Count(); ++i) {
      EXPECT_EQ(gray.Entry(i), PaletteEntry(grays[i], grays[i], grays[i])) << "format " << format << " entry " << i;
    }
    EXPECT_EQ(Pixels(b), before);
    EXPECT_EQ(b.PixelFormat(), format);
  }
}

TEST(DiversenGray, TrueColourPixelsBecomeTheirAverage) {
  for (TPixelFormat format : {pf24bit, pf32bit}) {
    const int step = format == pf24bit ? 3 : 4;
    TBitmap b;
    MakeBitmap(b, format, 5, 4);
    std::vector<uint8_t> before = Pixels(b);
    GrayscaleBitmap(b);
    for (int y = 0; y < 4; ++y) {
      const uint8_t* row = b.ScanLine(y);
      const uint8_t* old = before.data() + size_t(y) * b.ScanLineSize();
      for (int x = 0; x < 5; ++x) {
        const uint8_t* p = row + x * step;
        const uint8_t* o = old + x * step;
        // Blue, green and red their average; a fourth byte stays.
        std::vector<uint8_t> expected(3, uint8_t((o[0] + o[1] + o[2]) / 3));
        if (step == 4) expected.push_back(o[3]);
        EXPECT_EQ(std::vector<uint8_t>(p, p + step), expected) << x << "," << y;
      }
      // Row padding is not touched.
      for (int i = 5 * step; i < b.ScanLineSize(); ++i) EXPECT_EQ(row[i], old[i]);
    }
  }
}

TEST(DiversenGray, SixteenBitRaisesAndOtherFormatsAreLeftAlone) {
  for (TPixelFormat format : {pf15bit, pf16bit}) {
    TBitmap b;
    MakeBitmap(b, format, 6, 2);
    std::vector<uint8_t> before = Pixels(b);
    try {
      GrayscaleBitmap(b);
      ADD_FAILURE() << "no exception for format " << format;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "15bit and 16bit bitmap grayscale conversion not supported");
    }
    EXPECT_EQ(Pixels(b), before);
  }
  TBitmap device;
  MakeBitmap(device, pfDevice, 3, 3);
  std::vector<uint8_t> before = Pixels(device);
  GrayscaleBitmap(device);
  EXPECT_EQ(Pixels(device), before);
  TBitmap empty;
  empty.SetPixelFormat(pf24bit);
  GrayscaleBitmap(empty);
  EXPECT_TRUE(empty.Empty());
}

class DiversenDialog : public testing::Test {
 protected:
  void SetUp() override { InitTranslation(testsupport::ProgramDir() + "/locale"); }
  void TearDown() override { UseLanguage("en"); }

  // Shows the dialog and notes what the user would see; the scripted answer is answer.
  int Show(TMsgDlgType type, TMsgDlgButtons buttons, int answer) {
    ModalResponder::Expect(ModalKind::MessageDlg, [this, answer](ModalRequest& request) {
      seen.clear();
      if (request.form) {
        caption = request.form->Caption();
        for (const char* name : {"Yes", "No", "OK", "Cancel", "Abort", "Retry", "Ignore", "All", "NoToAll",
                                 "YesToAll", "Help"})
          if (auto* button = dynamic_cast<TControl*>(request.form->FindComponent(name)))
            seen.push_back(std::string(name) + "=" + button->Caption());
      }
      text = request.text;
      return answer;
    });
    int result = TranslatedMessageDialog("Delete 3 files?", type, buttons, 0);
    EXPECT_EQ(ModalResponder::Pending(), 0);
    return result;
  }
  std::string caption, text;
  std::vector<std::string> seen;
};

TEST_F(DiversenDialog, ReturnsTheScriptedResultWithEnglishTexts) {
  EXPECT_EQ(Show(mtWarning, {mbYes, mbNo, mbCancel}, mrNo), mrNo);
  EXPECT_EQ(caption, "Warning");
  EXPECT_EQ(text, "Delete 3 files?");
  EXPECT_EQ(seen, (std::vector<std::string>{"Yes=Yes", "No=No", "Cancel=Cancel"}));

  EXPECT_EQ(Show(mtError, {mbOK}, mrOk), mrOk);
  EXPECT_EQ(caption, "Error");
  EXPECT_EQ(seen, (std::vector<std::string>{"OK=Ok"}));
  EXPECT_EQ(Show(mtCustom, {mbYes, mbYesToAll, mbNo, mbNoToAll, mbAll}, mrYesToAll), mrYesToAll);
  EXPECT_EQ(caption, "Custom");
  EXPECT_EQ(seen, (std::vector<std::string>{"Yes=Yes", "No=No", "All=All", "NoToAll=NoToAll", "YesToAll=YesToAll"}));
}

TEST_F(DiversenDialog, ShowsDutchCaptionsUnderDutch) {
  UseLanguage("nl");
  EXPECT_EQ(Show(mtConfirmation, {mbYes, mbNo, mbCancel}, mrCancel), mrCancel);
  EXPECT_EQ(caption, "Bevestigen");
  EXPECT_EQ(seen, (std::vector<std::string>{"Yes=Ja", "No=Nee", "Cancel=Annuleren"}));
  EXPECT_EQ(Show(mtInformation, {mbAbort, mbRetry, mbIgnore, mbNoToAll, mbHelp}, mrRetry), mrRetry);
  EXPECT_EQ(caption, "Informatie");
  EXPECT_EQ(seen, (std::vector<std::string>{"Abort=Afbreken", "Retry=Opnieuw", "Ignore=Negeren",
                                            "NoToAll=Nee op alles", "Help=Help"}));
  Show(mtWarning, {mbYesToAll, mbAll}, mrAll);
  EXPECT_EQ(caption, "Waarschuwing");
  EXPECT_EQ(seen, (std::vector<std::string>{"All=Alles", "YesToAll=Ja op alles"}));
}

}  // namespace
