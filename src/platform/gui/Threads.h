#pragma once
// Threads as the class library has them: TThread with Synchronize and Queue (work
// handed to the GUI thread), TThreadList, events, and the main-thread test.
//
// Worker threads never touch controls; they hand that work to the GUI thread.
// Waits on the GUI thread (WaitFor, Synchronize from a worker while the GUI waits) pump
// the GUI events, so a worker blocked in Synchronize is served.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/rtl/Classes.h"

class TForm;

using TThreadMethod = std::function<void()>;
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread : public TObject {
 public:
  // CreateSuspended: the thread starts at Start (or Resume); otherwise it starts as soon
  // as the constructor of the most derived class has finished, at the next GUI event or
  // at the first call of Start/WaitFor, whichever comes first.
  explicit TThread(bool CreateSuspended);
  // Terminates and waits for the thread (unless it is the thread itself).
  ~TThread() override;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  void Start();
  // Starts a suspended thread, or lets a suspended one continue.
  void Resume();
  // Asks the thread to pause: it waits at its next Synchronize, Queue or CheckSuspended
  // until Resume. (Stopping a thread at an arbitrary point is unsafe, so it is cooperative.)
  void Suspend();
  bool Suspended() const;
  void SetSuspended(bool v);
  // Sets Terminated; Execute is expected to look at it and return.
  void Terminate();
  bool Terminated() const { return terminated_.load(); }
  bool Finished() const { return finished_.load(); }
  // Waits until Execute has returned (pumping GUI events on the GUI thread); the
  // ReturnValue. Must not be called from the thread itself.
  int WaitFor();
  bool FreeOnTerminate() const { return freeOnTerminate_.load(); }
  void SetFreeOnTerminate(bool v) { freeOnTerminate_ = v; }
  TThreadPriority Priority() const { return priority_; }
  void SetPriority(TThreadPriority p) { priority_ = p; }
  int ReturnValue() const { return returnValue_.load(); }
  void SetReturnValue(int v) { returnValue_ = v; }
  // The exception that ended Execute, if any (its message).
  std::string FatalExceptionMessage() const;
  std::thread::id ThreadID() const { return threadId_; }

  // Runs OnTerminate on the GUI thread after Execute returned.
  TNotifyEvent OnTerminate;

  // Runs method on the GUI thread and waits for it (runs it at once on the GUI thread).
  void Synchronize(const TThreadMethod& method);
  // Hands method to the GUI thread without waiting.
  void Queue(const TThreadMethod& method);
  static void Synchronize(TThread* thread, const TThreadMethod& method);
  static void Queue(TThread* thread, const TThreadMethod& method);
  // Waits here while the thread is suspended (call it from Execute's loop).
  void CheckSuspended();
  // The TThread object of the calling thread (nullptr on the GUI thread).
  static TThread* CurrentThread();
  static void Sleep(unsigned ms);
  static void Yield();

 protected:
  virtual void Execute() = 0;
  virtual void DoTerminate();

 private:
  void run();
  void startThread();
  std::thread thread_;
  std::thread::id threadId_;
  std::atomic<bool> started_{false}, terminated_{false}, finished_{false}, freeOnTerminate_{false};
  std::atomic<int> returnValue_{0};
  TThreadPriority priority_ = tpNormal;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool suspendRequested_ = false;
  bool createSuspended_;
  std::string fatalMessage_;
  std::shared_ptr<void> startToken_;
};

// A list of pointers behind a recursive lock.
class TThreadList {
 public:
  TThreadList() = default;
  // Locks the list (the same thread may lock again) and returns it.
  std::vector<void*>* LockList();
  void UnlockList();
  void Add(void* item);
  void Remove(void* item);
  void Clear();
  int Count();

 private:
  std::recursive_mutex mutex_;
  std::vector<void*> list_;
};

enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };
constexpr unsigned INFINITE = 0xFFFFFFFFu;

// An event object: manual reset (stays set until ResetEvent) or auto reset (one waiter
// passes and the event clears).
class TEvent {
 public:
  explicit TEvent(bool ManualReset = true, bool InitialState = false);
  void SetEvent();
  void ResetEvent();
  // Waits up to ms milliseconds (INFINITE: no limit).
  TWaitResult WaitFor(unsigned ms = INFINITE);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool manualReset_;
  bool signaled_;
};

// A short lock (the class library's critical section).
class TCriticalSection {
 public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  void Acquire() { Enter(); }
  void Release() { Leave(); }
  bool TryEnter() { return mutex_.try_lock(); }

 private:
  std::recursive_mutex mutex_;
};

// The GUI (main) thread.
std::thread::id MainThreadID();
bool IsMainThread();
// Runs the methods other threads handed to the GUI thread (also done by the event loop).
// Returns true when one ran.
bool CheckSynchronize();
// Waits until finished() is true, asking it after each turn. On the GUI thread the program
// shows itself busy meanwhile: under the hourglass cursor the windows go on painting, and
// timers, the window manager's close requests and the work handed over by threads run,
// while the keys, clicks, wheel turns and drops given to its windows are dropped - none of
// them acts, now or later (a window made modal during the wait keeps its own). Esc gives the
// wait up. When the wait lasts more than a moment (0.4 s), the window notice() makes shows,
// without taking the keyboard, until the wait ends. Elsewhere it only waits. False when the
// user gave the wait up (finished() may then not have come true).
bool WaitBusy(const std::function<bool()>& finished, const std::function<std::unique_ptr<TForm>()>& notice = nullptr);
// While it exists, the program takes no input but Esc, as WaitBusy takes none: the keys,
// clicks, wheel turns and drops given to its windows are dropped while events run (the
// windows paint, timers and the window manager's close requests run). A command that must
// not be interleaved with other commands of the program (its list changes are between
// their first and last step) runs under it and stops when Escaped().
class TBusyInput {
 public:
  TBusyInput();
  ~TBusyInput();
  TBusyInput(const TBusyInput&) = delete;
  TBusyInput& operator=(const TBusyInput&) = delete;
  // The user pressed Esc since it began.
  bool Escaped() const;

 private:
  struct Block;
  std::unique_ptr<Block> block_;
};
