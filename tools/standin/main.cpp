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

// Printed after the options by --help: how a client asks for faults, and what each one does.
constexpr const char* kFaultHelp = R"(Faults (per request, for testing a client's error handling):
  Ask for them in the header "X-Standin-Fault: <fault>[, <fault>...]" or as suffixes of the
  API key: <accepted key>.fault-<fault>[.fault-<fault>...][.tag-<text>], for example
  standin-demo-key.fault-5xx-3.tag-retry1. A distinct tag gives a fresh countdown.

  5xx-N[-S]        the first N requests of this key/header get status S (500-599, default 503)
                   with an error envelope, later ones go on normally
  delay-MS         wait MS milliseconds (0-60000) before answering
  status-S[-RC]    error envelope with status S (200-599) and returnCode RC (default "010"+S)
  nocode[-S]       status S (default 400), an envelope without returnCode
  nodesc[-S]       status S (default 400), an envelope without returnDesc
  nobody[-S]       status S (default 404), empty body
  empty[-S]        status S (default 200), empty body
  notjson[-S]      status S (default 200), an HTML body
  notutf8[-S]      status S (default 200), a body that is not UTF-8
  truncated[-S]    status S (default 200), the normal reply cut in half
  cut              status 200, half of the announced body sent, then the connection closes
  drop             the connection is closed without any reply

Error replies (status, returnCode):
  403 010001  the key is missing, empty or not accepted
  400 010010  a malformed body or an unknown or malformed fault
  404 010404  an unknown path          405 010405  a method other than POST
  500 010500  an internal failure
  200 010011  detail search: no place has that siteId)";

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
  app.add_option("--connections", options.workerThreads,
                 "Connections served at once (each kept-alive connection holds a thread)")
      ->check(CLI::Range(1, 4096))
      ->default_val(options.workerThreads);
  app.add_option("--key", keys, "Accepted API key (repeatable; default: standin-demo-key)");
  app.footer(kFaultHelp);
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
