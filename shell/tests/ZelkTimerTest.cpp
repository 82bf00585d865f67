#include "shell/ZelkTimer.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/HeadlessBackend.h"

using platform::TMessage;

namespace {

// Interval procedures are plain pointers, so what they do and what they saw lives here.
struct TCall {
  char who;
  int64_t now;
};
std::vector<TCall> Calls;
std::function<void()> ActionA;  // extra work for procedure A, set by a test
platform::THeadlessBackend* Backend = nullptr;

void Record(char who) {
  Calls.push_back({who, static_cast<int64_t>(platform::timeGetTime())});
}
void ProcA() {
  Record('A');
  if (ActionA) ActionA();
}
void ProcB() {
  Record('B');
}
void ProcC() {
  Record('C');
}

// A window whose handler a test scripts.
class TScriptedWindow : public platform::TWindow {
 public:
  std::function<void(TMessage&)> handler;
  void WndProc(TMessage& message) override {
    if (handler) handler(message);
  }
};

class FrameLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Backend = &platform::UseHeadlessBackend();
    Threads.clear();
    TimerCreated = false;
    Calls.clear();
    ActionA = nullptr;
  }
  void TearDown() override {
    Threads.clear();
    TimerCreated = false;
    ActionA = nullptr;
  }

  static void Add(TIntervalProc proc, int32_t interval, int64_t lastTick) {
    Threads.push_back(TZelkThread{"", proc, interval, lastTick});
  }
  // A quit request that arrives when the clock reaches At.
  static void QuitAt(uint64_t at) { Backend->Schedule(at, TMessage{platform::WM_QUIT, 0, 0}); }
};

// One pass at a given clock: the termination request is already queued, so the loop makes
// exactly one pass and returns.
struct TOnePassCase {
  const char* name;
  TIntervalProc proc;
  int32_t interval;
  int64_t lastTick;
  uint64_t now;
  bool called;
  int64_t lastTickAfter;
};
void PrintTo(const TOnePassCase& c, std::ostream* os) {
  *os << c.name;
}

class OnePassTest : public FrameLoopTest, public ::testing::WithParamInterface<TOnePassCase> {};

