// Runs `orvane-site batch` as a process against a stand-in this test starts: order and flat
// memory, kills and resumes, bad rows, a refused key, an unreachable host, Ctrl-C, pacing, and an
// output kept to the one job that made it.
// The large run here has 10,000 rows (against 1,000 for the memory comparison) so that the
// test stays short under the sanitizers; bench/batch measures 100,000.
#ifdef ORVANE_SITE_CLI_PATH

#include <signal.h>
#include <sys/wait.h>

#include <random>

#include "tool_fixture.h"

namespace {

using namespace tool_test;

class BatchCli : public ToolTest {};

TEST_F(BatchCli, KeepsInputOrder_AndMemoryDoesNotGrowWithTheRows) {
  long peak[2] = {0, 0};
  const std::size_t sizes[2] = {1'000, 10'000};
  for (int i = 0; i < 2; ++i) {
    writeFile(path("in.csv"), addressCsv(sizes[i]));
    const ToolRun result = run({"geocode", "--input", path("in.csv"), "--output", path("out.csv"),
                                "--overwrite", "--concurrency", "16"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    peak[i] = result.peakRssKiB;
    const auto out = lines(readFile(path("out.csv")));
    ASSERT_EQ(out.size(), sizes[i] + 1);
    for (std::size_t row = 0; row < sizes[i]; ++row) {
      const std::string city = kCities[row % std::size(kCities)];
      ASSERT_EQ(out[row + 1].rfind(std::to_string(row) + ",", 0), 0u) << out[row + 1];
      ASSERT_NE(out[row + 1].find("\"," + city + ","), std::string::npos) << out[row + 1];
    }
  }
  // Ten times the rows, the same window: allocator noise at most. AddressSanitizer keeps freed
  // memory in quarantine (up to 256 MiB), so there resident memory follows what was allocated,
  // not what is held: the comparison means something only without it.
#if defined(__SANITIZE_ADDRESS__)
  (void)peak;
#else
  EXPECT_LT(peak[1], peak[0] + 3 * 1024) << peak[0] << " KiB against " << peak[1] << " KiB";
#endif
}

// Killed four times, then interrupted with Ctrl-C, then resumed: exactly the rows of one run.
TEST_F(BatchCli, KilledOrInterruptedAndResumedGivesExactlyTheRowsOfOneRun) {
  writeFile(path("in.csv"), addressCsv(3000));
  ASSERT_EQ(run({"geocode", "--input", path("in.csv"), "--output", path("whole.csv")}).exitCode, 0);
  const std::string whole = readFile(path("whole.csv"));
  // A bounded row rate keeps each run far from the end whatever the machine's speed; each is
  // stopped a random number of rows after it has shown that it writes.
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<std::size_t> rowsBeforeKill(1, 40);
  for (int attempt = 0; attempt < 5; ++attempt) {
    const int signal = attempt < 4 ? SIGKILL : SIGINT;
    const std::size_t target = lineCount(path("resumed.csv")) + rowsBeforeKill(random);
    const pid_t pid = start({"geocode", "--input", path("in.csv"), "--output", path("resumed.csv"),
                             "--resume", "--concurrency", "8", "--qps", "400"},
                            StandinOptions::kDemoKey);
    EXPECT_TRUE(waitUntil([&] { return lineCount(path("resumed.csv")) >= target; }))
        << "run " << attempt << " wrote no rows";
    ::kill(pid, signal);
    const ToolRun result = finish(pid);
    if (signal == SIGKILL) {
      EXPECT_EQ(result.signal, SIGKILL) << "a job ended before its kill";
      continue;
    }
    // Ctrl-C waits for the calls in flight: the output holds complete rows only.
    EXPECT_EQ(result.exitCode, 130) << result.err;
    EXPECT_NE(result.err.find("interrupted"), std::string::npos) << result.err;
    const std::string partial = readFile(path("resumed.csv"));
    EXPECT_LT(partial.size(), whole.size());
    EXPECT_EQ(whole.compare(0, partial.size(), partial), 0) << "not a prefix of the whole run";
    EXPECT_EQ(partial.substr(partial.size() - 2), "\r\n") << "a row without its line break";
  }
  const ToolRun last =
      run({"geocode", "--input", path("in.csv"), "--output", path("resumed.csv"), "--resume"});
  ASSERT_EQ(last.exitCode, 0) << last.err;
  EXPECT_EQ(readFile(path("resumed.csv")), whole);
}

TEST_F(BatchCli, BadRowsAndRefusalsGoToTheErrorColumn) {
  writeFile(path("in.csv"),
            "id,lat,lng,timestamp\n"
            "1,48.85,2.35,1719835200\n"
            "2,,2.35,1719835200\n"
            "3,north,2.35,1719835200\n"
            "4,95,2.35,1719835200\n"
            "5,48.85,2.35,\n"
            "6,48.85,2.35,100000000000\n"
            "7,35.68,139.69,1719835200\n");
  const ToolRun result =
      run({"timezone", "--input", path("in.csv"), "--output", path("out.jsonl"), "--stats"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const auto out = lines(readFile(path("out.jsonl")));
  ASSERT_EQ(out.size(), 7u);
  std::vector<nlohmann::json> rows;
  for (const auto& line : out) rows.push_back(nlohmann::json::parse(line));
  EXPECT_EQ(rows[0]["time_zone_id"], "Europe/Paris");
  EXPECT_TRUE(rows[0]["error"].is_null());
  EXPECT_NE(rows[1]["error"].get<std::string>().find("missing lat"), std::string::npos);
  EXPECT_NE(rows[2]["error"].get<std::string>().find("not a number"), std::string::npos);
  EXPECT_NE(rows[3]["error"].get<std::string>().find("-90..90"), std::string::npos);
  EXPECT_NE(rows[4]["error"].get<std::string>().find("missing timestamp"), std::string::npos);
  EXPECT_NE(rows[5]["error"].get<std::string>().find("010010"), std::string::npos);  // refused
  EXPECT_EQ(rows[6]["time_zone_id"], "Asia/Tokyo");
  EXPECT_NE(result.err.find("5 failed (4 bad row, 1 refused)"), std::string::npos) << result.err;
  // Bad rows make no call: --stats counts the three that were sent.
  EXPECT_NE(result.err.find("calls 3 (ok 2, failed 1) attempts 3 "), std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find("sent 0 B"), std::string::npos) << result.err;
}

TEST_F(BatchCli, RefusedKeyOrUnreachableHostStopsTheJobEarly) {
  writeFile(path("in.csv"), addressCsv(500));
  server_->resetCounters();
  ToolRun result =
      run({"geocode", "--input", path("in.csv"), "--output", path("out.csv"), "--concurrency", "4"},
          "not-a-key");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("refused the API key"), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("not-a-key"), std::string::npos) << "the key leaked";
  EXPECT_LE(server_->requestsForKey("not-a-key"), 8);
  EXPECT_EQ(lines(readFile(path("out.csv"))).size(), 1u);  // the header only

  result = finish(spawn(
      {"--host", "127.0.0.1:1", "--key", "k", "batch", "geocode", "--input", path("in.csv")}));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("cannot reach the service"), std::string::npos) << result.err;
}

TEST_F(BatchCli, SecondCtrlCCancelsCallsInFlight) {
  writeFile(path("in.csv"), addressCsv(50));
  const std::string slowKey = StandinServer::faultKey(StandinOptions::kDemoKey, {"delay-20000"});
  server_->resetCounters();
  const pid_t pid = start(
      {"geocode", "--input", path("in.csv"), "--output", path("out.csv"), "--concurrency", "4"},
      slowKey);
  // Four calls held at the stand-in: the job is under way and has its signal handler.
  ASSERT_TRUE(waitUntil([&] { return server_->requestsForKey(slowKey) >= 4; }))
      << "the calls never reached the stand-in";
  const auto interrupted = std::chrono::steady_clock::now();
  ::kill(pid, SIGINT);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ::kill(pid, SIGINT);
  const ToolRun stopped = finish(pid);
  EXPECT_EQ(stopped.exitCode, 130) << stopped.err;
  EXPECT_LT(std::chrono::steady_clock::now() - interrupted, std::chrono::seconds(10))
      << "the calls in flight were waited for";
  EXPECT_EQ(lines(readFile(path("out.csv"))).size(), 1u);  // the header, no cancelled row
}

TEST_F(BatchCli, QpsPacesTheCalls_AndAPasswordedRedisQuotaIsSharedByTwoJobs) {
  writeFile(path("in.csv"), addressCsv(30));
  auto started = std::chrono::steady_clock::now();
  const ToolRun paced =
      run({"geocode", "--input", path("in.csv"), "--output", path("paced.csv"), "--qps", "20"});
  ASSERT_EQ(paced.exitCode, 0) << paced.err;
  // 30 calls at 20 a second: 29 gaps of 50 ms after the first.
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1400));

  // Two jobs share one quota in a Redis server that asks for a password, one reading it from
  // the environment, the other from a file; unauthenticated, each would fall back to 1000 a
  // second.
  if (::access("/usr/bin/redis-server", X_OK) != 0) GTEST_SKIP() << "no redis-server";
  const std::string port = std::to_string(orvane::site::testkit::unusedLocalPort());
  const std::string password = "s3cret-batch-password";
  const pid_t redis = orvane::site::testkit::spawnProcess(
      {"/usr/bin/redis-server", "--port", port, "--bind", "127.0.0.1", "--save", "", "--appendonly",
       "no", "--requirepass", password});
  ASSERT_NE(redis, 0) << "redis-server could not be started";
  ASSERT_TRUE(
      waitUntil([&] { return orvane::site::testkit::localPortAcceptsConnections(std::stoi(port)); },
                std::chrono::seconds(20)))
      << "redis-server did not start";
  writeFile(path("password"), password + "\n");
  auto args = [&](const std::string& output, std::vector<std::string> extra) {
    extra.insert(extra.begin(), {"geocode", "--input", path("in.csv"), "--output", path(output),
                                 "--qps", "20", "--fallback-qps", "1000", "--redis",
                                 "127.0.0.1:" + port, "--quota", "batch-" + port});
    return extra;
  };
  started = std::chrono::steady_clock::now();
  ::setenv("ORVANE_SITE_REDIS_PASSWORD", password.c_str(), 1);
  const pid_t first = start(args("one.csv", {}), StandinOptions::kDemoKey);
  ::unsetenv("ORVANE_SITE_REDIS_PASSWORD");
  const ToolRun second = run(args("two.csv", {"--redis-password-file", path("password")}));
  const ToolRun firstRun = finish(first);
  const auto elapsed = std::chrono::steady_clock::now() - started;
  ::kill(redis, SIGTERM);
  ::waitpid(redis, nullptr, 0);
  if (second.err.find("no Redis support") != std::string::npos) GTEST_SKIP() << second.err;
  for (const ToolRun* job : {&firstRun, &second}) {
    ASSERT_EQ(job->exitCode, 0) << job->err;
    EXPECT_EQ(job->err.find(password), std::string::npos) << job->err;
  }
  // 60 calls from one quota of 20 a second, not 30 from each of two.
  EXPECT_GE(elapsed, std::chrono::milliseconds(2700));
  EXPECT_EQ(lines(readFile(path("one.csv"))).size(), 31u);
  EXPECT_EQ(lines(readFile(path("two.csv"))).size(), 31u);
}

TEST_F(BatchCli, ResumeOfAnotherJobIsRefusedAndLeavesTheOutput_OverwriteStartsOver) {
  writeFile(path("a.csv"), addressCsv(20));
  writeFile(path("b.csv"), addressCsv(21));
  ASSERT_EQ(run({"geocode", "--input", path("a.csv"), "--output", path("out.csv")}).exitCode, 0);
  const std::string kept = readFile(path("out.csv"));
  const std::vector<std::vector<std::string>> others{
      {"geocode", "--input", path("b.csv")},
      {"geocode", "--input", path("a.csv"), "--all-places"},
      {"text-search", "--input", path("a.csv"), "--column", "query=address"}};
  for (auto args : others) {
    server_->resetCounters();
    args.insert(args.end(), {"--output", path("out.csv"), "--resume"});
    const ToolRun refused = run(args);
    EXPECT_EQ(refused.exitCode, 2) << refused.err;
    EXPECT_NE(refused.err.find("it was written by another job"), std::string::npos) << refused.err;
    EXPECT_EQ(server_->counters().requests, 0) << refused.err;
    EXPECT_EQ(readFile(path("out.csv")), kept);
  }
  const ToolRun over =
      run({"geocode", "--input", path("b.csv"), "--output", path("out.csv"), "--overwrite"});
  ASSERT_EQ(over.exitCode, 0) << over.err;
  EXPECT_EQ(lines(readFile(path("out.csv"))).size(), 22u);
}

TEST_F(BatchCli, SecondJobOnTheSameOutputFailsAtOnceWithoutACall) {
  writeFile(path("in.csv"), addressCsv(24));
  const std::string slowKey =
      StandinServer::faultKey(StandinOptions::kDemoKey, {"delay-100"}, "first");
  const std::string secondKey = StandinServer::faultKey(StandinOptions::kDemoKey, {}, "second");
  server_->resetCounters();
  const pid_t first = start(
      {"geocode", "--input", path("in.csv"), "--output", path("out.csv"), "--concurrency", "2"},
      slowKey);
  ASSERT_TRUE(waitUntil([&] { return server_->requestsForKey(slowKey) >= 1; }))
      << "the first job made no call";
  const auto started = std::chrono::steady_clock::now();
  const ToolRun second =
      run({"geocode", "--input", path("in.csv"), "--output", path("out.csv"), "--overwrite"},
          secondKey);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(second.exitCode, 2) << second.err;
  EXPECT_NE(second.err.find("another batch job is writing"), std::string::npos) << second.err;
  EXPECT_EQ(server_->requestsForKey(secondKey), 0);

  const ToolRun firstRun = finish(first);
  ASSERT_EQ(firstRun.exitCode, 0) << firstRun.err;
  const auto out = lines(readFile(path("out.csv")));
  ASSERT_EQ(out.size(), 25u);
  for (std::size_t row = 1; row < out.size(); ++row) {
    EXPECT_EQ(out[row].rfind(std::to_string(row - 1) + ",", 0), 0u) << out[row];
  }
}

// --timeout 1 is one second, not the facade's stand-in for its 60 s default, for one call and
// for a batch's calls alike.
TEST_F(BatchCli, TimeoutOfOneSecondEndsACallToASilentServerAfterAboutOneSecond) {
  writeFile(path("in.csv"), addressCsv(1));
  const std::string silentKey = StandinServer::faultKey(StandinOptions::kDemoKey, {"delay-8000"});
  const std::vector<std::string> globals{"--timeout", "1", "--max-retry", "0"};
  const std::vector<std::pair<std::string, std::vector<std::string>>> runs{
      {"", {"geocode", "--address", "1 Main Street, Paris"}},
      {"batch", {"geocode", "--input", path("in.csv"), "--output", path("out.csv")}}};
  for (const auto& [command, args] : runs) {
    const auto started = std::chrono::steady_clock::now();
    const ToolRun ended = finish(start(args, silentKey, globals, command));
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_GE(took, std::chrono::milliseconds(800)) << command << ended.err;
    EXPECT_LT(took, std::chrono::seconds(3)) << command << ended.err;
    if (command.empty()) {
      EXPECT_EQ(ended.exitCode, 1) << ended.err;
    } else {
      EXPECT_EQ(ended.exitCode, 0) << ended.err;
      EXPECT_NE(readFile(path("out.csv")).find("TransportError"), std::string::npos);
    }
  }
}

// 429 replies with Retry-After slow the whole job down through its limiter; their rows are
// marked to be tried again, and --resume --retry-failed then completes the output as an
// uninterrupted job would have written it, keeping the other rows' records. Rows that send the
// same request share one call, and give the output of a job that calls for every row.
TEST_F(BatchCli, TooManyRequestsSlowTheJobDown_RetryFailedCompletesIt_SameRowsShareACall) {
  // Rows 0 and 2 ask for the same place; the last row has no address.
  writeFile(path("in.csv"), "id,address\n0,Paris\n1,Tokyo\n2,Paris\n3,\n");
  const std::string busyKey =
      StandinServer::faultKey(StandinOptions::kDemoKey, {"status-429", "retryafter-1"});
  const auto started = std::chrono::steady_clock::now();
  const ToolRun busy = finish(start(
      {"geocode", "--input", path("in.csv"), "--output", path("out.csv"), "--concurrency", "1"},
      busyKey, {"--max-retry", "0"}));
  // Three calls (a refusal to come back later serves no later row), each after the pause the
  // one before asked for.
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1900));
  EXPECT_EQ(busy.exitCode, 0) << busy.err;
  const auto out = lines(readFile(path("out.csv")));
  ASSERT_EQ(out.size(), 5u);
  for (std::size_t row = 1; row < 4; ++row) {
    EXPECT_NE(out[row].find(",retry-later,"), std::string::npos) << out[row];
  }
  EXPECT_NE(out[4].find(",failed,\"missing address"), std::string::npos) << out[4];

  const std::string eachKey = StandinServer::faultKey(StandinOptions::kDemoKey, {}, "each");
  const ToolRun each = finish(start(
      {"geocode", "--input", path("in.csv"), "--output", path("whole.csv"), "--no-memo"}, eachKey));
  ASSERT_EQ(each.exitCode, 0) << each.err;
  EXPECT_EQ(server_->requestsForKey(eachKey), 3);

  const std::string retryKey = StandinServer::faultKey(StandinOptions::kDemoKey, {}, "retry");
  const std::vector<std::string> retry{"geocode",       "--input",  path("in.csv"),  "--output",
                                       path("out.csv"), "--resume", "--retry-failed"};
  for (const std::int64_t redo : {3, 0}) {  // a second run finds nothing to redo
    server_->resetCounters();
    const ToolRun redone = finish(start(retry, retryKey));
    EXPECT_EQ(redone.exitCode, 0) << redone.err;
    EXPECT_EQ(server_->requestsForKey(retryKey), redo == 0 ? 0 : 2) << redone.err;
    EXPECT_NE(redone.err.find("redoing the " + std::to_string(redo) + " marked retry-later"),
              std::string::npos)
        << redone.err;
    EXPECT_EQ(redone.err.find("1 calls saved") != std::string::npos, redo != 0) << redone.err;
    EXPECT_EQ(readFile(path("out.csv")), readFile(path("whole.csv")));
    EXPECT_FALSE(std::filesystem::exists(path("out.csv.rewrite")));
  }
}

}  // namespace

#endif  // ORVANE_SITE_CLI_PATH
