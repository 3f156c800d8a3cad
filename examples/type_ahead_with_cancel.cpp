// Type-ahead with cancellation: each keystroke starts an autocomplete call and cancels the one
// before it, so only the latest keystroke's call keeps a connection and reaches the screen.
//
//   type_ahead_with_cancel API_KEY [HOST [CA_FILE [WORD]]]
#include <orvane/site.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

using namespace orvane::site;
using namespace std::chrono_literals;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: type_ahead_with_cancel API_KEY [HOST [CA_FILE [WORD]]]\n";
    return 2;
  }
  ClientOptions options;
  options.setApiKey(argv[1]).setAttemptTimeout(2s).setDeadline(3s);
  if (argc > 2) options.setHost(argv[2]);
  if (argc > 3) {
    CurlTransportOptions transport;
    transport.caInfoFile = argv[3];  // trusted in addition to the system's authorities
    options.setTransport(std::make_shared<CurlTransport>(transport));
  }
  SiteClient client(options);  // its own key and settings; nothing process-wide

  const std::string word = argc > 4 ? argv[4] : "Singapore";
  Call<QueryAutocompleteResponse> latest;
  for (std::size_t length = 1; length <= word.size(); ++length) {
    latest.cancel();  // the previous keystroke's call is no longer wanted
    latest = client.queryAutocomplete(QueryAutocompleteRequest(word.substr(0, length), std::nullopt,
                                                               std::nullopt, "en", std::nullopt));
    std::this_thread::sleep_for(80ms);  // the user types on
  }
  Result<QueryAutocompleteResponse> result = latest.get();
  if (!result) {
    std::cerr << "no suggestions: " << result.error().localizedDescription << "\n";
    shutdown(1s);
    return 1;
  }
  if (result.value()->predictions) {
    for (const AutoCompletePrediction& prediction : *result.value()->predictions) {
      std::cout << prediction.description.value_or("?") << "\n";
    }
  }
  shutdown(1s);  // ends the library thread before main returns
  return 0;
}
