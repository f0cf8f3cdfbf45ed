#include "ClusterRun.h"

#include <fcntl.h>
#include <mpi.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Driver.h"
#include "PairTextMessage.h"
#include "ParseParameters.h"
#include "RunChecks.h"
#include "SeriesRun.h"
#include "correlation/DefineFFTWPlans.h"

namespace tarvex {

namespace {

// The exit status of the whole job: the largest of the ranks'.
int AgreeStatus(int status) {
  int worst = status;
  MPI_Allreduce(&status, &worst, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD);
  return worst;
}

// Standard error of a rank other than 0 while it repeats what rank 0 does and says: the
// messages would only come once per rank.
class QuietStandardError {
 public:
  explicit QuietStandardError(bool quiet) {
    if (!quiet) return;
    std::fflush(stderr);
    saved_ = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 2);
      close(null);
    }
  }
  ~QuietStandardError() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
  }
  QuietStandardError(const QuietStandardError&) = delete;
  QuietStandardError& operator=(const QuietStandardError&) = delete;

 private:
  int saved_ = -1;
};

// Rank 0 reads the command line as tarvex does (banner, usage, the file-name prompt) and
// tells the others whether to run and which file; false with the exit status when not.
bool AgreeSettings(int argc, char** argv, int rank, TarvexSettings& s, int& status) {
  int verdict[2] = {0, 0};
  if (rank == 0) verdict[0] = ParseParameters(argc, argv, s, verdict[1]) ? 1 : 0;
  MPI_Bcast(verdict, 2, MPI_INT, 0, MPI_COMM_WORLD);
  status = verdict[1];
  if (!verdict[0]) return false;
  if (rank != 0) {
    QuietStandardError quiet(true);
    ParseOptions(argc, argv, s);
  }
  // The prompt may have replaced the name.
  MPI_Bcast(s.filename, kNameLength, MPI_CHAR, 0, MPI_COMM_WORLD);
  return true;
}

// Rank 0 makes the checks before anything is written (see RunChecks) and tells the others
// whether to go on and, for -resume, when the run being resumed started (*hasSince, *since);
// false when not.
bool AgreeChecks(const TarvexSettings& s, int rank, RunRecord& record, bool* hasSince, timespec* since) {
  long long verdict[4] = {0, 0, 0, 0};  // checks passed, a time to go by, its seconds and nanoseconds
  if (rank == 0 && CheckBeforeWriting(s, record)) {
    verdict[0] = 1;
    if (const timespec* since = record.Since()) {
      verdict[1] = 1;
      verdict[2] = since->tv_sec;
      verdict[3] = since->tv_nsec;
    }
  }
  MPI_Bcast(verdict, 4, MPI_LONG_LONG, 0, MPI_COMM_WORLD);
  *hasSince = verdict[1] != 0;
  since->tv_sec = static_cast<time_t>(verdict[2]);
  since->tv_nsec = static_cast<long>(verdict[3]);
  return verdict[0] != 0;
}

// Sends each pair's text to rank 0 as it comes, without waiting for rank 0 to take it.
class TextSender {
 public:
  void Send(PairText&& message) {
    pending_.push_back({EncodePairText(message), MPI_REQUEST_NULL});
    Pending& p = pending_.back();
    MPI_Isend(p.bytes.data(), static_cast<int>(p.bytes.size()), MPI_CHAR, 0, 0, MPI_COMM_WORLD, &p.request);
    // Messages rank 0 has taken are let go (in order: the buffers must outlive their sends).
    while (!pending_.empty()) {
      int done = 0;
      MPI_Test(&pending_.front().request, &done, MPI_STATUS_IGNORE);
      if (!done) break;
      pending_.pop_front();
    }
  }
  ~TextSender() {
    for (Pending& p : pending_) MPI_Wait(&p.request, MPI_STATUS_IGNORE);
  }

 private:
  struct Pending {
    std::string bytes;
    MPI_Request request;
  };
  std::deque<Pending> pending_;
};

