// A reply's handling after it arrived: its log line stays small whatever the reply's size, with
// the key masked, and memory running out on the way still ends the call.
#include <gtest/gtest.h>

#include <string>

#include "internal/AllocationFault.h"
#include "logging/Logger.h"
#include "request_manager_harness.h"
#include "support/LogCapture.h"

namespace orvane::site::testkit {
namespace {

constexpr const char* kResponseLine =
    "[OrvaneSite][SiteRequestManager.generateSession(_:)] INFO: Called Response: ";

TEST(ReplyHandling, ALargeReplyLogsItsFirst64KiBWithTheKeyMasked) {
  LogCapture log;
  ManagerCall call("SECRETKEY");
  call.start();
  // A key that starts just before the cut is masked whole; one just after it is not shown.
  std::string body(65536 - 4, 'a');
  body += "SECRETKEY";
  body += std::string(100000, 'b');
  call.transport->reply(200, body);
  EXPECT_EQ(call.only().body, body) << "the reply itself is whole";
  const auto lines = log.linesContaining(kResponseLine);
  ASSERT_EQ(lines.size(), 1u);
  const std::string expected = std::string(kResponseLine) + std::string(65536 - 4, 'a') +
                               "*** ... (" + std::to_string(body.size() - 65536) + " more bytes)";
  EXPECT_EQ(lines[0], expected);

  for (const std::string& tail : {std::string("SECRETKEY"), std::string("SECRE")}) {
    LogCapture cut;
    ManagerCall after("SECRETKEY");
    after.start();
    after.transport->reply(200, std::string(65536, 'a') + tail);
    const auto shown = cut.linesContaining(kResponseLine);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].find("SECRE"), std::string::npos) << tail;
  }
}

// Memory for the reply's line runs out at once: the call ends with a transport error, unless the
// line would not be written, in which case it is not built and the reply is delivered.
TEST(ReplyHandling, OutOfMemoryWhileLoggingTheReplyEndsTheCallOnlyIfTheLineIsWritten) {
  LogCapture quiet;
  const LogLevel before = internal::Logger::threshold();
  for (const LogLevel threshold : {LogLevel::info, LogLevel::error}) {
    internal::Logger::setThreshold(threshold);
    ManagerCall call;
    call.start();
    internal::armAllocationFault(internal::AllocationSite::replyLog);
    call.transport->reply(200, R"({"ok":true})");
    internal::armAllocationFault(internal::AllocationSite::none);
    internal::Logger::setThreshold(before);
    if (threshold == LogLevel::info) {
      ASSERT_TRUE(isTransportError(call.only(), TransportErrorCode::otherFailure));
      EXPECT_NE(call.only().error->userInfo.at("detail").find("could not be handled"),
                std::string::npos);
    } else {
      EXPECT_EQ(call.only().body, std::optional<std::string>(R"({"ok":true})"));
      EXPECT_FALSE(call.only().error);
    }
  }
}

}  // namespace
}  // namespace orvane::site::testkit
