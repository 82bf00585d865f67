#include "platform/HeadlessBackend.h"

#include <algorithm>
#include <memory>

namespace platform {

uint64_t THeadlessBackend::Ticks() {
  return now;
}

void THeadlessBackend::Arrive() {
  // Stable by arrival time, so messages scheduled for the same moment keep their order.
  std::stable_sort(scheduled.begin(), scheduled.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  auto due = scheduled.begin();
  while (due != scheduled.end() && due->first <= now) queue.push_back((due++)->second);
  scheduled.erase(scheduled.begin(), due);
}

bool THeadlessBackend::PeekMessage(TMessage& message) {
  Arrive();
  if (queue.empty()) return false;
  message = queue.front();
  queue.pop_front();
  return true;
}

void THeadlessBackend::WaitMessage(uint64_t timeoutMs) {
  waits.push_back(timeoutMs);
  Arrive();
  if (!queue.empty()) return;
  uint64_t until = now + timeoutMs;
  for (const auto& s : scheduled) until = std::min(until, s.first);
  now = std::max(now, until);
  Arrive();
}

void THeadlessBackend::PostMessage(const TMessage& message) {
  if (message.Msg == WM_QUIT) ++quitRequests;
  queue.push_back(message);
}

void THeadlessBackend::Schedule(uint64_t at, const TMessage& message) {
  scheduled.emplace_back(at, message);
}

THeadlessBackend& UseHeadlessBackend() {
  auto backend = std::make_unique<THeadlessBackend>();
  THeadlessBackend& ref = *backend;
  Application.SetBackend(std::move(backend));
  return ref;
}

}  // namespace platform
