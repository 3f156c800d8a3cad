#include "fault_reply.h"

#include <openssl/ssl.h>
#include <sys/socket.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace orvane::site::standin::detail {
namespace {

constexpr const char* kJson = "application/json";

std::string injected(const Fault& fault) { return "INJECTED: fault " + fault.text; }

// cpp-httplib compresses a body given whole whenever its type is text/*, exactly
// application/json or a few others, and the client accepts br or gzip (as libcurl and cpp-httplib's
// own client do). Brotli at its highest quality costs tens of milliseconds of CPU per reply, which
// would make every benchmark measure the stand-in's compressor; a body handed over by a provider of
// known length is sent as it is.
void setUncompressed(httplib::Response& res, int status, std::string text, const char* type) {
  res.status = status;
  if (text.empty()) {
    res.set_content("", type);  // nothing to compress, and the length header says 0
    return;
  }
  auto body = std::make_shared<const std::string>(std::move(text));
  res.set_content_provider(
      body->size(), type, [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        return sink.write(body->data() + offset, std::min(length, body->size() - offset));
      });
}

}  // namespace

std::string jsonText(const nlohmann::ordered_json& body) {
  return body.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string envelopeText(const std::string& code, const std::string& description) {
  return jsonText({{"returnCode", code}, {"returnDesc", description}});
}

void writeJson(httplib::Response& res, int status, std::string text) {
  setUncompressed(res, status, std::move(text), kJson);
}

void writeEnvelope(httplib::Response& res, int status, const std::string& code,
                   const std::string& description) {
  writeJson(res, status, envelopeText(code, description));
}

void dropConnection(const httplib::Request& req, httplib::Response& res) {
  if (req.ssl != nullptr) {
    const int fd = SSL_get_fd(req.ssl);
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
  }
  res.status = 500;  // never reaches the client
}

void writeFault(const httplib::Request& req, httplib::Response& res, const Fault& fault,
                const std::function<ReplyText()>& normal) {
  using Kind = Fault::Kind;
  const std::string code = "010" + std::to_string(fault.status);
  switch (fault.kind) {
    case Kind::kStatus:
      return writeEnvelope(res, fault.status, fault.returnCode, injected(fault));
    case Kind::kNoCode:
      return writeJson(res, fault.status, jsonText({{"returnDesc", injected(fault)}}));
    case Kind::kNoDesc:
      return writeJson(res, fault.status, jsonText({{"returnCode", code}}));
    case Kind::kNoBody:
    case Kind::kEmpty:
      return writeJson(res, fault.status, "");
    case Kind::kNotJson:
      return setUncompressed(res, fault.status, "<html><body><h1>Bad gateway</h1></body></html>",
                             "text/html");
    case Kind::kNotUtf8:
      // Shaped like an envelope, but with bytes 0xFF 0xFE that UTF-8 never uses.
      return writeJson(res, fault.status,
                       "{\"returnCode\":\"0\",\"returnDesc\":\"OK \xff\xfe\",\"sites\":[]}");
    case Kind::kTruncated: {
      const ReplyText whole = normal();
      return writeJson(res, fault.status, whole.text.substr(0, whole.text.size() / 2));
    }
    case Kind::kCutShort: {
      // The length header promises the whole reply; half is sent, then the provider fails,
      // which makes the server close the connection.
      auto whole = std::make_shared<std::string>(normal().text);
      res.status = 200;
      res.set_content_provider(whole->size(), kJson,
                               [whole](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                 const std::size_t half = whole->size() / 2;
                                 if (offset < half)
                                   sink.write(whole->data() + offset, half - offset);
                                 return false;
                               });
      return;
    }
    case Kind::kDrop:
      return dropConnection(req, res);
    case Kind::kDelay:
    case Kind::kRetryAfter:
    case Kind::kServerErrors:
      break;
  }
}

}  // namespace orvane::site::standin::detail
