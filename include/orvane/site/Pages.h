#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <utility>

#include "orvane/site/Call.h"
#include "orvane/site/Result.h"

namespace orvane::site {

/// The pages of one search as a range, fetched lazily: one call per page, made when the
/// iteration reaches it, each with the client's deadline and retry rules.
///
/// \code
/// for (const auto& page : client.textSearchPages(request, 10)) {
///   if (!page.ok()) { report(page.error()); break; }   // an error is the last element
///   for (const auto& site : page.value()->sites.value_or({})) show(site);
/// }
/// \endcode
///
/// The iteration begins at the request's pageIndex (1 when absent) and ends after `maxPages`
/// pages, after a page that fails (that page, holding the error, is the last element), after a
/// page without sites, or once the pages seen reach the reply's totalCount. The page size is the
/// request's pageSize, else the number of sites on the first page.
///
/// Each step waits for its call: iterate on a thread of the application, never in a handler
/// that runs on the library thread. A range is iterated once; it is movable, not copyable.
template <typename Response>
class Pages {
  struct State;

 public:
  /// Makes the call for one page index.
  using Fetch = std::function<Call<Response>(std::int64_t pageIndex)>;

  /// A range whose first page is `firstIndex`, of `pageSize` sites when known.
  Pages(Fetch fetch, std::int64_t firstIndex, std::optional<std::int64_t> pageSize,
        std::size_t maxPages)
      : state_(std::make_shared<State>(
            State{std::move(fetch), firstIndex, pageSize, maxPages, 0, std::nullopt})) {}

  /// Walks the pages; each increment makes the next page's call and waits for it.
  class iterator {
   public:
    using iterator_category = std::input_iterator_tag;  ///< Read once, in order.
    using value_type = Result<Response>;                ///< One page or its error.
    using difference_type = std::ptrdiff_t;             ///< As iterators require.
    using pointer = const Result<Response>*;            ///< To the current page.
    using reference = const Result<Response>&;          ///< The current page.

    iterator() = default;
    /// The current page.
    reference operator*() const { return *state_->current; }
    /// The current page.
    pointer operator->() const { return &*state_->current; }
    /// Fetches the next page, or becomes end().
    iterator& operator++() {
      if (!state_->advance()) state_ = nullptr;
      return *this;
    }
    /// As the prefix form.
    void operator++(int) { ++*this; }
    /// Equal when both are end() or walk the same range.
    friend bool operator==(const iterator& a, const iterator& b) { return a.state_ == b.state_; }
    /// Not operator==.
    friend bool operator!=(const iterator& a, const iterator& b) { return !(a == b); }

   private:
    friend class Pages;
    explicit iterator(std::shared_ptr<typename Pages::State> state) : state_(std::move(state)) {}
    std::shared_ptr<typename Pages::State> state_{};
  };

  /// Fetches the first page (unless `maxPages` is 0).
  iterator begin() {
    if (state_->fetched > 0 || !state_->fetchNext()) return iterator();
    return iterator(state_);
  }
  /// Past the last page.
  iterator end() { return iterator(); }

 private:
  // What the range and its iterators share: the fetch and the page last fetched.
  struct State {
    Fetch fetch;
    std::int64_t nextIndex = 1;
    std::optional<std::int64_t> pageSize;
    std::size_t maxPages = 0;
    std::size_t fetched = 0;
    std::optional<Result<Response>> current;

    bool fetchNext() {
      if (fetched >= maxPages) return false;
      current = fetch(nextIndex).get();
      ++fetched;
      if (nextIndex == INT64_MAX) {
        maxPages = fetched;  // no index follows
      } else {
        ++nextIndex;
      }
      return true;
    }

    // Whether another page follows the current one, and if so fetches it.
    bool advance() {
      if (!current || !current->ok()) return false;
      const std::shared_ptr<Response>& page = current->value();
      const std::int64_t sites =
          page && page->sites ? static_cast<std::int64_t>(page->sites->size()) : 0;
      if (sites == 0) return false;
      if (!pageSize || *pageSize <= 0) pageSize = sites;
      if (page->totalCount) {
        // nextIndex - 1 pages of pageSize sites lie before the next page (divided, so that no
        // product overflows).
        const std::int64_t total = *page->totalCount;
        if (total <= 0 || nextIndex - 1 > (total - 1) / *pageSize) return false;
      }
      return fetchNext();
    }
  };

  std::shared_ptr<State> state_;
};

}  // namespace orvane::site
