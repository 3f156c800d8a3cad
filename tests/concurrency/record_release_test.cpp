// Records decoded on one thread share memory blocks and are dropped on others, in any order and
// at the same time as further decodes. Meant to run under ThreadSanitizer and AddressSanitizer.
#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "orvane/site/decode.h"
#include "orvane/site/records/OpeningHours.h"
#include "orvane/site/records/Period.h"
#include "orvane/site/records/TimeOfWeek.h"
#include "support/ReplyFixtures.h"

namespace orvane::site {
namespace {

// Every record of a site that has a reference of its own, so that each can be dropped apart.
std::vector<std::shared_ptr<void>> partsOf(const std::shared_ptr<Site>& site) {
  std::vector<std::shared_ptr<void>> parts{site};
  if (site->address) parts.push_back(site->address);
  if (site->poi) parts.push_back(site->poi);
  if (site->poi && site->poi->openingHours) {
    parts.push_back(site->poi->openingHours);
    for (const auto& period :
         site->poi->openingHours->periods.value_or(std::vector<std::shared_ptr<Period>>{})) {
      parts.insert(parts.end(), {period, period->open, period->close});
    }
  }
  return parts;
}

TEST(RecordRelease, RecordsDroppedOnOtherThreadsWhileDecodingGoesOn) {
  const std::string reply = testkit::readFixture("text_search_20_sites.json");
  constexpr int kDecoders = 3;
  constexpr int kDroppers = 3;
  constexpr int kRepliesEach = 40;

  std::mutex mutex;
  std::vector<std::vector<std::shared_ptr<void>>> handedOver(kDroppers);
  std::vector<std::thread> threads;
  for (int d = 0; d < kDecoders; ++d) {
    threads.emplace_back([&, d] {
      for (int i = 0; i < kRepliesEach; ++i) {
        auto result = decode<TextSearchResponse>(reply);
        ASSERT_TRUE(result.ok());
        std::size_t next = static_cast<std::size_t>(d + i);
        for (const auto& site : *result.value()->sites) {
          auto parts = partsOf(site);
          std::lock_guard<std::mutex> lock(mutex);
          for (auto& part : parts) handedOver[next++ % kDroppers].push_back(std::move(part));
        }
      }  // the decoding thread's own references go here
    });
  }
  for (int k = 0; k < kDroppers; ++k) {
    threads.emplace_back([&, k] {
      for (int round = 0; round < 200; ++round) {
        std::vector<std::shared_ptr<void>> batch;
        {
          std::lock_guard<std::mutex> lock(mutex);
          batch.swap(handedOver[k]);
        }
        batch.clear();  // drops each record, often the last reference to it
        std::this_thread::yield();
      }
    });
  }
  for (auto& thread : threads) thread.join();

  // Whatever the droppers left is still readable, then dropped here.
  for (auto& parts : handedOver) {
    for (const auto& part : parts) EXPECT_NE(part, nullptr);
    parts.clear();
  }
}

}  // namespace
}  // namespace orvane::site
