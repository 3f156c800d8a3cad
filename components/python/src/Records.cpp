// Records are exposed read-only with snake_case attributes; each class lists them in `_fields`,
// from which the package builds to_dict() and repr().
#include <memory>
#include <string>
#include <vector>

#include <pybind11/stl.h>

#include "Bindings.h"
#include "orvane/site/records/AddressDetail.h"
#include "orvane/site/records/AutoCompletePrediction.h"
#include "orvane/site/records/ChildrenNode.h"
#include "orvane/site/records/Coordinate.h"
#include "orvane/site/records/CoordinateBounds.h"
#include "orvane/site/records/OpeningHours.h"
#include "orvane/site/records/Period.h"
#include "orvane/site/records/Poi.h"
#include "orvane/site/records/Site.h"
#include "orvane/site/records/TimeOfWeek.h"
#include "orvane/site/records/Word.h"
#include "orvane/site/responses/DetailSearchResponse.h"
#include "orvane/site/responses/GeocodeResponse.h"
#include "orvane/site/responses/NearbySearchResponse.h"
#include "orvane/site/responses/QueryAutocompleteResponse.h"
#include "orvane/site/responses/QuerySuggestionResponse.h"
#include "orvane/site/responses/ReverseGeocodeResponse.h"
#include "orvane/site/responses/TextSearchResponse.h"
#include "orvane/site/responses/TimezoneResponse.h"

namespace orvane::site::python {
namespace {

template <class T, class... Base>
class RecordClass {
 public:
  RecordClass(py::module_& module, const char* name) : class_(module, name) {}
  RecordClass(const RecordClass&) = delete;
  RecordClass& operator=(const RecordClass&) = delete;
  ~RecordClass() {
    py::tuple names(fields_.size());
    for (std::size_t i = 0; i < fields_.size(); ++i) names[i] = py::str(fields_[i]);
    class_.attr("_fields") = names;
  }

  template <class Owner, class Member>
  RecordClass& field(const char* name, Member Owner::*member) {
    class_.def_readonly(name, member);
    fields_.emplace_back(name);
    return *this;
  }

  py::class_<T, std::shared_ptr<T>, Base...>& pyClass() { return class_; }

  // The envelope every response carries.
  RecordClass& envelope() {
    return field("return_code", &BaseResponse::returnCode)
        .field("return_desc", &BaseResponse::returnDesc);
  }