TEST_P(OnePassTest, CallsOnlyWhenMoreThanTheIntervalHasPassed) {
  const TOnePassCase& c = GetParam();
  Add(c.proc, c.interval, c.lastTick);
  Backend->now = c.now;
  platform::Application.Terminate();

  RunFrameLoop();

  EXPECT_EQ(Calls.size(), c.called ? 1u : 0u);
  if (c.called) {
    EXPECT_EQ(Calls[0].now, static_cast<int64_t>(c.now));
  }
  EXPECT_EQ(Threads[0].LastTick, c.lastTickAfter);
  EXPECT_TRUE(Backend->waits.empty()) << "a terminated loop must not wait";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OnePassTest,
    ::testing::Values(TOnePassCase{"exactly_the_interval", ProcA, 50, 1000, 1050, false, 1000},
                      TOnePassCase{"one_more", ProcA, 50, 1000, 1051, true, 1051},
                      TOnePassCase{"late_pass_calls_once", ProcA, 50, 1000, 1200, true, 1200},
                      TOnePassCase{"zero_interval", ProcA, 0, 0, 5000, false, 0},
                      TOnePassCase{"negative_interval", ProcA, -5, 0, 5000, false, 0},
                      TOnePassCase{"null_procedure", nullptr, 50, 0, 5000, false, 0},
                      TOnePassCase{"clock_behind_last_tick", ProcA, 50, 9000, 5000, false, 9000}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(FrameLoopTest, AllDueEntriesRunInTableOrderWithOneClockReading) {
  Add(ProcB, 10, 0);
  Add(ProcA, 10, 0);
  Add(ProcC, 10, 0);
  // A moves the clock; B and C must still see the pass's reading, taken before the calls.
  ActionA = [] { Backend->Advance(7); };
  Backend->now = 100;
  platform::Application.Terminate();

  RunFrameLoop();

  ASSERT_EQ(Calls.size(), 3u);
  EXPECT_EQ(Calls[0].who, 'B');
  EXPECT_EQ(Calls[1].who, 'A');
  EXPECT_EQ(Calls[2].who, 'C');
  for (const TZelkThread& entry : Threads) EXPECT_EQ(entry.LastTick, 100);
}

TEST_F(FrameLoopTest, NoCatchUpAfterAGap) {
  // A pass that comes 200 ms after the last call of a 50 ms entry calls it once, and the next
  // interval counts from that pass.
  Add(ProcA, 50, 1000);
  TScriptedWindow window;
  window.handler = [](TMessage&) { Backend->Advance(150); };  // a slow message handler
  Backend->now = 1051;
  Backend->Schedule(1052, TMessage{platform::WM_USER, 0, 0, &window});
  QuitAt(1300);

  RunFrameLoop();

  std::vector<int64_t> times;
  for (const TCall& call : Calls) times.push_back(call.now);
  EXPECT_EQ(times, (std::vector<int64_t>{1051, 1202, 1253}));
}

TEST_F(FrameLoopTest, TerminationDuringDispatchStillCompletesThePass) {
  Add(ProcA, 50, 1000);
  TScriptedWindow window;
  window.handler = [](TMessage&) { platform::Application.Terminate(); };
  Backend->now = 1000;
  Backend->Schedule(1051, TMessage{platform::WM_USER, 0, 0, &window});

  RunFrameLoop();

  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_EQ(Calls[0].now, 1051);
  EXPECT_TRUE(platform::Application.Terminated());
}

TEST_F(FrameLoopTest, AlreadyTerminatedApplicationMakesExactlyOnePass) {
  platform::Application.Terminate();
  platform::Application.ProcessMessages();
  ASSERT_TRUE(platform::Application.Terminated());
  // Each call moves the clock past the next due time, so a second pass would call again.
  Add(ProcA, 50, 0);
  ActionA = [] { Backend->Advance(100); };
  Backend->now = 100;

  RunFrameLoop();

  EXPECT_EQ(Calls.size(), 1u);
}

TEST_F(FrameLoopTest, WaitEndsAtTheNextDueTimeOrTheNextMessage) {
  Add(ProcA, 50, 0);
  std::vector<uint64_t> dispatched;
  TScriptedWindow window;
  window.handler = [&](TMessage&) { dispatched.push_back(Backend->now); };
  Backend->Schedule(30, TMessage{platform::WM_USER, 0, 0, &window});
  Backend->Schedule(120, TMessage{platform::WM_USER, 0, 0, &window});
  QuitAt(160);

  RunFrameLoop();

  std::vector<int64_t> times;
  for (const TCall& call : Calls) times.push_back(call.now);
  EXPECT_EQ(times, (std::vector<int64_t>{51, 102, 153}));
  EXPECT_EQ(dispatched, (std::vector<uint64_t>{30, 120}));
  // One wait per quiet stretch, never longer than the time to the next due call: no spinning.
  EXPECT_EQ(Backend->waits, (std::vector<uint64_t>{51, 21, 51, 51, 33, 51}));
}

TEST_F(FrameLoopTest, EmptyTableWaitsForMessagesOnly) {
  int seen = 0;
  TScriptedWindow window;
  window.handler = [&](TMessage&) { ++seen; };
  Backend->Schedule(500, TMessage{platform::WM_USER, 0, 0, &window});
  QuitAt(800);

  RunFrameLoop();

  EXPECT_EQ(seen, 1);
  EXPECT_EQ(Backend->now, 800u);
  for (uint64_t wait : Backend->waits) EXPECT_EQ(wait, platform::INFINITE);
}

TEST_F(FrameLoopTest, EntryAddedByAProcedureStartsInALaterPass) {
  TZelkForm form(nullptr);
  static TZelkTimer* timer = nullptr;
  TZelkTimer made(form);
  timer = &made;
  Backend->queue.clear();  // the WM_RUNLOOP the timer posted; the test runs the loop itself
  Add(ProcA, 10, 0);
  // The first call of A adds B, and enough idle entries to move the table in memory.
  ActionA = [] {
    ActionA = nullptr;
    timer->AddTimer(ProcB, 10, "b");
    for (int i = 0; i < 100; ++i) timer->AddTimer(nullptr, 10, "idle");
  };
  Backend->now = 20;
  QuitAt(40);

  RunFrameLoop();

  // A at 20 registers B at 20; at 31 both are due, in table order.
  ASSERT_EQ(Calls.size(), 3u);
  EXPECT_EQ(Calls[0].who, 'A');
  EXPECT_EQ(Calls[0].now, 20);
  EXPECT_EQ(Calls[1].who, 'A');
  EXPECT_EQ(Calls[2].who, 'B');
  EXPECT_EQ(Calls[2].now, 31);
  EXPECT_EQ(Threads[0].LastTick, 31);
  timer = nullptr;
}

TEST_F(FrameLoopTest, ClearTimersInsideAProcedureTakesEffectAtTheEndOfThePass) {
  TZelkForm form(nullptr);
  static TZelkTimer* timer = nullptr;
  TZelkTimer made(form);
  timer = &made;
  Backend->queue.clear();
  Add(ProcA, 10, 0);
  Add(ProcB, 10, 0);
  // Clear, then register C: C survives the deferred clearing.
  ActionA = [] {
    ActionA = nullptr;
    timer->ClearTimers();
    timer->AddTimer(ProcC, 10, "c");
  };
  Backend->now = 20;
  platform::Application.Terminate();

  RunFrameLoop();

  ASSERT_EQ(Calls.size(), 2u);
  EXPECT_EQ(Calls[0].who, 'A');
  EXPECT_EQ(Calls[1].who, 'B') << "entries of the pass are still called";
  ASSERT_EQ(Threads.size(), 1u);
  EXPECT_EQ(Threads[0].Proc, ProcC);
  // Outside a pass the clearing is immediate.
  timer->ClearTimers();
  EXPECT_TRUE(Threads.empty());
  timer = nullptr;
}

TEST_F(FrameLoopTest, ErrorInAProcedureLeavesTheLoopAndIsReportedByTheWindow) {
  platform::Application.Title = "morvi";
  Add(ProcA, 10, 0);
  Add(ProcB, 10, 0);
  ActionA = [] { throw std::runtime_error("render failed"); };
  TZelkForm form(nullptr);
  form.StartLoop(RunFrameLoop);
  Backend->now = 20;

  testing::internal::CaptureStderr();
  platform::Application.ProcessMessages();  // dispatches WM_RUNLOOP; the error ends the loop
  const std::string err = testing::internal::GetCapturedStderr();

  ASSERT_EQ(Calls.size(), 1u);
  ASSERT_EQ(Backend->messageBoxes.size(), 1u);
  EXPECT_EQ(Backend->messageBoxes[0].title, "morvi");
  EXPECT_EQ(Backend->messageBoxes[0].text, "render failed");
  EXPECT_EQ(err, "morvi: render failed\n");
  // Nothing restarts the loop: further passes of the application call no procedure.
  Backend->now = 100;
  platform::Application.ProcessMessages();
  EXPECT_EQ(Calls.size(), 1u);
}

class TimerTest : public FrameLoopTest {};

TEST_F(TimerTest, CreationEmptiesTheTableAndStartsTheLoopInTheWindow) {
  TZelkForm form(nullptr);
  Add(ProcA, 10, 0);

  TZelkTimer timer(form);

  EXPECT_TRUE(TimerCreated);
  EXPECT_TRUE(Threads.empty());
  EXPECT_EQ(form.LoopProc(), &RunFrameLoop);
  ASSERT_EQ(Backend->queue.size(), 1u);
  EXPECT_EQ(Backend->queue[0].Msg, WM_RUNLOOP);
  EXPECT_EQ(Backend->queue[0].Target, &form);
  EXPECT_EQ(Backend->beeps, 0);
}

TEST_F(TimerTest, SecondTimerOnlyBeepsAndDestroyingAnyClearsTheFlag) {
  TZelkForm form(nullptr);
  auto first = std::make_unique<TZelkTimer>(form);
  first->AddTimer(ProcA, 50, "render");
  Backend->queue.clear();

  auto second = std::make_unique<TZelkTimer>(form);
  EXPECT_EQ(Backend->beeps, 1);
  EXPECT_EQ(Threads.size(), 1u) << "the table keeps its entries";
  EXPECT_TRUE(Backend->queue.empty()) << "no second WM_RUNLOOP";
  second->AddTimer(ProcB, 50, "");  // usable, on the same table
  EXPECT_EQ(Threads.size(), 2u);

  second.reset();
  EXPECT_FALSE(TimerCreated);
  EXPECT_EQ(Threads.size(), 2u) << "destruction leaves the entries";

  // The flag is down, so a new timer does the set-up again.
  TZelkTimer third(form);
  EXPECT_EQ(Backend->beeps, 1);
  EXPECT_TRUE(Threads.empty());
  EXPECT_EQ(Backend->queue.size(), 1u);
}

TEST_F(TimerTest, AddTimerStoresWhatItIsGivenWithTheClockNow) {
  TZelkForm form(nullptr);
  TZelkTimer timer(form);
  Backend->now = 4242;

  timer.AddTimer(nullptr, -1, "odd");
  timer.AddTimer(ProcA, 50, "");

  ASSERT_EQ(Threads.size(), 2u);
  EXPECT_EQ(Threads[0].Name, "odd");
  EXPECT_EQ(Threads[0].Proc, nullptr);
  EXPECT_EQ(Threads[0].Interval, -1);
  EXPECT_EQ(Threads[1].LastTick, 4242);
}

TEST_F(TimerTest, LoopRunsInsideTheWindowUntilTheMainWindowIsClosed) {
  struct TProbeForm : TZelkForm {
    explicit TProbeForm(platform::TComponent* owner) : TZelkForm(owner, {320, 280}) {
      timer = std::make_unique<TZelkTimer>(*this);
      timer->AddTimer(ProcA, 50, "");
    }
    std::unique_ptr<TZelkTimer> timer;
  };
  TProbeForm* probe = nullptr;
  platform::Application.CreateForm(probe);
  ASSERT_NE(probe, nullptr);
  Backend->Schedule(130, TMessage{platform::WM_CLOSE, 0, 0, probe});

  const int status = platform::Application.Run();

  EXPECT_EQ(status, 0);
  EXPECT_EQ(Calls.size(), 2u);  // at 51 and 102; the close at 130 ends the loop
  EXPECT_EQ(Backend->quitRequests, 1);
  EXPECT_EQ(platform::Application.MainForm(), nullptr) << "Run destroys the forms it owns";
}

}  // namespace
