// The batch tests' fixture: a stand-in for the suite, a directory per test, and the tool run
// as a process against it.
#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <orvane/site/standin/standin_server.h>

#include "support/LocalProcess.h"

extern char** environ;

namespace batch_cli {

using orvane::site::standin::StandinOptions;
using orvane::site::standin::StandinServer;

inline const char* const kCities[] = {"Paris", "Tokyo",  "Lima",  "Sydney",
                                      "Cairo", "Berlin", "Madrid"};
inline constexpr std::size_t kCityCount = sizeof kCities / sizeof kCities[0];

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) result.push_back(line);
  return result;
}

// "id,address" rows whose addresses name places of the stand-in's data set.
inline std::string addressCsv(std::size_t rows) {
  std::string text = "id,address\n";
  for (std::size_t i = 0; i < rows; ++i) {
    text += std::to_string(i) + ",\"" + std::to_string(i) + " Main Street, " +
            kCities[i % kCityCount] + "\"\n";
  }
  return text;
}

// Waits for a sign that work is under way, never for a guessed moment: true once `ready` holds.
template <typename Ready>
bool waitUntil(Ready ready, std::chrono::seconds limit = std::chrono::seconds(60)) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!ready()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

inline std::size_t lineCount(const std::string& path) {
  const std::string text = readFile(path);
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

struct ToolRun {
  int exitCode = -1;
  int signal = 0;
  std::string err;
  long peakRssKiB = 0;
};

class BatchCli : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new StandinServer();
    server_->start();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    dir_ = ::testing::TempDir() + "batch-cli-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  // Starts the tool against the test's stand-in; standard error goes to a file. `globals` come
  // before the command, which is `batch` unless `command` is empty.
  pid_t start(const std::vector<std::string>& args, const std::string& key,
              const std::vector<std::string>& globals = {}, const std::string& command = "batch") {
    std::vector<std::string> strings{ORVANE_SITE_CLI_PATH,
                                     "--host",
                                     server_->host(),
                                     "--ca-file",
                                     server_->caFile().string(),
                                     "--key",
                                     key};
    strings.insert(strings.end(), globals.begin(), globals.end());
    if (!command.empty()) strings.push_back(command);
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : strings) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(spawned, 0);
    return pid;
  }

  ToolRun finish(pid_t pid) {
    ToolRun run;
    int status = 0;
    struct rusage usage {};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
    while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::wait4(pid, &status, 0, &usage);
        ADD_FAILURE() << "the tool did not end within 300 s";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    run.peakRssKiB = usage.ru_maxrss;
    run.err = readFile(path("err"));
    return run;
  }

  ToolRun run(const std::vector<std::string>& args,
              const std::string& key = StandinOptions::kDemoKey) {
    return finish(start(args, key));
  }

  static inline StandinServer* server_ = nullptr;
  std::string dir_;
};

}  // namespace batch_cli
