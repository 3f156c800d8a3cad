#include "typeahead/TypeAheadCore.h"

#include <exception>
#include <string>
#include <utility>

#include "logging/Logger.h"
#include "text/Utf8.h"

namespace orvane::site::internal {

std::shared_ptr<TypeAheadCore> TypeAheadCore::create(TypeAheadSeams seams, TypeAheadOptions options,
                                                     Start start, Deliver deliver) {
  return std::make_shared<TypeAheadCore>(std::move(seams), std::move(options), std::move(start),
                                         std::move(deliver));
}

TypeAheadCore::TypeAheadCore(TypeAheadSeams seams, TypeAheadOptions options, Start start,
                             Deliver deliver)
    : seams_(std::move(seams)),
      options_(std::move(options)),
      start_(std::move(start)),
      deliver_(std::move(deliver)) {}

void TypeAheadCore::setText(std::string text) {
  const bool longEnough = text::countScalars(text) >= options_.minimumLength();
  std::function<void()> cancelOlder;
  std::optional<Result<BaseResponse>> remembered;
  Generation generation = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Typing that leaves the text as it was (a cursor move, a re-sent event) changes nothing.
    if (closed_ || text_ == text) return;
    cancelOlder = supersede();
    generation = generation_;
    text_ = text;
    if (longEnough) remembered = recall(text);
  }
  if (cancelOlder) cancelOlder();
  if (!longEnough) return;
  std::weak_ptr<TypeAheadCore> weak = weak_from_this();
  if (remembered) {
    // Answered at once, yet never inside setText: on the executor, as a call's result would be.
    runOnExecutor(
        [weak, generation, text = std::move(text), result = std::move(*remembered)]() mutable {
          if (auto self = weak.lock()) self->deliver(generation, text, std::move(result));
        });
    return;
  }
  seams_.timers->runAfter(options_.quietTime(), [weak, generation] {
    if (auto self = weak.lock()) self->quietTimeOver(generation);
  });
}

void TypeAheadCore::clear() {
  std::function<void()> cancelOlder;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return;
    cancelOlder = supersede();
    text_.reset();
  }
  if (cancelOlder) cancelOlder();
}

void TypeAheadCore::close() {
  std::function<void()> cancelOlder;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!closed_) {
      closed_ = true;
      cancelOlder = supersede();
    }
    // A handler running elsewhere finishes first; one destroying the helper from inside
    // itself is not waited for.
    handlerReturned_.wait(
        lock, [this] { return !delivering_ || *delivering_ == std::this_thread::get_id(); });
  }
  if (cancelOlder) cancelOlder();
}

std::function<void()> TypeAheadCore::supersede() {
  ++generation_;
  return std::exchange(cancelCall_, nullptr);
}

void TypeAheadCore::quietTimeOver(Generation generation) {
  std::string text;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || generation != generation_ || !text_) return;
    text = *text_;
  }
  std::weak_ptr<TypeAheadCore> weak = weak_from_this();
  // Started outside the lock: a connection (a test's mock among them) may answer at once.
  std::function<void()> cancel = start_(text, [weak, generation, text](Result<BaseResponse> r) {
    if (auto self = weak.lock()) self->callEnded(generation, text, std::move(r));
  });
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!closed_ && generation == generation_) {
      cancelCall_ = std::move(cancel);
      return;
    }
  }
  if (cancel) cancel();  // superseded while it was being started
}

void TypeAheadCore::callEnded(Generation generation, const std::string& text,
                              Result<BaseResponse> result) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Even an older text's answer is worth remembering: typing back to it needs no call.
    remember(text, result);
    if (generation == generation_) cancelCall_ = nullptr;
  }
  deliver(generation, text, std::move(result));
}

void TypeAheadCore::deliver(Generation generation, const std::string& text,
                            Result<BaseResponse> result) {
  const std::thread::id self = std::this_thread::get_id();
  std::optional<std::thread::id> outer;  // set when an executor runs this inside a handler
  {
    std::unique_lock<std::mutex> lock(mutex_);
    // One handler at a time, so that an older result checked before a newer one was set can
    // never reach the application after it.
    handlerReturned_.wait(lock, [this, self] { return !delivering_ || *delivering_ == self; });
    if (closed_ || generation != generation_) return;
    outer = std::exchange(delivering_, self);
  }
  try {
    deliver_(text, std::move(result));
  } catch (const std::exception& failure) {
    ORVANE_SITE_LOG("TypeAhead", std::string("handler threw, discarded: ") + failure.what(),
                    kError);
  } catch (...) {
    ORVANE_SITE_LOG("TypeAhead", std::string("handler threw, discarded"), kError);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    delivering_ = outer;
  }
  handlerReturned_.notify_all();
}

std::optional<Result<BaseResponse>> TypeAheadCore::recall(const std::string& text) {
  for (auto entry = memo_.begin(); entry != memo_.end(); ++entry) {
    if (entry->text != text) continue;
    memo_.splice(memo_.begin(), memo_, entry);
    return memo_.front().result;
  }
  return std::nullopt;
}

void TypeAheadCore::remember(const std::string& text, const Result<BaseResponse>& result) {
  if (options_.memoSize() == 0 || !result.ok()) return;
  for (auto entry = memo_.begin(); entry != memo_.end(); ++entry) {
    if (entry->text == text) {
      memo_.erase(entry);
      break;
    }
  }
  memo_.push_front(Remembered{text, result});
  if (memo_.size() > options_.memoSize()) memo_.pop_back();
}

void TypeAheadCore::runOnExecutor(std::function<void()> task) const {
  if (seams_.executor) {
    seams_.executor(std::move(task));
  } else {
    seams_.timers->post(std::move(task));
  }
}

}  // namespace orvane::site::internal
