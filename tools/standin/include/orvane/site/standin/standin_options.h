#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "orvane/site/standin/certificate.h"

namespace orvane::site::standin {

/// How a StandinServer is set up.
struct StandinOptions {
  /// The demo key, accepted by default.
  static constexpr const char* kDemoKey = "standin-demo-key";

  /// API keys the server accepts (the part before any ".fault-" or ".tag-" suffix).
  std::vector<std::string> apiKeys{kDemoKey};

  /// TCP port on 127.0.0.1; 0 lets the system pick a free one (read it with `port()`).
  int port = 0;

  /// TLS material. When absent: read from `certificateDirectory` if it holds ca.pem, cert.pem
  /// and key.pem, otherwise generated (and written there when a directory is given).
  std::optional<Certificate> certificate;

  /// Where ca.pem, cert.pem and key.pem live. When empty the server writes them to a private
  /// temporary directory that it removes when destroyed.
  std::filesystem::path certificateDirectory;

  /// Threads serving connections. Each open connection holds one while it is kept alive, so
  /// this is how many connections are served at once: twice what one client opens to a host.
  std::size_t workerThreads = 64;

  /// How long an idle kept-alive connection stays open.
  std::chrono::seconds keepAliveTimeout{5};
};

}  // namespace orvane::site::standin
