#include "decoding/RecordTable.h"
#include "orvane/site/records/ChildrenNode.h"
#include "orvane/site/records/Poi.h"

namespace orvane::site::decoding {

constexpr std::array kChildrenNodeFields{
    field<&ChildrenNode::siteId>("siteId"),
    field<&ChildrenNode::name>("name"),
    field<&ChildrenNode::formatAddress>("formatAddress"),
    field<&ChildrenNode::location>("location"),
    field<&ChildrenNode::ovPoiTypes>("ovPoiTypes"),
    field<&ChildrenNode::domeAndInt>("domeAndInt"),
    field<&ChildrenNode::depAndArr>("depAndArr"),
};

bool readValue(element value, ChildrenNode& out, DecodeFailure& failure) {
  return readRecord<kChildrenNodeFields>(value, out, failure);
}

constexpr std::array kPoiFields{
    field<&Poi::poiTypes>("poiTypes"),
    field<&Poi::ovPoiTypes>("ovPoiTypes"),
    field<&Poi::phone>("phone"),
    field<&Poi::internationalPhone>("internationalPhone"),
    field<&Poi::rating>("rating"),
    field<&Poi::websiteUrl>("websiteUrl"),
    field<&Poi::openingHours>("openingHours"),
    field<&Poi::photoUrls>("photoUrls"),
    field<&Poi::priceLevel>("priceLevel"),
    field<&Poi::businessStatus>("businessStatus"),
    field<&Poi::childrenNodes>("childrenNodes"),
};

bool readValue(element value, Poi& out, DecodeFailure& failure) {
  return readRecord<kPoiFields>(value, out, failure);
}

}  // namespace orvane::site::decoding
