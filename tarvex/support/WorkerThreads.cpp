#include "support/WorkerThreads.h"

#include <mutex>
#include <new>
#include <system_error>
#include <utility>
#include <vector>

namespace tarvex {

namespace {

// Whether a thread running task could be added to threads: false, with nothing started, when
// the system has no thread or no memory for one.
template <typename Task>
bool TryStart(std::vector<std::thread>& threads, Task&& task) {
  try {
    threads.emplace_back(std::forward<Task>(task));
    return true;
  } catch (const std::system_error&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

void RunShares(int workers, ShareCall work) {
  std::mutex failureLock;
  std::exception_ptr failure;
  const auto share = [&work, &failureLock, &failure](int t) {
    try {
      work(t);
    } catch (...) {
      std::lock_guard<std::mutex> lock(failureLock);
      if (!failure) failure = std::current_exception();
    }
  };
  std::vector<std::thread> helpers;
  int t = 1;
  while (t < workers && TryStart(helpers, [&share, t] { share(t); })) ++t;
  for (int rest = t; rest < workers; ++rest) share(rest);
  share(0);
  for (std::thread& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}

void BackgroundWork::Run() {
  try {
    work_();
  } catch (...) {
    failure_ = std::current_exception();
  }
}

void BackgroundWork::Join() {
  if (thread_.joinable()) thread_.join();
}

void BackgroundWork::Start(std::function<void()> work) {
  Join();
  work_ = std::move(work);
  failure_ = nullptr;
  pending_ = true;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    Run();
  } catch (const std::bad_alloc&) {
    Run();
  }
}

void BackgroundWork::Wait() {
  Join();
  pending_ = false;
  if (!failure_) return;
  std::exception_ptr failure = failure_;
  failure_ = nullptr;
  std::rethrow_exception(failure);
}

}  // namespace tarvex
