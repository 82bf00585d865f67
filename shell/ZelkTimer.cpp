#include "shell/ZelkTimer.h"

#include <algorithm>
#include <limits>

#include "platform/Application.h"

std::vector<TZelkThread> Threads;
bool TimerCreated = false;

namespace {

// How many passes are calling procedures right now (loops nest when a procedure dispatches
// messages), and how many leading entries a ClearTimers made meanwhile is waiting to remove.
int CallingPasses = 0;
bool ClearPending = false;
std::size_t PendingClearCount = 0;

int64_t Clock() {
  return static_cast<int64_t>(platform::timeGetTime());
}

bool Callable(const TZelkThread& entry) {
  return entry.Proc != nullptr && entry.Interval > 0;
}

// Marks a pass as calling procedures; the outermost one to finish applies a deferred clear,
// also when a procedure raised an error.
class TCallingPass {
 public:
  TCallingPass() { ++CallingPasses; }
  ~TCallingPass() {
    if (--CallingPasses > 0 || !ClearPending) return;
    ClearPending = false;
    const std::size_t count = std::min(PendingClearCount, Threads.size());
    Threads.erase(Threads.begin(), Threads.begin() + static_cast<std::ptrdiff_t>(count));
  }
  TCallingPass(const TCallingPass&) = delete;
  TCallingPass& operator=(const TCallingPass&) = delete;
};

void CallDueEntries(int64_t now) {
  TCallingPass pass;
  // The count is taken once: entries added by a procedure wait for the next pass.
  const std::size_t count = Threads.size();
  for (std::size_t i = 0; i < count && i < Threads.size(); ++i) {
    const TZelkThread& entry = Threads[i];
    if (!Callable(entry) || now - entry.LastTick <= entry.Interval) continue;
    const TIntervalProc proc = entry.Proc;
    proc();
    // The table may have grown and moved during the call; the entry is found again by index.
    if (i < Threads.size()) Threads[i].LastTick = now;
  }
}

// How long the loop may sleep before an entry falls due; INFINITE when none ever will.
uint64_t TimeToNextDue() {
  int64_t next = std::numeric_limits<int64_t>::max();
  for (const TZelkThread& entry : Threads) {
    // Due once now - LastTick exceeds Interval, i.e. at LastTick + Interval + 1.
    if (Callable(entry)) next = std::min(next, entry.LastTick + int64_t{entry.Interval} + 1);
  }
  if (next == std::numeric_limits<int64_t>::max()) return platform::INFINITE;
  const int64_t now = Clock();
  return next <= now ? 0 : static_cast<uint64_t>(next - now);
}

}  // namespace

TZelkTimer::TZelkTimer(TZelkForm& form) {
  if (TimerCreated) {
    platform::Beep();
    return;
  }
  TimerCreated = true;
  ClearTimers();
  form.StartLoop(RunFrameLoop);
}

TZelkTimer::~TZelkTimer() {
  TimerCreated = false;
}

void TZelkTimer::AddTimer(TIntervalProc proc, int32_t interval, const std::string& name) {
  TZelkThread entry;
  entry.Name = name;
  entry.Proc = proc;
  entry.Interval = interval;
  entry.LastTick = Clock();
  Threads.push_back(std::move(entry));
}

void TZelkTimer::ClearTimers() {
  if (CallingPasses > 0) {
    ClearPending = true;
    PendingClearCount = Threads.size();
    return;
  }
  Threads.clear();
}

void RunFrameLoop() {
  for (;;) {
    platform::Application.ProcessMessages();
    CallDueEntries(Clock());
    if (platform::Application.Terminated()) return;
    // Instead of starting the next pass at once: sleep until a message arrives or the next
    // entry is due. The wait returns at once when a message is already pending.
    const uint64_t timeout = TimeToNextDue();
    if (timeout > 0) platform::Application.WaitMessage(timeout);
  }
}
