#include "OutputLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "JobRefused.h"

namespace orvane::site::cli::batch {

LockedOutput::LockedOutput(const std::string& path) : path_(path) {
  // A --retry-failed job renames its new output over the path while holding both locks: a
  // lock taken on the file that was replaced locks nothing, so take it again on the new one.
  for (;;) {
    lockOnce();
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd_, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
        opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
      return;
    }
    ::close(fd_);
  }
}

void LockedOutput::lockOnce() {
  const std::string& path = path_;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
  int locked = 0;
  do {
    locked = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    const int why = errno;
    ::close(fd_);
    if (why == EWOULDBLOCK) {
      throw JobRefused(
          "another batch job is writing " + path +
          " (it holds the file's lock): wait for it to end or choose another --output");
    }
    throw std::runtime_error("cannot lock " + path + ": " + std::strerror(why));
  }
}

LockedOutput::~LockedOutput() {
  if (fd_ >= 0) ::close(fd_);
}

void LockedOutput::keepOnly(unsigned long long size) {
  const auto keep = static_cast<off_t>(size);
  if (::ftruncate(fd_, keep) != 0 || ::lseek(fd_, keep, SEEK_SET) != keep) {
    throw std::runtime_error("cannot cut " + path_ + ": " + std::strerror(errno));
  }
}

}  // namespace orvane::site::cli::batch
