#include "Command.h"

namespace orvane::site::cli {

std::vector<Command> addOperationCommands(CLI::App& app) {
  std::vector<Command> commands;
  addSearchCommands(app, commands);
  addSuggestCommands(app, commands);
  addGeoCommands(app, commands);
  addBatchCommand(app, commands);
  return commands;
}

}  // namespace orvane::site::cli
