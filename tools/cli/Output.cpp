#include "Output.h"

#include <iostream>

namespace orvane::site::cli {

void printJson(const Json& document) {
  // Replies are valid UTF-8 (the library checks), but a record assigned by hand might not be;
  // replacing bad bytes beats failing to print.
  std::cout << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n' << std::flush;
}

void printText(const std::string& text) { std::cout << text << std::flush; }

void printError(const Error& error) {
  std::cerr << "orvane-site: error: " << error.domain << ' ' << error.code << ": "
            << error.localizedDescription << '\n';
  for (const auto& [name, value] : error.userInfo) {
    std::cerr << "  " << name << ": " << value << '\n';
  }
  std::cerr << std::flush;
}

void printNoReply(std::chrono::milliseconds bound) {
  printProblem("no reply within " + std::to_string(bound.count() / 1000) +
               " s (time-out and retry settings allow no longer)");
}

void printEmptyOutcome() { printProblem("the call ended with neither a response nor an error"); }

void printProblem(const std::string& message) {
  std::cerr << "orvane-site: " << message << '\n' << std::flush;
}

}  // namespace orvane::site::cli
