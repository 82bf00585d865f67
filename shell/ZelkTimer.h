#pragma once
// The program's main loop and the registry of interval procedures it calls.
//
// RunFrameLoop runs inside the main window's handling of WM_RUNLOOP and returns only once the
// application has terminated. Each pass dispatches every pending message, reads the clock once
// and calls each registered procedure for which MORE than its interval has passed since its
// last call (a 50 ms entry waits 51 ms), in table order, with no catch-up. When a pass leaves
// no message pending and no entry due, the loop sleeps until the next message or the next due
// time instead of spinning, so an idle story costs next to no processor time.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "shell/ZelkForm.h"

// A parameterless procedure without an object.
using TIntervalProc = void (*)();

// One registered interval procedure. Despite the name it is no thread: the loop calls every
// entry synchronously on the GUI thread.
struct TZelkThread {
  std::string Name;              // label given at registration; the loop ignores it
  TIntervalProc Proc = nullptr;  // may be null: then never called
  int32_t Interval = 0;          // ms; 0 or less: never called
  int64_t LastTick = 0;          // the clock at registration, then at the pass of the last call
};

// The table, in order of registration. It belongs to the unit, not to a timer object.
extern std::vector<TZelkThread> Threads;
// Set by the creation of the timer that did the set-up, cleared by the destruction of any.
extern bool TimerCreated;

class TZelkTimer : public platform::TObject {
 public:
  // With no timer alive: empties the table and starts the loop in Form (StartLoop). Otherwise
  // only beeps; the object is usable all the same and works on the same table.
  explicit TZelkTimer(TZelkForm& form);
  // Clears TimerCreated; the table keeps its entries.
  ~TZelkTimer() override;

  // Appends an entry; LastTick is the clock now. Nothing is validated.
  void AddTimer(TIntervalProc proc, int32_t interval, const std::string& name);
  // Empties the table. Called from inside an interval procedure, the clearing is deferred to
  // the end of the pass (the entries of that pass that are still due are called first), so the
  // loop never touches an entry that has gone; entries added after the call survive it.
  void ClearTimers();
};

// The main loop; returns once the application has terminated, after at least one full pass.
void RunFrameLoop();
