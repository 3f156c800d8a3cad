// orvane-site-standin: runs the local stand-in of the place-search service until SIGINT or
// SIGTERM, on 127.0.0.1 only.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "orvane/site/standin/standin_server.h"

namespace {

// Waits for SIGINT or SIGTERM without a handler: both are blocked in every thread (the server's
// threads inherit the mask) and taken here with sigwait.
int waitForStopSignal() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  int received = 0;
  sigwait(&signals, &received);
  return received;
}

void blockStopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  using orvane::site::standin::StandinOptions;
  using orvane::site::standin::StandinServer;

  CLI::App app{"Local HTTPS stand-in of the Orvane place-search service (127.0.0.1 only)"};
  StandinOptions options;
  std::vector<std::string> keys;
  std::string certDir;
  app.add_option("--port", options.port, "TCP port on 127.0.0.1; 0 picks a free one")
      ->check(CLI::Range(0, 65535));
  app.add_option("--cert-dir", certDir,
                 "Directory with ca.pem, cert.pem and key.pem; made and filled when they are "
                 "missing (default: a temporary directory removed at exit)");
  app.add_option("--key", keys, "Accepted API key (repeatable; default: standin-demo-key)");
  CLI11_PARSE(app, argc, argv);

  if (!keys.empty()) options.apiKeys = keys;
  options.certificateDirectory = certDir;
  blockStopSignals();
  try {
    StandinServer server(options);
    server.start();
    std::printf("orvane-site-standin listening on %s\n", server.baseUrl().c_str());
    std::printf("port: %d\n", server.port());
    std::printf("host for clients: %s (or localhost:%d)\n", server.host().c_str(), server.port());
    std::printf("trust this CA: %s\n", server.caFile().string().c_str());
    // Keys given on the command line are not echoed: they may be meant to stay private.
    if (keys.empty()) {
      std::printf("accepted key: %s\n", StandinOptions::kDemoKey);
    } else {
      std::printf("accepted keys: %zu given with --key\n", keys.size());
    }
    std::printf("stop with Ctrl-C or SIGTERM\n");
    std::fflush(stdout);
    const int signal = waitForStopSignal();
    std::printf("signal %d received, stopping\n", signal);
    server.stop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvane-site-standin: %s\n", e.what());
    return 1;
  }
  return 0;
}
