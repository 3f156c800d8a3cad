// Type-ahead: the text box feeds each keystroke to a QueryTypeAhead, which waits until the
// typing pauses, cancels the call a newer keystroke supersedes and shows only the newest text's
// suggestions, however the replies overtake each other.
//
//   type_ahead_with_cancel API_KEY [HOST [CA_FILE [WORD]]]
#include <orvane/site.h>

#include <chrono>
#include <condition_variable>
#include <iostream>
#include <memory>
#include <mutex>
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
  std::mutex mutex;
  std::condition_variable answered;
  bool wordAnswered = false;
  bool failed = false;
  {
    QueryTypeAhead typeAhead(
        client, QueryAutocompleteRequest("", std::nullopt, std::nullopt, "en", std::nullopt),
        [&](const std::string& text, Result<QueryAutocompleteResponse> result) {
          // Runs on the library thread, only for the newest text.
          std::lock_guard<std::mutex> lock(mutex);
          if (!result) {
            std::cerr << text << ": " << result.error().localizedDescription << "\n";
          } else if (result.value()->predictions) {
            for (const AutoCompletePrediction& prediction : *result.value()->predictions) {
              std::cout << text << ": " << prediction.description.value_or("?") << "\n";
            }
          }
          if (text == word) {
            wordAnswered = true;
            failed = !result;
            answered.notify_all();
          }
        },
        TypeAheadOptions().setQuietTime(150ms).setMinimumLength(2).setMemoSize(16));

    for (std::size_t length = 1; length <= word.size(); ++length) {
      typeAhead.setText(word.substr(0, length));                // the text box changed
      std::this_thread::sleep_for(length == 4 ? 300ms : 60ms);  // the user types, pauses once
    }
    std::unique_lock<std::mutex> lock(mutex);
    if (!answered.wait_for(lock, 5s, [&] { return wordAnswered; })) failed = true;
  }              // the helper goes first: it cancels what it still has under way
  shutdown(1s);  // ends the library thread before main returns
  return failed ? 1 : 0;
}
