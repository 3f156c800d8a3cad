#pragma once

#include <chrono>
#include <string>

#include <orvane/site/Error.h>

#include "ResponseJson.h"

namespace orvane::site::cli {

/// Results go to standard output, everything else to standard error, so that
/// `orvane-site ... | jq` always reads clean JSON.
void printJson(const Json& document);
void printText(const std::string& text);

/// "orvane-site: error: <domain> <code>: <description>", then one indented "name: value" line
/// per userInfo entry, on standard error.
void printError(const Error& error);

/// Reports a handler that did not run within `bound`.
void printNoReply(std::chrono::milliseconds bound);

/// Reports a handler called with neither a response nor an error.
void printEmptyOutcome();

/// "orvane-site: <message>" on standard error.
void printProblem(const std::string& message);

}  // namespace orvane::site::cli
