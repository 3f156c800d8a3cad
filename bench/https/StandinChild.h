#pragma once

#include <sys/types.h>

#include <string>

namespace orvane::site::bench {

/// The stand-in service, run in a child process so that its threads and memory stay out of the
/// figures measured in this one.
///
/// `start()` must run before this process starts any thread (it forks). The child serves on
/// 127.0.0.1 until `stop()` or until this process ends (it watches a pipe for end of file).
class StandinChild {
 public:
  StandinChild() = default;
  StandinChild(const StandinChild&) = delete;
  StandinChild& operator=(const StandinChild&) = delete;
  ~StandinChild();

  /// Forks the child and waits until it serves; exits the program when it cannot.
  void start(int workerThreads);
  /// Ends the child and waits for it.
  void stop();

  /// "127.0.0.1:<port>".
  const std::string& host() const { return host_; }
  /// The authority to trust (a file the child keeps while it runs).
  const std::string& caFile() const { return caFile_; }
  /// The API key the child accepts.
  const std::string& apiKey() const { return apiKey_; }

 private:
  pid_t pid_ = -1;
  int control_ = -1;
  std::string host_;
  std::string caFile_;
  std::string apiKey_;
};

}  // namespace orvane::site::bench
