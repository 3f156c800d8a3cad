#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvane/site/standin/certificate.h"
#include "orvane/site/standin/received_request.h"
#include "orvane/site/standin/standin_counters.h"
#include "orvane/site/standin/standin_options.h"

namespace orvane::site::standin {

/// A local stand-in of the place-search service: a real HTTPS server on 127.0.0.1 that answers
/// the eight operations from a data set built out of tzdata and iso-codes, checks API keys,
/// injects faults on request and counts what it receives.
///
/// Paths served (POST, JSON body, API key in the query parameter "key"):
///   /mapApi/v1/siteService/searchByText, nearbySearch, searchById, querySuggestion,
///   queryAutoComplete, geocode, reverseGeocode, and /mapApi/v1/timezoneService/getTimezone.
///
/// Faults are asked for by the header "X-Standin-Fault" or by suffixes of the API key
/// ("standin-demo-key.fault-5xx-3.tag-t1"); tools/standin/README.md gives the grammar.
///
/// Threads: `start()` serves on threads of its own; `stop()` (also run by the destructor) ends
/// them, closing kept-alive connections at once. All members are thread-safe. Many servers may
/// run in one process. Starting a server makes the process ignore SIGPIPE if nothing handles it,
/// so that a client closing its connection early cannot kill the process.
class StandinServer {
 public:
  explicit StandinServer(StandinOptions options = {});
  ~StandinServer();
  StandinServer(const StandinServer&) = delete;
  StandinServer& operator=(const StandinServer&) = delete;

  /// Binds 127.0.0.1 and starts serving; returns once connections are accepted. Throws
  /// std::runtime_error when the port cannot be bound or the TLS set-up fails, and
  /// std::logic_error when the server was already started.
  void start();

  /// Stops serving and waits for the server's threads. Idempotent.
  void stop();

  /// The bound port (valid after `start()`).
  int port() const;
  /// "127.0.0.1:<port>": the host to give a client ("localhost:<port>" works too).
  std::string host() const;
  /// "https://127.0.0.1:<port>".
  std::string baseUrl() const;

  /// The TLS material in use.
  const Certificate& certificate() const;
  /// Path of ca.pem, the authority a client must trust (written before `start()` returns).
  std::filesystem::path caFile() const;

  /// What the server has seen so far.
  StandinCounters counters() const;
  std::int64_t requestsForPath(const std::string& path) const;
  std::int64_t requestsForKey(const std::string& key) const;
  std::int64_t connectionsAccepted() const;
  /// The last request received, if any.
  std::optional<ReceivedRequest> lastRequest() const;
  /// Zeroes the counters, forgets the last request and restarts every "5xx-N" countdown.
  void resetCounters();

  /// Builds an API key that carries faults: `baseKey` + ".fault-<f>" for each fault + ".tag-<tag>"
  /// when `tag` is not empty. Distinct tags give distinct countdowns and counters.
  static std::string faultKey(const std::string& baseKey, const std::vector<std::string>& faults,
                              const std::string& tag = "");

  /// Path of each operation, e.g. operationPath("geocode") ==
  /// "/mapApi/v1/siteService/geocode"; "getTimezone" gives the time-zone path.
  static std::string operationPath(const std::string& operationWord);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane::site::standin
