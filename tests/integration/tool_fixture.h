// The command-line tool's tests' fixture: a stand-in for the suite, a directory per test, and
// the tool run as a process against it.
#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <orvane/site/standin/standin_server.h>

#include "support/LocalProcess.h"

namespace tool_test {

using orvane::site::standin::StandinOptions;
using orvane::site::standin::StandinServer;

inline const char* const kCities[] = {"Paris", "Tokyo",  "Lima",  "Sydney",
                                      "Cairo", "Berlin", "Madrid"};

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
            kCities[i % std::size(kCities)] + "\"\n";
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
  std::string out;
  std::string err;
  long peakRssKiB = 0;
};

class ToolTest : public ::testing::Test {
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
    dir_ = ::testing::TempDir() + "cli-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  // Starts the tool with `args` as they are, standard output and error going to files. The
  // environment is the test's own without ORVANE_SITE_API_KEY, so that no key leaks in by accident.
  pid_t spawn(std::vector<std::string> args) {
    args.insert(args.begin(), ORVANE_SITE_CLI_PATH);
    const pid_t pid = orvane::site::testkit::spawnProcess(
        std::move(args), {"/dev/null", path("out"), path("err")}, {"ORVANE_SITE_API_KEY"});
    EXPECT_NE(pid, 0) << "cannot start " << ORVANE_SITE_CLI_PATH;
    return pid;
  }

  // Starts the tool against the test's stand-in with `key`. `globals` come before the command,
  // which is `batch` unless `command` is empty.
  pid_t start(const std::vector<std::string>& args, const std::string& key,
              const std::vector<std::string>& globals = {}, const std::string& command = "batch") {
    std::vector<std::string> all = globals;
    all.insert(all.begin(),
               {"--host", server_->host(), "--ca-file", server_->caFile().string(), "--key", key});
    if (!command.empty()) all.push_back(command);
    all.insert(all.end(), args.begin(), args.end());
    return spawn(std::move(all));
  }

  ToolRun finish(pid_t pid) {
    if (pid == 0) return {};
    const auto end = orvane::site::testkit::waitForProcess(pid);
    return ToolRun{end.exitCode, end.signal, readFile(path("out")), readFile(path("err")),
                   end.peakRssKiB};
  }

  ToolRun run(const std::vector<std::string>& args,
              const std::string& key = StandinOptions::kDemoKey) {
    return finish(start(args, key));
  }

  static inline StandinServer* server_ = nullptr;
  std::string dir_;
};

}  // namespace tool_test
