// Completes a query while it is being typed: one autocomplete call per keystroke, and only the
// answer to the latest keystroke is shown, however the replies overtake each other.
//
//   autocomplete_as_you_type API_KEY [HOST [CA_FILE [WORD]]]
#include <orvane/site.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

using namespace orvane::site;

namespace {

// What the typing loop and the handlers (on the library thread) share.
struct Typing {
  std::mutex mutex;
  std::condition_variable changed;
  std::int64_t newestShown = 0;  // keystroke number of the suggestions on screen
  bool newestFailed = false;
  int outstanding = 0;  // calls whose handler has not run yet
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: autocomplete_as_you_type API_KEY [HOST [CA_FILE [WORD]]]\n";
    return 2;
  }
  if (argc > 3) {
    CurlTransportOptions transport;
    transport.caInfoFile = argv[3];  // trusted in addition to the system's authorities
    setDefaultHttpTransport(std::make_shared<CurlTransport>(transport));
  }
  // The library logs each request to standard output; keep this program's output clean.
  setLogSink([](std::string_view line) { std::cerr << std::string(line) + "\n"; });

  ApiContext context;
  context.setApiKey(argv[1]);
  if (argc > 2) context.setBaseUrl(argv[2]);
  SiteClient::provideApiContext(context.build());

  const std::string word = argc > 4 ? argv[4] : "Singapore";
  Typing typing;
  // Each keystroke starts a call at once; calls overlap and each reaches its own handler.
  for (std::size_t length = 1; length <= word.size(); ++length) {
    const std::string typed = word.substr(0, length);
    const auto keystroke = static_cast<std::int64_t>(length);
    {
      std::lock_guard<std::mutex> lock(typing.mutex);
      ++typing.outstanding;
    }
    QueryAutocompleteRequest request(typed, /*location=*/std::nullopt, /*radius=*/std::nullopt,
                                     /*language=*/"en", /*children=*/std::nullopt);
    SiteClient::shared().queryAutocomplete(
        request, nullptr,
        [&typing, typed, keystroke](std::shared_ptr<QueryAutocompleteResponse> response,
                                    std::optional<Error> error) {
          std::lock_guard<std::mutex> lock(typing.mutex);
          --typing.outstanding;
          typing.changed.notify_all();
          // A reply to an older keystroke that arrives late would replace newer suggestions.
          if (keystroke < typing.newestShown) return;
          typing.newestShown = keystroke;
          typing.newestFailed = error.has_value();
          if (error) {
            std::cout << typed << ": " << error->localizedDescription << '\n';
            return;
          }
          std::cout << typed << ":";
          for (const auto& prediction :
               response->predictions.value_or(std::vector<AutoCompletePrediction>{})) {
            std::cout << "  [" << prediction.description.value_or("") << "]";
          }
          std::cout << '\n';
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(120));  // the user types on
  }
  // Every handler refers to `typing`: wait until all have run before it goes away.
  std::unique_lock<std::mutex> lock(typing.mutex);
  typing.changed.wait(lock, [&typing] { return typing.outstanding == 0; });
  return typing.newestFailed ? 1 : 0;
}
