// Pictures through the scanner component from SANE's test device, compared pixel for pixel
// with what scanimage gets from the same device with the same options.
#include "ScannerFixture.h"

#include <cmath>
#include <cstring>

#include "platform/graphics/Graphics.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/ModalResponder.h"
#include "platform/gui/Spin.h"
#include "platform/gui/StdCtrls.h"
#include "platform/services/ScannerDialogs.h"
#include "scanner/CorvoTwain.h"

namespace {

struct KindCase {
  TScanKind kind;
  int dpi;
  TPixelFormat format;
};

}  // namespace

class TwainAcquireTest : public ScannerTest, public testing::WithParamInterface<KindCase> {};

TEST_P(TwainAcquireTest, PictureEqualsScanimage) {
  KIVO2_REQUIRE_TOOL("scanimage");
  const KindCase c = GetParam();
  auto twain = NewTwain();
  TTwainSource* source = OpenSource(*twain);
  ASSERT_NE(source, nullptr);
  ExpectScanDialog(c.kind, c.dpi);
  ASSERT_TRUE(RunUntilDisabled(*source));
  ASSERT_EQ(events_.images.size(), 1u);
  EXPECT_EQ(events_.errors, 0);
  EXPECT_EQ(events_.cancels, 0);
  EXPECT_EQ(events_.disables, 1);
  const TBitmap& image = *events_.images[0];
  EXPECT_EQ(image.PixelFormat(), c.format);
  const testsupport::Raster expected = ScanImage(ScanImageOptions(c.kind, c.dpi));
  EXPECT_EQ(MaxDifference(image, expected), 0);
  // One progress call per row: the last reports the whole height.
  EXPECT_EQ(events_.progressCalls, image.Height());
  EXPECT_EQ(events_.lastProgress, image.Height());
  EXPECT_EQ(events_.lastTotal, image.Height() - 1);
  // The source stays open for the next picture.
  EXPECT_TRUE(source->Loaded());
}

const KindCase kKindCases[] = {{skColor, 50, pf24bit},  {skColor, 100, pf24bit}, {skGray, 50, pf8bit},
                               {skGray, 100, pf8bit},   {skLineart, 50, pf1bit}, {skLineart, 100, pf1bit}};

std::string KindCaseName(const testing::TestParamInfo<KindCase>& info) {
  static const char* const kinds[] = {"Color", "Gray", "Lineart"};
  return std::string(kinds[info.param.kind]) + std::to_string(info.param.dpi);
}

INSTANTIATE_TEST_SUITE_P(KindsAndResolutions, TwainAcquireTest, testing::ValuesIn(kKindCases), KindCaseName);

// Devices that send their picture in unusual ways: three frames, an unknown height, pixels
// wasted at the end of each line, 16-bit samples, an area with an odd width.
TEST_F(ScannerTest, UnusualDevicesGiveTheSamePicture) {
  KIVO2_REQUIRE_TOOL("scanimage");
  struct Case {
    std::vector<std::string> config;
    TScanKind kind;
    std::vector<std::string> extra;  // scanimage options besides kind and resolution
    std::function<void(TTwainScanDialog&)> dialog;
  };
  const std::vector<Case> cases = {
      {{"three-pass true"}, skColor, {"--three-pass=yes"}, nullptr},
      {{"hand-scanner true"}, skGray, {"--hand-scanner=yes"}, nullptr},
      {{}, skGray, {"-x", "51"}, [](TTwainScanDialog& d) { d.EditWidth->SetValue(51); }},
      {{}, skLineart, {"-l", "7", "-t", "9", "-x", "37", "-y", "21"},
       [](TTwainScanDialog& d) {
         d.EditLeft->SetValue(7);
         d.EditTop->SetValue(9);
         d.EditWidth->SetValue(37);
         d.EditHeight->SetValue(21);
       }},
  };
  // Pixels wasted at the end of each line are skipped: the picture is the one without the loss,
  // less its last three columns. (scanimage writes the wasted bytes into its picture.)
  {
    WriteSaneConfig({"ppl-loss 3"});
    auto twain = NewTwain();
    TTwainSource* source = OpenSource(*twain);
    ASSERT_NE(source, nullptr);
    ExpectScanDialog(skColor, 50);
    ASSERT_TRUE(RunUntilDisabled(*source));
    ASSERT_EQ(events_.images.size(), 1u);
    WriteSaneConfig();
    const testsupport::Raster full = ScanImage(ScanImageOptions(skColor, 50));
    ASSERT_EQ(events_.images[0]->Width(), full.width - 3);
    testsupport::Raster cropped = full;
    cropped.width = full.width - 3;
    cropped.samples.clear();
    for (int y = 0; y < full.height; ++y)
      for (int x = 0; x < cropped.width; ++x)
        for (int ch = 0; ch < 3; ++ch) cropped.samples.push_back(full.at(x, y, ch));
    EXPECT_EQ(MaxDifference(*events_.images[0], cropped), 0);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.extra));
    WriteSaneConfig(c.config);
    events_ = Events();
    auto twain = NewTwain();
    TTwainSource* source = OpenSource(*twain);
    ASSERT_NE(source, nullptr);
    ExpectScanDialog(c.kind, 50, c.dialog);
    ASSERT_TRUE(RunUntilDisabled(*source));
    ASSERT_EQ(events_.images.size(), 1u);
    std::vector<std::string> options = ScanImageOptions(c.kind, 50);
    options.insert(options.end(), c.extra.begin(), c.extra.end());
    EXPECT_EQ(MaxDifference(*events_.images[0], ScanImage(options)), 0);
  }
}

