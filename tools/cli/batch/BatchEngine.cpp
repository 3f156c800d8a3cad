#include "BatchEngine.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ReorderWindow.h"

namespace orvane::site::cli::batch {
namespace {

using Clock = std::chrono::steady_clock;

// Redraws the progress bar and checks for Ctrl-C at least this often.
constexpr auto kTick = std::chrono::milliseconds(100);
// Connection failures in a row (after some call got through) that end the job.
constexpr int kUnreachableInARow = 3;

struct Completion {
  std::uint64_t sequence;
  RowOutcome outcome;
};

// Where the library's thread hands finished calls to the engine's.
class CompletionQueue {
 public:
  void push(Completion completion) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      items_.push_back(std::move(completion));
    }
    ready_.notify_one();
  }

  // A permit of the rate limiter is due at `due`.
  void permit(Clock::time_point due) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      permitDue_ = due;
      woken_ = true;
    }
    ready_.notify_one();
  }

  std::deque<Completion> takeAll(Clock::duration wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (items_.empty() && wait > Clock::duration::zero()) {
      ready_.wait_for(lock, wait, [this] { return !items_.empty() || woken_; });
    }
    woken_ = false;
    std::deque<Completion> taken;
    taken.swap(items_);
    return taken;
  }

  std::optional<Clock::time_point> takePermit() {
    std::lock_guard<std::mutex> lock(mutex_);
    auto due = permitDue_;
    permitDue_.reset();
    return due;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Completion> items_;
  std::optional<Clock::time_point> permitDue_;
  bool woken_ = false;  // by a permit, once
};

struct Finished {
  InputRow row;
  RowOutcome outcome;
  const KeptStep* kept = nullptr;  // a step of the retry plan
};

struct InFlight {
  InputRow row;
  RowRunner::Cancel cancel;
  const KeptStep* kept = nullptr;
};

class Job {
 public:
  Job(InputReader& input, OutputWriter& output, const BatchOperation& operation, RowRunner& runner,
      const ColumnMap& columns, const EngineSettings& settings, ProgressBar& progress,
      std::function<int()>& interrupts)
      : input_(input),
        output_(output),
        operation_(operation),
        runner_(runner),
        columns_(columns),
        settings_(settings),
        progress_(progress),
        interrupts_(interrupts),
        window_(std::max<std::size_t>(2, 2 * settings.concurrency)) {}

  JobResult run() {
    const auto started = Clock::now();
    skipDoneRows();
    for (;;) {
      noticeInterrupts();
      drain(Clock::duration::zero());
      writeReady();
      if (result_.end == JobEnd::abandoned) break;
      if (stopIssuing_ || inputEnded_) {
        if (inFlight_.empty()) break;
        wait(kTick);
        continue;
      }
      if (inFlight_.size() >= settings_.concurrency || !window_.admits(nextSequence_)) {
        wait(kTick);
        continue;
      }
      if (settings_.limiter && !permitDue()) continue;
      issueNext();
    }
    writeReady();
    output_.finish(input_.columns());
    result_.counts.inFlight = inFlight_.size();
    result_.elapsed = Clock::now() - started;
    progress_.update(result_.counts, true);
    return result_;
  }

 private:
  void skipDoneRows() {
    for (std::uint64_t skipped = 0; skipped < settings_.skipRows; ++skipped) {
      if (!input_.next()) {
        inputEnded_ = true;
        return;
      }
    }
  }

  void noticeInterrupts() {
    const int interrupts = interrupts_ ? interrupts_() : 0;
    if (interrupts >= 1 && !interrupted_) {
      interrupted_ = true;
      stopIssuing_ = true;
      if (result_.end == JobEnd::finished) result_.end = JobEnd::interrupted;
    }
    if (interrupts >= 2 && !cancelled_) {
      cancelled_ = true;
      bool everyCallCancelled = true;
      for (auto& [sequence, call] : inFlight_) {
        if (call.cancel) {
          call.cancel();
        } else {
          everyCallCancelled = false;
        }
      }
      if (!everyCallCancelled) result_.end = JobEnd::abandoned;
    }
    // Cancelled calls come back at once; should one not, a third Ctrl-C stops waiting.
    if (interrupts >= 3) result_.end = JobEnd::abandoned;
  }

  void wait(Clock::duration bound) {
    progress_.update(counts());
    drain(bound);
  }

  const JobCounts& counts() {
    result_.counts.inFlight = inFlight_.size();
    return result_.counts;
  }

  // Whether the rate limiter's permit for the next call is due; otherwise asks for one (once)
  // and waits a little for it, so that Ctrl-C is noticed while the quota is spent.
  bool permitDue() {
    if (auto granted = queue_->takePermit()) {
      permitDue_ = granted;
      permitAsked_ = false;
    }
    if (!permitDue_ && !permitAsked_) {
      permitAsked_ = true;
      std::weak_ptr<CompletionQueue> queue = queue_;
      settings_.limiter->acquire([queue](std::chrono::nanoseconds wait) {
        const auto due = Clock::now() + std::max(wait, std::chrono::nanoseconds(0));
        if (auto alive = queue.lock()) alive->permit(due);
      });
      return false;
    }
    const auto now = Clock::now();
    if (!permitDue_ || *permitDue_ > now) {
      wait(permitDue_ ? std::min<Clock::duration>(*permitDue_ - now, kTick) : kTick);
      return false;
    }
    permitDue_.reset();
    return true;
  }

  // The next step of the retry plan, if any is left, or the input's next row.
  std::optional<InputRow> nextRow(const KeptStep*& kept) {
    const RetryPlan* plan = settings_.retry;
    if (plan && nextStep_ < plan->steps.size()) {
      kept = &plan->steps[nextStep_++];
      return kept->redo ? kept->redo : InputRow{};
    }
    return input_.next();
  }

