#include "Session.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <orvane/site/ClientConfig.h>
#include <orvane/site/RetryPolicy.h>
#include <orvane/site/SiteClient.h>
#include <orvane/site/transport/CurlTransport.h>
#include <orvane/site/transport/CurlTransportOptions.h>
#include <orvane/site/transport/HttpTransport.h>
#ifdef ORVANE_SITE_CLI_WITH_CASSETTES
#include <orvane/site/testing/RecordingTransport.h>
#include <orvane/site/testing/ReplayTransport.h>
#endif

namespace orvane::site::cli {
namespace {

// Beyond a day the bound means "wait": nobody watches a terminal longer.
constexpr double kLongestWaitSeconds = 24 * 60 * 60;
// Time for the library to notice a time-out and hand it on, and for TLS set-up.
constexpr double kWaitMarginSeconds = 10;

std::chrono::milliseconds replyBoundFor(const ApiContext& context) {
  const double timeout = std::max(0.0, context.timeoutInterval());
  const std::int64_t retries = std::max<std::int64_t>(0, context.maxRetry());
  double seconds = timeout + kWaitMarginSeconds;
  double pause = std::max(0.0, context.retryInterval());
  for (std::int64_t retry = 0; retry < retries && seconds < kLongestWaitSeconds; ++retry) {
    seconds += pause + timeout;
    pause *= 1.5;  // the library's pause grows by this factor after each retry
  }
  seconds = std::min(seconds, kLongestWaitSeconds);
  return std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000));
}

// The facade reads a time-out of exactly 1.0 as its 60 s default. The transport counts whole
// milliseconds rounded up, so the double just below 1.0 is exactly one second there.
double facadeTimeout(double seconds) { return seconds == 1.0 ? std::nextafter(1.0, 0.0) : seconds; }

std::shared_ptr<HttpTransport> installTransport(const std::string& caFile,
                                                const std::string& caPem) {
  CurlTransportOptions options;
  options.caInfoFile = caFile;
  options.caInfoPem = caPem;
  try {
    auto transport = std::make_shared<CurlTransport>(options);
    setDefaultHttpTransport(transport);
    return transport;
  } catch (const std::invalid_argument& e) {
    throw UsageError(std::string("--ca-file: ") + e.what());
  }
}

// The key the calls carry when they are answered from a cassette, which never sees it.
constexpr const char* kReplayKey = "cassette-replay";

// Wraps `transport` (the default one when null) in a recorder, or answers from a cassette,
// as --record and --replay ask; installs the result for the facade's calls.
std::shared_ptr<HttpTransport> cassetteTransport(const GlobalOptions& options,
                                                 std::shared_ptr<HttpTransport> transport,
                                                 const std::string& apiKey) {
  if (!options.recordPath && !options.replayPath) return transport;
#ifdef ORVANE_SITE_CLI_WITH_CASSETTES
  try {
    if (options.replayPath) {
      transport = std::make_shared<testkit::ReplayTransport>(*options.replayPath,
                                                             std::vector<std::string>{apiKey});
    } else {
      transport = std::make_shared<testkit::RecordingTransport>(
          transport ? transport : defaultHttpTransport(), *options.recordPath,
          std::vector<std::string>{apiKey});
    }
  } catch (const std::exception& e) {
    throw std::runtime_error(std::string(options.replayPath ? "--replay: " : "--record: ") +
                             e.what());
  }
  setDefaultHttpTransport(transport);
  return transport;
#else
  (void)apiKey;
  throw UsageError("--record and --replay need a build with the testing kit");
#endif
}

}  // namespace

Session::Session(const GlobalOptions& options) : format_(options.format) {
  std::string host = options.host.value_or(ClientConfig::BaseUrl);
  std::optional<std::string> apiKey = options.apiKey;
  std::string caPem;
  if (options.standin) {
    standin_ = std::make_unique<standin::StandinServer>();
    standin_->start();
    host = standin_->host();
    caPem = standin_->certificate().caPem();
    // A key given with --standin wins, so that the stand-in's refusal can be tried out.
    if (!apiKey) apiKey = standin::StandinOptions::kDemoKey;
  } else if (options.replayPath) {
    if (!apiKey) apiKey = kReplayKey;
  } else if (!apiKey) {
    // The environment keeps the key out of shell history and process listings.
    if (const char* fromEnvironment = std::getenv("ORVANE_SITE_API_KEY")) apiKey = fromEnvironment;
  }
  if (!apiKey || apiKey->empty()) {
    throw UsageError("no API key: give --key, set ORVANE_SITE_API_KEY, or use --standin");
  }
  const std::string caFile = options.caFile.value_or("");
  if (!caFile.empty() || !caPem.empty()) transport_ = installTransport(caFile, caPem);
  transport_ = cassetteTransport(options, transport_, *apiKey);

  // The setters fill the library's one builder context; build() hands it out.
  ApiContext builder;
  builder.setApiKey(*apiKey).setBaseUrl(host);
  if (options.maxRetry) builder.setMaxRetry(*options.maxRetry);
  if (options.retryInterval) builder.setRetryInterval(*options.retryInterval);
  if (options.timeout) builder.setTimeoutInterval(facadeTimeout(*options.timeout));
  attemptSeconds_ = options.timeout.value_or(builder.timeoutInterval());
  context_ = builder.build();
  SiteClient::provideApiContext(context_);
  replyBound_ = replyBoundFor(*context_);
}

ClientOptions Session::clientOptions() const {
  using std::chrono::duration;
  using std::chrono::duration_cast;
  using std::chrono::nanoseconds;
  // The facade's schedule, so that both kinds of call retry alike.
  RetryPolicy retries = RetryPolicy::specSchedule();
  const std::int64_t maxRetry = std::clamp<std::int64_t>(context_->maxRetry(), 0, 1000);
  retries.setMaxAttempts(static_cast<int>(maxRetry) + 1);
  retries.setInitialPause(
      duration_cast<nanoseconds>(duration<double>(std::max(0.0, context_->retryInterval()))));
  ClientOptions options;
  options.setApiKey(context_->apiKey())
      .setHost(context_->baseUrl())
      .setAttemptTimeout(duration_cast<nanoseconds>(duration<double>(attemptSeconds_)))
      .setDeadline(replyBound_)
      .setRetryPolicy(retries);
  if (transport_) options.setTransport(transport_);
  return options;
}

}  // namespace orvane::site::cli
