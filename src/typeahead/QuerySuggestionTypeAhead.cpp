#include "orvane/site/QuerySuggestionTypeAhead.h"

#include <utility>

#include "orvane/site/SiteClient.h"
#include "typeahead/OperationTypeAhead.h"

namespace orvane::site {

QuerySuggestionTypeAhead::QuerySuggestionTypeAhead(SiteClient& client,
                                                   QuerySuggestionRequest templateRequest,
                                                   Handler handler, TypeAheadOptions options)
    : core_(internal::operationTypeAhead(client.typeAheadSeams(), std::move(templateRequest),
                                         std::move(handler), std::move(options),
                                         &SiteConnection::querySuggestion)) {}

QuerySuggestionTypeAhead::~QuerySuggestionTypeAhead() {
  if (core_) core_->close();
}

QuerySuggestionTypeAhead::QuerySuggestionTypeAhead(QuerySuggestionTypeAhead&& other) noexcept =
    default;

QuerySuggestionTypeAhead& QuerySuggestionTypeAhead::operator=(
    QuerySuggestionTypeAhead&& other) noexcept {
  if (this != &other) {
    if (core_) core_->close();
    core_ = std::move(other.core_);
  }
  return *this;
}

void QuerySuggestionTypeAhead::setText(std::string text) {
  if (core_) core_->setText(std::move(text));
}

void QuerySuggestionTypeAhead::clear() {
  if (core_) core_->clear();
}

}  // namespace orvane::site
