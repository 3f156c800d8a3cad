#pragma once

#include <httplib.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "fault.h"

namespace orvane::site::standin::detail {

/// A reply as status and body text.
struct ReplyText {
  int status = 200;
  std::string text;
};

/// Compact JSON; text that is not UTF-8 (which no reply should hold) is replaced, never thrown.
std::string jsonText(const nlohmann::ordered_json& body);

/// {"returnCode": code, "returnDesc": description} as text.
std::string envelopeText(const std::string& code, const std::string& description);

/// Replies with `text` as JSON, never compressed whatever the client accepts.
void writeJson(httplib::Response& res, int status, std::string text);
void writeEnvelope(httplib::Response& res, int status, const std::string& code,
                   const std::string& description);

/// Ends the exchange without a reply: the connection's socket is shut down, so whatever the
/// server then tries to write is lost and the client sees the connection close.
void dropConnection(const httplib::Request& req, httplib::Response& res);

/// Answers with the misbehaviour `fault` describes (any kind but delay and 5xx countdowns).
/// `normal` gives the reply the operation would have sent, for the faults that damage it.
void writeFault(const httplib::Request& req, httplib::Response& res, const Fault& fault,
                const std::function<ReplyText()>& normal);

}  // namespace orvane::site::standin::detail
