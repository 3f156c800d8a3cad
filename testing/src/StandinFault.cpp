#include "orvane/site/testing/StandinFault.h"

#include <utility>

namespace orvane::site::testkit {

StandinFault::StandinFault(std::string text) : text_(std::move(text)) {}

StandinFault StandinFault::serverErrors(int count, int status) {
  return StandinFault("5xx-" + std::to_string(count) + "-" + std::to_string(status));
}

StandinFault StandinFault::delay(std::chrono::milliseconds delay) {
  return StandinFault("delay-" + std::to_string(delay.count()));
}

StandinFault StandinFault::errorReply(int status, const std::string& returnCode) {
  std::string text = "status-" + std::to_string(status);
  if (!returnCode.empty()) text += "-" + returnCode;
  return StandinFault(std::move(text));
}

StandinFault StandinFault::missingReturnCode(int status) {
  return StandinFault("nocode-" + std::to_string(status));
}

StandinFault StandinFault::emptyBody(int status) {
  return StandinFault("nobody-" + std::to_string(status));
}

StandinFault StandinFault::notJson() { return StandinFault("notjson"); }

StandinFault StandinFault::notUtf8() { return StandinFault("notutf8"); }

StandinFault StandinFault::truncatedBody() { return StandinFault("truncated"); }

StandinFault StandinFault::cutConnection() { return StandinFault("cut"); }

StandinFault StandinFault::dropConnection() { return StandinFault("drop"); }

}  // namespace orvane::site::testkit
