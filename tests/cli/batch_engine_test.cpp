// The batch engine over a runner that finishes calls in random order on another thread.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include <orvane/site/responses/GeocodeResponse.h>

#include "BatchEngine.h"
#include "KeptRecords.h"
#include "OutputRewrite.h"

namespace orvane::site::cli::batch {
namespace {

// Answers geocode calls in random order; a call for the address "refuse" gets the service's
// refusal of the key, "nowhere" a reply without places, "busy" a time-out. Tracks the most calls
// ever in flight.
class ShuffledRunner : public RowRunner {
 public:
  ShuffledRunner() : worker_([this] { answer(); }) {}
  ~ShuffledRunner() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    worker_.join();
  }

  Cancel geocode(GeocodeRequest request, GeocodeHandler handler) override {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.push_back({request.address, std::move(handler)});
    maxInFlight_ = std::max(maxInFlight_, pending_.size());
    wake_.notify_all();
    return {};
  }
  Cancel reverseGeocode(ReverseGeocodeRequest, ReverseGeocodeHandler) override { return {}; }
  Cancel textSearch(TextSearchRequest, TextSearchHandler) override { return {}; }
  Cancel timezone(TimezoneRequest, TimezoneHandler) override { return {}; }

  void hold(bool held) {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = held;
    wake_.notify_all();
  }
  std::size_t maxInFlight() {
    std::lock_guard<std::mutex> lock(mutex_);
    return maxInFlight_;
  }
  std::size_t pending() {
    std::lock_guard<std::mutex> lock(mutex_);
    return pending_.size();
  }
  std::atomic<bool> busyPasses_{false};

 private:
  struct Pending {
    std::string address;
    GeocodeHandler handler;
  };

  void answer() {
    std::mt19937 random(7);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stop_ || (!held_ && !pending_.empty()); });
      if (stop_) return;
      const std::size_t pick = random() % pending_.size();
      Pending call = std::move(pending_[pick]);
      pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(pick));
      lock.unlock();
      if (call.address == "refuse") {
        Error error;
        error.domain = "OrvaneSite.ErrorType";
        error.code = 1;
        error.userInfo["returnCode"] = "010001";
        call.handler(nullptr, error);
      } else if (call.address == "busy" && !busyPasses_) {
        Error error;
        error.domain = "OrvaneSite.TransportError";
        error.code = 4;  // timed out
        call.handler(nullptr, error);
      } else if (call.address == "nowhere") {
        call.handler(std::make_shared<GeocodeResponse>(), std::nullopt);
      } else {
        auto response = std::make_shared<GeocodeResponse>();
        auto site = std::make_shared<Site>();
        site->name = "at " + call.address;
        response->sites.emplace({site});
        call.handler(response, std::nullopt);
      }
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<Pending> pending_;
  std::size_t maxInFlight_ = 0;
  bool held_ = false;
  bool stop_ = false;
  std::thread worker_;
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

class BatchEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = ::testing::TempDir() + "batch-engine-XXXXXX";
    fd_ = ::mkstemp(path_.data());
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override {
    ::close(fd_);
    ::unlink(path_.c_str());
  }

  JobResult run(const std::string& input, std::size_t concurrency,
                std::function<int()> interrupts = {}) {
    std::istringstream in(input);
    InputReader reader(in, InputFormat::lines, "address");
    return runFrom(reader, fd_, EngineSettings{}, concurrency, std::move(interrupts));
  }

  JobResult runFrom(InputReader& reader, int fd, EngineSettings settings, std::size_t concurrency,
                    std::function<int()> interrupts = {}) {
    OutputWriter writer(fd, OutputFileFormat::jsonLines, operation_->resultColumns(), false, true);
    settings.concurrency = concurrency;
    ProgressBar progress(false, std::nullopt);
    BatchEngine engine(reader, writer, *operation_, runner_, columns_, settings, progress,
                       std::move(interrupts));
    return engine.run();
  }

  std::string text() {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
  }

  std::vector<nlohmann::json> written() {
    std::vector<nlohmann::json> rows;
    for (const std::string& line : lines(text())) rows.push_back(nlohmann::json::parse(line));
    return rows;
  }

  std::string path_;
  int fd_ = -1;
  std::unique_ptr<BatchOperation> operation_ = makeBatchOperation("geocode");
  ColumnMap columns_;
  ShuffledRunner runner_;
};

TEST_F(BatchEngineTest, WritesEveryRowOnceInInputOrder_WithinTheConcurrency) {
  std::string input;
  for (int i = 0; i < 2000; ++i) input += "address " + std::to_string(i) + "\n";
  const JobResult result = run(input, 7);
  EXPECT_EQ(result.end, JobEnd::finished);
  EXPECT_EQ(result.counts.rowsDone, 2000u);
  EXPECT_LE(runner_.maxInFlight(), 7u);
  const auto rows = written();
  ASSERT_EQ(rows.size(), 2000u);
  for (int i = 0; i < 2000; ++i) {
    ASSERT_EQ(rows[i]["place_name"], "at address " + std::to_string(i)) << i;
  }
}

