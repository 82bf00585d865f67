#pragma once
// A backend without display or sound for tests: the clock moves only when the test (or a wait)
// moves it, messages arrive when the test scripts them, and beeps and quit requests are counted.

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "platform/Application.h"

namespace platform {

class THeadlessBackend : public TBackend {
 public:
  uint64_t Ticks() override;
  bool PeekMessage(TMessage& message) override;
  // Moves the fake clock forward to the next scheduled message or by timeoutMs, whichever
  // comes first; returns at once when a message is already pending.
  void WaitMessage(uint64_t timeoutMs) override;
  void PostMessage(const TMessage& message) override;
  void Beep() override { ++beeps; }

  // Moves the fake clock.
  void Advance(uint64_t ms) { now += ms; }
  // A message that arrives in the queue once the clock reaches At.
  void Schedule(uint64_t at, const TMessage& message);

  uint64_t now = 0;
  int beeps = 0;
  int quitRequests = 0;                                  // WM_QUIT messages posted
  std::vector<uint64_t> waits;                           // the timeout of every WaitMessage call
  std::deque<TMessage> queue;                            // pending messages, oldest first
  std::vector<std::pair<uint64_t, TMessage>> scheduled;  // not yet arrived, by arrival time

 private:
  void Arrive();
};

// Installs a fresh headless backend in Application and returns it, for tests.
THeadlessBackend& UseHeadlessBackend();

}  // namespace platform
