// `orvane-site batch` keeps an output to the one job that made it: a resume with another input
// or other options is refused, and a second job on the same output fails before any call.
#ifdef ORVANE_SITE_CLI_PATH

#include "batch_cli_fixture.h"

namespace {

using namespace batch_cli;

class BatchJobs : public BatchCli {};

TEST_F(BatchJobs, ResumeOfAnotherJobIsRefusedAndLeavesTheOutput_OverwriteStartsOver) {
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

TEST_F(BatchJobs, SecondJobOnTheSameOutputFailsAtOnceWithoutACall) {
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
TEST_F(BatchJobs, TimeoutOfOneSecondEndsACallToASilentServerAfterAboutOneSecond) {
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
TEST_F(BatchJobs, TooManyRequestsSlowTheJobDown_RetryFailedCompletesIt_SameRowsShareACall) {
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
