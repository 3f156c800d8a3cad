// A process that forks after the library started: the child's calls get a library thread and
// connections of their own, its exit does not wait for a thread it never had, and the parent's
// connection is left as it was.
#if __has_include("orvane/site/standin/standin_server.h")

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "orvane/site/Call.h"
#include "orvane/site/SiteClient.h"
#include "support/StandinClient.h"

namespace orvane::site::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using standin::StandinOptions;
using standin::StandinServer;

TimezoneRequest paris() { return TimezoneRequest(Coordinate(48.85, 2.35), 1719835200, "en"); }

// LeakSanitizer's check at exit finds the parent's threads' memory, which no thread of the child
// refers to, and fails the child: under it the child ends without exit handlers.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kExitHandlersRun = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kExitHandlersRun = false;
#else
constexpr bool kExitHandlersRun = true;
#endif
#else
constexpr bool kExitHandlersRun = true;
#endif

// What the child tells its parent through the pipe before it exits.
enum ChildReport : char { kCallSucceeded = 'y', kCallFailed = 'n' };

TEST(ForkedChild, CallsWorkOnFreshConnectionsAndTheParentKeepsItsOwn) {
  StandinServer server;
  server.start();
  // The pool's threads stay in the parent.
  SiteClient client(
      standinClientOptions(server, StandinOptions::kDemoKey, nullptr, 2s).setHandlerThreads(2));
  ASSERT_TRUE(client.timezone(paris()).get().ok());
  const auto connectionsBeforeFork = server.connectionsAccepted();

  int report[2];
  ASSERT_EQ(pipe(report), 0);
  std::fflush(nullptr);  // the child must not write the parent's buffered output again
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(report[0]);
    const bool ok = client.timezone(paris()).get().ok();
    const char byte = ok ? kCallSucceeded : kCallFailed;
    (void)!write(report[1], &byte, 1);
    // exit, not _exit: its handlers must not wait for the library thread
    if (kExitHandlersRun) std::exit(ok ? 0 : 1);
    _exit(ok ? 0 : 1);
  }
  close(report[1]);
  char byte = 0;
  const auto waitedFrom = Clock::now();
  pollfd readable{report[0], POLLIN, 0};
  const bool reported = poll(&readable, 1, 10'000) == 1 && read(report[0], &byte, 1) == 1;
  const auto reportedAt = Clock::now();
  if (!reported) kill(child, SIGKILL);  // a child stuck on its call must not hold the test up
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  const auto exitTook = Clock::now() - reportedAt;
  close(report[0]);

  ASSERT_TRUE(reported) << "the child ended without a result";
  EXPECT_EQ(byte, kCallSucceeded);
  EXPECT_LT(reportedAt - waitedFrom, 2s) << "the child's call waited for its deadline";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_LT(exitTook, 700ms) << "the child's exit waited for a library thread it does not have";
  EXPECT_EQ(server.connectionsAccepted(), connectionsBeforeFork + 1)
      << "the child did not open a connection of its own";

  // Had the child closed or used the parent's connection, this call would need a new one.
  ASSERT_TRUE(client.timezone(paris()).get().ok());
  EXPECT_EQ(server.connectionsAccepted(), connectionsBeforeFork + 1);
}

}  // namespace
}  // namespace orvane::site::testing

#endif
