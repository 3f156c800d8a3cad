#include "GlobalOptions.h"

#include <CLI/CLI.hpp>

#include <string>

#include "FlagHelpers.h"

namespace orvane::site::cli {

void addGlobalOptions(CLI::App& app, GlobalOptions& options) {
  addOptional(app, "--key", options.apiKey,
              "API key of the service (default: $ORVANE_SITE_API_KEY; with --standin, the "
              "stand-in's demo key)");
  addOptional(app, "--host", options.host,
              "Host of the service, with an optional port (default site-api.orvane.com)");
  addOptional(app, "--max-retry", options.maxRetry, "Retries after a server error (default 3)")
      ->check(CLI::NonNegativeNumber);
  addOptional(app, "--retry-interval", options.retryInterval,
              "Seconds before the first retry; each further pause is 1.5 times longer "
              "(default 1)")
      ->check(CLI::NonNegativeNumber);
  addOptional(app, "--timeout", options.timeout, "Seconds one attempt may take (default 60)")
      ->check(CLI::PositiveNumber);
  auto* caFile =
      addOptional(app, "--ca-file", options.caFile,
                  "PEM file of an extra certificate authority to trust (for a local service)");
  caFile->check(CLI::ExistingFile);
  auto* standin = app.add_flag("--standin", options.standin,
                               "Start the local stand-in of the service in this process and "
                               "send the calls there (no key or network needed)");
  standin->excludes("--host")->excludes("--ca-file");
  addOptional(app, "--record", options.recordPath,
              "Append every exchange to this cassette (JSON Lines, the key masked)");
  auto* replay = addOptional(app, "--replay", options.replayPath,
                             "Answer from this cassette instead of the network (no key needed)");
  replay->check(CLI::ExistingFile);
  replay->excludes("--record")->excludes("--standin")->excludes("--host")->excludes("--ca-file");
  app.add_option_function<std::string>(
         "--format",
         [&options](const std::string& format) {
           options.format = format == "table" ? OutputFormat::table : OutputFormat::json;
         },
         "Output: json (default) or table")
      ->check(CLI::IsMember({"json", "table"}));
  app.add_flag("-v,--verbose", options.verbose,
               "Write the library's log lines to standard error (they are dropped otherwise)");
}

}  // namespace orvane::site::cli