// The capabilities answer what the device offers; scanimage --help lists the same.
TEST_F(ScannerTest, CapabilitiesFollowTheDeviceOptions) {
  auto twain = NewTwain();
  TTwainSource* source = OpenSource(*twain);
  ASSERT_NE(source, nullptr);
  TTwainUnits units;
  TTwainUnit unit;
  ASSERT_EQ(source->GetICapUnits(0, units, unit), capOk);
  EXPECT_EQ(unit, tuInches);
  TTwainPixelFlavors flavors;
  TTwainPixelFlavor flavor;
  ASSERT_EQ(source->GetIPixelFlavor(0, flavors, flavor), capOk);
  EXPECT_EQ(flavor, tpfVanilla);

  TW_UINT16 type = 0;
  int current = -1, def = -1;
  std::vector<std::string> items;
  // The test device offers Gray and Color, and line art as Gray at one bit.
  ASSERT_EQ(source->GetCapabilityList(ICAP_PIXELTYPE, 0, type, current, def, items), capOk);
  EXPECT_EQ(type, TWTY_UINT16);
  EXPECT_EQ(items, (std::vector<std::string>{"0", "1", "2"}));
  EXPECT_EQ(items[size_t(current)], "1");  // test.conf's default mode is Gray
  // Its resolution range is 1 to 1200 dpi, its default 50.
  ASSERT_EQ(source->GetCapabilityList(ICAP_XRESOLUTION, 0, type, current, def, items), capOk);
  EXPECT_EQ(type, TWTY_FIX32);
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items.front(), "50.0");
  EXPECT_EQ(items.back(), "1200.0");
  EXPECT_EQ(items[size_t(current)], "50.0");
  // The area is 200 mm square at most: 7.874 inches.
  ASSERT_EQ(source->GetCapabilityList(ICAP_PHYSICALWIDTH, 0, type, current, def, items), capOk);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0], "7." + std::to_string(std::lround(200 / 25.4 * 65536) & 0xFFFF));

  // A capability the source does not know.
  TW_HANDLE container = nullptr;
  TW_UINT16 conType = 0;
  EXPECT_EQ(source->GetCapability(0x1234, container, conType), capUnsupported);
  EXPECT_EQ(container, nullptr);
  // A one-value container is not a list.
  TW_HANDLE one = TwainAllocHandle(sizeof(TW_ONEVALUE));
  EXPECT_EQ(source->GetCapabilityList(one, TWON_ONEVALUE, type, current, def, items), capWrongContainer);
}

// A 300 dpi picture gets 11811 pixels per metre, a 100 dpi one 3937 and a 150 dpi one
// 5906 (5905.51 rounded, not cut off); 10 mm are 118, 39 and 59 pixels.
TEST_F(ScannerTest, ResolutionInPixelsPerMetre) {
  auto twain = NewTwain();
  TTwainSource* source = OpenSource(*twain);
  ASSERT_NE(source, nullptr);
  for (const auto& [dpi, perMetre, pixels] : {std::tuple{300, 11811, 118}, {100, 3937, 39}, {150, 5906, 59}}) {
    SCOPED_TRACE(dpi);
    events_.images.clear();
    ExpectScanDialog(skLineart, dpi, [](TTwainScanDialog& d) {
      d.EditWidth->SetValue(10);
      d.EditHeight->SetValue(10);
    });
    ASSERT_TRUE(RunUntilDisabled(*source));
    ASSERT_EQ(events_.images.size(), 1u);
    EXPECT_EQ(source->XPelsPerMeter(), perMetre);
    EXPECT_EQ(source->YPelsPerMeter(), perMetre);
    EXPECT_EQ(events_.images[0]->Width(), pixels);
  }
}

