#include "LogRouting.h"

#include <cstdio>
#include <string>
#include <string_view>

#include <orvane/site/LogSink.h>

namespace orvane::site::cli {

void routeLibraryLog(bool verbose) {
  if (!verbose) {
    setLogSink([](std::string_view) {});
    return;
  }
  setLogSink([](std::string_view line) {
    // One write per line keeps lines logged by two threads at once whole.
    std::string text(line);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
  });
}

}  // namespace orvane::site::cli
