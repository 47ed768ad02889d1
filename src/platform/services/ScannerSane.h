#pragma once
// The system's scanner library (SANE), opened at run time, and one opened scanner: its
// options as the scan dialog and the capabilities show them (kind of picture, resolution,
// area, paper source), and scanning in a worker thread that buffers each page whole and
// converts it to the rows the image transfer hands out.
//
// Everything a device reports is checked: sizes are bounded (MaxScanSide pixels a side,
// MaxScanBytes a page), rows that the device sends too many are dropped, and a page only
// becomes available when it is complete.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

constexpr int MaxScanSide = 32768;
constexpr int64_t MaxScanBytes = int64_t(1) << 30;

// The SANE status codes the layer passes on (numbered as SANE numbers them).
enum TScanStatus {
  ssGood = 0,
  ssUnsupported,
  ssCancelled,
  ssDeviceBusy,
  ssInvalid,
  ssEof,
  ssJammed,
  ssNoDocs,
  ssCoverOpen,
  ssIoError,
  ssNoMem,
  ssAccessDenied
};

struct TScanDeviceInfo {
  std::string Name, Vendor, Model, Type;
};

// The loaded library: its functions, looked up once.
class TSaneLibrary {
 public:
  // Opens the library (KIVO2_SANE_LIBRARY, else libsane from the system's library folders)
  // and initialises it; nullptr with a reason when that fails.
  static std::unique_ptr<TSaneLibrary> Load(std::string& why);
  ~TSaneLibrary();
  TSaneLibrary(const TSaneLibrary&) = delete;
  TSaneLibrary& operator=(const TSaneLibrary&) = delete;

  // The devices attached now (asks the backends again each time).
  std::vector<TScanDeviceInfo> Devices();
  // The library's own text for a status.
  std::string StatusText(int status) const;

  struct Api;
  Api& api() { return *api_; }

 private:
  TSaneLibrary() = default;
  void* handle_ = nullptr;
  std::unique_ptr<Api> api_;
};

// The three kinds of picture the dialog offers.
enum TScanKind { skColor, skGray, skLineart };

// The settings of one scan. Area values are millimetres from the top-left corner.
struct TScanSettings {
  TScanKind Kind = skColor;
  double Resolution = 0;  // dots per inch; 0 when the device has no resolution setting
  double Left = 0, Top = 0, Width = 0, Height = 0;
  std::string Source;  // the paper source as the device names it ("" when it has none)
};

// What a device offers.
struct TScanChoices {
  std::vector<TScanKind> Kinds;
  std::vector<double> Resolutions;  // the values the dialog lists, ascending
  double MinResolution = 0, MaxResolution = 0;
  bool HasArea = false;
  double MaxWidth = 0, MaxHeight = 0;  // millimetres of the largest area
  std::vector<std::string> Sources;
};

// One complete page, rows top-down, each padded to 4 bytes: RGB as R, G, B bytes, grey as
// one byte a pixel, line art as one bit a pixel, most significant first, 1 = black.
struct TScanPage {
  TScanKind Kind = skColor;
  int Width = 0, Height = 0;
  int BitsPerPixel = 24;
  int RowBytes = 0;
  double XResolution = 0, YResolution = 0;
  std::vector<uint8_t> Bits;
};

// The index of the value of list nearest to value (0 for an empty list).
int NearestIndex(const std::vector<double>& list, double value);

// A source name "Automatic Document Feeder", "ADF", "ADF Duplex" feeds sheets one by one.
bool IsFeederSource(const std::string& source);

class TScanDevice {
 public:
  // Opens a device; nullptr with the status when it cannot be opened.
  static std::unique_ptr<TScanDevice> Open(TSaneLibrary& library, const std::string& name, int& status);
  // Cancels a running scan, waits for its thread and closes the device.
  ~TScanDevice();
  TScanDevice(const TScanDevice&) = delete;
  TScanDevice& operator=(const TScanDevice&) = delete;

  const std::string& Name() const { return name_; }
  TScanChoices Choices();
  TScanSettings Current();
  // Sets the device's options; false (and the status) when the device refuses one.
  bool Apply(const TScanSettings& settings, int& status);

  // Starts scanning in a worker thread with the current options: one page, or with a feeder
  // source every page until the feeder is empty. notify runs on the worker after each page
  // and once at the end; it must only hand work to the GUI thread.
  void StartScan(std::function<void()> notify);
  // Asks the device to stop; the worker ends soon with ssCancelled.
  void CancelScan();
  // Waits for the worker thread to end.
  void WaitScan();
  bool Scanning() const { return running_.load(); }
  // The worker has ended (Status tells how).
  bool Ended();
  // How the scan ended: ssGood, ssCancelled or the device's error.
  int EndStatus();
  // Pages scanned and not taken yet.
  int PagesReady();
  // Takes the first finished page; false when there is none.
  bool TakePage(TScanPage& page);
  // Waits until a page is ready or the scan has ended; true when a page is ready.
  bool WaitForPage();
  // Bytes read of the page being scanned and the bytes it should have (0 when unknown).
  int64_t BytesRead() const { return bytesRead_.load(); }
  int64_t BytesExpected() const { return bytesExpected_.load(); }

 private:
  TScanDevice(TSaneLibrary& library, void* handle, std::string name);
  void run(std::function<void()> notify);
  int scanPage(TScanPage& page);
  int readFrame(std::vector<uint8_t>& bytes, int64_t expected, int64_t limit);
  // sane_start, noting the threads and pipes it made.
  int startFrame();
  // sane_cancel once the threads of the library are where a cancel cannot harm them.
  void cancelDevice();
  // Waits (at most boundMs) until the library's threads have ended or rest in a system call.
  void settleThreads(int boundMs);

  TSaneLibrary& library_;
  void* handle_;
  std::string name_;
  std::thread worker_;
  std::atomic<bool> running_{false}, cancel_{false};
  std::atomic<int64_t> bytesRead_{0}, bytesExpected_{0};
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<TScanPage> pages_;
  bool ended_ = true;
  bool reading_ = false;  // the worker waits in the library's read
  int endStatus_ = ssGood;
  std::mutex threadsMutex_;
  std::vector<int> backendThreads_;  // made by sane_start during this scan
  std::vector<std::pair<int, unsigned long>> backendPipes_;  // read ends (descriptor, inode) it opened
};
