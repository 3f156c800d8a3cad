#include "logging/LogWriter.h"

#include <pthread.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX pthread_sigmask

#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <thread>
#include <utility>

#include "logging/Logger.h"

namespace orvane::site::internal {
namespace {

thread_local bool tOnWriterThread = false;

// Per line, beyond its text: the entry itself and the allocator's share.
constexpr std::size_t kEntryOverhead = 64;

// At exit the flush waits while lines keep being written, and gives up after this long without
// progress (an unread pipe) or this long in all.
constexpr auto kExitStall = std::chrono::milliseconds(500);
constexpr auto kExitLimit = std::chrono::seconds(5);

std::size_t sizeOf(const LogEntry& entry) {
  return entry.head.size() + entry.message.size() + kEntryOverhead;
}

// Writes every byte of the pieces, resuming after partial writes. Gives up on an error: a line
// that cannot be written has nowhere better to go.
void writeAll(std::array<iovec, 11>& pieces, std::size_t count) {
  iovec* next = pieces.data();
  while (count > 0) {
    const ssize_t written = ::writev(STDOUT_FILENO, next, static_cast<int>(count));
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    auto left = static_cast<std::size_t>(written);
    while (count > 0 && left >= next->iov_len) {
      left -= next->iov_len;
      ++next;
      --count;
    }
    if (count > 0) {
      next->iov_base = static_cast<char*>(next->iov_base) + left;
      next->iov_len -= left;
    }
  }
}

iovec piece(std::string_view text) {
  // writev only reads through the pointer.
  return iovec{const_cast<char*>(text.data()), text.size()};
}

// Standard output is written with the system call, not through stdio: a write blocked on a full
// pipe then holds no stdio lock, which the application's own output and the flush at process
// exit would wait for. The line's pieces go out where they lie, in one call when they fit.
void writeToStandardOutput(const LogEntry& entry, const std::string& loggerName) {
  const std::string_view head(entry.head);
  std::array<iovec, 11> pieces{};
  std::size_t count = 0;
  pieces[count++] = piece("[");
  pieces[count++] = piece(loggerName);
  pieces[count++] = piece("][");
  pieces[count++] = piece(head.substr(0, entry.sourceLength));
  pieces[count++] = piece(".");
  pieces[count++] = piece(head.substr(entry.sourceLength));
  pieces[count++] = piece("] ");
  pieces[count++] = piece(logLevelName(entry.level));
  if (entry.hasMessage) {
    pieces[count++] = piece(": ");
    pieces[count++] = piece(entry.message);
  }
  pieces[count++] = piece("\n");
  writeAll(pieces, count);
}

}  // namespace

LogWriter& LogWriter::shared() {
  static auto* const instance = new LogWriter();  // never destroyed: threads log until the end
  return *instance;
}

void LogWriter::write(const LogEntry& entry, const std::string& loggerName) {
  const std::string_view head(entry.head);
  const std::string_view source = head.substr(0, entry.sourceLength);
  const std::string_view function = head.substr(entry.sourceLength);
  if (!entry.sink || (!entry.sink->line && !entry.sink->record)) {
    writeToStandardOutput(entry, loggerName);
    return;
  }
  if (entry.sink->record) {
    LogRecord record;
    record.level = entry.level;
    record.source = source;
    record.function = function;
    if (entry.hasMessage) record.message = std::string_view(entry.message);
    record.time = entry.time;
    entry.sink->record(record);
    return;
  }
  const std::string_view level = logLevelName(entry.level);
  std::string line;
  line.reserve(loggerName.size() + head.size() + level.size() + entry.message.size() + 8);
  line.append("[").append(loggerName).append("][");
  line.append(source).append(".").append(function).append("] ").append(level);
  if (entry.hasMessage) line.append(": ").append(entry.message);
  entry.sink->line(line);
}

bool LogWriter::push(LogEntry&& entry) noexcept {
  const std::size_t size = sizeOf(entry);
  std::unique_lock<std::mutex> lock(mutex_);
  if (!started_ && !startFailed_ && !startLocked()) startFailed_ = true;
  const bool fits =
      pending_.size() < maxLines_ && (pendingBytes_ + size <= maxBytes_ || pending_.empty());
  if (closed_ || startFailed_ || !fits) {
    if (!fits) full_.store(true, std::memory_order_relaxed);
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  entry.sink = sink_;
  try {
    pending_.push_back(std::move(entry));
  } catch (...) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  pendingBytes_ += size;
  ++accepted_;
  lock.unlock();
  pendingReady_.notify_one();
  return true;
}

void LogWriter::setSink(std::shared_ptr<const LogEntry::Sink> sink) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sink_ = std::move(sink);
  }
  // A sink set up by the application is flushed before the application's own objects that were
  // made before this call are destroyed at exit.
  static const bool registered = std::atexit(&LogWriter::flushAtExit) == 0;
  (void)registered;
}