// A document feeder delivers every sheet in its own event; setting Cancel in one discards the
// rest, and the source ends disabled.
TEST_F(ScannerTest, FeederSheetsEachInTheirOwnEventUntilCancel) {
  auto twain = NewTwain();
  TTwainSource* source = OpenSource(*twain);
  ASSERT_NE(source, nullptr);
  auto feeder = [](TTwainScanDialog& d) {
    const int i = d.ComboSource->Items()->IndexOf("Automatic Document Feeder");
    ASSERT_GE(i, 0);
    d.ComboSource->SetItemIndex(i);
    d.EditWidth->SetValue(20);
    d.EditHeight->SetValue(20);
  };
  // The test device's feeder holds ten sheets.
  ExpectScanDialog(skGray, 50, feeder);
  ASSERT_TRUE(RunUntilDisabled(*source));
  EXPECT_EQ(events_.images.size(), 10u);
  EXPECT_EQ(events_.errors, 0);

  events_ = Events();
  onAcquire_ = [this](int, bool& cancel) { cancel = events_.images.size() == 3; };
  ExpectScanDialog(skGray, 50, feeder);
  ASSERT_TRUE(RunUntilDisabled(*source));
  EXPECT_EQ(events_.images.size(), 3u);
  EXPECT_EQ(events_.disables, 1);
  EXPECT_FALSE(source->Enabled());
}

// The source list, the default source and the selection dialog.
TEST_F(ScannerTest, SourcesAndSelection) {
  WriteSaneConfig({}, 3);
  auto twain = NewTwain();
  EXPECT_EQ(twain->SourceCount(), 0);
  EXPECT_EQ(twain->GetSource(0), nullptr);
  EXPECT_EQ(twain->SelectSource(), -1);  // no manager yet
  ASSERT_TRUE(twain->LoadTwainLibrary());
  twain->SetSourceManagerLoaded(true);
  ASSERT_TRUE(twain->SourceManagerLoaded());
  ASSERT_EQ(twain->SourceCount(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(twain->GetSource(i)->ProductName(), "test:" + std::to_string(i));
    EXPECT_EQ(twain->GetSource(i)->Manufacturer(), "Noname");
    EXPECT_EQ(twain->GetSource(i)->Index(), i);
    EXPECT_EQ(twain->GetSource(i)->TransferMode(), ttmMemory);
  }
  EXPECT_EQ(twain->GetSource(3), nullptr);
  EXPECT_EQ(twain->GetSource(-1), twain->GetSource(0));
  ExpectSelectDevice("test:2");
  EXPECT_EQ(twain->SelectSource(), 2);
  // A double click on the first line chooses the first source.
  ModalResponder::Expect(ModalKind::ShowModal, [](ModalRequest& request) {
    GuiTesting::DoubleClick(static_cast<TTwainSelectDialog*>(request.form)->ListBox1, 5, 5);
    return int(mrNone);
  });
  EXPECT_EQ(twain->SelectSource(), 0);
  ExpectSelectCancel();
  EXPECT_EQ(twain->SelectSource(), -1);
  twain->SetLibraryLoaded(false);
  EXPECT_FALSE(twain->SourceManagerLoaded());
  EXPECT_EQ(twain->SourceCount(), 0);
}

// The pointer list grows in steps of ten and reaches its items up to index 255.
TEST(PointerListTest, GrowsInStepsAndStopsAt255) {
  TPointerList list;
  EXPECT_EQ(list.Capacity(), 10);
  int values[300];
  for (int i = 0; i < 300; ++i) {
    list.Add(&values[i]);
    if (i == 10) {
      EXPECT_EQ(list.Capacity(), 20);
    }
  }
  EXPECT_EQ(list.Count(), 300);
  EXPECT_EQ(list.Capacity(), 300);
  EXPECT_EQ(list.Items(0), &values[0]);
  EXPECT_EQ(list.Items(255), &values[255]);
  EXPECT_EQ(list.Items(256), nullptr);
  EXPECT_EQ(list.Items(-1), nullptr);
  list.SetItems(256, nullptr);
  list.SetCapacity(5);  // below the count: ignored
  EXPECT_EQ(list.Capacity(), 300);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 10);
  EXPECT_EQ(list.Items(0), nullptr);
}

// Identity texts are cut at 32 characters and zero-filled, so records compare byte for byte.
TEST(TwainIdentityTest, TextsAndDefaults) {
  TTwainIdentity a(nullptr), b(nullptr);
  EXPECT_EQ(a.ProductName(), "App product name");
  EXPECT_EQ(a.Language(), tlUserLocale);
  EXPECT_EQ(int(a.Structure().Version.Language), 0xFFFF);
  EXPECT_TRUE(a.Groups().Contains(tgControl));
  a.SetGroups(TTwainGroups{tgAudio});
  EXPECT_EQ(uint32_t(a.Structure().SupportedGroups), DG_CONTROL | DG_AUDIO);
  a.SetManufacturer(std::string(40, 'x'));
  EXPECT_EQ(a.Manufacturer(), std::string(32, 'x'));
  a.SetManufacturer("short");
  b.SetGroups(TTwainGroups{tgAudio});
  b.SetManufacturer("short");
  EXPECT_EQ(std::memcmp(&a.Structure(), &b.Structure(), sizeof(TW_IDENTITY)), 0);
  a.SetLanguage(tlDutch);
  EXPECT_EQ(int(a.Structure().Version.Language), 1);
  b.Assign(&a);
  EXPECT_EQ(b.Language(), tlDutch);
}
