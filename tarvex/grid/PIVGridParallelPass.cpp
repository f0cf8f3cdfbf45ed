// The measuring part of a pass, on one thread or several. Points are independent: each
// writes only its own record and buffers and reads the image store and the plan table,
// so they may be measured in any order; each thread brings its own workspace. What
// depends on order stays sequential in the callers: copying the results into Vx and Vy,
// the checks, the smoothing and the offsets. The console text is kept in grid order by
// holding each point's messages back until all points are measured.
#include <algorithm>
#include <atomic>
#include <thread>

#include "grid/PIVGrid.h"
#include "support/WorkerThreads.h"

namespace tarvex {

namespace {

// Points a thread takes at a time: small, so that a thread slowed down by other work on
// its core delays the end of the pass by little.
constexpr int kPointsPerTake = 4;

}  // namespace

void PIVGrid::setThreads(int threads) {
  int n = threads > 0 ? threads : static_cast<int>(std::thread::hardware_concurrency());
  n = std::max(n, 1);
  workspaces.resize(static_cast<size_t>(n));
  for (std::unique_ptr<CorrelationWorkspace>& ws : workspaces)
    if (!ws) ws = std::make_unique<CorrelationWorkspace>();
}

void PIVGrid::MeasurePoints() {
  const int n = NumberOfPoints();
  const int workers = std::min(Threads(), n);
  for (std::unique_ptr<CorrelationWorkspace>& ws : workspaces) ws->SetConsole(console);
  if (workers <= 1) {
    for (int k = 0; k < n; k++) pivgrid[k].CalculateCCVelocity(*workspaces[0]);
    return;
  }

  heldMessages.resize(static_cast<size_t>(workers));
  std::atomic<int> next{0};
  // An exception in one worker (memory running out while holding messages back) stops the
  // others at their next take; RunOnWorkers hands it on once every worker has ended.
  auto measure = [this, n, &next](int worker) {
    CorrelationWorkspace* ws = workspaces[static_cast<size_t>(worker)].get();
    std::vector<HeldMessage>& held = heldMessages[static_cast<size_t>(worker)];
    std::string log;
    ws->DeferMessagesTo(&log);
    try {
      for (int first = next.fetch_add(kPointsPerTake); first < n;
           first = next.fetch_add(kPointsPerTake)) {
        const int end = std::min(first + kPointsPerTake, n);
        for (int k = first; k < end; k++) {
          pivgrid[k].CalculateCCVelocity(*ws);
          if (log.empty()) continue;
          held.push_back({k, log});
          log.clear();
        }
      }
    } catch (...) {
      next.store(n);
      ws->DeferMessagesTo(nullptr);
      throw;
    }
    ws->DeferMessagesTo(nullptr);
  };
  try {
    RunOnWorkers(workers, measure);
  } catch (...) {
    for (std::vector<HeldMessage>& held : heldMessages) held.clear();
    throw;
  }
  PrintHeldMessages();
}

// Each worker's list is in grid order already (its takes only grow): merging the lists
// gives the order of a pass on one thread.
void PIVGrid::PrintHeldMessages() {
  std::vector<size_t> at(heldMessages.size(), 0);
  for (;;) {
    size_t from = heldMessages.size();
    for (size_t w = 0; w < heldMessages.size(); w++) {
      if (at[w] == heldMessages[w].size()) continue;
      if (from == heldMessages.size() ||
          heldMessages[w][at[w]].point < heldMessages[from][at[from]].point)
        from = w;
    }
    if (from == heldMessages.size()) break;
    console->Print(heldMessages[from][at[from]].text.c_str());
    at[from]++;
  }
  for (std::vector<HeldMessage>& held : heldMessages) held.clear();
}

}  // namespace tarvex
