#include "orvane/site/standin/standin_server.h"

#include <httplib.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "connection_registry.h"
#include "fault.h"
#include "fault_reply.h"
#include "listen_backlog.h"
#include "operations.h"
#include "orvane/site/standin/dataset.h"
#include "orvane/site/standin/time_zone_database.h"

namespace orvane::site::standin {
namespace {

using detail::Fault;
using detail::OperationContext;
using detail::OperationReply;
using detail::RequestBody;

constexpr const char* kSitePath = "/mapApi/v1/siteService/";
constexpr const char* kTimezonePath = "/mapApi/v1/timezoneService/getTimezone";
constexpr const char* kFaultHeader = "X-Standin-Fault";
constexpr std::size_t kMaxBodyBytes = 1 << 20;

using Operation = OperationReply (*)(const RequestBody&, const OperationContext&);

struct Route {
  const char* word;
  Operation run;
};

// Path words as the client sends them; note the upper-case C of "queryAutoComplete".
const Route kRoutes[] = {{"searchByText", &detail::textSearch},
                         {"nearbySearch", &detail::nearbySearch},
                         {"searchById", &detail::detailSearch},
                         {"querySuggestion", &detail::querySuggestion},
                         {"queryAutoComplete", &detail::queryAutocomplete},
                         {"geocode", &detail::geocode},
                         {"reverseGeocode", &detail::reverseGeocode},
                         {"getTimezone", &detail::timezone}};

void ignoreSigpipeOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
      signal(SIGPIPE, SIG_IGN);
    }
  });
}

std::filesystem::path makeTemporaryDirectory() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "orvane-site-standin-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("orvane-site-standin: cannot make a temporary directory");
  }
  return pattern;
}

bool loadTls(SSL_CTX& ctx, const Certificate& certificate) {
  SSL_CTX_set_options(&ctx, SSL_OP_NO_COMPRESSION | SSL_OP_NO_SESSION_RESUMPTION_ON_RENEGOTIATION);
  SSL_CTX_set_min_proto_version(&ctx, TLS1_2_VERSION);
  BIO* certBio =
      BIO_new_mem_buf(certificate.certPem().data(), static_cast<int>(certificate.certPem().size()));
  BIO* keyBio =
      BIO_new_mem_buf(certificate.keyPem().data(), static_cast<int>(certificate.keyPem().size()));
  X509* cert = certBio ? PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr) : nullptr;
  EVP_PKEY* key = keyBio ? PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr) : nullptr;
  const bool ok = cert != nullptr && key != nullptr && SSL_CTX_use_certificate(&ctx, cert) == 1 &&
                  SSL_CTX_use_PrivateKey(&ctx, key) == 1 && SSL_CTX_check_private_key(&ctx) == 1;
  X509_free(cert);
  EVP_PKEY_free(key);
  BIO_free(certBio);
  BIO_free(keyBio);
  return ok;
}

ReceivedRequest receivedFrom(const httplib::Request& req) {
  ReceivedRequest received;
  received.method = req.method;
  received.path = req.path;
  received.target = req.target;
  received.query.insert(req.params.begin(), req.params.end());
  received.headers.insert(req.headers.begin(), req.headers.end());
  received.body = req.body;
  return received;
}

}  // namespace

class StandinServer::Impl {
 public:
  explicit Impl(StandinOptions options) : options_(std::move(options)) {
    for (const std::string& key : options_.apiKeys) apiKeys_.insert(key);
    prepareCertificate();
  }

  ~Impl() {
    stop();
    if (ownsDirectory_) {
      std::error_code ignored;
      std::filesystem::remove_all(directory_, ignored);
    }
  }

  void start();
  void stop();

  const Certificate& certificate() const { return *certificate_; }
  const std::filesystem::path& directory() const { return directory_; }
  int port() const { return port_.load(); }

  StandinCounters counters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    StandinCounters snapshot = counters_;
    snapshot.connections = connections_.accepted();
    return snapshot;
  }

  std::optional<ReceivedRequest> lastRequest() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return last_;
  }

  void resetCounters() {
    std::lock_guard<std::mutex> lock(mutex_);
    counters_ = StandinCounters{};
    last_.reset();
    countdowns_.clear();
    connections_.resetCount();
  }

 private:
  void prepareCertificate();
  void record(const httplib::Request& req, const std::string& key);
  void serve(const httplib::Request& req, httplib::Response& res, Operation run);
  void refuse(const httplib::Request& req, httplib::Response& res, int status);
  // Waits `millis`, or less when the server stops; true when the wait ran its course.
  bool pause(std::int64_t millis);
  // Counts one more request of a "5xx-N" fault's scope; true while the countdown lasts.
  bool countDown(const std::string& scope, std::int64_t count);

  StandinOptions options_;
  std::set<std::string> apiKeys_;
  std::optional<Certificate> certificate_;
  std::filesystem::path directory_;
  bool ownsDirectory_ = false;

  detail::ListenBacklog backlog_;  // outlives server_, whose socket options refer to it
  std::unique_ptr<httplib::SSLServer> server_;
  std::thread thread_;
  std::atomic<int> port_{0};
  std::atomic<bool> listenEnded_{false};
  detail::ConnectionRegistry connections_;

  std::mutex stopMutex_;
  std::condition_variable stopSignal_;
  bool started_ = false;
  bool stopping_ = false;

  mutable std::mutex mutex_;
  StandinCounters counters_;
  std::optional<ReceivedRequest> last_;
  std::map<std::string, std::int64_t> countdowns_;
};

