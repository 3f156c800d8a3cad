// Batch throughput: `orvane-site batch geocode` over a CSV file against the same calls made
// directly through an option client at the same concurrency, both against one stand-in in a
// child process; the tool's peak memory for 10,000 against 100,000 rows; and the tool over a file
// of many duplicates (one distinct address in 100) with its memo and with --no-memo.
//
//   orvane-site-bench-batch [ROWS [CONCURRENCY]]     (default 10000 rows, 16 in flight)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <orvane/site/CallOptions.h>
#include <orvane/site/ClientOptions.h>
#include <orvane/site/SiteClient.h>
#include <orvane/site/internal/CurlTransport.h>
#include <orvane/site/internal/CurlTransportOptions.h>

#include "https/StandinChild.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
const char* const kCities[] = {"Paris", "Tokyo", "Lima", "Sydney", "Cairo", "Berlin", "Madrid"};

std::string address(std::size_t row) {
  return std::to_string(row) + " Main Street, " + kCities[row % 7];
}

// `distinct` addresses, repeated in turn.
void writeInput(const std::string& path, std::size_t rows, std::size_t distinct) {
  std::ofstream out(path);
  out << "id,address\n";
  for (std::size_t row = 0; row < rows; ++row) {
    out << row << ",\"" << address(row % distinct) << "\"\n";
  }
}

// Calls per second of `rows` geocode calls through an option client, `concurrency` at a time.
double direct(const orvane::site::bench::StandinChild& standin, std::size_t rows,
              std::size_t concurrency) {
  using namespace orvane::site;
  CurlTransportOptions transportOptions;
  transportOptions.caInfoFile = standin.caFile();
  ClientOptions options;
  options.setApiKey(standin.apiKey())
      .setHost(standin.host())
      .setMaxInFlight(concurrency)
      .setTransport(std::make_shared<CurlTransport>(transportOptions));
  SiteClient client(options);
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t inFlight = 0;
  std::size_t failed = 0;
  const auto started = Clock::now();
  for (std::size_t row = 0; row < rows; ++row) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return inFlight < concurrency; });
      ++inFlight;
    }
    client.geocode(GeocodeRequest(address(row), std::nullopt, std::nullopt), CallOptions(),
                   [&](Result<GeocodeResponse> result) {
                     std::lock_guard<std::mutex> lock(mutex);
                     if (!result.ok()) ++failed;
                     --inFlight;
                     changed.notify_all();
                   });
  }
  std::unique_lock<std::mutex> lock(mutex);
  changed.wait(lock, [&] { return inFlight == 0; });
  if (failed > 0) std::fprintf(stderr, "direct: %zu calls failed\n", failed);
  return static_cast<double>(rows) / std::chrono::duration<double>(Clock::now() - started).count();
}

struct ToolRun {
  double rowsPerSecond = 0;
  long peakRssKiB = 0;
};

ToolRun tool(const orvane::site::bench::StandinChild& standin, const std::string& input,
             std::size_t rows, std::size_t concurrency, bool memo = true) {
  std::vector<std::string> args{ORVANE_SITE_CLI_PATH,
                                "--host",
                                standin.host(),
                                "--ca-file",
                                standin.caFile(),
                                "--key",
                                standin.apiKey(),
                                "batch",
                                "geocode",
                                "--input",
                                input,
                                "--output",
                                "/dev/null",
                                "--overwrite",
                                "--no-progress",
                                "--concurrency",
                                std::to_string(concurrency)};
  if (!memo) args.emplace_back("--no-memo");
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto started = Clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    std::perror("posix_spawn");
    std::exit(1);
  }
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "the tool failed (status %d)\n", status);
    std::exit(1);
  }
  return {static_cast<double>(rows) / seconds, usage.ru_maxrss};
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t rows = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10000;
  const std::size_t concurrency = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 16;
  orvane::site::bench::StandinChild standin;
  // Each kept connection holds a worker of the stand-in: room for the direct client's (kept
  // for a few seconds after it ends) and the tool's.
  standin.start(static_cast<int>(2 * concurrency) + 8);
  const std::string dir = "/tmp/orvane-site-bench-batch-" + std::to_string(::getpid());
  const std::string small = dir + "-small.csv";
  const std::string large = dir + "-large.csv";
  const std::string duplicates = dir + "-duplicates.csv";
  writeInput(small, rows, rows);
  writeInput(large, rows * 10, rows * 10);
  const std::size_t distinct = std::max<std::size_t>(1, rows / 100);
  writeInput(duplicates, rows, distinct);

  direct(standin, 500, concurrency);  // warm the stand-in's connections and caches
  const double library = direct(standin, rows, concurrency);
  const ToolRun batch = tool(standin, small, rows, concurrency);
  std::printf(
      "batch/geocode rows=%zu in_flight=%zu: tool %.0f rows/s, library %.0f calls/s, "
      "ratio %.2f (goal >= 0.9)\n",
      rows, concurrency, batch.rowsPerSecond, library, batch.rowsPerSecond / library);
  const ToolRun big = tool(standin, large, rows * 10, concurrency);
  std::printf("batch/geocode peak RSS: %zu rows %ld KiB, %zu rows %ld KiB (%.0f rows/s)\n", rows,
              batch.peakRssKiB, rows * 10, big.peakRssKiB, big.rowsPerSecond);
  const ToolRun memo = tool(standin, duplicates, rows, concurrency);
  const ToolRun everyRow = tool(standin, duplicates, rows, concurrency, false);
  std::printf(
      "batch/geocode duplicates rows=%zu distinct=%zu in_flight=%zu: memo %.0f rows/s, "
      "--no-memo %.0f rows/s, ratio %.1f\n",
      rows, distinct, concurrency, memo.rowsPerSecond, everyRow.rowsPerSecond,
      memo.rowsPerSecond / everyRow.rowsPerSecond);
  std::remove(small.c_str());
  std::remove(large.c_str());
  std::remove(duplicates.c_str());
  standin.stop();
  return 0;
}
