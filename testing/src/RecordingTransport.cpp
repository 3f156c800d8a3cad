#include "orvane/site/testing/RecordingTransport.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "CassetteRecord.h"
#include "SecretMask.h"

namespace orvane::site::testkit {

class RecordingTransport::Cassette {
 public:
  Cassette(const std::string& path, const std::vector<std::string>& secrets)
      : mask_(secrets), file_(path, std::ios::app | std::ios::binary) {
    if (!file_) throw std::runtime_error("cannot open the cassette " + path + " for writing");
  }

  void write(const HttpRequest& request, const HttpOutcome& outcome,
             std::chrono::steady_clock::duration took) {
    const std::string path = mask_.apply(cassette::pathOf(request.url));
    // In the order a reader looks for them.
    nlohmann::ordered_json record{{"operation", cassette::operationOf(path)}, {"path", path}};
    // Masked as text first: a secret may sit inside a string of the body, escaped.
    record["request"] = cassette::requestBody(
        request.body ? std::optional<std::string>(mask_.apply(*request.body)) : std::nullopt);
    if (outcome.failure == HttpOutcome::Failure::none) {
      record["status"] = outcome.statusCode;
      record["reply"] = mask_.apply(outcome.body);
    } else {
      record["failure"] = cassette::failureName(outcome.failure);
      if (!outcome.failureDetail.empty()) record["detail"] = mask_.apply(outcome.failureDetail);
    }
    record["millis"] = std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
    // Masked once more as written, in case escaping made a secret of harmless parts.
    const std::string line =
        mask_.apply(record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    std::lock_guard<std::mutex> lock(mutex_);
    file_ << line << '\n';
    file_.flush();
  }

 private:
  cassette::SecretMask mask_;
  std::mutex mutex_;
  std::ofstream file_;
};

RecordingTransport::RecordingTransport(std::shared_ptr<HttpTransport> inner,
                                       const std::string& cassettePath,
                                       const std::vector<std::string>& secrets)
    : inner_(std::move(inner)) {
  if (!inner_) throw std::invalid_argument("RecordingTransport needs a transport to send through");
  cassette_ = std::make_shared<Cassette>(cassettePath, secrets);
}

void RecordingTransport::send(HttpRequest request, Completion completion) {
  Completion recorded = recording(request, std::move(completion));
  inner_->send(std::move(request), std::move(recorded));
}

std::shared_ptr<HttpTransport::Exchange> RecordingTransport::sendCancellable(
    HttpRequest request, Completion completion) {
  Completion recorded = recording(request, std::move(completion));
  return inner_->sendCancellable(std::move(request), std::move(recorded));
}

void RecordingTransport::runAfter(std::chrono::nanoseconds delay, Task task) {
  inner_->runAfter(delay, std::move(task));
}

void RecordingTransport::post(Task task) { inner_->post(std::move(task)); }

HttpTransport::Completion RecordingTransport::recording(const HttpRequest& request,
                                                        Completion completion) const {
  // Only what the line needs is kept: headers and the URL's query stay out of the cassette.
  HttpRequest sent;
  sent.url = request.url;
  sent.body = request.body;
  return [cassette = cassette_, sent = std::move(sent), completion = std::move(completion),
          started = std::chrono::steady_clock::now()](HttpOutcome outcome) {
    try {
      cassette->write(sent, outcome, std::chrono::steady_clock::now() - started);
    } catch (const std::exception&) {
      // A line that cannot be written loses the record, never the caller's outcome.
    }
    if (completion) completion(std::move(outcome));
  };
}

}  // namespace orvane::site::testkit