  void issueNext() {
    const KeptStep* kept = nullptr;
    std::optional<InputRow> row = nextRow(kept);
    if (!row) {
      inputEnded_ = true;
      return;
    }
    const std::uint64_t sequence = nextSequence_++;
    if (kept && !kept->redo) {
      window_.put(sequence, Finished{InputRow{}, RowOutcome{}, kept});
      return;
    }
    if (!row->problem.empty()) {
      RowOutcome outcome = RowOutcome::badRow(row->problem);
      window_.put(sequence, Finished{std::move(*row), std::move(outcome), kept});
      return;
    }
    auto& call = inFlight_[sequence];
    call.row = std::move(*row);
    call.kept = kept;
    try {
      RowFields fields(call.row.values, columns_);
      auto queue = queue_;
      call.cancel = operation_.start(fields, runner_, settings_.allPlaces, settings_.memo,
                                     [queue, sequence](RowOutcome outcome) {
                                       queue->push(Completion{sequence, std::move(outcome)});
                                     });
    } catch (const BadRow& bad) {
      window_.put(sequence, Finished{std::move(call.row), RowOutcome::badRow(bad.what()), kept});
      inFlight_.erase(sequence);
    } catch (const std::exception& failure) {
      RowOutcome outcome;
      outcome.failure = FailureKind::transport;
      outcome.error = std::string("the call could not be started: ") + failure.what();
      window_.put(sequence, Finished{std::move(call.row), std::move(outcome), kept});
      inFlight_.erase(sequence);
    }
  }

  void drain(Clock::duration wait) {
    for (auto& completion : queue_->takeAll(wait)) {
      const auto found = inFlight_.find(completion.sequence);
      if (found == inFlight_.end()) continue;  // not ours: a handler cannot run twice
      InputRow row = std::move(found->second.row);
      const KeptStep* kept = found->second.kept;
      inFlight_.erase(found);
      ++result_.counts.callsDone;
      // Outcomes of cancelled calls are not results: those rows are left for a resumed job.
      if (cancelled_) continue;
      judge(completion.outcome);
      window_.put(completion.sequence,
                  Finished{std::move(row), std::move(completion.outcome), kept});
    }
  }

  // Decides whether a failure ends the job: a refused key always does; an unreachable host
  // does before any call got through, or several times in a row.
  void judge(RowOutcome& outcome) {
    if (outcome.unreachable) {
      ++unreachableInARow_;
      if (!anyReply_ || unreachableInARow_ >= kUnreachableInARow) outcome.fatal = true;
    } else {
      unreachableInARow_ = 0;
      if (outcome.failure != FailureKind::transport) anyReply_ = true;
    }
    if (!outcome.fatal) return;
    stopIssuing_ = true;
    if (result_.end != JobEnd::stopped) {
      result_.end = JobEnd::stopped;
      result_.message = outcome.failure == FailureKind::refused
                            ? "the service refused the API key: " + outcome.error
                        : outcome.unreachable ? "cannot reach the service: " + outcome.error
                                              : "the calls cannot be made: " + outcome.error;
    }
  }

  void writeReady() {
    while (!writingStopped_) {
      std::optional<Finished> finished = window_.popNext();
      if (!finished) return;
      if (finished->outcome.fatal) {
        // This row and every later one are left for a resumed job.
        writingStopped_ = true;
        return;
      }
      if (finished->kept && !finished->kept->redo) {
        output_.copy(settings_.keptFd, finished->kept->begin, finished->kept->end);
        ++result_.retryStepsWritten;
        continue;
      }
      output_.write(finished->row, finished->outcome, input_.columns());
      if (finished->kept) ++result_.retryStepsWritten;
      auto& counts = result_.counts;
      ++counts.rowsDone;
      if (finished->outcome.failure == FailureKind::none) {
        ++(finished->outcome.records.empty() ? counts.notFound : counts.found);
      } else {
        ++counts.failures;
        ++counts.failuresByKind[finished->outcome.failure];
      }
    }
  }

  InputReader& input_;
  OutputWriter& output_;
  const BatchOperation& operation_;
  RowRunner& runner_;
  const ColumnMap& columns_;
  const EngineSettings& settings_;
  ProgressBar& progress_;
  std::function<int()>& interrupts_;

  std::shared_ptr<CompletionQueue> queue_ = std::make_shared<CompletionQueue>();
  ReorderWindow<Finished> window_;
  std::unordered_map<std::uint64_t, InFlight> inFlight_;
  JobResult result_;
  std::uint64_t nextSequence_ = 0;
  std::size_t nextStep_ = 0;
  std::optional<Clock::time_point> permitDue_;
  bool permitAsked_ = false;
  bool inputEnded_ = false;
  bool stopIssuing_ = false;
  bool interrupted_ = false;
  bool cancelled_ = false;
  bool writingStopped_ = false;
  bool anyReply_ = false;
  int unreachableInARow_ = 0;
};

}  // namespace

BatchEngine::BatchEngine(InputReader& input, OutputWriter& output, const BatchOperation& operation,
                         RowRunner& runner, const ColumnMap& columns, EngineSettings settings,
                         ProgressBar& progress, std::function<int()> interrupts)
    : input_(input),
      output_(output),
      operation_(operation),
      runner_(runner),
      columns_(columns),
      settings_(settings),
      progress_(progress),
      interrupts_(std::move(interrupts)) {}

JobResult BatchEngine::run() {
  Job job(input_, output_, operation_, runner_, columns_, settings_, progress_, interrupts_);
  return job.run();
}

}  // namespace orvane::site::cli::batch
