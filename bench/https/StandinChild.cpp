#include "https/StandinChild.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "orvane/site/standin/standin_options.h"
#include "orvane/site/standin/standin_server.h"

namespace orvane::site::bench {
namespace {

void writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

std::string readAll(int fd) {
  std::string text;
  char buffer[512];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return text;
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

[[noreturn]] void serve(int workerThreads, int reportFd, int controlFd) {
  const int devNull = open("/dev/null", O_WRONLY);
  if (devNull >= 0) dup2(devNull, STDOUT_FILENO);
  try {
    standin::StandinOptions options;
    options.workerThreads = static_cast<std::size_t>(workerThreads);
    standin::StandinServer server(options);
    server.start();
    writeAll(reportFd, std::to_string(server.port()) + "\n" + server.caFile().string() + "\n" +
                           standin::StandinOptions::kDemoKey + "\n");
    close(reportFd);
    char byte;
    while (read(controlFd, &byte, 1) > 0) {
    }
    server.stop();
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "stand-in: %s\n", failure.what());
    _exit(1);
  }
  _exit(0);
}

}  // namespace

StandinChild::~StandinChild() { stop(); }

void StandinChild::start(int workerThreads) {
  int report[2];
  int control[2];
  if (pipe(report) != 0 || pipe(control) != 0) {
    std::perror("pipe");
    std::exit(1);
  }
  std::fflush(nullptr);
  pid_ = fork();
  if (pid_ < 0) {
    std::perror("fork");
    std::exit(1);
  }
  if (pid_ == 0) {
    close(report[0]);
    close(control[1]);
    serve(workerThreads, report[1], control[0]);
  }
  close(report[1]);
  close(control[0]);
  control_ = control[1];
  fcntl(control_, F_SETFD, FD_CLOEXEC);
  const std::string text = readAll(report[0]);
  close(report[0]);
  const std::size_t first = text.find('\n');
  const std::size_t second = first == std::string::npos ? first : text.find('\n', first + 1);
  const std::size_t third = second == std::string::npos ? second : text.find('\n', second + 1);
  if (third == std::string::npos) {
    std::fprintf(stderr, "the stand-in did not start\n");
    std::exit(1);
  }
  host_ = "127.0.0.1:" + text.substr(0, first);
  caFile_ = text.substr(first + 1, second - first - 1);
  apiKey_ = text.substr(second + 1, third - second - 1);
}

void StandinChild::stop() {
  if (pid_ <= 0) return;
  close(control_);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

}  // namespace orvane::site::bench
