#pragma once

#include <string>

namespace orvane::site::cli::batch {

/// The output file, opened for writing without cutting it and locked for this job alone
/// (flock). The lock lasts while the descriptor is open, and a killed job's goes with it.
class LockedOutput {
 public:
  /// Throws JobRefused when another job holds the lock, std::runtime_error when the file
  /// cannot be opened.
  explicit LockedOutput(const std::string& path);
  ~LockedOutput();
  LockedOutput(const LockedOutput&) = delete;
  LockedOutput& operator=(const LockedOutput&) = delete;

  int fd() const { return fd_; }

  /// Cuts the file to `size` bytes and writes on from there.
  void keepOnly(unsigned long long size);

 private:
  void lockOnce();

  std::string path_;
  int fd_ = -1;
};

}  // namespace orvane::site::cli::batch
