// The worker-thread helper: every share runs once, on threads or on the caller, and what a
// share throws reaches the caller; tarvex itself runs to the same results when no thread at
// all can be started.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "support/WorkerThreads.h"

namespace tarvex {

TEST(RunOnWorkers, RunsEveryShareOnceWithTheCallerTakingShareZero) {
  const std::thread::id caller = std::this_thread::get_id();
  std::mutex lock;
  std::vector<int> runs(3, 0);
  std::thread::id zeroRanOn;
  RunOnWorkers(3, [&](int t) {
    std::lock_guard<std::mutex> guard(lock);
    runs[static_cast<size_t>(t)]++;
    if (t == 0) zeroRanOn = std::this_thread::get_id();
  });
  EXPECT_EQ(runs, std::vector<int>(3, 1));
  EXPECT_EQ(zeroRanOn, caller);
  int calls = 0;
  RunOnWorkers(1, [&](int t) { calls += t + 1; });
  EXPECT_EQ(calls, 1);
}

TEST(RunOnWorkers, HandsOnWhatAShareThrewAfterAllHaveEnded) {
  std::atomic<int> finished{0};
  EXPECT_THROW(RunOnWorkers(3,
                            [&](int t) {
                              if (t == 2) throw std::bad_alloc();
                              finished++;
                            }),
               std::bad_alloc);
  EXPECT_EQ(finished.load(), 2);
  EXPECT_THROW(RunOnWorkers(1, [](int) { throw std::runtime_error("share 0"); }), std::runtime_error);
}

TEST(BackgroundWork, RunsBesideTheCallerAndRethrowsOnWait) {
  BackgroundWork work;
  EXPECT_FALSE(work.Pending());
  work.Wait();  // nothing to wait for
  int value = 0;
  work.Start([&value] { value = 42; });
  EXPECT_TRUE(work.Pending());
  work.Wait();
  EXPECT_FALSE(work.Pending());
  EXPECT_EQ(value, 42);
  work.Start([] { throw std::runtime_error("write failed"); });
  EXPECT_THROW(work.Wait(), std::runtime_error);
  // The failure is handed on once.
  work.Wait();
}

namespace {

// Runs tarvex with every thread start failing (the preloaded no_threads library), as under
// ulimit -u for an ordinary user; the address sanitizer is told not to insist on coming first.
RunResult RunTarvexWithoutThreads(const std::string& dir, const std::vector<std::string>& args) {
  std::vector<std::string> shell = {
      "-c",
      "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 "
      "LD_PRELOAD=" TARVEX_NO_THREADS_PRELOAD " exec \"$0\" \"$@\"",
      BinPath("tarvex")};
  shell.insert(shell.end(), args.begin(), args.end());
  return RunProgram("/bin/sh", shell, dir);
}

// The files of a run (every DPIV and Tecplot file of the directory), by name.
std::map<std::string, std::string> Results(const TempDir& dir, const std::vector<std::string>& names) {
  std::map<std::string, std::string> files;
  for (const std::string& name : names) files[name] = ReadFile(dir.file(name));
  return files;
}

}  // namespace

// A series on two threads (read-ahead, writing behind, the parallel pass) and a deformation
// series: without any thread the run ends as with threads, the same text and files.
TEST(NoThreads, TarvexRunsTheWorkOnItsOwnThread) {
  TempDir dir;
  ASSERT_EQ(RunProgram("pivsynth", {"--size", "96x96", "--dx", "2.3", "--dy", "-1.2", "--pairs", "3", "--out",
                                    "run.b16"},
                       dir.path())
                .status,
            0);
  // The wisdom file first, so that both runs find it.
  ASSERT_EQ(RunProgram("tarvex", {"-dft", "32", "run.b16"}, dir.path(), "1 2\n").status, 0);
  const std::vector<std::string> names = {"run.0001.dpiv", "run.0003.dpiv", "run.0005.dpiv", "t.0001.plt",
                                          "t.0003.plt", "t.0005.plt"};
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"-j", "2", "-dft", "32", "-gspac", "16", "16", "-MVOcheck", "1", "-s", "-tec",
                                 "t", "-all", "1", "1", "2", "run.b16"},
        std::vector<std::string>{"-j", "2", "-dft", "32", "-gspac", "16", "16", "-deform", "1", "-tec", "t",
                                 "-all", "1", "1", "2", "run.b16"}}) {
    const RunResult threaded = RunProgram("tarvex", options, dir.path());
    ASSERT_EQ(threaded.status, 0) << threaded.err;
    const auto expected = Results(dir, names);
    for (const std::string& name : names) std::remove(dir.file(name).c_str());
    const RunResult alone = RunTarvexWithoutThreads(dir.path(), options);
    EXPECT_EQ(alone.status, 0) << alone.err;
    EXPECT_EQ(alone.out, threaded.out);
    EXPECT_EQ(alone.err, threaded.err);
    EXPECT_TRUE(Results(dir, names) == expected);
  }
}

}  // namespace tarvex
