#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace orvane::site::cli {

enum class OutputFormat { json, table };

/// The flags every subcommand shares: where to send calls and how to print their outcome.
struct GlobalOptions {
  std::optional<std::string> apiKey;
  std::optional<std::string> host;
  std::optional<std::int64_t> maxRetry;
  std::optional<double> retryInterval;
  std::optional<double> timeout;
  std::optional<std::string> caFile;
  bool standin = false;
  // Cassettes: write every exchange to one, or answer from one instead of the network.
  std::optional<std::string> recordPath;
  std::optional<std::string> replayPath;
  OutputFormat format = OutputFormat::json;
  bool verbose = false;
};

/// Declares the shared flags on the top-level app. Subcommands let them through
/// (`fallthrough`), so they may be written before or after the subcommand's name.
void addGlobalOptions(CLI::App& app, GlobalOptions& options);

}  // namespace orvane::site::cli
