#include "support/ProcessStats.h"

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace orvane::site::bench {
namespace {

std::int64_t statusKilobytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, key.size(), key) == 0 && line.size() > key.size() &&
        line[key.size()] == ':') {
      return std::strtoll(line.c_str() + key.size() + 1, nullptr, 10);
    }
  }
  return 0;
}

template <class Visit>
void forEachTask(Visit visit) {
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] != '.') visit(std::string(entry->d_name));
  }
  closedir(tasks);
}

}  // namespace

int threadCount() {
  int count = 0;
  forEachTask([&](const std::string&) { ++count; });
  return count;
}

int threadCountNamed(const std::string& name) {
  constexpr std::size_t kThreadNameBytes = 15;
  const std::string wanted = name.substr(0, kThreadNameBytes);
  int count = 0;
  forEachTask([&](const std::string& task) {
    std::ifstream comm("/proc/self/task/" + task + "/comm");
    std::string taskName;
    std::getline(comm, taskName);
    if (taskName == wanted) ++count;
  });
  return count;
}

std::int64_t residentBytes() { return statusKilobytes("VmRSS") * 1024; }

std::int64_t peakResidentBytes() { return statusKilobytes("VmHWM") * 1024; }

bool resetPeakResident() {
  std::ofstream clearRefs("/proc/self/clear_refs");
  clearRefs << "5";
  clearRefs.flush();
  return static_cast<bool>(clearRefs);
}

}  // namespace orvane::site::bench
