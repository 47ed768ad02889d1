// Threads, events, thread lists, and the queue of work handed to the GUI thread.
#include "platform/gui/Threads.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <deque>

#include "platform/QtApplication.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/i18n/GnuGetText.h"

namespace {

const std::thread::id g_mainThread = std::this_thread::get_id();
thread_local TThread* t_currentThread = nullptr;

// Work handed to the GUI thread; drained by CheckSynchronize (the event loop calls it).
std::mutex g_queueMutex;
std::deque<std::function<void()>> g_queue;

void WakeGuiThread() {
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, [] { CheckSynchronize(); }, Qt::QueuedConnection);
}

void PostToGuiThread(std::function<void()> fn) {
  {
    std::lock_guard<std::mutex> lock(g_queueMutex);
    g_queue.push_back(std::move(fn));
  }
  WakeGuiThread();
}

}  // namespace

std::thread::id MainThreadID() { return g_mainThread; }
bool IsMainThread() { return std::this_thread::get_id() == g_mainThread; }

bool CheckSynchronize() {
  if (!IsMainThread()) return false;
  bool ran = false;
  while (true) {
    std::function<void()> fn;
    {
      std::lock_guard<std::mutex> lock(g_queueMutex);
      if (g_queue.empty()) break;
      fn = std::move(g_queue.front());
      g_queue.pop_front();
    }
    fn();
    ran = true;
  }
  return ran;
}

namespace {

// Drops what the user gives the program's windows while it exists, and notes Esc.
class InputBlock : public QObject {
 public:
  InputBlock() : modal_(QApplication::activeModalWidget()) { qApp->installEventFilter(this); }
  ~InputBlock() override { qApp->removeEventFilter(this); }
  bool Escaped() const { return escaped_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    bool drag = false;
    switch (event->type()) {
      case QEvent::ShortcutOverride:  // taken here, so that no shortcut of the toolkit fires
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::NonClientAreaMouseButtonPress:
      case QEvent::NonClientAreaMouseButtonRelease:
      case QEvent::NonClientAreaMouseButtonDblClick:
      case QEvent::Wheel:
      case QEvent::ContextMenu:
      case QEvent::TabletPress:
      case QEvent::TabletRelease:
      case QEvent::TabletMove:
      case QEvent::TouchBegin:
      case QEvent::TouchUpdate:
      case QEvent::TouchEnd:
      case QEvent::InputMethod: break;
      case QEvent::DragEnter:
      case QEvent::DragMove:
      case QEvent::Drop: drag = true; break;
      default: return false;
    }
    // A window made modal during the wait (a message that a timer shows) takes its input;
    // the toolkit keeps it from the other windows.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != modal_) {
      if (watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == modal) return false;
      if (watched->isWindowType() && watched == modal->windowHandle()) return false;
    }
    // A drag is refused, so that the program it comes from does not take it for done.
    event->setAccepted(!drag);
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) escaped_ = true;
    return true;
  }

 private:
  QPointer<QWidget> modal_;
  bool escaped_ = false;
};

}  // namespace

struct TBusyInput::Block {
  InputBlock input;
};

TBusyInput::TBusyInput() {
  if (IsMainThread() && QCoreApplication::instance()) block_ = std::make_unique<Block>();
}

TBusyInput::~TBusyInput() = default;

bool TBusyInput::Escaped() const { return block_ && block_->input.Escaped(); }

