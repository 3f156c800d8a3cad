#include "orvane/site/QueryTypeAhead.h"

#include <utility>

#include "orvane/site/SiteClient.h"
#include "typeahead/OperationTypeAhead.h"

namespace orvane::site {

QueryTypeAhead::QueryTypeAhead(SiteClient& client, QueryAutocompleteRequest templateRequest,
                               Handler handler, TypeAheadOptions options)
    : core_(internal::operationTypeAhead(client.typeAheadSeams(), std::move(templateRequest),
                                         std::move(handler), std::move(options),
                                         &SiteConnection::queryAutocomplete)) {}

QueryTypeAhead::~QueryTypeAhead() {
  if (core_) core_->close();
}

QueryTypeAhead::QueryTypeAhead(QueryTypeAhead&& other) noexcept = default;

QueryTypeAhead& QueryTypeAhead::operator=(QueryTypeAhead&& other) noexcept {
  if (this != &other) {
    if (core_) core_->close();
    core_ = std::move(other.core_);
  }
  return *this;
}

void QueryTypeAhead::setText(std::string text) {
  if (core_) core_->setText(std::move(text));
}

void QueryTypeAhead::clear() {
  if (core_) core_->clear();
}

}  // namespace orvane::site
