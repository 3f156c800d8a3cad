#include "RedisConnection.h"

#include <hiredis/hiredis.h>
#include <poll.h>

#include <cerrno>
#include <utility>

namespace orvane::site::redis {
namespace {

timeval toTimeval(std::chrono::milliseconds duration) {
  timeval value{};
  value.tv_sec = static_cast<decltype(value.tv_sec)>(duration.count() / 1000);
  value.tv_usec = static_cast<decltype(value.tv_usec)>((duration.count() % 1000) * 1000);
  return value;
}

Reply toReply(const redisReply& raw) {
  Reply reply;
  switch (raw.type) {
    case REDIS_REPLY_INTEGER:
      reply.kind = Reply::Kind::integer;
      reply.integer = raw.integer;
      break;
    case REDIS_REPLY_STRING:
    case REDIS_REPLY_STATUS:
      reply.kind = Reply::Kind::text;
      reply.text.assign(raw.str, raw.len);
      break;
    case REDIS_REPLY_ERROR:
      reply.kind = Reply::Kind::error;
      reply.text.assign(raw.str, raw.len);
      break;
    default:
      reply.kind = Reply::Kind::other;
      break;
  }
  return reply;
}

}  // namespace

RedisConnection::~RedisConnection() { close(); }

void RedisConnection::close() noexcept {
  if (context_ != nullptr) redisFree(context_);
  context_ = nullptr;
}

bool RedisConnection::fail(std::string what, std::string& error) {
  timedOut_ = what == "timed out";
  error = std::move(what);
  close();
  return false;
}

bool RedisConnection::open(const ConnectionSettings& settings, std::string& error) {
  close();
  const timeval connectTimeout = toTimeval(settings.connectTimeout);
  context_ = settings.unixSocket.empty()
                 ? redisConnectWithTimeout(settings.host.c_str(), settings.port, connectTimeout)
                 : redisConnectUnixWithTimeout(settings.unixSocket.c_str(), connectTimeout);
  if (context_ == nullptr) return fail("cannot allocate a Redis connection", error);
  if (context_->err != 0) return fail(std::string("cannot connect: ") + context_->errstr, error);
  // Writes block at most this long; reads wait through poll with their own deadline.
  if (redisSetTimeout(context_, connectTimeout) != REDIS_OK) {
    return fail("cannot set the socket time-outs", error);
  }

  std::vector<std::vector<std::string>> greeting;
  if (!settings.password.empty()) {
    if (settings.user.empty()) {
      greeting.push_back({"AUTH", settings.password});
    } else {
      greeting.push_back({"AUTH", settings.user, settings.password});
    }
  }
  if (settings.database != 0) greeting.push_back({"SELECT", std::to_string(settings.database)});
  if (greeting.empty()) return true;

  std::vector<Reply> replies;
  if (!pipeline(greeting, settings.connectTimeout, replies, error)) return false;
  for (const Reply& reply : replies) {
    // The server's answer to AUTH names no secret; it is safe to pass on.
    if (reply.kind == Reply::Kind::error) return fail("refused: " + reply.text, error);
  }
  return true;
}

bool RedisConnection::pipeline(const std::vector<std::vector<std::string>>& commands,
                               std::chrono::milliseconds timeout, std::vector<Reply>& replies,
                               std::string& error) {
  if (context_ == nullptr) return fail("not connected", error);

  std::vector<const char*> argv;
  std::vector<std::size_t> lengths;
  for (const auto& command : commands) {
    argv.clear();
    lengths.clear();
    for (const std::string& argument : command) {
      argv.push_back(argument.data());
      lengths.push_back(argument.size());
    }
    if (redisAppendCommandArgv(context_, static_cast<int>(argv.size()), argv.data(),
                               lengths.data()) != REDIS_OK) {
      return fail("cannot queue a command", error);
    }
  }
  int written = 0;
  while (written == 0) {
    if (redisBufferWrite(context_, &written) != REDIS_OK) {
      return fail(std::string("cannot send: ") + context_->errstr, error);
    }
  }

  replies.clear();
  replies.reserve(commands.size());
  for (std::size_t i = 0; i < commands.size(); ++i) {
    // Each reply has the whole time-out: a long batch is fine while Redis keeps answering.
    Reply reply;
    if (!readReply(std::chrono::steady_clock::now() + timeout, reply, error)) return false;
    replies.push_back(std::move(reply));
  }
  return true;
}

bool RedisConnection::readReply(std::chrono::steady_clock::time_point deadline, Reply& reply,
                                std::string& error) {
  for (;;) {
    void* raw = nullptr;
    if (redisGetReplyFromReader(context_, &raw) != REDIS_OK) {
      return fail(std::string("unreadable reply: ") + context_->errstr, error);
    }
    if (raw != nullptr) {
      reply = toReply(*static_cast<redisReply*>(raw));
      freeReplyObject(raw);
      return true;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return fail("timed out", error);
    pollfd ready{context_->fd, POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled < 0) return fail("cannot wait for the reply", error);
    if (polled == 0) return fail("timed out", error);
    if (redisBufferRead(context_) != REDIS_OK) {
      return fail(std::string("connection lost: ") + context_->errstr, error);
    }
  }
}

}  // namespace orvane::site::redis
