#pragma once

#include <memory>

#include "BatchFlags.h"
#include "BatchOperation.h"
#include "InputReader.h"
#include "OutputLock.h"
#include "OutputWriter.h"
#include "ResumeScan.h"

namespace orvane::site::cli {

/// Where a job writes: the locked output file (or standard output) and where it carries on.
struct PreparedOutput {
  std::unique_ptr<batch::LockedOutput> file;
  int fd = -1;
  batch::ResumePoint resume;
};

/// Locks the output, and with --resume checks that the job is the one the output was started
/// with (its journal) and that every kept record echoes its input row, reading those rows from
/// `reader`; only then cuts what will be redone. A fresh output gets a new journal. Throws
/// batch::JobRefused (the output left as it was) or UsageError when the job must not run.
PreparedOutput prepareOutput(const BatchFlags& flags, batch::InputFormat inputFormat,
                             batch::OutputFileFormat outputFormat,
                             const batch::BatchOperation& operation, batch::InputReader& reader);

}  // namespace orvane::site::cli