void StandinServer::Impl::prepareCertificate() {
  if (options_.certificateDirectory.empty()) {
    certificate_ = options_.certificate ? *options_.certificate : Certificate::generate();
    directory_ = makeTemporaryDirectory();
    ownsDirectory_ = true;
    certificate_->writeTo(directory_);
    return;
  }
  directory_ = options_.certificateDirectory;
  if (options_.certificate) {
    certificate_ = *options_.certificate;
    certificate_->writeTo(directory_);
  } else if (Certificate::existsIn(directory_)) {
    certificate_ = Certificate::readFrom(directory_);
  } else {
    certificate_ = Certificate::generate();
    certificate_->writeTo(directory_);
  }
}

void StandinServer::Impl::start() {
  {
    std::lock_guard<std::mutex> lock(stopMutex_);
    if (started_) throw std::logic_error("orvane-site-standin: server already started");
    started_ = true;
  }
  ignoreSigpipeOnce();
  // Load both tables now, so that a missing package fails here and not in a request.
  Dataset::system();
  TimeZoneDatabase::system();

  server_ = std::make_unique<httplib::SSLServer>([this](SSL_CTX& ctx) {
    if (!loadTls(ctx, *certificate_)) return false;
    connections_.attach(&ctx);
    return true;
  });
  if (!server_->is_valid()) throw std::runtime_error("orvane-site-standin: TLS set-up failed");

  const std::size_t threads = options_.workerThreads == 0 ? 1 : options_.workerThreads;
  server_->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  // Replies go out in several writes (headers, body); without this, Nagle's algorithm and the
  // client's delayed acknowledgements add tens of milliseconds to every exchange.
  server_->set_tcp_nodelay(true);
  server_->set_socket_options(backlog_.socketOptions());
  server_->set_keep_alive_max_count(100000);
  server_->set_keep_alive_timeout(options_.keepAliveTimeout.count());
  server_->set_read_timeout(5, 0);
  server_->set_write_timeout(5, 0);
  server_->set_payload_max_length(kMaxBodyBytes);

  for (const Route& route : kRoutes) {
    const std::string path = operationPath(route.word);
    const Operation run = route.run;
    server_->Post(path, [this, run](const httplib::Request& req, httplib::Response& res) {
      serve(req, res, run);
    });
  }
  // Anything else: 404 for unknown paths, 405 for other methods on known ones.
  auto unknown = [this](const httplib::Request& req, httplib::Response& res) {
    bool known = false;
    for (const Route& route : kRoutes) known = known || req.path == operationPath(route.word);
    refuse(req, res, known && req.method != "POST" ? 405 : 404);
  };
  server_->Post(".*", unknown);
  server_->Get(".*", unknown);
  server_->Put(".*", unknown);
  server_->Delete(".*", unknown);
  server_->Patch(".*", unknown);

  if (options_.port == 0) {
    port_ = server_->bind_to_any_port("127.0.0.1");
  } else if (server_->bind_to_port("127.0.0.1", options_.port)) {
    port_ = options_.port;
  }
  if (port_ <= 0) {
    throw std::runtime_error(
        "orvane-site-standin: cannot bind 127.0.0.1:" + std::to_string(options_.port) +
        (options_.port == 0 ? std::string(" (no free port)")
                            : std::string(" (in use by another program?)")));
  }
  backlog_.raise(port_);
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    listenEnded_ = true;
  });
  // Return only once connections are served, so that stop() always finds a running server.
  while (!server_->is_running() && !listenEnded_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (listenEnded_) {
    thread_.join();
    throw std::runtime_error("orvane-site-standin: the server ended at once");
  }
}

void StandinServer::Impl::stop() {
  {
    std::lock_guard<std::mutex> lock(stopMutex_);
    if (!started_ || stopping_) return;
    stopping_ = true;
  }
  stopSignal_.notify_all();
  if (server_) server_->stop();
  connections_.closeAll();
  if (thread_.joinable()) thread_.join();
}

bool StandinServer::Impl::pause(std::int64_t millis) {
  std::unique_lock<std::mutex> lock(stopMutex_);
  return !stopSignal_.wait_for(lock, std::chrono::milliseconds(millis),
                               [this] { return stopping_; });
}

bool StandinServer::Impl::countDown(const std::string& scope, std::int64_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  return ++countdowns_[scope] <= count;
}

void StandinServer::Impl::record(const httplib::Request& req, const std::string& key) {
  ReceivedRequest received = receivedFrom(req);
  std::lock_guard<std::mutex> lock(mutex_);
  ++counters_.requests;
  ++counters_.requestsByPath[req.path];
  ++counters_.requestsByKey[key];
  last_ = std::move(received);
}

