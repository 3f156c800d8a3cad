// HTTP/2 against HTTP/1.1 through the same nghttpx, in front of the in-process stand-in:
//  - calls per second and connections opened at 16 and 256 calls in flight;
//  - type-ahead: a call every 40 ms, each cancelling the one before, against a server that
//    answers in 100 ms; the figure is the latency of the last call's result.
// Prints one table. Usage: orvane-site-bench-http2 [--quick]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "orvane/site/SiteClient.h"
#include "orvane/site/testing/Standin.h"
#include "orvane/site/transport/ConnectionPool.h"
#include "orvane/site/transport/CurlTransport.h"
#include "support/LocalProcess.h"

namespace {

using namespace std::chrono_literals;
using orvane::site::Call;
using orvane::site::CallOptions;
using orvane::site::ClientOptions;
using orvane::site::ConnectionLimits;
using orvane::site::ConnectionPool;
using orvane::site::Coordinate;
using orvane::site::CurlTransport;
using orvane::site::CurlTransportOptions;
using orvane::site::Result;
using orvane::site::SiteClient;
using orvane::site::TimezoneRequest;
using orvane::site::TimezoneResponse;
using orvane::site::testkit::Standin;
using orvane::site::testkit::StandinFault;
using Clock = std::chrono::steady_clock;
using HttpVersion = CurlTransportOptions::HttpVersion;

TimezoneRequest someRequest() { return TimezoneRequest(Coordinate(48.85, 2.35), 1700000000, "en"); }

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A self-signed certificate for 127.0.0.1 made by `openssl req`, and the stand-in's authority,
// in a directory of their own.
class ProxyFiles {
 public:
  explicit ProxyFiles(const Standin& standin) {
    using orvane::site::testkit::spawnProcess;
    using orvane::site::testkit::waitForProcess;
    dir_ = std::filesystem::temp_directory_path() / ("orvane-h2-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    const pid_t made = spawnProcess(
        {"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
         "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
         "-keyout", (dir_ / "key.pem").string(), "-out", (dir_ / "cert.pem").string()});
    if (made == 0 || waitForProcess(made, 30s).exitCode != 0) {
      throw std::runtime_error("openssl could not make the proxy's certificate");
    }
    caPem_ = readFile(dir_ / "cert.pem");
    std::ofstream(dir_ / "backend-ca.pem") << standin.caCertificatePem();
  }
  ~ProxyFiles() { std::filesystem::remove_all(dir_); }
  ProxyFiles(const ProxyFiles&) = delete;
  ProxyFiles& operator=(const ProxyFiles&) = delete;

  std::string path(const char* name) const { return (dir_ / name).string(); }
  const std::string& caPem() const { return caPem_; }

