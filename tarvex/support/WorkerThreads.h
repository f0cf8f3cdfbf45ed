// Starting the analysis's threads so that a run never stops for want of one: work goes to a
// thread of its own when the system gives one, and runs on the calling thread when it does not
// (a process limit reached, no memory for a stack). What the work throws reaches the caller
// once every thread has been joined.
//
// Worked example: RunOnWorkers(3, work) calls work(1) and work(2) on two new threads and work(0)
// on the caller, and returns when all three have returned. When no thread can be started it
// calls work(1), work(2) and then work(0) on the caller. When work(2) throws std::bad_alloc,
// work(0) and work(1) still run to their end, and RunOnWorkers then throws that std::bad_alloc.
// BackgroundWork task; task.Start(read) runs read on a thread of its own (at once on the caller
// when none can be started); task.Wait() returns once read has, and throws what read threw.
#ifndef WORKERTHREADS_H
#define WORKERTHREADS_H

#include <exception>
#include <functional>
#include <thread>

namespace tarvex {

// A share of work: calls the caller's callable, which outlives the call, without copying it
// (so that running on one thread allocates nothing).
class ShareCall {
 public:
  template <typename Work>
  explicit ShareCall(Work& work)
      : object_(const_cast<void*>(static_cast<const void*>(&work))),
        call_([](void* object, int t) { (*static_cast<Work*>(object))(t); }) {}
  void operator()(int t) const { call_(object_, t); }

 private:
  void* object_;
  void (*call_)(void*, int);
};

// Runs work(t) once for every t from 0 to workers - 1: t > 0 on threads of their own, t = 0
// (and every share no thread could be started for) on the calling thread. Rethrows the first
// exception any share threw, after all have ended.
void RunShares(int workers, ShareCall work);

template <typename Work>
void RunOnWorkers(int workers, Work&& work) {
  RunShares(workers, ShareCall(work));
}

// One piece of work running beside the caller until the caller waits for it.
class BackgroundWork {
 public:
  BackgroundWork() = default;
  // Waits for work still running (what it threw is dropped).
  ~BackgroundWork() { Join(); }
  BackgroundWork(const BackgroundWork&) = delete;
  BackgroundWork& operator=(const BackgroundWork&) = delete;

  // Runs work on a thread of its own, or on the calling thread before returning when no
  // thread can be started. Work started before and not waited for is waited for first (what
  // it threw is dropped: Wait for it before).
  void Start(std::function<void()> work);
  // Waits for the work; rethrows what it threw. Nothing to wait for returns at once.
  void Wait();
  // Started and not yet waited for.
  bool Pending() const { return pending_; }

 private:
  void Run();
  void Join();

  std::function<void()> work_;
  std::exception_ptr failure_;
  std::thread thread_;
  bool pending_ = false;
};

}  // namespace tarvex

#endif
