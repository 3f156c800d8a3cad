#pragma once

#include <functional>
#include <vector>

namespace CLI {
class App;
}

namespace orvane::site::cli {

class Session;

/// One subcommand: its parser and what it does once parsed (start the call through the
/// session, print, return the exit status).
struct Command {
  CLI::App* app;
  std::function<int(Session&)> run;
};

/// The subcommands of the eight operations, in the library's order: text-search,
/// nearby-search, detail, suggest, autocomplete, geocode, reverse-geocode, timezone; then
/// batch.
std::vector<Command> addOperationCommands(CLI::App& app);

// One group of subcommands each, so that every operation's flags sit beside its request.
void addSearchCommands(CLI::App& app, std::vector<Command>& commands);
void addSuggestCommands(CLI::App& app, std::vector<Command>& commands);
void addGeoCommands(CLI::App& app, std::vector<Command>& commands);
/// `batch OPERATION`: one call per row of a file.
void addBatchCommand(CLI::App& app, std::vector<Command>& commands);

}  // namespace orvane::site::cli
