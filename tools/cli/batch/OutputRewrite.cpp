#include "OutputRewrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "OutputWriter.h"

namespace orvane::site::cli::batch {

std::string OutputRewrite::pathFor(const std::string& output) { return output + ".rewrite"; }

OutputRewrite::OutputRewrite(std::string output, std::uint64_t keptEnd)
    : output_(std::move(output)), path_(pathFor(output_)), keptEnd_(keptEnd) {
  kept_ = ::open(output_.c_str(), O_RDONLY | O_CLOEXEC);
  if (kept_ < 0) {
    throw std::runtime_error("cannot read " + output_ + ": " + std::strerror(errno));
  }
  try {
    fresh_ = std::make_unique<LockedOutput>(path_);
    fresh_->keepOnly(0);  // what a crashed rewrite left
  } catch (...) {
    ::close(kept_);
    throw;
  }
}

OutputRewrite::~OutputRewrite() {
  if (!committed_ && fresh_) ::unlink(path_.c_str());
  if (kept_ >= 0) ::close(kept_);
}

void OutputRewrite::commit(std::uint64_t from) {
  if (from < keptEnd_) copyBytes(kept_, from, keptEnd_, fresh_->fd());
  // Durable before it takes the output's name, so that even a power cut leaves a whole file.
  if (::fsync(fresh_->fd()) != 0) {
    throw std::runtime_error("cannot write " + path_ + ": " + std::strerror(errno));
  }
  if (std::rename(path_.c_str(), output_.c_str()) != 0) {
    throw std::runtime_error("cannot rename " + path_ + " to " + output_ + ": " +
                             std::strerror(errno));
  }
  committed_ = true;
}

}  // namespace orvane::site::cli::batch
