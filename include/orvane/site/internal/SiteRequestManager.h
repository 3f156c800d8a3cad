#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "orvane/site/Error.h"
#include "orvane/site/Export.h"
#include "orvane/site/internal/RequestMode.h"
#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site {

class ApiContext;

/// Carries out one call: forms the HTTPS address from host, path and query, sends the request,
/// retries after a growing pause while the service answers with a server error (5xx), and hands
/// the reply body or an Error to one completion callback.
///
/// Made by the request-client framework, filled, then started once with `build`. The callback
/// runs exactly once, on the transport's delivery thread (the library thread for the default
/// transport), never inside `build`. Always held by shared_ptr (use `create`): the pending
/// exchange keeps the manager alive until the callback has run. All members are thread-safe;
/// changing fields while a call is under way affects the attempts not yet sent.
///
/// Status handling of one reply:
/// - a body that is not UTF-8: TransportErrorCode::bodyNotUtf8, whatever the status;
/// - 200: the body, exactly as received (possibly empty);
/// - 500 or more: a retry after `retryInterval` seconds while `maxRetry` is above 0 (each
///   retry takes one from `maxRetry` and multiplies `retryInterval` by 1.5), otherwise
///   TransportErrorCode::serverErrorAfterRetries;
/// - any other status: an empty body gives TransportErrorCode::errorReplyWithoutBody; else the
///   body is read as a reply envelope: with both "returnCode" and "returnDesc" the Error of
///   ErrorType::apiError, with either missing TransportErrorCode::incompleteErrorEnvelope, and
///   a body that is no envelope the decoding Error (after the "httpResponse StatusCode: " line);
/// - no reply at all: connectionFailed, timedOut, tlsFailure or otherFailure. Never retried.
///
/// Configuration values are used as given where they make sense and bounded where they do not:
/// - `maxRetry` 0 or negative: no retry. At most kMaxRetries retries are made whatever
///   `maxRetry` says, so that a call ends even against a server that always fails.
/// - `retryInterval` 0 or negative (finite): retries at once. A pause that is not finite (NaN,
///   infinity) or longer than kLongestRetryPauseSeconds is not waited: the server error ends
///   the call (TransportErrorCode::serverErrorAfterRetries) instead.
/// - `timeoutInterval` exactly 1.0: 60 seconds (the request default). Zero, negative or NaN:
///   60 seconds. Longer than kLongestTimeoutSeconds (infinity included): that longest time-out.
class ORVANE_SITE_EXPORT SiteRequestManager
    : public std::enable_shared_from_this<SiteRequestManager> {
 public:
  /// Receives (error, body): exactly one of the two is present.
  using CompletionHandler =
      std::function<void(std::optional<Error> error, std::optional<std::string> body)>;

  /// The most retries of one call, whatever `maxRetry` holds.
  static constexpr std::int64_t kMaxRetries = 100;
  /// The longest retry pause that is waited, in seconds.
  static constexpr double kLongestRetryPauseSeconds = 3600.0;
  /// The time-out used for a `timeoutInterval` of exactly 1.0 and for unusable values.
  static constexpr double kDefaultTimeoutSeconds = 60.0;
  /// The longest time-out of one attempt, in seconds.
  static constexpr double kLongestTimeoutSeconds = 3600.0;

  /// Stores the three values unchanged. Retry values start at 3, 1.0 and 1.0 (1.0 as time-out
  /// stands for 60 seconds) whatever the context holds: only `setApiContext` copies them.
  static std::shared_ptr<SiteRequestManager> create(std::string baseUrl, std::string path,
                                                    std::shared_ptr<ApiContext> apiContext);

  /// The context given at creation or by setApiContext().
  std::shared_ptr<ApiContext> apiContext() const;
  /// Stores the context; a non-null one also copies its retry count, retry pause and time-out.
  void setApiContext(std::shared_ptr<ApiContext> apiContext);

  /// Retries that remain. Each retry takes one.
  std::int64_t maxRetry() const;
  /// Sets the retries that remain.
  void setMaxRetry(std::int64_t value);
  /// Pause before the next retry, in seconds. Each retry multiplies it by 1.5.
  double retryInterval() const;
  /// Sets the pause before the next retry, in seconds.
  void setRetryInterval(double value);
  /// Time-out of each attempt in seconds; exactly 1.0 stands for 60 seconds.
  double timeoutInterval() const;
  /// Sets the time-out of each attempt, in seconds.
  void setTimeoutInterval(double value);

  /// The address the call goes to, "Optional(https://host/path?key=...)", or "nil" when none
  /// can be formed (the cases of TransportErrorCode::invalidUrl and invalidApiKey). Holds the
  /// API key: meant for the application only; the library never logs it.
  std::string calledUrl() const;

  /// Sends the call; `completion` runs once, later, on the transport's delivery thread. A
  /// manager serves one call: a second `build` ends its own completion with
  /// TransportErrorCode::otherFailure and leaves the first call alone.
  void build(CompletionHandler completion);

  // Filled by the request-client framework before `build`.
  /// Query parameters ("key" and any others).
  void setParams(std::optional<std::map<std::string, std::string>> params);
  /// The HTTP method.
  void setMode(RequestMode mode);
  /// A complete "https" URL replacing the address formed from host and path; its query is
  /// replaced by the parameters when there are any. A text that does not parse is ignored.
  void setUrl(std::optional<std::string> url);
  /// Sets one header; a name that is not an HTTP token ends the call with invalidHeader.
  void setHeaderValue(const std::string& field, const std::string& value);
  /// The request body; nullopt sends none.
  void setBodyData(std::optional<std::string> body);
  /// The transport this call uses; defaults to defaultHttpTransport() at creation. A null
  /// pointer restores that default.
  void setTransport(std::shared_ptr<HttpTransport> transport);

  // Reads take the lock and return copies, so they are safe while a call is under way.
  /// The host given at creation.
  std::string baseUrl() const;
  /// The path given at creation.
  std::string path() const;
  /// The query parameters.
  std::optional<std::map<std::string, std::string>> params() const;
  /// The HTTP method.
  RequestMode mode() const;
  /// The URL given with setUrl(), if any.
  std::optional<std::string> url() const;
  /// The headers set so far.
  std::map<std::string, std::string> headerValues() const;
  /// The request body.
  std::optional<std::string> bodyData() const;
  /// The transport this call uses.
  std::shared_ptr<HttpTransport> transport() const;

 private:
  SiteRequestManager(std::string baseUrl, std::string path, std::shared_ptr<ApiContext> apiContext);

  void generateSession(const std::string& url, const std::string& maskedUrl);
  void handleReply(const std::string& url, const std::string& maskedUrl, HttpOutcome outcome);
  void handleOutcome(const std::string& url, const std::string& maskedUrl, HttpOutcome outcome);
  void retryOrEnd(const std::string& url, const std::string& maskedUrl, long statusCode);
  void finish(std::optional<Error> error, std::optional<std::string> body);
  void finishLater(Error error);
  void logResponse(const std::string& body) const;

  mutable std::mutex mutex_;
  std::shared_ptr<ApiContext> apiContext_;
  std::string path_;
  std::string baseUrl_;
  std::optional<std::map<std::string, std::string>> params_;
  RequestMode mode_ = RequestMode::get;
  std::optional<std::string> url_;
  CompletionHandler completionHandler_;
  std::optional<std::string> bodyData_;
  std::map<std::string, std::string> headerValues_;
  std::int64_t maxRetry_ = 3;
  double retryInterval_ = 1.0;
  double timeoutInterval_ = 1.0;
  std::shared_ptr<HttpTransport> transport_;

  // State of the call.
  bool started_ = false;
  bool ended_ = false;
  std::int64_t retriesMade_ = 0;
  // Every form of the API key (as sent, decoded, encoded), hidden from every line and error.
  std::vector<std::string> secrets_;
};

}  // namespace orvane::site