void StandinServer::Impl::refuse(const httplib::Request& req, httplib::Response& res, int status) {
  record(req, req.has_param("key") ? req.get_param_value("key") : "");
  detail::writeEnvelope(res, status, "010" + std::to_string(status),
                        status == 405 ? "METHOD_NOT_ALLOWED: use POST" : "NOT_FOUND: no such path");
}

void StandinServer::Impl::serve(const httplib::Request& req, httplib::Response& res,
                                Operation run) {
  const std::string key = req.has_param("key") ? req.get_param_value("key") : "";
  record(req, key);
  const OperationContext context{Dataset::system(), TimeZoneDatabase::system(),
                                 static_cast<std::int64_t>(std::time(nullptr))};
  // The operation's own answer, also the raw material of the faults that damage it.
  auto normal = [&]() -> detail::ReplyText {
    try {
      OperationReply reply = run(RequestBody::parse(req.body), context);
      return {reply.status, detail::jsonText(reply.body)};
    } catch (const detail::BadRequest& e) {
      return {400, detail::envelopeText("010010", e.what())};
    }
  };

  try {
    const detail::KeyFaults parts = detail::splitKey(key);
    if (key.empty()) {
      return detail::writeEnvelope(res, 403, "010001", "REQUEST_DENIED: the API key is missing");
    }
    if (apiKeys_.count(parts.baseKey) == 0) {
      return detail::writeEnvelope(res, 403, "010001", "REQUEST_DENIED: the API key is not valid");
    }
    const std::string header = req.get_header_value(kFaultHeader);
    std::vector<Fault> faults = parts.faults;
    for (Fault& fault : detail::parseFaultHeader(header)) faults.push_back(std::move(fault));

    for (const Fault& fault : faults) {
      if (fault.kind == Fault::Kind::kDelay && !pause(fault.millis)) {
        return detail::dropConnection(req, res);  // stopping: end the exchange now
      }
      if (fault.kind == Fault::Kind::kRetryAfter) {
        res.set_header("Retry-After", std::to_string(fault.seconds));
      }
    }
    for (std::size_t i = 0; i < faults.size(); ++i) {
      const Fault& fault = faults[i];
      if (fault.kind == Fault::Kind::kDelay || fault.kind == Fault::Kind::kRetryAfter) continue;
      if (fault.kind == Fault::Kind::kServerErrors) {
        // Scope: the whole key and header, and the fault's place among them.
        if (countDown(key + '\n' + header + '\n' + std::to_string(i), fault.count)) {
          return detail::writeEnvelope(res, fault.status, "010" + std::to_string(fault.status),
                                       "SERVER_ERROR: injected by fault " + fault.text);
        }
        continue;
      }
      return detail::writeFault(req, res, fault, normal);
    }
    detail::ReplyText reply = normal();
    detail::writeJson(res, reply.status, std::move(reply.text));
  } catch (const std::invalid_argument& e) {
    detail::writeEnvelope(res, 400, "010010", std::string("INVALID_REQUEST: ") + e.what());
  } catch (const std::exception& e) {
    detail::writeEnvelope(res, 500, "010500", std::string("INTERNAL_ERROR: ") + e.what());
  }
}

StandinServer::StandinServer(StandinOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

StandinServer::~StandinServer() = default;

void StandinServer::start() { impl_->start(); }
void StandinServer::stop() { impl_->stop(); }
int StandinServer::port() const { return impl_->port(); }
std::string StandinServer::host() const { return "127.0.0.1:" + std::to_string(port()); }
std::string StandinServer::baseUrl() const { return "https://" + host(); }
const Certificate& StandinServer::certificate() const { return impl_->certificate(); }

std::filesystem::path StandinServer::caFile() const {
  return impl_->directory() / Certificate::kCaFile;
}

StandinCounters StandinServer::counters() const { return impl_->counters(); }

std::int64_t StandinServer::requestsForPath(const std::string& path) const {
  const StandinCounters snapshot = counters();
  auto found = snapshot.requestsByPath.find(path);
  return found == snapshot.requestsByPath.end() ? 0 : found->second;
}

std::int64_t StandinServer::requestsForKey(const std::string& key) const {
  const StandinCounters snapshot = counters();
  auto found = snapshot.requestsByKey.find(key);
  return found == snapshot.requestsByKey.end() ? 0 : found->second;
}

std::int64_t StandinServer::connectionsAccepted() const { return counters().connections; }

std::optional<ReceivedRequest> StandinServer::lastRequest() const { return impl_->lastRequest(); }

void StandinServer::resetCounters() { impl_->resetCounters(); }

std::string StandinServer::faultKey(const std::string& baseKey,
                                    const std::vector<std::string>& faults,
                                    const std::string& tag) {
  std::string key = baseKey;
  for (const std::string& fault : faults) key += ".fault-" + fault;
  if (!tag.empty()) key += ".tag-" + tag;
  return key;
}

std::string StandinServer::operationPath(const std::string& operationWord) {
  if (operationWord == "getTimezone") return kTimezonePath;
  return kSitePath + operationWord;
}

}  // namespace orvane::site::standin
