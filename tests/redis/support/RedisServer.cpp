#include "support/RedisServer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "support/LocalProcess.h"

namespace orvane::site::testkit {
namespace {

std::string encode(const std::vector<std::string>& words) {
  std::string out = "*" + std::to_string(words.size()) + "\r\n";
  for (const std::string& word : words) {
    out += "$" + std::to_string(word.size()) + "\r\n" + word + "\r\n";
  }
  return out;
}

// Reads one line of the reply (up to CR LF) from the socket.
std::string readLine(int fd) {
  std::string line;
  char c = 0;
  while (read(fd, &c, 1) == 1) {
    if (c == '\n') break;
    if (c != '\r') line.push_back(c);
  }
  return line;
}

}  // namespace

RedisServer::RedisServer(std::vector<std::string> extraArguments)
    : extraArguments_(std::move(extraArguments)) {
  std::string pattern = ::testing::TempDir() + "/orvane-redis-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "cannot make a temporary directory for redis-server";
    return;
  }
  directory_ = pattern;
  // Another process may take the free port between the look-up and the start: try again.
  for (int attempt = 0; attempt < 5 && pid_ < 0; ++attempt) {
    port_ = unusedLocalPort();
    start();
  }
  if (pid_ < 0) ADD_FAILURE() << "redis-server did not start (is it installed?)";
}

RedisServer::~RedisServer() {
  stop();
  if (!directory_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }
}

void RedisServer::start() {
  if (pid_ >= 0 || port_ == 0) return;
  std::vector<std::string> arguments = extraArguments_;
  arguments.insert(arguments.begin(),
                   {"redis-server", "--port", std::to_string(port_), "--bind", "127.0.0.1", "--dir",
                    directory_, "--unixsocket", unixSocket(), "--unixsocketperm", "700", "--save",
                    "", "--appendonly", "no", "--logfile", directory_ + "/redis.log"});
  const pid_t child = spawnProcess(std::move(arguments));
  if (child == 0) return;
  pid_ = child;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {  // exited: port taken, or not installed
      pid_ = -1;
      return;
    }
    if (answersPing()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  stop();
}

void RedisServer::stop() {
  if (pid_ < 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

bool RedisServer::answersPing() const {
  const std::string reply = command({"PING"});
  return reply == "+PONG" || reply.rfind("-NOAUTH", 0) == 0;
}

std::string RedisServer::command(const std::vector<std::string>& words,
                                 const std::string& password) const {
  const int fd = connectToLocalPort(port_);
  if (fd < 0) return {};
  const std::string request =
      (password.empty() ? std::string() : encode({"AUTH", password})) + encode(words);
  std::string reply;
  if (write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
    if (!password.empty()) readLine(fd);  // AUTH's +OK
    reply = readLine(fd);
  }
  close(fd);
  return reply;
}

}  // namespace orvane::site::testkit
