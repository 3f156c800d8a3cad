#include "Journal.h"

#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace orvane::site::cli::batch {
namespace {

constexpr const char* kFirstLine = "orvane-site batch journal 1";
constexpr std::size_t kReadPiece = 1 << 16;

}  // namespace

void JobIdentity::add(const std::string& name, const std::string& value) {
  entries_.emplace_back(name, value);
}

std::string JobIdentity::differencesFrom(const JobIdentity& earlier) const {
  std::string text;
  const auto valueIn = [](const JobIdentity& identity, const std::string& name) {
    std::string joined;
    for (const auto& [entry, value] : identity.entries_) {
      if (entry == name) joined += (joined.empty() ? "" : " ") + value;
    }
    return joined.empty() ? std::string("(none)") : joined;
  };
  std::vector<std::string> names;
  for (const auto* identity : {&earlier, this}) {
    for (const auto& entry : identity->entries_) {
      bool seen = false;
      for (const auto& name : names) seen = seen || name == entry.first;
      if (!seen) names.push_back(entry.first);
    }
  }
  for (const auto& name : names) {
    const std::string was = valueIn(earlier, name);
    const std::string now = valueIn(*this, name);
    if (was == now) continue;
    if (!text.empty()) text += "; ";
    text += name + ": was " + was + ", now " + now;
  }
  return text;
}

std::string JobIdentity::text() const {
  std::string text = std::string(kFirstLine) + "\n";
  for (const auto& [name, value] : entries_) text += name + ": " + value + "\n";
  return text;
}

std::optional<JobIdentity> JobIdentity::parse(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kFirstLine) return std::nullopt;
  JobIdentity identity;
  while (std::getline(in, line)) {
    const auto colon = line.find(": ");
    if (colon == std::string::npos) return std::nullopt;
    identity.add(line.substr(0, colon), line.substr(colon + 2));
  }
  return identity;
}

std::string inputFingerprint(const std::string& path) {
  if (path == "-") return "standard input";
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return "not a regular file";
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
  // FNV-1a: cheap, streaming, and enough to tell one input from another (not an adversary).
  std::uint64_t hash = 14695981039346656037ULL;
  std::uint64_t bytes = 0;
  std::string piece(kReadPiece, '\0');
  while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
    const auto count = static_cast<std::size_t>(in.gcount());
    for (std::size_t i = 0; i < count; ++i) {
      hash = (hash ^ static_cast<unsigned char>(piece[i])) * 1099511628211ULL;
    }
    bytes += count;
  }
  if (in.bad()) throw std::runtime_error("cannot read " + path);
  char text[64];
  std::snprintf(text, sizeof text, "%" PRIu64 " bytes, fnv1a-64 %016" PRIx64, bytes, hash);
  return text;
}

std::string journalPath(const std::string& output) { return output + ".journal"; }

std::optional<JobIdentity> readJournal(const std::string& output) {
  std::ifstream in(journalPath(output), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return JobIdentity::parse(text.str());
}

void writeJournal(const std::string& output, const JobIdentity& identity) {
  const std::string path = journalPath(output);
  const std::string fresh = path + ".new";
  {
    std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
    out << identity.text();
    out.flush();
    if (!out) throw std::runtime_error("cannot write " + fresh + ": " + std::strerror(errno));
  }
  if (std::rename(fresh.c_str(), path.c_str()) != 0) {
    throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
  }
}

}  // namespace orvane::site::cli::batch
