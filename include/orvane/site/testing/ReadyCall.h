#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "orvane/site/Call.h"
#include "orvane/site/CallHandle.h"
#include "orvane/site/Result.h"
#include "orvane/site/testing/FormerNamespace.h"

namespace orvane::site::testkit {

/// A Call that is already done with `result`, for a mocked connection's answer: done() is true,
/// get() returns the result at once, cancel() changes nothing. When `handler` is given it is
/// called once with the result, at once, on the calling thread (where a test expects it).
template <class T>
Call<T> readyCall(Result<T> result, const std::function<void(Result<T>)>& handler = nullptr) {
  if (handler) handler(result);
  if (!result.ok()) return Call<T>(CallHandle::ready(Result<BaseResponse>(result.error())));
  return Call<T>(CallHandle::ready(
      Result<BaseResponse>(std::shared_ptr<BaseResponse>(std::move(result).value()))));
}

/// A Call that is already done with `response`.
template <class T>
Call<T> readyCall(std::shared_ptr<T> response) {
  return readyCall(Result<T>(std::move(response)));
}

}  // namespace orvane::site::testkit
