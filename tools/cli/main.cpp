// orvane-site: the eight operations of the place-search service from the command line.
#include <CLI/CLI.hpp>

#include <exception>
#include <string>
#include <vector>

#include "Command.h"
#include "ExitStatus.h"
#include "GlobalOptions.h"
#include "LogRouting.h"
#include "Output.h"
#include "Session.h"

namespace {

constexpr const char* kFooter =
    "Results go to standard output (pretty JSON, or a short table with --format table); errors\n"
    "and, with --verbose, the library's log lines go to standard error.\n"
    "\n"
    "Exit status:\n"
    "  0  the call succeeded and its response was printed\n"
    "  1  the call failed: the error's domain, code and description are printed\n"
    "  2  the command line is wrong\n"
    "  130  a batch job was interrupted (Ctrl-C); --resume carries it on\n"
    "\n"
    "Example:\n"
    "  orvane-site --standin text-search --query Paris --format table";

int run(int argc, char** argv) {
  using namespace orvane::site::cli;
  CLI::App app("Searches places with the Orvane place-search service.", "orvane-site");
  app.set_version_flag("--version", ORVANE_SITE_VERSION);
  app.footer(kFooter);
  app.require_subcommand(1);
  GlobalOptions options;
  addGlobalOptions(app, options);
  std::vector<Command> commands = addOperationCommands(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version end with status 0; anything else is a usage error.
    return app.exit(e) == 0 ? kExitOk : kExitUsage;
  }

  // Before anything else touches the library: configuring it already logs.
  routeLibraryLog(options.verbose);
  for (const auto& command : commands) {
    if (!command.app->parsed()) continue;
    try {
      Session session(options);
      return command.run(session);
    } catch (const UsageError& e) {
      printProblem(e.what());
      return kExitUsage;
    } catch (const std::exception& e) {
      printProblem(e.what());
      return kExitCallFailed;
    }
  }
  return kExitUsage;  // not reached: parsing requires one subcommand
}

}  // namespace

int main(int argc, char** argv) { return run(argc, argv); }
