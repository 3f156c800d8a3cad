#include "decoding/RecordTable.h"
#include "orvane/site/records/Site.h"

namespace orvane::site::decoding {

constexpr std::array kSiteFields{
    field<&Site::siteId>("siteId"),
    field<&Site::name>("name"),
    field<&Site::formatAddress>("formatAddress"),
    field<&Site::address>("address"),
    field<&Site::location>("location"),
    field<&Site::viewport>("viewport"),
    field<&Site::distance>("distance"),
    field<&Site::poi>("poi"),
    field<&Site::prediction>("prediction"),
    field<&Site::utcOffset>("utcOffset"),
};

bool readValue(element value, Site& out, DecodeFailure& failure) {
  return readRecord<kSiteFields>(value, out, failure);
}

}  // namespace orvane::site::decoding
