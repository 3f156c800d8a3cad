#include "decoding/RecordTable.h"
#include "orvane/site/records/OpeningHours.h"
#include "orvane/site/records/Period.h"
#include "orvane/site/records/TimeOfWeek.h"

namespace orvane::site::decoding {

constexpr std::array kTimeOfWeekFields{
    field<&TimeOfWeek::week>("week"),
    field<&TimeOfWeek::time>("time"),
};

bool readValue(element value, TimeOfWeek& out, DecodeFailure& failure) {
  return readRecord<kTimeOfWeekFields>(value, out, failure);
}

constexpr std::array kPeriodFields{
    field<&Period::open>("open"),
    field<&Period::close>("close"),
};

bool readValue(element value, Period& out, DecodeFailure& failure) {
  return readRecord<kPeriodFields>(value, out, failure);
}

constexpr std::array kOpeningHoursFields{
    field<&OpeningHours::texts>("texts"),
    field<&OpeningHours::periods>("periods"),
};

bool readValue(element value, OpeningHours& out, DecodeFailure& failure) {
  return readRecord<kOpeningHoursFields>(value, out, failure);
}

}  // namespace orvane::site::decoding
