#pragma once

#include <stdexcept>

namespace orvane::site::cli {

/// The tool's exit statuses, listed in its --help.
inline constexpr int kExitOk = 0;
/// The call failed: the library's error (or the tool's own when no reply came) is printed.
inline constexpr int kExitCallFailed = 1;
/// The command line is wrong.
inline constexpr int kExitUsage = 2;
/// A batch job was interrupted (Ctrl-C); the rows finished before are written.
inline constexpr int kExitInterrupted = 130;

/// A problem with the command line found after parsing (exit status 2).
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace orvane::site::cli
