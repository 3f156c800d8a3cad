#include "RequestKey.h"

#include <cstdint>
#include <cstdio>
#include <optional>

namespace orvane::site::cli::batch {
namespace {

// Each field tagged with its kind, texts with their length, so that no two field lists give
// one key, whatever bytes the texts hold (a row's text need not be UTF-8).
class KeyText {
 public:
  explicit KeyText(const char* operation) : text_(operation) {}

  KeyText& add(const std::string& value) {
    text_ += 's' + std::to_string(value.size()) + ':' + value;
    return *this;
  }
  KeyText& add(double value) {
    char exact[48];
    std::snprintf(exact, sizeof exact, "d%a;", value);  // every bit of the value
    text_ += exact;
    return *this;
  }
  KeyText& add(std::int64_t value) {
    text_ += 'i' + std::to_string(value) + ';';
    return *this;
  }
  KeyText& add(bool value) {
    text_ += value ? "T" : "F";
    return *this;
  }
  KeyText& add(const Coordinate& at) { return add(at.lat).add(at.lng); }
  KeyText& add(const CoordinateBounds& box) { return add(box.northeast).add(box.southwest); }
  template <class T>
  KeyText& add(const std::optional<T>& value) {
    if (!value) {
      text_ += '-';
      return *this;
    }
    text_ += '+';
    return add(*value);
  }

  std::string take() { return std::move(text_); }

 private:
  std::string text_;
};

}  // namespace

std::string requestKey(const GeocodeRequest& request) {
  return KeyText("geocode").add(request.address).add(request.bounds).add(request.language).take();
}

std::string requestKey(const ReverseGeocodeRequest& request) {
  return KeyText("reverseGeocode")
      .add(request.location)
      .add(request.language)
      .add(request.returnPoi)
      .take();
}

std::string requestKey(const TextSearchRequest& request) {
  return KeyText("textSearch")
      .add(request.query)
      .add(request.location)
      .add(request.radius)
      .add(request.poiType)
      .add(request.ovPoiType)
      .add(request.countryCode)
      .add(request.language)
      .add(request.pageSize)
      .add(request.pageIndex)
      .add(request.children)
      .take();
}

std::string requestKey(const TimezoneRequest& request) {
  return KeyText("timezone")
      .add(request.location)
      .add(request.timestamp)
      .add(request.language)
      .take();
}

}  // namespace orvane::site::cli::batch