 private:
  py::class_<T, std::shared_ptr<T>, Base...> class_;
  std::vector<std::string> fields_;
};

// Positions are also arguments: made from (lat, lng) and ((lat, lng), (lat, lng)) tuples too.
void bindPositions(py::module_& module) {
  RecordClass<Coordinate> coordinate(module, "Coordinate");
  coordinate.field("lat", &Coordinate::lat).field("lng", &Coordinate::lng);
  coordinate.pyClass()
      .def(py::init<double, double>(), py::arg("lat"), py::arg("lng"))
      .def(py::init([](const py::tuple& pair) {
        if (pair.size() != 2) throw py::value_error("a position is a (lat, lng) pair");
        return std::make_shared<Coordinate>(pair[0].cast<double>(), pair[1].cast<double>());
      }));
  py::implicitly_convertible<py::tuple, Coordinate>();
  RecordClass<CoordinateBounds> bounds(module, "CoordinateBounds");
  bounds.field("northeast", &CoordinateBounds::northeast)
      .field("southwest", &CoordinateBounds::southwest);
  bounds.pyClass()
      .def(py::init<Coordinate, Coordinate>(), py::arg("northeast"), py::arg("southwest"))
      .def(py::init([](const py::tuple& corners) {
        if (corners.size() != 2) throw py::value_error("bounds are a (northeast, southwest) pair");
        return std::make_shared<CoordinateBounds>(corners[0].cast<Coordinate>(),
                                                  corners[1].cast<Coordinate>());
      }));
  py::implicitly_convertible<py::tuple, CoordinateBounds>();
}

void bindPlaceParts(py::module_& module) {
  RecordClass<Word>(module, "Word").field("offset", &Word::offset).field("value", &Word::value);
  RecordClass<AutoCompletePrediction>(module, "AutoCompletePrediction")
      .field("description", &AutoCompletePrediction::description)
      .field("matched_keywords", &AutoCompletePrediction::matchedKeywords)
      .field("matched_words", &AutoCompletePrediction::matchedWords);
  RecordClass<AddressDetail>(module, "AddressDetail")
      .field("country_code", &AddressDetail::countryCode)
      .field("country", &AddressDetail::country)
      .field("admin_area", &AddressDetail::adminArea)
      .field("sub_admin_area", &AddressDetail::subAdminArea)
      .field("tertiary_admin_area", &AddressDetail::tertiaryAdminArea)
      .field("sub_locality", &AddressDetail::subLocality)
      .field("locality", &AddressDetail::locality)
      .field("thoroughfare", &AddressDetail::thoroughfare)
      .field("street_number", &AddressDetail::streetNumber)
      .field("postal_code", &AddressDetail::postalCode);
  RecordClass<TimeOfWeek>(module, "TimeOfWeek")
      .field("week", &TimeOfWeek::week)
      .field("time", &TimeOfWeek::time);
  RecordClass<Period>(module, "Period").field("open", &Period::open).field("close", &Period::close);
  RecordClass<OpeningHours>(module, "OpeningHours")
      .field("texts", &OpeningHours::texts)
      .field("periods", &OpeningHours::periods);
  RecordClass<ChildrenNode>(module, "ChildrenNode")
      .field("site_id", &ChildrenNode::siteId)
      .field("name", &ChildrenNode::name)
      .field("format_address", &ChildrenNode::formatAddress)
      .field("location", &ChildrenNode::location)
      .field("ov_poi_types", &ChildrenNode::ovPoiTypes)
      .field("dome_and_int", &ChildrenNode::domeAndInt)
      .field("dep_and_arr", &ChildrenNode::depAndArr);
  RecordClass<Poi>(module, "Poi")
      .field("poi_types", &Poi::poiTypes)
      .field("ov_poi_types", &Poi::ovPoiTypes)
      .field("phone", &Poi::phone)
      .field("international_phone", &Poi::internationalPhone)
      .field("rating", &Poi::rating)
      .field("website_url", &Poi::websiteUrl)
      .field("opening_hours", &Poi::openingHours)
      .field("photo_urls", &Poi::photoUrls)
      .field("price_level", &Poi::priceLevel)
      .field("business_status", &Poi::businessStatus)
      .field("children_nodes", &Poi::childrenNodes);
  RecordClass<Site>(module, "Site")
      .field("site_id", &Site::siteId)
      .field("name", &Site::name)
      .field("format_address", &Site::formatAddress)
      .field("address", &Site::address)
      .field("location", &Site::location)
      .field("viewport", &Site::viewport)
      .field("distance", &Site::distance)
      .field("poi", &Site::poi)
      .field("prediction", &Site::prediction)
      .field("utc_offset", &Site::utcOffset);
}

void bindResponses(py::module_& module) {
  py::class_<BaseResponse, std::shared_ptr<BaseResponse>>(module, "BaseResponse");
  RecordClass<TextSearchResponse, BaseResponse>(module, "TextSearchResponse")
      .envelope()
      .field("total_count", &TextSearchResponse::totalCount)
      .field("sites", &TextSearchResponse::sites);
  RecordClass<NearbySearchResponse, BaseResponse>(module, "NearbySearchResponse")
      .envelope()
      .field("total_count", &NearbySearchResponse::totalCount)
      .field("sites", &NearbySearchResponse::sites);
  RecordClass<DetailSearchResponse, BaseResponse>(module, "DetailSearchResponse")
      .envelope()
      .field("site", &DetailSearchResponse::site);
  RecordClass<QuerySuggestionResponse, BaseResponse>(module, "QuerySuggestionResponse")
      .envelope()
      .field("sites", &QuerySuggestionResponse::sites);
  RecordClass<QueryAutocompleteResponse, BaseResponse>(module, "QueryAutocompleteResponse")
      .envelope()
      .field("predictions", &QueryAutocompleteResponse::predictions)
      .field("sites", &QueryAutocompleteResponse::sites);
  RecordClass<GeocodeResponse, BaseResponse>(module, "GeocodeResponse")
      .envelope()
      .field("sites", &GeocodeResponse::sites);
  RecordClass<ReverseGeocodeResponse, BaseResponse>(module, "ReverseGeocodeResponse")
      .envelope()
      .field("sites", &ReverseGeocodeResponse::sites);
  RecordClass<TimezoneResponse, BaseResponse>(module, "TimezoneResponse")
      .envelope()
      .field("dst_offset", &TimezoneResponse::dstOffset)
      .field("raw_offset", &TimezoneResponse::rawOffset)
      .field("time_zone_id", &TimezoneResponse::timeZoneId)
      .field("time_zone_name", &TimezoneResponse::timeZoneName);
}

}  // namespace

void bindRecords(py::module_& module) {
  bindPositions(module);
  bindPlaceParts(module);
  bindResponses(module);
}

}  // namespace orvane::site::python
