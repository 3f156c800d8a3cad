// Peak memory of one large text-search reply. The server runs in a child process, so that its
// copy of the reply is not counted.
//
//   orvane-site-bench-reply-memory [megabytes] [call|reply]     (default: 62 call)
//
// "call": a whole facade call (transfer, log line, status handling, decoding, handler).
// "reply": the reply alone, up to the handler of a request manager (no decoding).
// Prints the reply size, the growth of peak resident memory during the call and their ratio.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include <httplib.h>

#include "orvane/site.h"
#include "orvane/site/internal/SiteRequestManager.h"
#include "orvane/site/standin/certificate.h"
#include "orvane/site/transport/CurlTransport.h"
#include "support/ProcessStats.h"
#include "support/ReplyFixtures.h"

namespace {

using namespace orvane::site;

struct Served {
  int port = 0;
  std::size_t largeBytes = 0;
};

// A file holding `text`, left for the child's life.
std::string temporaryFile(const std::string& text) {
  char path[] = "/tmp/orvane-site-bench-XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
    _exit(1);
  ::close(fd);
  return path;
}

// Serves the realistic reply first (to warm up the connection, TLS and the decoder), then the
// large one, until killed.
[[noreturn]] void serve(const standin::Certificate& certificate, std::size_t megabytes, int out) {
  const std::string small = testkit::readFixture("text_search_20_sites.json");
  const std::string large = testkit::makeTextSearchReply(megabytes << 20).json;
  const std::string certFile = temporaryFile(certificate.certPem());
  const std::string keyFile = temporaryFile(certificate.keyPem());
  httplib::SSLServer server(certFile.c_str(), keyFile.c_str());
  std::atomic<std::size_t> served{0};
  server.Post(".*", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(served++ == 0 ? small : large, "application/json");
  });
  const Served address{server.bind_to_any_port("127.0.0.1"), large.size()};
  ::unlink(certFile.c_str());
  ::unlink(keyFile.c_str());
  if (address.port <= 0 || ::write(out, &address, sizeof address) != sizeof address) _exit(1);
  server.listen_after_bind();
  _exit(0);
}

// One text search; the number of sites it returned, or nothing on failure.
std::optional<std::size_t> search(const std::shared_ptr<ApiContext>& context) {
  std::promise<std::optional<std::size_t>> done;
  SiteClient::shared().textSearch(
      TextSearchRequest("tea", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                        std::nullopt, std::nullopt, std::nullopt, std::nullopt),
      context, [&done](std::shared_ptr<TextSearchResponse> response, std::optional<Error> error) {
        if (error || !response) {
          std::fprintf(stderr, "call failed: %s %s\n", error ? error->domain.c_str() : "",
                       error ? error->localizedDescription.c_str() : "no response");
          done.set_value(std::nullopt);
          return;
        }
        done.set_value(response->sites ? response->sites->size() : 0);
      });
  return done.get_future().get();
}

// One exchange through a request manager; the size of the body its handler got.
std::optional<std::size_t> fetch(HttpTransport& transport, const std::string& host) {
  std::promise<std::optional<std::size_t>> done;
  auto manager = SiteRequestManager::create(host, "mapApi/v1/siteService/searchByText", nullptr);
  manager->setTransport(std::shared_ptr<HttpTransport>(&transport, [](HttpTransport*) {}));
  manager->setParams(std::map<std::string, std::string>{{"key", "KEY"}});
  manager->setMode(RequestMode::post);
  manager->setBodyData(std::string(R"({"query":"tea"})"));
  manager->build([&done](std::optional<Error> error, std::optional<std::string> body) {
    if (error || !body) {
      std::fprintf(stderr, "exchange failed: %s\n",
                   error ? error->localizedDescription.c_str() : "");
      done.set_value(std::nullopt);
      return;
    }
    done.set_value(body->size());
  });
  return done.get_future().get();
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 62;
  const bool wholeCall = argc <= 2 || std::string(argv[2]) != "reply";
  const standin::Certificate certificate = standin::Certificate::generate();
  int channel[2];
  if (::pipe(channel) != 0) return 1;
  const pid_t child = ::fork();
  if (child == 0) serve(certificate, megabytes, channel[1]);
  Served served;
  if (child < 0 || ::read(channel[0], &served, sizeof served) != sizeof served) return 1;

  setLogSink([](std::string_view) {});
  CurlTransportOptions options;
  options.caInfoPem = certificate.caPem();
  options.maxResponseBytes = 0;  // this reply is larger than the default cap on purpose
  auto transport = std::make_shared<CurlTransport>(options);
  setDefaultHttpTransport(transport);
  const std::string host = "127.0.0.1:" + std::to_string(served.port);
  auto context =
      std::make_shared<ApiContext>(*ApiContext().setApiKey("KEY").setBaseUrl(host).build());
  auto once = [&]() -> std::optional<std::size_t> {
    return wholeCall ? search(context) : fetch(*transport, host);
  };

  int status = 1;
  if (once()) {
    bench::resetPeakResident();
    const std::int64_t before = bench::residentBytes();
    const std::optional<std::size_t> got = once();
    const std::int64_t peak = bench::peakResidentBytes();
    if (got) {
      status = 0;
      const double growth = static_cast<double>(peak - before);
      std::printf(
          "%s, one reply of %.1f MiB: peak resident memory grew by %.1f MiB = %.2fx the "
          "reply (goal < 3x: %s)\n",
          wholeCall ? "whole call with decoding" : "reply to the handler, no decoding",
          static_cast<double>(served.largeBytes) / (1 << 20), growth / (1 << 20),
          growth / static_cast<double>(served.largeBytes),
          growth < 3.0 * static_cast<double>(served.largeBytes) ? "goal met" : "GOAL MISSED");
    }
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  std::fflush(stdout);
  std::_Exit(status);
}
