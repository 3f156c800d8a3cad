#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "OutputLock.h"

namespace orvane::site::cli::batch {

/// The new output of a --retry-failed job: written whole beside the kept one (OUTPUT.rewrite,
/// locked like the output) and renamed over it once the job ends, so that a crash at any
/// moment leaves the kept output or the new one, never a mix. A crash leaves the new file,
/// which the next job cuts and writes again; a job that fails otherwise removes it.
class OutputRewrite {
 public:
  /// `keptEnd`: where the kept part of the output ends (what is beyond is dropped, as a resume
  /// cuts it). Throws JobRefused when another job holds the new file's lock, std::runtime_error
  /// when a file cannot be opened.
  OutputRewrite(std::string output, std::uint64_t keptEnd);
  ~OutputRewrite();
  OutputRewrite(const OutputRewrite&) = delete;
  OutputRewrite& operator=(const OutputRewrite&) = delete;

  /// Where the job writes.
  int fd() const { return fresh_->fd(); }
  /// The kept output, to copy records from.
  int keptFd() const { return kept_; }

  /// Copies the kept bytes from `from` on (the stretches the job did not reach, as they are),
  /// makes the new file durable and renames it over the output. Throws std::runtime_error,
  /// the output then left as it was.
  void commit(std::uint64_t from);

  /// The new file's name beside `output`.
  static std::string pathFor(const std::string& output);

 private:
  std::string output_;
  std::string path_;
  std::uint64_t keptEnd_;
  std::unique_ptr<LockedOutput> fresh_;
  int kept_ = -1;
  bool committed_ = false;
};

}  // namespace orvane::site::cli::batch
