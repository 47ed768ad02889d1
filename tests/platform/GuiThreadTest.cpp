// Timers on the GUI thread, and threads handing work to it: Synchronize, Queue,
// OnTerminate, FreeOnTerminate, cooperative suspension, events and thread lists; busy
// waits on the GUI thread, also for a list's lock that another program holds.
#include <atomic>
#include <stdexcept>

#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "platform/gui/BusyForm.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/Threads.h"

namespace {

using Threads = GuiTest;

class LambdaThread : public TThread {
 public:
  LambdaThread(bool suspended, std::function<void(LambdaThread*)> body) : TThread(suspended), body_(std::move(body)) {}
  using TThread::Synchronize;

 protected:
  void Execute() override { body_(this); }

 private:
  std::function<void(LambdaThread*)> body_;
};

TEST_F(Threads, TimerFiresWhileEnabledOnly) {
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(5);
  timer.OnTimer = [&](TObject* sender) {
    EXPECT_EQ(sender, &timer);
    EXPECT_TRUE(IsMainThread());
    ++ticks;
  };
  ASSERT_TRUE(GuiTesting::WaitUntil([&] { return ticks >= 3; }, 30000));
  timer.SetEnabled(false);
  int stopped = ticks;
  GuiTesting::WaitUntil([] { return false; }, 50);
  EXPECT_EQ(ticks, stopped);
  timer.SetEnabled(true);
  timer.SetInterval(0);  // an interval of 0 stops it too
  GuiTesting::WaitUntil([] { return false; }, 50);
  EXPECT_EQ(ticks, stopped);
}

TEST_F(Threads, ATimerMayFreeItselfInOnTimer) {
  auto* timer = new TTimer(nullptr);
  timer->SetInterval(1);
  int ticks = 0;
  timer->OnTimer = [&](TObject* sender) {
    ++ticks;
    delete sender;
  };
  GuiTesting::WaitUntil([] { return false; }, 30);
  EXPECT_EQ(ticks, 1);
}

TEST_F(Threads, SynchronizeRunsOnTheGuiThreadWhileWaitForPumps) {
  std::atomic<bool> ranOnMain{false};
  std::atomic<bool> workerWasMain{true};
  LambdaThread t(true, [&](LambdaThread* self) {
    workerWasMain = IsMainThread();
    self->Synchronize([&] { ranOnMain = IsMainThread(); });
    self->SetReturnValue(42);
  });
  EXPECT_TRUE(t.Suspended());
  t.Start();
  EXPECT_EQ(t.WaitFor(), 42);
  EXPECT_TRUE(ranOnMain);
  EXPECT_FALSE(workerWasMain);
  EXPECT_TRUE(t.Finished());
  // Called on the GUI thread itself, Synchronize runs the method at once.
  bool direct = false;
  TThread::Synchronize(nullptr, [&] { direct = true; });
  EXPECT_TRUE(direct);
}

TEST_F(Threads, QueuedWorkIsDeliveredByTheEventLoop) {
  std::atomic<int> delivered{0};
  LambdaThread t(false, [&](LambdaThread* self) {
    for (int i = 0; i < 5; ++i) self->Queue([&] {
        EXPECT_TRUE(IsMainThread());
        ++delivered;
      });
  });
  t.WaitFor();
  EXPECT_TRUE(GuiTesting::WaitUntil([&] { return delivered == 5; }, 30000));
}

TEST_F(Threads, AnExceptionInASynchronizedMethodIsRaisedInTheThread) {
  LambdaThread t(false, [](LambdaThread* self) { self->Synchronize([] { throw EConvertError("bad value"); }); });
  t.WaitFor();
  EXPECT_EQ(t.FatalExceptionMessage(), "bad value");
}

TEST_F(Threads, OnTerminateRunsOnTheGuiThreadAndFreeOnTerminateFrees) {
  static std::atomic<bool> freed{false};
  struct Freed : LambdaThread {
    using LambdaThread::LambdaThread;
    ~Freed() override { freed = true; }
  };
  freed = false;
  std::atomic<bool> terminatedOnMain{false};
  auto* t = new Freed(true, [](LambdaThread*) {});
  t->SetFreeOnTerminate(true);
  t->OnTerminate = [&](TObject*) { terminatedOnMain = IsMainThread(); };
  t->Start();
  EXPECT_TRUE(GuiTesting::WaitUntil([&] { return freed.load(); }, 30000));
  EXPECT_TRUE(terminatedOnMain);
}

TEST_F(Threads, SuspendPausesTheThreadAtItsNextSynchronize) {
  std::atomic<int> steps{0};
  std::unique_ptr<LambdaThread> t;
  t = std::make_unique<LambdaThread>(true, [&](LambdaThread* self) {
    while (!self->Terminated()) {
      self->Synchronize([&] {
        if (++steps == 3) t->Suspend();  // the fader's step routine stops itself like this
      });
      TThread::Sleep(1);
    }
  });
  t->Start();
  ASSERT_TRUE(GuiTesting::WaitUntil([&] { return steps >= 3; }, 30000));
  GuiTesting::WaitUntil([] { return false; }, 60);
  EXPECT_EQ(steps, 3);
  EXPECT_TRUE(t->Suspended());
  t->Resume();
  ASSERT_TRUE(GuiTesting::WaitUntil([&] { return steps >= 6; }, 30000));
  t->Terminate();
  t->WaitFor();
}

TEST_F(Threads, AThreadCreatedRunningStartsOnlyOnceItIsBuilt) {
  struct Late : TThread {
    std::atomic<int> value{0};
    std::atomic<int> seen{-1};
    Late() : TThread(false) { value = 7; }
    void Execute() override { seen = value.load(); }
  };
  Late t;
  t.WaitFor();
  EXPECT_EQ(t.seen, 7);
}

TEST_F(Threads, EventsAndThreadLists) {
  TEvent autoReset(false, false);
  EXPECT_EQ(autoReset.WaitFor(5), wrTimeout);
  autoReset.SetEvent();
  EXPECT_EQ(autoReset.WaitFor(0), wrSignaled);
  EXPECT_EQ(autoReset.WaitFor(5), wrTimeout);  // it cleared itself
  TEvent manual(true, true);
  EXPECT_EQ(manual.WaitFor(0), wrSignaled);
  EXPECT_EQ(manual.WaitFor(0), wrSignaled);

  TThreadList list;
  int a = 1;
  list.Add(&a);
  std::vector<void*>* locked = list.LockList();
  // The same thread may lock again (a painter's end handler does this).
  std::vector<void*>* again = list.LockList();
  EXPECT_EQ(locked, again);
  list.UnlockList();
  list.UnlockList();
  std::atomic<int> countInThread{-1};
  LambdaThread t(false, [&](LambdaThread*) { countInThread = list.Count(); });
  t.WaitFor();
  EXPECT_EQ(countInThread, 1);
}

// The notice of this name that shows now, or nullptr.
TBusyForm* Notice(const std::string& name) {
  for (int i = 0; i < Screen->FormCount(); ++i)
    if (Screen->Forms(i)->Name() == name && Screen->Forms(i)->Visible()) return dynamic_cast<TBusyForm*>(Screen->Forms(i));
  return nullptr;
}

// A busy wait takes no input but goes on: timers tick, work a thread hands over runs, and
// after a moment its notice shows under the hourglass. A key and a click given meanwhile
// are dropped (the same ones given after it act); Esc ends the wait at once.
TEST_F(Threads, ABusyWaitDropsInputGoesOnAndEscapeEndsIt) {
  Host host(200, 100);
  auto* edit = host.Add<TEdit>(10, 10, 150, 24);
  auto* button = host.Add<TButton>(10, 50, 80, 27);
  int clicks = 0, ticks = 0, noticeTicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  host.form->Show();
  edit->SetFocus();
  GuiTesting::ProcessEvents();
  auto input = [&] {
    GuiTesting::PostKey(edit, 'X', TShiftState(), 'x');
    GuiTesting::PostClick(button, 20, 10);
  };
  TTimer timer(nullptr);
  timer.SetInterval(20);
  timer.OnTimer = [&](TObject*) {
    ++ticks;
    noticeTicks += Notice("TestBusyForm") && Screen->Cursor() == crHourGlass;
  };
  timer.SetEnabled(true);
  std::atomic<bool> handedOver{false};
  std::thread worker([&] { TThread::Queue(nullptr, [&] { handedOver = true; }); });
  const uint64_t start = GetTickCount64();
  bool given = false;
  EXPECT_TRUE(WaitBusy(
      [&] {
        if (!std::exchange(given, true)) input();
        return handedOver && GetTickCount64() - start >= 800;
      },
      [] { return std::make_unique<TBusyForm>(nullptr, "TestBusyForm", "Busy", "Waiting for a test"); }));
  worker.join();
  EXPECT_EQ(edit->Text(), "");
  EXPECT_EQ(clicks, 0);
  EXPECT_GE(ticks, 10);
  EXPECT_GE(noticeTicks, 3);
  EXPECT_FALSE(Notice("TestBusyForm"));
  EXPECT_EQ(Screen->Cursor(), crDefault);
  input();
  GuiTesting::ProcessEvents();
  EXPECT_EQ(edit->Text(), "x");
  EXPECT_EQ(clicks, 1);

  bool escaped = false;
  const uint64_t escape = GetTickCount64();
  EXPECT_FALSE(WaitBusy([&] {
    if (!std::exchange(escaped, true)) GuiTesting::PostKey(edit, VK_ESCAPE);
    return GetTickCount64() - escape >= 5000;
  }));
  EXPECT_LT(GetTickCount64() - escape, 2000u);
  EXPECT_EQ(edit->Text(), "x");
}

// A list change that waits for another program's lock waits busy, with a notice that names
// the list; Esc gives it up: the list stays as it was and the user hears why. The other
// locks of the same action are then tried once, not waited for.
TEST_F(Threads, AListChangeWaitsBusyForAnotherProgramsLockUntilEscape) {
  const std::string dir = testsupport::TempPath("held"), list = dir + "/shows.lst";
  ASSERT_TRUE(CreateDir(dir));
  testsupport::WriteFile(list, "a\r\n");
  testsupport::HeldLock other(dir, "30");
  int ticks = 0;
  std::string noticed;
  TTimer timer(nullptr);
  timer.SetInterval(20);
  timer.OnTimer = [&](TObject*) {
    ++ticks;
    if (TBusyForm* notice = Notice("LockWaitForm"); notice && noticed.empty()) {
      noticed = notice->Label1->Caption();
      GuiTesting::PostKey(notice, VK_ESCAPE);
    }
  };
  timer.SetEnabled(true);
  auto add = [&] { return ChangeListFile(list, [](TStringList& lines) { return lines.Add("b") >= 0; }); };
  TLockWaitScope action;
  const uint64_t start = GetTickCount64();
  try {
    add();
    ADD_FAILURE() << "changed";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot change file \"" + list + "\": another program keeps it in use.");
  }
  EXPECT_LT(GetTickCount64() - start, 3000u);
  EXPECT_NE(noticed.find("shows.lst"), std::string::npos) << noticed;
  EXPECT_GE(ticks, 10);
  const uint64_t next = GetTickCount64();
  EXPECT_THROW(add(), EFOpenError);
  EXPECT_LT(GetTickCount64() - next, 300u);
  EXPECT_EQ(testsupport::Run({"cmp", "-", list}, "a\r\n").exitCode, 0);
}

}  // namespace