bool LogWriter::startLocked() {
  // The thread starts with every signal blocked: the application's handlers run on its own
  // threads, and a write to a closed pipe fails instead of raising SIGPIPE.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  try {
    std::thread([this] { run(); }).detach();
    started_ = true;
  } catch (...) {
    started_ = false;
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (started_) {
    (void)std::atexit(&LogWriter::flushAtExit);
    static const bool forkHandled =
        pthread_atfork(&LogWriter::beforeFork, &LogWriter::afterForkInParent,
                       &LogWriter::afterForkInChild) == 0;
    (void)forkHandled;
  }
  return started_;
}

// A child process has no writer thread: it starts its own with its first line. The lines
// pending at the fork are the parent's to write.
void LogWriter::beforeFork() { shared().mutex_.lock(); }

void LogWriter::afterForkInParent() { shared().mutex_.unlock(); }

void LogWriter::afterForkInChild() {
  LogWriter& writer = shared();
  writer.started_ = false;
  writer.pending_.clear();
  writer.pendingBytes_ = 0;
  writer.done_ = writer.accepted_;
  writer.mutex_.unlock();
}

void LogWriter::run() {
  tOnWriterThread = true;
  pthread_setname_np(pthread_self(), "orvane-site-log");
  const std::string& loggerName = Logger::shared().name();
  std::vector<LogEntry> batch;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    pendingReady_.wait(lock, [this] { return !pending_.empty(); });
    batch.swap(pending_);
    pendingBytes_ = 0;
    full_.store(false, std::memory_order_relaxed);
    lock.unlock();
    for (LogEntry& entry : batch) {
      if (closed_) break;  // read without the lock: a late line is merely dropped
      try {
        write(entry, loggerName);
      } catch (...) {
        // A failing sink loses its line, not the logger.
      }
    }
    const std::size_t count = batch.size();
    batch.clear();
    lock.lock();
    done_ += count;
    written_.notify_all();
  }
}

bool LogWriter::flush(std::chrono::nanoseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  const std::uint64_t target = accepted_;
  if (tOnWriterThread || mustNeverWaitForLog()) return done_ >= target;
  return written_.wait_for(lock, timeout, [this, target] { return done_ >= target; });
}

void LogWriter::flushAtExit() {
  LogWriter& writer = shared();
  std::unique_lock<std::mutex> lock(writer.mutex_);
  if (writer.closed_) return;
  if (!tOnWriterThread) {
    const std::uint64_t target = writer.accepted_;
    const auto giveUp = std::chrono::steady_clock::now() + kExitLimit;
    while (writer.done_ < target && std::chrono::steady_clock::now() < giveUp) {
      const std::uint64_t before = writer.done_;
      writer.written_.wait_for(lock, kExitStall, [&] { return writer.done_ >= target; });
      if (writer.done_ == before) break;  // no progress: the sink is stuck
    }
  }
  // From now on the objects a sink uses may be destroyed: no sink is called any more.
  writer.closed_ = true;
}

std::uint64_t LogWriter::dropped() const noexcept {
  return dropped_.load(std::memory_order_relaxed);
}

void LogWriter::setLimitsForTesting(std::size_t maxLines, std::size_t maxBytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  maxLines_ = maxLines;
  maxBytes_ = maxBytes;
}

}  // namespace orvane::site::internal