bool WaitBusy(const std::function<bool()>& finished, const std::function<std::unique_ptr<TForm>()>& notice) {
  if (!IsMainThread() || !QCoreApplication::instance()) {
    while (!finished()) {
      CheckSynchronize();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }
  struct Hourglass {
    TCursor before = Screen ? Screen->Cursor() : crDefault;
    Hourglass() {
      if (Screen) Screen->SetCursor(crHourGlass);
    }
    ~Hourglass() {
      if (Screen) Screen->SetCursor(before);
    }
  } hourglass;
  InputBlock block;
  const auto start = std::chrono::steady_clock::now();
  std::unique_ptr<TForm> shown;
  while (!finished()) {
    if (!shown && notice && std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(400)) {
      shown = notice();
      if (shown) shown->ShowNoActivate();
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    CheckSynchronize();
    if (block.Escaped()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// ===========================================================================
// TThread
// ===========================================================================
namespace {
// Lets a posted start find out whether the thread object still exists.
struct StartToken {
  std::mutex mutex;
  TThread* thread = nullptr;
};
}  // namespace

TThread::TThread(bool CreateSuspended) : createSuspended_(CreateSuspended) {
  EnsureQtApplication();
  if (!CreateSuspended) {
    // The thread may only run once the derived class is fully built: it starts from the
    // GUI thread's queue (or at Start/WaitFor, whichever comes first).
    auto token = std::make_shared<StartToken>();
    token->thread = this;
    startToken_ = token;
    PostToGuiThread([token] {
      std::lock_guard<std::mutex> lock(token->mutex);
      if (token->thread) token->thread->startThread();
    });
  }
}

TThread::~TThread() {
  if (auto token = std::static_pointer_cast<StartToken>(startToken_)) {
    std::lock_guard<std::mutex> lock(token->mutex);
    token->thread = nullptr;
  }
  if (t_currentThread == this && thread_.joinable()) {
    thread_.detach();
    return;
  }
  if (started_ && !finished_) {
    Terminate();
    Resume();
    WaitFor();
  }
  if (thread_.joinable()) thread_.join();
}

void TThread::startThread() {
  std::lock_guard<std::mutex> lock(mutex_);
  bool expected = false;
  if (!started_.compare_exchange_strong(expected, true)) return;
  thread_ = std::thread([this] { run(); });
  threadId_ = thread_.get_id();
}

void TThread::run() {
  {
    // Waits until the starting thread has recorded the thread's id.
    std::lock_guard<std::mutex> lock(mutex_);
  }
  t_currentThread = this;
  try {
    Execute();
  } catch (const std::exception& e) {
    std::lock_guard<std::mutex> lock(mutex_);
    fatalMessage_ = e.what();
  } catch (...) {
    std::lock_guard<std::mutex> lock(mutex_);
    fatalMessage_ = "unknown exception";
  }
  try {
    DoTerminate();
  } catch (...) {
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  cv_.notify_all();
  if (freeOnTerminate_) {
    TThread* self = this;
    PostToGuiThread([self] { delete self; });
  }
  t_currentThread = nullptr;
}

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

void TThread::Start() {
  if (!started_) {
    startThread();
    return;
  }
  Resume();
}

void TThread::Resume() {
  if (!started_) {
    startThread();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    suspendRequested_ = false;
  }
  cv_.notify_all();
}

void TThread::Suspend() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (started_) suspendRequested_ = true;
}

bool TThread::Suspended() const {
  if (!started_) return createSuspended_;
  std::lock_guard<std::mutex> lock(mutex_);
  return suspendRequested_;
}

void TThread::SetSuspended(bool v) {
  if (v)
    Suspend();
  else
    Resume();
}

void TThread::Terminate() { terminated_ = true; }

std::string TThread::FatalExceptionMessage() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fatalMessage_;
}

int TThread::WaitFor() {
  if (t_currentThread == this) throw EThread(_("Cannot wait for a thread from itself"));
  if (!started_) startThread();
  if (IsMainThread()) {
    while (true) {
      CheckSynchronize();
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (finished_) break;
        cv_.wait_for(lock, std::chrono::milliseconds(5));
        if (finished_) break;
      }
      if (QCoreApplication::instance()) QCoreApplication::processEvents();
    }
    CheckSynchronize();
  } else {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return finished_.load(); });
  }
  if (thread_.joinable()) thread_.join();
  return returnValue_;
}

void TThread::CheckSuspended() {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait(lock, [this] { return !suspendRequested_; });
}

void TThread::Synchronize(const TThreadMethod& method) { Synchronize(this, method); }
void TThread::Queue(const TThreadMethod& method) { Queue(this, method); }

void TThread::Synchronize(TThread* thread, const TThreadMethod& method) {
  if (IsMainThread()) {
    method();
    return;
  }
  struct Call {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    std::exception_ptr error;
  };
  auto call = std::make_shared<Call>();
  PostToGuiThread([call, method] {
    try {
      method();
    } catch (...) {
      call->error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(call->mutex);
      call->done = true;
    }
    call->cv.notify_all();
  });
  {
    std::unique_lock<std::mutex> lock(call->mutex);
    call->cv.wait(lock, [&] { return call->done; });
  }
  if (thread) thread->CheckSuspended();
  // An exception of the method is raised again in the calling thread.
  if (call->error) std::rethrow_exception(call->error);
}

void TThread::Queue(TThread* thread, const TThreadMethod& method) {
  if (IsMainThread()) {
    method();
    return;
  }
  PostToGuiThread([method] { gui::SafeCall(nullptr, method); });
  if (thread) thread->CheckSuspended();
}

TThread* TThread::CurrentThread() { return t_currentThread; }
void TThread::Sleep(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
void TThread::Yield() { std::this_thread::yield(); }

// ===========================================================================
// TThreadList, TEvent
// ===========================================================================
std::vector<void*>* TThreadList::LockList() {
  mutex_.lock();
  return &list_;
}
void TThreadList::UnlockList() { mutex_.unlock(); }
void TThreadList::Add(void* item) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (std::find(list_.begin(), list_.end(), item) == list_.end()) list_.push_back(item);
}
void TThreadList::Remove(void* item) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  list_.erase(std::remove(list_.begin(), list_.end(), item), list_.end());
}
void TThreadList::Clear() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  list_.clear();
}
int TThreadList::Count() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return int(list_.size());
}

TEvent::TEvent(bool ManualReset, bool InitialState) : manualReset_(ManualReset), signaled_(InitialState) {}
void TEvent::SetEvent() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    signaled_ = true;
  }
  if (manualReset_)
    cv_.notify_all();
  else
    cv_.notify_one();
}
void TEvent::ResetEvent() {
  std::lock_guard<std::mutex> lock(mutex_);
  signaled_ = false;
}
TWaitResult TEvent::WaitFor(unsigned ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (ms == INFINITE)
    cv_.wait(lock, [this] { return signaled_; });
  else if (!cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return signaled_; }))
    return wrTimeout;
  if (!manualReset_) signaled_ = false;
  return wrSignaled;
}
