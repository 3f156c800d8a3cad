#pragma once

#include <memory>

#include "BatchFlags.h"
#include "BatchOperation.h"
#include "InputReader.h"
#include "OutputLock.h"
#include "OutputRewrite.h"
#include "OutputWriter.h"
#include "ResumeScan.h"
#include "RetryPlan.h"

namespace orvane::site::cli {

/// Where a job writes: the locked output file (or standard output) and where it carries on.
struct PreparedOutput {
  std::unique_ptr<batch::LockedOutput> file;
  int fd = -1;
  batch::ResumePoint resume;
  /// With --retry-failed and kept rows marked retry-later: the new output the job writes
  /// (at `fd`), and the plan of the kept part; otherwise empty.
  std::unique_ptr<batch::OutputRewrite> rewrite;
  batch::RetryPlan retry;
};

/// Locks the output, and with --resume checks that the job is the one the output was started
/// with (its journal) and that every kept record echoes its input row, reading those rows from
/// `reader`; only then cuts what will be redone, or with --retry-failed starts the rewrite that
/// redoes the kept rows marked retry-later. A fresh output gets a new journal. Throws
/// batch::JobRefused (the output left as it was) or UsageError when the job must not run.
PreparedOutput prepareOutput(const BatchFlags& flags, batch::InputFormat inputFormat,
                             batch::OutputFileFormat outputFormat,
                             const batch::BatchOperation& operation, batch::InputReader& reader);

}  // namespace orvane::site::cli
