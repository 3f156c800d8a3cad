#include "decoding/RecordArena.h"

#include <algorithm>

namespace orvane::site::decoding {
namespace {

thread_local RecordArena* currentArena = nullptr;

}  // namespace

RecordArena::RecordArena() noexcept : previous_(currentArena) { currentArena = this; }

RecordArena::~RecordArena() {
  if (open_ != nullptr) open_->close();
  currentArena = previous_;
}

RecordArena* RecordArena::current() noexcept { return currentArena; }

RecordBlock& RecordArena::blockFor(std::size_t bytes) {
  if (open_ != nullptr && open_->hasRoomFor(bytes)) return *open_;
  RecordBlock* fresh = RecordBlock::open(std::max(RecordBlock::kUsualSize, bytes));
  if (open_ != nullptr) open_->close();
  open_ = fresh;
  return *open_;
}

}  // namespace orvane::site::decoding
