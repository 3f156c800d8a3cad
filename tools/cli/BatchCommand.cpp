// batch OPERATION: one call per row of a file, results in the same order.
#include <CLI/CLI.hpp>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "BatchEngine.h"
#include "BatchFlags.h"
#include "BatchOperation.h"
#include "BatchOutput.h"
#include "CallMemo.h"
#include "ClientRowRunner.h"
#include "Command.h"
#include "ExitStatus.h"
#include "InputReader.h"
#include "JobRefused.h"
#include "Output.h"
#include "OutputWriter.h"
#include "Progress.h"
#include "RedisCredentials.h"
#include "ResumeScan.h"
#include "RowRunner.h"
#include "Session.h"

#include <orvane/site/CallStats.h>
#include <orvane/site/ClientOptions.h>
#include <orvane/site/RateLimiter.h>
#include <orvane/site/ResponseCache.h>
#include <orvane/site/TokenBucket.h>
#ifdef ORVANE_SITE_CLI_WITH_REDIS
#include <orvane/site/redis.h>
#endif

namespace orvane::site::cli {
namespace {

using namespace batch;

// "64M", "512K", "1G" or a number of bytes (binary multiples).
std::size_t cacheBytes(const std::string& text) {
  std::size_t used = 0;
  unsigned long long value = 0;
  try {
    value = std::stoull(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  const std::string unit = used == 0 ? std::string() : text.substr(used);
  unsigned shift = 0;
  if (unit == "K" || unit == "KiB") shift = 10;
  if (unit == "M" || unit == "MiB") shift = 20;
  if (unit == "G" || unit == "GiB") shift = 30;
  if (used == 0 || value == 0 || (shift == 0 && !unit.empty()) || value > (~0ULL >> (shift + 1))) {
    throw UsageError("--cache takes a size such as 64M, 512K or 1G, not " + text);
  }
  return static_cast<std::size_t>(value << shift);
}

// A bucket that never makes a call wait, but that 429 and 503 replies can slow down.
constexpr double kUnpacedRate = 1e9;
constexpr std::size_t kUnpacedBurst = 1'000'000;

// How often Ctrl-C was pressed; a lock-free atomic is safe to touch in a signal handler.
std::atomic<int> interruptCount{0};

extern "C" void onInterrupt(int /*signal*/) {
  interruptCount.fetch_add(1, std::memory_order_relaxed);
}

// Counts Ctrl-C while a job runs, and puts the previous disposition back afterwards.
class InterruptCounter {
 public:
  InterruptCounter() {
    interruptCount.store(0);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptCounter() { ::sigaction(SIGINT, &previous_, nullptr); }
  InterruptCounter(const InterruptCounter&) = delete;
  InterruptCounter& operator=(const InterruptCounter&) = delete;

 private:
  struct sigaction previous_ {};
};

InputFormat inputFormatOf(const BatchFlags& flags) {
  if (flags.inputFormat) {
    if (*flags.inputFormat == "csv") return InputFormat::csv;
    if (*flags.inputFormat == "jsonl") return InputFormat::jsonLines;
    return InputFormat::lines;
  }
  return inputFormatForPath(flags.input);
}

OutputFileFormat outputFormatOf(const BatchFlags& flags) {
  if (flags.outputFormat) {
    return *flags.outputFormat == "jsonl" ? OutputFileFormat::jsonLines : OutputFileFormat::csv;
  }
  return outputFormatForPath(flags.output);
}

// Rows in an input file, for the progress bar's total. Only a regular file is counted: reading a
// named pipe or a device by its path would take the rows the job itself is to read.
std::optional<std::uint64_t> countRows(const BatchFlags& flags, InputFormat format) {
  struct stat status {};
  if (flags.input == "-" || ::stat(flags.input.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  std::ifstream in(flags.input, std::ios::binary);
  if (!in) return std::nullopt;
  try {
    InputReader reader(in, format, "line");
    std::uint64_t rows = 0;
    while (reader.next()) ++rows;
    return rows;
  } catch (const std::exception&) {
    return std::nullopt;  // the job itself reports what is wrong with the input
  }
}

// The quota shared through Redis by every batch naming it, at --qps in all.
std::shared_ptr<RateLimiter> sharedQuota(const BatchFlags& flags) {
  if (!flags.redis) return nullptr;
#ifdef ORVANE_SITE_CLI_WITH_REDIS
  if (!flags.quota || flags.qps <= 0) throw UsageError("--redis needs --quota NAME and --qps N");
  RedisRateLimiter::Options options;
  const auto colon = flags.redis->rfind(':');
  options.host = flags.redis->substr(0, colon);
  if (colon != std::string::npos) {
    try {
      options.port = std::stoi(flags.redis->substr(colon + 1));
    } catch (const std::exception&) {
      throw UsageError("--redis takes HOST:PORT, not " + *flags.redis);
    }
  }
  const RedisCredentials credentials = redisCredentials(flags.redisPasswordFile);
  options.user = credentials.user;
  options.password = credentials.password;
  options.quotaName = *flags.quota;
  options.permitsPerSecond = flags.qps;
  options.fallbackPermitsPerSecond = flags.fallbackQps.value_or(flags.qps / 10);
  try {
    return std::make_shared<RedisRateLimiter>(options);
  } catch (const std::invalid_argument& e) {
    throw UsageError(std::string("--redis: ") + e.what());
  }
#else
  throw UsageError("--redis: this build of the tool has no Redis support (hiredis missing)");
#endif
}

int runBatch(const BatchFlags& flags, Session& session) {
  auto operation = makeBatchOperation(flags.operation);
  ColumnMap columns;
  try {
    for (const auto& assignment : flags.columns) columns.add(assignment, operation->fields());
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
  const InputFormat inputFormat = inputFormatOf(flags);
  const OutputFileFormat outputFormat = outputFormatOf(flags);

  std::ifstream file;
  if (flags.input != "-") {
    file.open(flags.input, std::ios::binary);
    if (!file) throw std::runtime_error("cannot open " + flags.input);
  }
  std::istream& in = flags.input == "-" ? std::cin : file;
  InputReader reader(in, inputFormat, columns.column(operation->lineField()));

  PreparedOutput prepared = prepareOutput(flags, inputFormat, outputFormat, *operation, reader);
  const ResumePoint& resume = prepared.resume;
  const int fd = prepared.fd;
  OutputWriter writer(fd, outputFormat, operation->resultColumns(), flags.allPlaces,
                      resume.header.empty());

  const bool showProgress = !flags.noProgress && ::isatty(STDERR_FILENO) == 1;
  std::optional<std::uint64_t> total;
  const std::uint64_t redoRows = prepared.retry.redoRows;
  if (showProgress) {
    total = countRows(flags, inputFormat);
    if (total) *total = *total - std::min(*total, resume.rowsDone) + redoRows;
  }
  ProgressBar progress(showProgress, total);
  if (resume.rowsDone > 0) {
    printProblem("resuming after " + std::to_string(resume.rowsDone) + " rows of " + flags.output +
                 (flags.retryFailed
                      ? ", redoing the " + std::to_string(redoRows) + " marked retry-later"
                      : std::string()));
  }

  // A quota shared through Redis, or this process's own --qps; without either a bucket too
  // large to hold anything back, so that 429 and 503 replies still slow the job down.
  std::shared_ptr<RateLimiter> limiter = sharedQuota(flags);
  if (!limiter) {
    limiter = flags.qps > 0 ? std::make_shared<TokenBucket>(flags.qps, 1)
                            : std::make_shared<TokenBucket>(kUnpacedRate, kUnpacedBurst);
  }
  // Rows run through an option client of their own, so that a second Ctrl-C cancels the calls
  // under way. The client takes a permit for every attempt, and its calls slow the limiter
  // down when the service asks (Retry-After, capped by the limiter).
  // The client's own observer counts every call, attempt and byte (rows the memo answers
  // make no call, and none is counted).
  auto stats = std::make_shared<CallStats>();
  ClientOptions options = session.clientOptions();
  options.setRateLimiter(limiter).setObserver(stats);
  if (flags.cache) {
    // Rows that ask what an earlier row asked are answered from its reply, across the memo's
    // reach too, and identical rows in flight share one request.
    options.setResponseCache(std::make_shared<ResponseCache>(
        ResponseCacheOptions().setMaxBytes(cacheBytes(*flags.cache))));
  }
  ClientRowRunner runner(std::move(options));
  // Rows that would send the same request share one call.
  CallMemo memo;
  EngineSettings settings;
  settings.concurrency = flags.concurrency;
  settings.allPlaces = flags.allPlaces;
  if (!flags.noMemo) settings.memo = &memo;
  // The kept rows were read already, each checked against its record.
  settings.skipRows = 0;
  if (prepared.rewrite) {
    settings.retry = &prepared.retry;
    settings.keptFd = prepared.rewrite->keptFd();
  }

  JobResult result;
  {
    InterruptCounter interrupts;
    BatchEngine engine(reader, writer, *operation, runner, columns, settings, progress,
                       [] { return interruptCount.load(std::memory_order_relaxed); });
    result = engine.run();
  }
  if (prepared.rewrite) {
    // However the job ended, the steps it did not reach are kept as they were.
    prepared.rewrite->commit(
        prepared.retry.offsetOfStep(result.retryStepsWritten, resume.keepBytes));
  }
  result.counts.callsSaved = memo.callsSaved();
  // Latency of the calls themselves, from the client's own measurements.
  for (const auto& operation : stats->operations()) {
    result.counts.callsSaved += operation.cacheHits + operation.cacheCoalesced;
    if (operation.callsStarted == 0) continue;
    result.counts.latencyP50 = operation.p50;
    result.counts.latencyP99 = operation.p99;
  }
  progress.clear();
  std::string ending;
  int status = kExitOk;
  switch (result.end) {
    case JobEnd::finished:
      break;
    case JobEnd::interrupted:
      ending = "interrupted; --resume carries on";
      status = kExitInterrupted;
      break;
    case JobEnd::abandoned:
      ending = "interrupted with " + std::to_string(result.counts.inFlight) +
               " calls in flight; --resume carries on";
      status = kExitInterrupted;
      break;
    case JobEnd::stopped:
      ending = "stopped: " + result.message;
      status = kExitCallFailed;
      break;
  }
  printProblem(summaryLine(flags.operation, result.counts, result.elapsed, ending));
  if (flags.stats) printProblem(stats->summary());
  prepared.file.reset();
  if (result.end == JobEnd::abandoned) {
    // Calls still in flight would run their handlers while the process tears down; every
    // finished row is written, so end here.
    std::fflush(nullptr);
    std::_Exit(status);
  }
  return status;
}

}  // namespace

void addBatchCommand(CLI::App& app, std::vector<Command>& commands) {
  auto f = std::make_shared<BatchFlags>();
  auto* sub = app.add_subcommand(
      "batch",
      "One call per row of a file (geocode, reverse-geocode, text-search, timezone), results "
      "in input order");
  sub->fallthrough();
  sub->footer(
      "Input: CSV with a header row (.csv), JSON Lines (.jsonl) or one value per line.\n"
      "Columns are found by field name (address, lat, lng, position as LAT,LNG, timestamp,\n"
      "query, radius, language); --column FIELD=NAME reads a field from another column.\n"
      "Output: the input's columns, then the result's and an error column; CSV, or JSON\n"
      "Lines for .jsonl. Rows that cannot be used, and the service's refusals, get their\n"
      "error there; a refused key or an unreachable host stops the job (status 1).\n"
      "Ctrl-C stops issuing and waits for calls in flight (twice: cancels them), writes\n"
      "what finished and exits with status 130; --resume then carries on.");
  sub->add_option("operation", f->operation, "geocode, reverse-geocode, text-search or timezone")
      ->required()
      ->check(CLI::IsMember(batchOperationNames()));
  sub->add_option("--input", f->input, "Input file, - for standard input (default)");
  sub->add_option("--input-format", f->inputFormat,
                  "csv, jsonl or lines (default: by extension, lines otherwise)")
      ->check(CLI::IsMember({"csv", "jsonl", "lines"}));
  sub->add_option("--output", f->output, "Output file, - for standard output (default)");
  sub->add_option("--output-format", f->outputFormat,
                  "csv or jsonl (default: by extension, csv otherwise)")
      ->check(CLI::IsMember({"csv", "jsonl"}));
  sub->add_option("--column", f->columns, "FIELD=NAME: read FIELD from column NAME")
      ->allow_extra_args(false);
  sub->add_flag("--all-places", f->allPlaces,
                "One output row per place found (with a \"row\" column), not the first only");
  sub->add_option("--concurrency", f->concurrency, "Calls in flight at most (default 8)")
      ->check(CLI::Range(1, 1024));
  auto* qps =
      sub->add_option("--qps", f->qps, "Calls started per second at most (default: no limit)")
          ->check(CLI::PositiveNumber);
  sub->add_flag("--resume", f->resume,
                "Carry on an interrupted job: keep the rows already in --output, do the rest");
  sub->add_flag("--retry-failed", f->retryFailed,
                "With --resume: also call again the kept rows marked retry-later, in place")
      ->needs("--resume");
  sub->add_flag("--overwrite", f->overwrite,
                "Replace an existing --output, and start over a job whose --resume is refused")
      ->excludes("--resume");
  auto* redis = sub->add_option(
      "--redis", f->redis, "HOST:PORT of a Redis server through which batches share one quota");
  auto* quota = sub->add_option("--quota", f->quota,
                                "Name of the shared quota (with --redis); --qps is its rate");
  redis->needs(quota);
  quota->needs(redis)->needs(qps);
  sub->add_option("--fallback-qps", f->fallbackQps,
                  "This process's rate while Redis cannot be reached (default: --qps / 10)")
      ->needs(redis)
      ->check(CLI::PositiveNumber);
  sub->add_option("--redis-password-file", f->redisPasswordFile,
                  "File whose first line is the Redis password (default: "
                  "$ORVANE_SITE_REDIS_PASSWORD; the user: $ORVANE_SITE_REDIS_USER)")
      ->needs(redis);
  sub->add_flag("--no-memo", f->noMemo,
                "Call every row, even one whose request an earlier row of the job sent already");
  sub->add_option("--cache", f->cache,
                  "Keep replies in memory up to SIZE (64M, 512K, 1G) and answer repeated rows "
                  "from them; identical rows in flight share one request");
  sub->add_flag("--no-progress", f->noProgress,
                "No progress bar (shown on standard error when it is a terminal)");
  sub->add_flag("--stats", f->stats,
                "One more line on standard error at the end: the calls' counts and latencies");
  commands.push_back({sub, [f](Session& session) {
                        try {
                          return runBatch(*f, session);
                        } catch (const JobRefused& refused) {
                          throw UsageError(refused.what());
                        }
                      }});
}

}  // namespace orvane::site::cli
