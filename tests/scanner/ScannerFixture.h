#pragma once
// Scanner tests run against SANE's "test" backend: each test writes its own SANE configuration
// folder (dll.conf naming only "test", test.conf with the test's options) and points
// SANE_CONFIG_DIR at it, so nothing outside the sandbox needs configuring. scanimage, run with
// the same configuration, is the independent oracle for the pictures.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/services/ScannerSane.h"

class TBitmap;
class TCorvoTwain;
class TTwainSource;
class TTwainScanDialog;

// The backend's option lines for test.conf (besides the picture "Color pattern").
void WriteSaneConfig(const std::vector<std::string>& testOptions = {}, int devices = 2);

// scanimage -d device with the options: its PNM output, and that as a raster.
std::string ScanImagePnm(const std::vector<std::string>& options, const std::string& device = "test:0");
testsupport::Raster ScanImage(const std::vector<std::string>& options, const std::string& device = "test:0");
// scanimage's options for a kind of picture at a resolution.
std::vector<std::string> ScanImageOptions(TScanKind kind, int dpi);

// The largest difference of a bitmap's pixels from a raster (grey, RGB or PBM); 256 when the
// sizes differ.
int MaxDifference(const TBitmap& bitmap, const testsupport::Raster& raster);

// Scripted answers of the source manager's dialogs.
void ExpectSelectDevice(const std::string& device);
void ExpectSelectCancel();
// dpi 0 leaves the resolution as the dialog shows it.
void ExpectScanDialog(TScanKind kind, int dpi, std::function<void(TTwainScanDialog&)> more = {});
void ExpectScanDialogCancel();
// The scan's progress window while it is open.
class TTwainProgressForm* ProgressWindow();

class ScannerTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // What the component's events reported.
  struct Events {
    std::vector<std::unique_ptr<TBitmap>> images;
    int cancels = 0, errors = 0, disables = 0, progressCalls = 0;
    int lastError = 0, lastCondition = 0, lastProgress = 0, lastTotal = 0;
  };
  // A component whose events fill events_ (the handler may also ask to cancel).
  std::unique_ptr<TCorvoTwain> NewTwain();
  // Loads, opens the manager, selects the device (scripted) and opens the source.
  TTwainSource* OpenSource(TCorvoTwain& twain, const std::string& device = "test:0");
  // Enables the source and waits until the transfer ended and the source is disabled again.
  bool RunUntilDisabled(TTwainSource& source, int ms = 60000);

  Events events_;
  std::function<void(int index, bool& cancel)> onAcquire_;
};
