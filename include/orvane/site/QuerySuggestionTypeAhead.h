#pragma once

#include <functional>
#include <memory>
#include <string>

#include "orvane/site/Export.h"
#include "orvane/site/Result.h"
#include "orvane/site/TypeAheadOptions.h"
#include "orvane/site/requests/QuerySuggestionRequest.h"
#include "orvane/site/responses/QuerySuggestionResponse.h"

namespace orvane::site {

class SiteClient;

namespace internal {
class TypeAheadCore;
}  // namespace internal

/// Query suggestion as the user types: feed it the text at each keystroke and it calls
/// SiteClient::querySuggestion once the text has been quiet for a while, cancels the call a
/// newer text supersedes, and hands the handler only the newest text's result.
///
/// \code
/// orvane::site::QuerySuggestionTypeAhead typeAhead(
///     client, orvane::site::QuerySuggestionRequest("", here, 5000, std::nullopt, std::nullopt,
///                                              "SG", "en", std::nullopt),
///     [](const std::string& text, orvane::site::Result<orvane::site::QuerySuggestionResponse> r) {
///       if (r) showSuggestions(text, *r.value());
///     },
///     orvane::site::TypeAheadOptions().setQuietTime(200ms).setMemoSize(32));
/// typeAhead.setText("Sing");   // on every change of the text box
/// \endcode
///
/// Every call is the template request with its query replaced by the text. A text shorter than
/// TypeAheadOptions::minimumLength() makes no call; a text the memo holds is answered from it
/// without a call or a wait. An error is delivered like a result (a cancelled call of an older
/// text never is). The handler runs as the client's own handlers do (its handler executor, else
/// the library thread), one at a time, and never for a text that is no longer the newest, in
/// whatever order the replies arrive. Timers run on the client's transport.
///
/// Thread-safe and cheap: make one per text box. It keeps the client's connection for its calls
/// (a client made on a connection of the application's own runs the timers on
/// defaultHttpTransport()). Destroying it cancels its call under way; once the destructor has
/// returned no handler of it runs or will run (it waits for one running on another thread, so
/// do not destroy it while holding a lock that the handler takes). Destroying it inside its own
/// handler is allowed.
class ORVANE_SITE_EXPORT QuerySuggestionTypeAhead {
 public:
  /// Receives the newest text and the result of its call.
  using Handler =
      std::function<void(const std::string& text, Result<QuerySuggestionResponse> result)>;

  /// A helper calling `client`, whose requests take every field but the query from
  /// `templateRequest`.
  QuerySuggestionTypeAhead(SiteClient& client, QuerySuggestionRequest templateRequest,
                           Handler handler, TypeAheadOptions options = TypeAheadOptions());
  /// Cancels the call under way; see the class comment.
  ~QuerySuggestionTypeAhead();
  /// Takes over `other`'s text, call and handler; `other` is left doing nothing.
  QuerySuggestionTypeAhead(QuerySuggestionTypeAhead&& other) noexcept;
  /// Ends this helper as the destructor does, then takes over `other`'s.
  QuerySuggestionTypeAhead& operator=(QuerySuggestionTypeAhead&& other) noexcept;
  QuerySuggestionTypeAhead(const QuerySuggestionTypeAhead&) = delete;
  QuerySuggestionTypeAhead& operator=(const QuerySuggestionTypeAhead&) = delete;

  /// The text as it now stands; the same text as before changes nothing. Returns at once.
  void setText(std::string text);
  /// Forgets the text (the box was emptied or closed): nothing more is delivered until the
  /// next setText.
  void clear();

 private:
  std::shared_ptr<internal::TypeAheadCore> core_;
};

}  // namespace orvane::site
