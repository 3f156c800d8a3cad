#include "transport/ReplyBudget.h"

namespace orvane::site::transport {

bool ReplyBudget::take(std::size_t bytes) noexcept {
  std::size_t held = held_.load();
  do {
    if (limit_ != 0 && (bytes > limit_ || held > limit_ - bytes)) return false;
  } while (!held_.compare_exchange_weak(held, held + bytes));
  return true;
}

void ReplyBudget::give(std::size_t bytes) noexcept { held_.fetch_sub(bytes); }

}  // namespace orvane::site::transport