// One row after another: each says whether a place was found, the summary counts each kind,
// and a refused key stops the job before its row.
TEST_F(BatchEngineTest, EachRowSaysWhetherAPlaceWasFound_ARefusedKeyStopsTheJob) {
  const JobResult result = run("a\nnowhere\nbusy\nb\nrefuse\nc\nd\n", 1);
  EXPECT_EQ(result.end, JobEnd::stopped);
  EXPECT_NE(result.message.find("refused the API key"), std::string::npos);
  const auto rows = written();
  ASSERT_EQ(rows.size(), 4u);  // the refused row and later ones are left
  EXPECT_EQ(rows[0]["status"], "found");
  EXPECT_EQ(rows[1]["status"], "not-found");
  EXPECT_TRUE(rows[1]["error"].is_null());
  EXPECT_EQ(rows[2]["status"], "retry-later");
  EXPECT_EQ(rows[3]["status"], "found");
  const std::string summary = summaryLine("geocode", result.counts, {}, "");
  EXPECT_EQ(summary.rfind("batch geocode: 4 rows, 2 found, 1 not found, 1 failed (1 transport)", 0),
            0u)
      << summary;
}

TEST_F(BatchEngineTest, FirstInterruptWaitsForCallsInFlight_SecondStopsWaiting) {
  std::string input;
  for (int i = 0; i < 100; ++i) input += "row " + std::to_string(i) + "\n";
  std::atomic<int> interrupts{0};
  runner_.hold(true);
  std::thread user([&] {
    while (runner_.pending() < 4) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    interrupts = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    runner_.hold(false);
  });
  JobResult result = run(input, 4, [&] { return interrupts.load(); });
  user.join();
  EXPECT_EQ(result.end, JobEnd::interrupted);
  EXPECT_EQ(written().size(), 4u);

  // Again from the start, held: the second interrupt gives up on the calls in flight.
  ASSERT_EQ(::ftruncate(fd_, 0), 0);
  ASSERT_EQ(::lseek(fd_, 0, SEEK_SET), 0);
  interrupts = 0;
  runner_.hold(true);
  std::thread impatient([&] {
    while (runner_.pending() < 4) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    interrupts = 2;
  });
  result = run(input, 4, [&] { return interrupts.load(); });
  impatient.join();
  EXPECT_EQ(result.end, JobEnd::abandoned);
  EXPECT_EQ(written().size(), 0u);
  runner_.hold(false);
}

// --retry-failed: the rows marked retry-later are called again in place, in a new file that
// takes the output's name at the end; every other kept record is copied byte for byte.
TEST_F(BatchEngineTest, RetryFailedRedoesTheRowsMarkedRetryLaterInPlace_AndCarriesOn) {
  const std::string input = "a\nbusy\nb\nbusy\nc\nd\n";
  run("a\nbusy\nb\nbusy\nc\n", 3);  // an earlier job, ended before "d"
  const auto before = lines(text());
  runner_.busyPasses_ = true;
  for (const bool interrupted : {true, false}) {
    std::istringstream scanned(text());
    const ResumePoint point = scanOutput(scanned, OutputFileFormat::jsonLines, false);
    std::istringstream in(input);
    InputReader reader(in, InputFormat::lines, "address");
    std::istringstream kept(text());
    RetryPlan plan;
    checkKeptRecords(reader, kept, OutputFileFormat::jsonLines, operation_->resultColumns(), false,
                     point, &plan);
    ASSERT_EQ(plan.redoRows, 2u);
    OutputRewrite rewrite(path_, point.keepBytes);
    EngineSettings settings;
    settings.retry = &plan;
    settings.keptFd = rewrite.keptFd();
    // Interrupted at once, the job writes nothing of its own: the rewrite keeps all as it was.
    const JobResult result =
        runFrom(reader, rewrite.fd(), settings, 2, [interrupted] { return interrupted ? 1 : 0; });
    rewrite.commit(plan.offsetOfStep(result.retryStepsWritten, point.keepBytes));
    if (interrupted) {
      EXPECT_EQ(lines(text()), before);
      continue;
    }
    EXPECT_EQ(result.counts.rowsDone, 3u);  // the two redone and "d"
    const auto after = lines(text());
    ASSERT_EQ(after.size(), 6u);
    for (const std::size_t kept : {0, 2, 4}) EXPECT_EQ(after[kept], before[kept]);
    for (const std::size_t redone : {1, 3}) {
      EXPECT_EQ(nlohmann::json::parse(after[redone])["status"], "found") << after[redone];
    }
    EXPECT_EQ(nlohmann::json::parse(after[5])["place_name"], "at d");
  }
  EXPECT_NE(::access(OutputRewrite::pathFor(path_).c_str(), F_OK), 0);
}

}  // namespace
}  // namespace orvane::site::cli::batch
