#pragma once

#include <simdjson.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "decoding/DecodeFailure.h"
#include "decoding/KeyMatch.h"
#include "decoding/ValueReaders.h"
#include "orvane/site/responses/BaseResponse.h"

// A record is decoded from its key table: one entry per JSON key, in reading order. Faults are
// reported in that order whatever the order of the object's members.

namespace orvane::site::decoding {

template <class R>
struct Field {
  std::string_view key;
  /// Absent or null is an error (instead of leaving the field empty).
  bool required = false;
  bool (*read)(element value, R& record, DecodeFailure& failure);
};

namespace table_detail {

template <class M>
struct MemberPointer;
template <class C, class V>
struct MemberPointer<V C::*> {
  using Class = C;
  using Value = V;
};

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};
template <class T>
struct IsOptional<std::shared_ptr<T>> : std::true_type {};

template <class R, auto Member>
bool readMember(element value, R& record, DecodeFailure& failure) {
  return readValue(value, record.*Member, failure);
}

void failMissing(std::string_view key, bool present, DecodeFailure& failure);

void failNotObject(element value, DecodeFailure& failure);

}  // namespace table_detail

/// The table entry of one member: `field<&Site::name>("name")`. Members held in std::optional or
/// std::shared_ptr are optional; any other member (a position's "lat", a prediction's lists) is
/// required. `R` may name a derived record for members inherited from a base.
template <auto Member, class R = typename table_detail::MemberPointer<decltype(Member)>::Class>
constexpr Field<R> field(std::string_view key) {
  using Value = typename table_detail::MemberPointer<decltype(Member)>::Value;
  return Field<R>{key, !table_detail::IsOptional<Value>::value,
                  &table_detail::readMember<R, Member>};
}

/// The envelope keys, read after a response's own keys from the same object.
template <class R>
constexpr std::array<Field<R>, 2> envelopeFields() {
  return {field<&BaseResponse::returnCode, R>("returnCode"),
          field<&BaseResponse::returnDesc, R>("returnDesc")};
}

template <class R, std::size_t N>
constexpr std::array<Field<R>, N + 2> withEnvelope(const std::array<Field<R>, N>& own) {
  std::array<Field<R>, N + 2> all{};
  const auto envelope = envelopeFields<R>();
  for (std::size_t i = 0; i < N; ++i) all[i] = own[i];
  all[N] = envelope[0];
  all[N + 1] = envelope[1];
  return all;
}

namespace table_detail {

template <const auto& kTable>
constexpr std::size_t kFieldCount = std::tuple_size_v<std::decay_t<decltype(kTable)>>;

/// The table position of `key`, or the field count when the key is not in the table. The table
/// is a compile-time constant, so this unrolls into a few length tests and word compares.
template <const auto& kTable, std::size_t... I>
inline std::size_t slotOf(std::string_view key, std::index_sequence<I...>) noexcept {
  std::size_t slot = sizeof...(I);
  static_cast<void>(((sameKey(kTable[I].key, key) ? (slot = I, true) : false) || ...));
  return slot;
}

template <const auto& kTable>
inline std::size_t slotOf(std::string_view key) noexcept {
  return slotOf<kTable>(key, std::make_index_sequence<kFieldCount<kTable>>());
}

/// What the fast path made of one member.
enum class MemberOutcome { read, giveUp };

/// Reads the member of table slot I. The slot is a constant here, so the field's reader is a
/// direct call the compiler can inline, rather than a call through the table's pointer.
template <const auto& kTable, std::size_t I, class R>
inline MemberOutcome readSlot(element value, R& record, DecodeFailure& failure,
                              std::uint32_t& seen) {
  constexpr std::uint32_t bit = std::uint32_t{1} << I;
  if ((seen & bit) != 0) return MemberOutcome::giveUp;  // a repeated key
  seen |= bit;
  if (value.is_null()) return kTable[I].required ? MemberOutcome::giveUp : MemberOutcome::read;
  constexpr auto read = kTable[I].read;
  return read(value, record, failure) ? MemberOutcome::read : MemberOutcome::giveUp;
}

/// Finds `key` in the table and reads its member; a key not in the table is ignored.
template <const auto& kTable, class R, std::size_t... I>
inline MemberOutcome readMemberByKey(std::string_view key, element value, R& record,
                                     DecodeFailure& failure, std::uint32_t& seen,
                                     std::index_sequence<I...>) {
  MemberOutcome outcome = MemberOutcome::read;
  static_cast<void>(((sameKey(kTable[I].key, key)
                          ? (outcome = readSlot<kTable, I>(value, record, failure, seen), true)
                          : false) ||
                     ...));
  return outcome;
}

/// The fast path: reads each known member as it comes, in the object's own order. Gives up
/// (false) on anything that needs the key-ordered pass to be reported right: a fault, a repeated
/// key, a null or missing required member. When it succeeds, the record equals what the
/// key-ordered pass would have built.
template <const auto& kTable, class R>
bool readInMemberOrder(simdjson::dom::object object, R& record, DecodeFailure& failure) {
  constexpr std::size_t N = kFieldCount<kTable>;
  static_assert(N <= 32, "seen is a 32-bit mask");
  std::uint32_t seen = 0;
  for (auto member : object) {
    if (readMemberByKey<kTable>(member.key, member.value, record, failure, seen,
                                std::make_index_sequence<N>()) == MemberOutcome::giveUp) {
      return false;
    }
  }
  for (std::size_t i = 0; i < N; ++i) {
    if (kTable[i].required && (seen & (std::uint32_t{1} << i)) == 0) return false;
  }
  return true;
}

/// The reference pass: parks each known member in its table slot (a repeated key: the last one
/// wins), then reads the slots in table order, so the first fault in key order is the one
/// reported, whatever the member order.
template <const auto& kTable, class R>
bool readInKeyOrder(simdjson::dom::object object, R& record, DecodeFailure& failure) {
  constexpr std::size_t N = kFieldCount<kTable>;
  std::array<element, N> slots;
  std::array<bool, N> present{};
  for (auto member : object) {
    const std::size_t slot = slotOf<kTable>(member.key);
    if (slot == N) continue;
    slots[slot] = member.value;
    present[slot] = true;
  }
  for (std::size_t i = 0; i < N; ++i) {
    const auto& entry = kTable[i];
    if (!present[i] || slots[i].is_null()) {
      if (!entry.required) continue;
      failMissing(entry.key, present[i], failure);
      return false;
    }
    if (!entry.read(slots[i], record, failure)) {
      failure.prependKey(entry.key);
      return false;
    }
  }
  return true;
}

}  // namespace table_detail

/// Reads a JSON object into `record`, a freshly made (empty) record, by the key table `kTable`
/// (a constexpr std::array of Field<R> at namespace scope).
///
/// Successful decodes take the fast path only. A fault found there is not reported directly:
/// the record is reset and read again in key order, which finds the fault that comes first in
/// key order and builds its key path. Records nest only a few levels deep, so re-reading on the
/// failure path costs a small constant factor.
template <const auto& kTable, class R>
bool readRecord(element value, R& record, DecodeFailure& failure) {
  simdjson::dom::object object;
  if (value.get(object) != simdjson::SUCCESS) {
    table_detail::failNotObject(value, failure);
    return false;
  }
  if (table_detail::readInMemberOrder<kTable>(object, record, failure)) return true;
  record = EmptyValue<R>::make();
  return table_detail::readInKeyOrder<kTable>(object, record, failure);
}

}  // namespace orvane::site::decoding
