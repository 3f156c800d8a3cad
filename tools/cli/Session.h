#pragma once

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <utility>

#include <orvane/site/ApiContext.h>
#include <orvane/site/ClientOptions.h>
#include <orvane/site/Error.h>
#include <orvane/site/Pages.h>
#include <orvane/site/Result.h>
#include <orvane/site/standin/standin_server.h>

#include "ExitStatus.h"
#include "GlobalOptions.h"
#include "Output.h"
#include "ResponseJson.h"
#include "ResponseTable.h"

namespace orvane::site {
class HttpTransport;
}

namespace orvane::site::cli {

/// Everything one run of the tool sets up before its call: log routing, the transport (with an
/// extra certificate authority when asked), the in-process stand-in when asked, and the
/// connection context. Then it makes the call, waits for its handler and prints the outcome.
class Session {
 public:
  /// Throws UsageError when the flags do not add up (no key, for example) and
  /// std::runtime_error when something cannot be set up (the stand-in, the CA file).
  explicit Session(const GlobalOptions& options);

  /// Starts one call with `start(context, handler)`, waits for the handler within a bound
  /// derived from the time-out and retry settings, and prints the response (standard output)
  /// or the error (standard error). Returns the exit status.
  template <class Response, class Start>
  int call(Start start);

  /// Prints every page of `pages` as it arrives, as `call` prints one reply; stops at the first
  /// failed page, printing its error. Returns the exit status.
  template <class Response>
  int printPages(Pages<Response> pages);

  /// The longest the tool waits for a handler: every attempt's time-out, every retry pause,
  /// and a margin.
  std::chrono::milliseconds replyBound() const { return replyBound_; }

  /// Options for an option client that sends calls where the context does, with the same
  /// key, trust, time-out and retries (for jobs that make many calls themselves). Every call
  /// may take at most replyBound().
  ClientOptions clientOptions() const;

  /// The connection context the calls use (for jobs that make many calls themselves).
  const std::shared_ptr<ApiContext>& context() const { return context_; }

 private:
  template <class Response>
  void print(const Response& response) const {
    if (format_ == OutputFormat::table) {
      printText(toTable(response));
    } else {
      printJson(toJson(response));
    }
  }

  // Declared first so that it outlives the calls that use it.
  std::unique_ptr<standin::StandinServer> standin_;
  std::shared_ptr<ApiContext> context_;
  // The transport installed for an extra certificate authority; nullptr: the default one.
  std::shared_ptr<HttpTransport> transport_;
  OutputFormat format_;
  std::chrono::milliseconds replyBound_;
  // --timeout as written: the seconds one attempt of an option client's call may take.
  double attemptSeconds_ = 0;
};

template <class Response, class Start>
int Session::call(Start start) {
  using Reply = std::pair<std::shared_ptr<Response>, std::optional<Error>>;
  // Shared with the handler, which may in theory still run after a timed-out wait returned.
  auto slot = std::make_shared<std::promise<Reply>>();
  auto delivered = std::make_shared<std::atomic<bool>>(false);
  auto reply = slot->get_future();
  start(context_,
        [slot, delivered](std::shared_ptr<Response> response, std::optional<Error> error) {
          if (delivered->exchange(true)) return;  // only the first outcome counts
          slot->set_value(Reply(std::move(response), std::move(error)));
        });
  if (reply.wait_for(replyBound_) != std::future_status::ready) {
    printNoReply(replyBound_);
    return kExitCallFailed;
  }
  auto [response, error] = reply.get();
  if (error) {
    printError(*error);
    return kExitCallFailed;
  }
  if (!response) {
    printEmptyOutcome();
    return kExitCallFailed;
  }
  print(*response);
  return kExitOk;
}

template <class Response>
int Session::printPages(Pages<Response> pages) {
  for (const Result<Response>& page : pages) {
    if (!page.ok()) {
      printError(page.error());
      return kExitCallFailed;
    }
    print(*page.value());
  }
  return kExitOk;
}

}  // namespace orvane::site::cli