 private:
  std::filesystem::path dir_;
  std::string caPem_;
};

// nghttpx on 127.0.0.1 in front of the stand-in, which it reaches over TLS and verifies against
// the stand-in's authority. One per measurement: libcurl reuses the connections of any transport
// of the process to the same host, so a new port starts each measurement without any.
class Proxy {
 public:
  Proxy(const Standin& standin, const ProxyFiles& files) : caPem_(files.caPem()) {
    using orvane::site::testkit::localPortAcceptsConnections;
    using orvane::site::testkit::spawnProcess;
    using orvane::site::testkit::unusedLocalPort;
    port_ = unusedLocalPort();
    pid_ = spawnProcess(
        {"/usr/sbin/nghttpx", "--conf=/dev/null", "--single-process", "--workers=1", "--no-ocsp",
         "--frontend=127.0.0.1," + std::to_string(port_),
         "--backend=127.0.0.1," + std::to_string(standin.port()) + ";;tls;sni=localhost",
         "--cacert=" + files.path("backend-ca.pem"), "--backend-connections-per-host=512",
         "--errorlog-file=/dev/null", files.path("key.pem"), files.path("cert.pem")});
    const auto until = Clock::now() + 10s;
    while (pid_ != 0 && !localPortAcceptsConnections(port_) && Clock::now() < until) {
      std::this_thread::sleep_for(5ms);
    }
    if (pid_ == 0 || !localPortAcceptsConnections(port_)) {
      throw std::runtime_error("nghttpx did not start");
    }
  }
  ~Proxy() {
    if (pid_ != 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  Proxy(const Proxy&) = delete;
  Proxy& operator=(const Proxy&) = delete;

  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

  std::shared_ptr<CurlTransport> transport(HttpVersion version) const {
    CurlTransportOptions options;
    options.caInfoPem = caPem_;
    options.httpVersion = version;
    return std::make_shared<CurlTransport>(options);
  }

 private:
  std::string caPem_;
  pid_t pid_ = 0;
  int port_ = 0;
};

const char* nameOf(HttpVersion version) {
  return version == HttpVersion::http1_1 ? "HTTP/1.1" : "HTTP/2";
}

ClientOptions optionsFor(const Standin& standin, const Proxy& proxy,
                         const std::shared_ptr<CurlTransport>& transport, const std::string& key,
                         long inFlight) {
  ClientOptions options = standin.clientOptions();
  options.setHost(proxy.host()).setApiKey(key).setTransport(transport);
  options.setConnectionPool(
      std::make_shared<const ConnectionPool>(ConnectionLimits{inFlight, std::max(128L, inFlight)}));
  return options;
}

// `inFlight` calls kept under way for `length`: each call's handler starts the next.
void throughput(const Standin& standin, const ProxyFiles& files, HttpVersion version, long inFlight,
                std::chrono::milliseconds length) {
  const Proxy proxy(standin, files);
  auto transport = proxy.transport(version);
  SiteClient client(optionsFor(standin, proxy, transport, standin.apiKey(), inFlight));
  std::mutex mutex;
  std::condition_variable idle;
  long running = 0;
  std::atomic<long> done{0};
  std::atomic<long> failed{0};
  std::string firstFailure;
  std::atomic<bool> stopping{false};
  std::function<void()> start = [&] {
    client.timezone(someRequest(), CallOptions(), [&](Result<TimezoneResponse> result) {
      if (!result.ok() && failed.fetch_add(1) == 0) {
        std::lock_guard<std::mutex> lock(mutex);
        firstFailure = result.error().localizedDescription;
      }
      done.fetch_add(1);
      if (!stopping.load()) {
        start();
        return;
      }
      std::lock_guard<std::mutex> lock(mutex);
      if (--running == 0) idle.notify_all();
    });
  };
  // A short warm-up opens the connections.
  {
    std::lock_guard<std::mutex> lock(mutex);
    running = inFlight;
  }
  for (long i = 0; i < inFlight; ++i) start();
  std::this_thread::sleep_for(200ms);
  const long before = done.load();
  const auto from = Clock::now();
  std::this_thread::sleep_for(length);
  const long counted = done.load() - before;
  const double seconds = std::chrono::duration<double>(Clock::now() - from).count();
  stopping.store(true);
  std::unique_lock<std::mutex> lock(mutex);
  idle.wait(lock, [&] { return running == 0; });
  std::printf("%-9s in flight %4ld: %8.0f calls/s, %3llu connections, %ld failed %s\n",
              nameOf(version), inFlight, static_cast<double>(counted) / seconds,
              static_cast<unsigned long long>(transport->connectionsOpened()), failed.load(),
              firstFailure.c_str());
}

// Keystrokes 40 ms apart, each a call that cancels the one before; the last one is waited for.
void typeAhead(const Standin& standin, const ProxyFiles& files, HttpVersion version, int rounds) {
  const Proxy proxy(standin, files);
  auto transport = proxy.transport(version);
  const std::string key = standin.apiKeyWithFaults({StandinFault::delay(100ms)});
  SiteClient client(optionsFor(standin, proxy, transport, key, 32));
  (void)client.timezone(someRequest()).get();  // the connection is open before the first round
  const std::uint64_t opened = transport->connectionsOpened();
  std::vector<double> latencies;
  constexpr int kKeystrokes = 10;
  for (int round = 0; round < rounds; ++round) {
    Call<TimezoneResponse> previous;
    Clock::time_point lastStart;
    for (int stroke = 0; stroke < kKeystrokes; ++stroke) {
      if (stroke > 0) {
        std::this_thread::sleep_for(40ms);
        previous.cancel();
      }
      lastStart = Clock::now();
      previous = client.timezone(someRequest());
    }
    const bool ok = previous.get().ok();
    latencies.push_back(
        std::chrono::duration<double, std::milli>(Clock::now() - lastStart).count() +
        (ok ? 0.0 : 1e9));
  }
  std::sort(latencies.begin(), latencies.end());
  std::printf(
      "%-9s type-ahead: last result after %6.1f ms (median of %d, max %6.1f ms), "
      "%llu connections opened for %d calls\n",
      nameOf(version), latencies[latencies.size() / 2], rounds, latencies.back(),
      static_cast<unsigned long long>(transport->connectionsOpened() - opened),
      rounds * kKeystrokes);
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  try {
    Standin::Options options;
    options.connections = 512;
    Standin standin(options);
    const ProxyFiles files(standin);
    const auto length = quick ? 500ms : 3000ms;
    for (long inFlight : {16L, 256L}) {
      for (HttpVersion version : {HttpVersion::automatic, HttpVersion::http1_1}) {
        throughput(standin, files, version, inFlight, length);
      }
    }
    for (HttpVersion version : {HttpVersion::automatic, HttpVersion::http1_1}) {
      typeAhead(standin, files, version, quick ? 3 : 15);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "orvane-site-bench-http2: %s\n", error.what());
    return 1;
  }
  return 0;
}
