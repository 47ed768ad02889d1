#include "ScannerFixture.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "platform/graphics/Graphics.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/ModalResponder.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/services/ScannerDialogs.h"
#include "scanner/CorvoTwain.h"

namespace fs = std::filesystem;

void WriteSaneConfig(const std::vector<std::string>& testOptions, int devices) {
  const std::string dir = testsupport::TempPath("sane");
  fs::create_directories(dir);
  testsupport::WriteFile(dir + "/dll.conf", "test\n");
  std::string conf = "number_of_devices " + std::to_string(devices) + "\n";
  conf += "test-picture \"Color pattern\"\n";
  for (const std::string& line : testOptions) conf += line + "\n";
  testsupport::WriteFile(dir + "/test.conf", conf);
  setenv("SANE_CONFIG_DIR", dir.c_str(), 1);
}

std::string ScanImagePnm(const std::vector<std::string>& options, const std::string& device) {
  // scanimage itself now and then never ends: the test backend cancels its reading thread
  // asynchronously at the end of a page, and a thread cancelled inside free() dies holding the
  // heap's lock. A run that has not ended after 20 s is killed and made again.
  std::vector<std::string> argv{"timeout", "-s", "KILL", "20", "scanimage", "-d", device, "--format=pnm"};
  argv.insert(argv.end(), options.begin(), options.end());
  testsupport::CommandResult r;
  for (int attempt = 0; attempt < 3; ++attempt) {
    r = testsupport::Run(argv);
    if (r.exitCode != 124 && r.exitCode != 128 + SIGKILL) break;
  }
  if (r.exitCode != 0) throw std::runtime_error("scanimage failed: " + r.err);
  return r.out;
}

testsupport::Raster ScanImage(const std::vector<std::string>& options, const std::string& device) {
  return testsupport::ParsePnm(ScanImagePnm(options, device));
}

std::vector<std::string> ScanImageOptions(TScanKind kind, int dpi) {
  const std::string res = "--resolution=" + std::to_string(dpi);
  switch (kind) {
    case skColor: return {"--mode=Color", "--depth=8", res};
    case skGray: return {"--mode=Gray", "--depth=8", res};
    case skLineart: return {"--mode=Gray", "--depth=1", res};
  }
  return {};
}

int MaxDifference(const TBitmap& bitmap, const testsupport::Raster& raster) {
  if (bitmap.Width() != raster.width || bitmap.Height() != raster.height) return 256;
  int worst = 0;
  for (int y = 0; y < raster.height; ++y)
    for (int x = 0; x < raster.width; ++x) {
      const TColor c = bitmap.PixelColor(x, y);
      const int ours[3] = {int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)};
      for (int ch = 0; ch < 3; ++ch) {
        const int sample = raster.at(x, y, raster.channels >= 3 ? ch : 0);
        const int theirs = raster.maxval == 1 ? sample * 255 : sample * 255 / raster.maxval;
        worst = std::max(worst, std::abs(ours[ch] - theirs));
      }
    }
  return worst;
}

void ExpectSelectDevice(const std::string& device) {
  ModalResponder::Expect(ModalKind::ShowModal, [device](ModalRequest& request) {
    auto* dialog = dynamic_cast<TTwainSelectDialog*>(request.form);
    if (!dialog) {
      ADD_FAILURE() << "expected the source selection, got " << request.caption;
      return int(mrCancel);
    }
    for (int i = 0; i < dialog->ListBox1->Items()->Count(); ++i)
      if (dialog->ListBox1->Items()->Strings(i).find("(" + device + ")") != std::string::npos) {
        dialog->ListBox1->SetItemIndex(i);
        dialog->ButtonSelect->Click();
        return int(mrNone);
      }
    ADD_FAILURE() << device << " is not listed";
    return int(mrCancel);
  });
}

void ExpectSelectCancel() {
  ModalResponder::Expect(ModalKind::ShowModal, [](ModalRequest& request) {
    EXPECT_NE(dynamic_cast<TTwainSelectDialog*>(request.form), nullptr);
    return int(mrCancel);
  });
}

void ExpectScanDialog(TScanKind kind, int dpi, std::function<void(TTwainScanDialog&)> more) {
  ModalResponder::Expect(ModalKind::ShowModal, [kind, dpi, more](ModalRequest& request) {
    auto* dialog = dynamic_cast<TTwainScanDialog*>(request.form);
    if (!dialog) {
      ADD_FAILURE() << "expected the scan dialog, got " << request.caption;
      return int(mrCancel);
    }
    EXPECT_TRUE(dialog->ChooseKind(kind)) << ScanKindText(kind);
    if (dpi > 0) {
      EXPECT_TRUE(dialog->ChooseResolution(dpi)) << dpi;
    }
    if (more) more(*dialog);
    dialog->ButtonScan->Click();
    return int(mrNone);
  });
}

TTwainProgressForm* ProgressWindow() {
  for (int i = 0; i < Screen->FormCount(); ++i)
    if (auto* f = dynamic_cast<TTwainProgressForm*>(Screen->Forms(i))) return f;
  return nullptr;
}

void ExpectScanDialogCancel() {
  ModalResponder::Expect(ModalKind::ShowModal, [](ModalRequest& request) {
    auto* dialog = dynamic_cast<TTwainScanDialog*>(request.form);
    EXPECT_NE(dialog, nullptr);
    if (dialog) dialog->ButtonCancel->Click();
    return int(mrNone);
  });
}

void ScannerTest::SetUp() {
  unsetenv("KIVO2_SANE_LIBRARY");
  InitTranslation(testsupport::ProgramDir() + "/locale");
  UseLanguage("en");
  Application->Initialize();
  WriteSaneConfig();
}

void ScannerTest::TearDown() {
  GuiTesting::ProcessEvents();
  EXPECT_EQ(ModalResponder::Pending(), 0) << "scripted dialogs that never came";
  unsetenv("SANE_CONFIG_DIR");
}

std::unique_ptr<TCorvoTwain> ScannerTest::NewTwain() {
  auto twain = std::make_unique<TCorvoTwain>(nullptr);
  twain->OnTwainAcquire = [this](TObject*, int index, TBitmap* image, bool& cancel) {
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(image);
    events_.images.push_back(std::move(copy));
    if (onAcquire_) onAcquire_(index, cancel);
  };
  twain->OnAcquireCancel = [this](TObject*, int) { ++events_.cancels; };
  twain->OnAcquireError = [this](TObject*, int, int error, int condition) {
    ++events_.errors;
    events_.lastError = error;
    events_.lastCondition = condition;
  };
  twain->OnSourceDisable = [this](TObject*, int) { ++events_.disables; };
  twain->OnAcquireProgress = [this](TObject*, int, TBitmap*, int current, int total) {
    ++events_.progressCalls;
    events_.lastProgress = current;
    events_.lastTotal = total;
  };
  return twain;
}

TTwainSource* ScannerTest::OpenSource(TCorvoTwain& twain, const std::string& device) {
  if (!twain.LoadTwainLibrary()) return nullptr;
  twain.SetSourceManagerLoaded(true);
  ExpectSelectDevice(device);
  const int index = twain.SelectSource();
  TTwainSource* source = twain.GetSource(index);
  if (!source) return nullptr;
  source->SetLoaded(true);
  source->SetTransferMode(ttmMemory);
  return source->Loaded() ? source : nullptr;
}

bool ScannerTest::RunUntilDisabled(TTwainSource& source, int ms) {
  source.SetEnabled(true);
  return GuiTesting::WaitUntil([&source] { return !source.Enabled(); }, ms);
}
