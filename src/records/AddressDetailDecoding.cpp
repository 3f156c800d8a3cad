#include "decoding/RecordTable.h"
#include "orvane/site/records/AddressDetail.h"

namespace orvane::site::decoding {

// Reading order differs from the member order: "locality" comes before "subLocality".
constexpr std::array kAddressDetailFields{
    field<&AddressDetail::countryCode>("countryCode"),
    field<&AddressDetail::country>("country"),
    field<&AddressDetail::adminArea>("adminArea"),
    field<&AddressDetail::subAdminArea>("subAdminArea"),
    field<&AddressDetail::tertiaryAdminArea>("tertiaryAdminArea"),
    field<&AddressDetail::locality>("locality"),
    field<&AddressDetail::subLocality>("subLocality"),
    field<&AddressDetail::thoroughfare>("thoroughfare"),
    field<&AddressDetail::streetNumber>("streetNumber"),
    field<&AddressDetail::postalCode>("postalCode"),
};

bool readValue(element value, AddressDetail& out, DecodeFailure& failure) {
  return readRecord<kAddressDetailFields>(value, out, failure);
}

}  // namespace orvane::site::decoding
