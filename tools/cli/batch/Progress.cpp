#include "Progress.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace orvane::site::cli::batch {
namespace {

constexpr int kBarWidth = 24;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

double secondsOf(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

std::string fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string millis(std::chrono::nanoseconds value) {
  return fixed(std::chrono::duration<double, std::milli>(value).count(), 1) + " ms";
}

}  // namespace

std::string clockText(double seconds) {
  const auto total = static_cast<long long>(seconds + 0.5);
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                  total % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
  }
  return text;
}

ProgressBar::ProgressBar(bool enabled, std::optional<std::uint64_t> total)
    : enabled_(enabled), total_(total), started_(std::chrono::steady_clock::now()) {}

void ProgressBar::update(const JobCounts& counts, bool force) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && drawn_ && now - lastDrawn_ < kRedrawInterval) return;
  lastDrawn_ = now;
  drawn_ = true;
  const double elapsed = secondsOf(now - started_);
  const double rate = elapsed > 0 ? static_cast<double>(counts.rowsDone) / elapsed : 0;
  std::string line = "\r";
  if (total_ && *total_ > 0) {
    const double share =
        std::min(1.0, static_cast<double>(counts.rowsDone) / static_cast<double>(*total_));
    const int filled = static_cast<int>(share * kBarWidth);
    line += "[" + std::string(static_cast<std::size_t>(filled), '#') +
            std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] ";
    line += std::to_string(counts.rowsDone) + "/" + std::to_string(*total_) + " " +
            fixed(share * 100, 0) + "%";
    if (rate > 0 && counts.rowsDone < *total_) {
      line += " ETA " + clockText(static_cast<double>(*total_ - counts.rowsDone) / rate);
    }
  } else {
    line += std::to_string(counts.rowsDone) + " rows";
  }
  line += "  " + fixed(rate, 0) + " rows/s  errors " + std::to_string(counts.failures) +
          "  in flight " + std::to_string(counts.inFlight) + "\x1b[K";
  std::cerr << line << std::flush;
}

void ProgressBar::clear() {
  if (!enabled_ || !drawn_) return;
  std::cerr << "\r\x1b[K" << std::flush;
  drawn_ = false;
}

std::string summaryLine(const std::string& operation, const JobCounts& counts,
                        std::chrono::steady_clock::duration elapsed, const std::string& ending) {
  const double seconds = secondsOf(elapsed);
  std::string line = "batch " + operation + ": " + std::to_string(counts.rowsDone) + " rows, " +
                     std::to_string(counts.found) + " found, " + std::to_string(counts.notFound) +
                     " not found, " + std::to_string(counts.failures) + " failed";
  std::string kinds;
  for (const auto& [kind, count] : counts.failuresByKind) {
    if (count == 0) continue;
    kinds += (kinds.empty() ? "" : ", ") + std::to_string(count) + " " + failureName(kind);
  }
  if (!kinds.empty()) line += " (" + kinds + ")";
  const std::uint64_t calls = counts.callsDone - std::min(counts.callsDone, counts.callsSaved);
  line += ", " + fixed(seconds, 1) + " s, " +
          fixed(seconds > 0 ? static_cast<double>(calls) / seconds : 0, 0) + " calls/s";
  if (calls > 0) {
    line += ", latency p50 " + millis(counts.latencyP50) + " p99 " + millis(counts.latencyP99);
  }
  if (counts.callsSaved > 0) line += ", " + std::to_string(counts.callsSaved) + " calls saved";
  if (!ending.empty()) line += "; " + ending;
  return line;
}

}  // namespace orvane::site::cli::batch
