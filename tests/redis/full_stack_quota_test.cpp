// Calls of four processes, each with its own SiteClient and RedisRateLimiter on one quota, reach
// a local HTTPS server within the quota.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "orvane/site/standin/certificate.h"
#include "support/LocalHttpsServer.h"
#include "support/PermitTimes.h"
#include "support/RedisServer.h"

namespace orvane::site::testing {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(FleetQuota, CallsOfFourProcessesReachTheServerWithinTheQuota) {
  constexpr int kProcesses = 4;
  constexpr int kCalls = 150;
  RedisServer redis;
  const standin::Certificate certificate = standin::Certificate::generate();
  const std::string caFile = ::testing::TempDir() + "/orvane-quota-ca-" + std::to_string(getpid());
  std::ofstream(caFile) << certificate.caPem();

  std::mutex mutex;
  std::vector<PermitClock::time_point> arrivals;
  LocalHttpsServer server(certificate.certPem(), certificate.keyPem(),
                          [&](const ReceivedRequest&, std::size_t) {
                            {
                              std::lock_guard<std::mutex> lock(mutex);
                              arrivals.push_back(PermitClock::now());
                            }
                            ScriptedReply reply;
                            reply.body = R"({"returnCode":"0","returnDesc":"OK"})";
                            return reply;
                          });

  const auto start = PermitClock::now() + milliseconds(500);
  std::vector<pid_t> children;
  for (int i = 0; i < kProcesses; ++i) {
    std::vector<std::string> arguments = {ORVANE_SITE_REDIS_CALL_CLIENT,
                                          std::to_string(redis.port()),
                                          "calls",
                                          "100",
                                          "5",
                                          std::to_string(kCalls),
                                          std::to_string(start.time_since_epoch().count()),
                                          server.host(),
                                          caFile};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
      execv(argv[0], argv.data());
      _exit(127);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a call client failed";
  }
  std::remove(caFile.c_str());

  std::lock_guard<std::mutex> lock(mutex);
  // Every attempt, retries included, took a permit.
  ASSERT_GE(arrivals.size(), static_cast<std::size_t>(kProcesses * kCalls));
  // Rate plus burst, plus what the spread of the time from permit to arrival (TLS handshakes of
  // first calls, a busy machine: up to 50 ms) can crowd into a second: 5 more. Per-process
  // limiters would let about 400 arrive.
  EXPECT_LE(mostInWindow(arrivals, seconds(1)), 110U);
  std::sort(arrivals.begin(), arrivals.end());
  const double span = std::chrono::duration<double>(arrivals.back() - arrivals.front()).count();
  const double expected = static_cast<double>(arrivals.size() - 5) / 100.0;
  // Never faster than the quota; slower only as far as a busy machine makes each process's
  // calls (one after another) slower than its share of the quota.
  EXPECT_GE(span, 0.95 * expected);
  EXPECT_LE(span, 1.25 * expected);
}

}  // namespace
}  // namespace orvane::site::testing
