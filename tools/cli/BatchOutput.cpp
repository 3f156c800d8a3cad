#include "BatchOutput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

#include "ExitStatus.h"
#include "JobRefused.h"
#include "Journal.h"
#include "KeptRecords.h"

namespace orvane::site::cli {
namespace {

using namespace batch;

const char* inputFormatName(InputFormat format) {
  switch (format) {
    case InputFormat::csv:
      return "csv";
    case InputFormat::jsonLines:
      return "jsonl";
    case InputFormat::lines:
      return "lines";
  }
  return "unknown";
}

// What must stay the same for kept rows to be rows of this job.
JobIdentity identityOf(const BatchFlags& flags, InputFormat inputFormat,
                       OutputFileFormat outputFormat) {
  JobIdentity identity;
  identity.add("operation", flags.operation);
  identity.add("input-format", inputFormatName(inputFormat));
  identity.add("output-format", outputFormat == OutputFileFormat::csv ? "csv" : "jsonl");
  identity.add("all-places", flags.allPlaces ? "yes" : "no");
  std::vector<std::string> columns = flags.columns;
  std::sort(columns.begin(), columns.end());
  for (const auto& column : columns) identity.add("column", column);
  identity.add("input", inputFingerprint(flags.input));
  return identity;
}

std::string startOver() { return "; --overwrite starts the job over"; }

// The job must be the journal's; an output with rows and no journal cannot be vouched for.
void checkJournal(const BatchFlags& flags, const JobIdentity& identity,
                  const std::optional<JobIdentity>& journal) {
  if (!journal) {
    throw JobRefused("cannot resume " + flags.output + ": it has no journal (" +
                     journalPath(flags.output) + ") to say which job wrote it" + startOver());
  }
  const std::string differences = identity.differencesFrom(*journal);
  if (!differences.empty()) {
    throw JobRefused("cannot resume " + flags.output + ": it was written by another job (" +
                     differences + ")" + startOver());
  }
}

}  // namespace

PreparedOutput prepareOutput(const BatchFlags& flags, InputFormat inputFormat,
                             OutputFileFormat outputFormat, const BatchOperation& operation,
                             InputReader& reader) {
  PreparedOutput prepared;
  if (flags.output == "-") {
    if (flags.resume) throw UsageError("--resume needs --output FILE");
    prepared.fd = STDOUT_FILENO;
    return prepared;
  }
  // Locked before anything is read or cut, so that a second job changes nothing.
  prepared.file = std::make_unique<LockedOutput>(flags.output);
  prepared.fd = prepared.file->fd();
  struct stat status {};
  if (::fstat(prepared.fd, &status) != 0) {
    throw std::runtime_error("cannot read " + flags.output + ": " + std::strerror(errno));
  }
  if (!S_ISREG(status.st_mode)) {
    // A device or a pipe (/dev/null, a FIFO): written as rows come, with nothing to cut, keep
    // or vouch for.
    if (flags.resume) throw UsageError("--resume needs --output to be a regular file");
    return prepared;
  }
  const bool exists = status.st_size > 0;
  if (exists && !flags.resume && !flags.overwrite) {
    throw UsageError("the output " + flags.output +
                     " exists: add --resume to carry on or --overwrite to start again");
  }
  const JobIdentity identity = identityOf(flags, inputFormat, outputFormat);
  if (flags.resume && exists) {
    // The journal first: another job's output may not even scan as this one's.
    const auto journal = readJournal(flags.output);
    if (journal) checkJournal(flags, identity, journal);
    std::ifstream previous(flags.output, std::ios::binary);
    if (!previous) throw std::runtime_error("cannot read " + flags.output);
    prepared.resume = scanOutput(previous, outputFormat, flags.allPlaces);
    const auto& header = prepared.resume.header;
    if (!header.empty()) {
      auto expected = outputColumns({}, operation.resultColumns(), flags.allPlaces);
      if (header.size() < expected.size() ||
          !std::equal(expected.rbegin(), expected.rend(), header.rbegin())) {
        throw JobRefused("cannot resume: " + flags.output + " was not written by batch " +
                         flags.operation + startOver());
      }
    }
    if (!header.empty() || prepared.resume.rowsDone > 0) {
      checkJournal(flags, identity, journal);
      std::ifstream kept(flags.output, std::ios::binary);
      checkKeptRecords(reader, kept, outputFormat, operation.resultColumns(), flags.allPlaces,
                       prepared.resume, flags.retryFailed ? &prepared.retry : nullptr);
      if (prepared.retry.redoRows > 0) {
        // The kept output stays as it is until the new one replaces it whole.
        prepared.rewrite = std::make_unique<OutputRewrite>(flags.output, prepared.resume.keepBytes);
        prepared.fd = prepared.rewrite->fd();
        return prepared;
      }
      prepared.retry = RetryPlan{};
      // Cut what a kill left half-written; the rows from there on are done again.
      prepared.file->keepOnly(prepared.resume.keepBytes);
      return prepared;
    }
  }
  prepared.resume = ResumePoint{};
  prepared.file->keepOnly(0);
  writeJournal(flags.output, identity);
  return prepared;
}

}  // namespace orvane::site::cli