// Receives the next pair's text from rank `from`.
PairText Receive(int from) {
  MPI_Status probe;
  MPI_Probe(from, 0, MPI_COMM_WORLD, &probe);
  int count = 0;
  MPI_Get_count(&probe, MPI_CHAR, &count);
  std::string bytes(static_cast<size_t>(count), '\0');
  MPI_Recv(&bytes[0], count, MPI_CHAR, from, 0, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
  PairText message;
  if (!DecodePairText(bytes, message)) {
    std::fprintf(stderr, "tarvex-mpi: rank %d sent a message that cannot be read\n", from);
    MPI_Abort(MPI_COMM_WORLD, 1);
  }
  return message;
}

// MPI_Bcast from rank 0 that waits without spinning: the other ranks may wait here for
// seconds while rank 0 reads a whole series, and a rank polling the network at full speed
// would take a core from it.
void BroadcastWaitingIdly(void* data, int count, MPI_Datatype type) {
  MPI_Request request;
  MPI_Ibcast(data, count, type, 0, MPI_COMM_WORLD, &request);
  for (int done = 0;;) {
    MPI_Test(&request, &done, MPI_STATUS_IGNORE);
    if (done) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Rank 0 makes the run's background (-bg) and sends it to the others, so that every rank
// subtracts the same one; false on every rank when it cannot be made. The series is read once,
// where a pass on every rank would read it once per rank (see docs/camera-images.md).
bool AgreeBackground(const TarvexSettings& s, PairAnalysis& analysis, const PIVImage& image, int rank) {
  BackgroundImage background;
  int made = 1;
  if (rank == 0) made = MakeRunBackground(s, analysis, image, isatty(2) != 0, background) ? 1 : 0;
  // What the console line and the subtraction need: divisor, source, images, opening, sides.
  long long head[6] = {background.divisor, static_cast<long long>(background.source), background.images,
                       background.openedLength, background.width, background.height};
  BroadcastWaitingIdly(&made, 1, MPI_INT);
  if (!made) return false;
  MPI_Bcast(head, 6, MPI_LONG_LONG, 0, MPI_COMM_WORLD);
  if (rank != 0) {
    background.divisor = static_cast<uint32_t>(head[0]);
    background.source = static_cast<BackgroundSource>(head[1]);
    background.images = static_cast<int>(head[2]);
    background.openedLength = static_cast<int>(head[3]);
    background.width = static_cast<int>(head[4]);
    background.height = static_cast<int>(head[5]);
    background.fileName = s.background;
    background.sums.resize(background.Pixels());
  }
  // In pieces below 2^31 values, the most one call sends.
  constexpr size_t kPiece = size_t{1} << 30;
  for (size_t at = 0; at < background.sums.size(); at += kPiece) {
    const size_t count = std::min(kPiece, background.sums.size() - at);
    MPI_Bcast(background.sums.data() + at, static_cast<int>(count), MPI_UINT32_T, 0, MPI_COMM_WORLD);
  }
  QuietStandardError quiet(rank != 0);
  return UseBackground(analysis, image, std::move(background));
}

}  // namespace

size_t BlockStart(size_t pairs, int rank, int ranks) {
  return pairs * static_cast<size_t>(rank) / static_cast<size_t>(ranks);
}

int RunCluster(int argc, char** argv, int rank, int ranks) {
  TarvexSettings s;
  int status = 0;
  if (!AgreeSettings(argc, argv, rank, s, status)) return status;
  if (!(s.pflag & PFLAG_SERIES)) return AgreeStatus(rank == 0 ? RunAnalysis(s) : 0);
  RunRecord record;
  bool hasSince = false;
  timespec since{};
  if (!AgreeChecks(s, rank, record, &hasSince, &since)) return 1;

  Console& console = StandardOutput();
  // Rank 0 makes the plans first, writing the wisdom file when there is none; the others
  // then plan with it, so that every rank transforms as the serial run would.
  std::unique_ptr<FFTPlanTable> plans;
  if (rank == 0) plans = std::make_unique<FFTPlanTable>(s.speed, true, kWisdomFileName, console);
  MPI_Barrier(MPI_COMM_WORLD);
  if (rank != 0) plans = std::make_unique<FFTPlanTable>(s.speed, true, kWisdomFileName, console);

  std::unique_ptr<PIVImage> image;
  std::vector<PairJob> jobs;
  int ready = 0;
  {
    QuietStandardError quiet(rank != 0);
    image = std::make_unique<PIVImage>(s.filename, console);
    ready = PlanImages(s, *image, jobs) ? 0 : 1;
  }
  if (AgreeStatus(ready) != 0) return 1;

  PairAnalysis analysis(ToAnalysisSettings(s), plans->Entries(), *image, console);
  // Every rank reads the mask; a refusal stops them all before any work.
  {
    QuietStandardError quiet(rank != 0);
    ready = SetRunMask(s, analysis, *image) ? 0 : 1;
  }
  if (AgreeStatus(ready) != 0) return 1;
  if (SubtractsBackground(s) && AgreeStatus(AgreeBackground(s, analysis, *image, rank) ? 0 : 1) != 0) return 1;
  // The record is there before any rank writes a pair's file (the agreement waits for it).
  if (rank == 0 && !record.Write()) ready = 1;
  if (AgreeStatus(ready) != 0) return 1;
  if (rank == 0) AnnounceGrid(s, analysis, console);

  SeriesRun run(s, *image, analysis, console);
  run.ResumeSince(hasSince ? &since : nullptr);
  const size_t begin = BlockStart(jobs.size(), rank, ranks), end = BlockStart(jobs.size(), rank + 1, ranks);
  bool ok = true;
  if (rank == 0) {
    Console direct;
    const PairTextSink show = [&direct](size_t, std::vector<ConsoleChunk>&& text, bool) {
      direct.Write(text);
      direct.Flush();
    };
    ok = run.Run(jobs, begin, end, show);
    for (int from = 1; from < ranks; from++) {
      for (size_t p = BlockStart(jobs.size(), from, ranks); p < BlockStart(jobs.size(), from + 1, ranks); p++) {
        PairText message = Receive(from);
        show(p, std::move(message.text), message.ok);
        ok = ok && message.ok;
      }
    }
  } else {
    TextSender sender;
    const PairTextSink send = [&sender](size_t p, std::vector<ConsoleChunk>&& text, bool pairOk) {
      sender.Send(PairText{p, pairOk, std::move(text)});
    };
    ok = run.Run(jobs, begin, end, send);
  }
  return AgreeStatus(ok ? 0 : 1);
}

}  // namespace tarvex
