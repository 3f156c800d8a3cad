#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvane::site::cli::batch {

/// What identifies a job: its operation, the options that shape its output and a fingerprint
/// of its input, as "name: value" entries. A resumed job must have the same.
class JobIdentity {
 public:
  void add(const std::string& name, const std::string& value);

  /// "name: was X, now Y" for each entry that differs, joined by "; "; empty when alike.
  std::string differencesFrom(const JobIdentity& earlier) const;

  std::string text() const;
  /// Nothing when `text` is not a journal of this format.
  static std::optional<JobIdentity> parse(const std::string& text);

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
};

/// "N bytes, fnv1a-64 HEX" of a regular file, read once in pieces; "standard input" for "-";
/// "not a regular file" for pipes and devices, which cannot be read twice. Throws
/// std::runtime_error when the file cannot be read.
std::string inputFingerprint(const std::string& path);

/// The journal kept beside an output: OUTPUT.journal.
std::string journalPath(const std::string& output);

/// The identity in the journal, or nothing when there is none or it is not one.
std::optional<JobIdentity> readJournal(const std::string& output);

/// Writes the journal whole (a new file renamed over the old one), so that a kill leaves the
/// old one or the new one. Throws std::runtime_error when it cannot.
void writeJournal(const std::string& output, const JobIdentity& identity);

}  // namespace orvane::site::cli::batch
