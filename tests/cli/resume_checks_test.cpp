// What a resumed job checks before it keeps a single record: that the job is the one the
// output was started with, and that each kept record echoes its input row.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "JobRefused.h"
#include "Journal.h"
#include "KeptRecords.h"

namespace orvane::site::cli::batch {
namespace {

const std::vector<std::string> kResult{"place_name"};
const std::string kInput = "id,address\n1,Paris\n2,Tokyo\n3,Lima\n";

struct KeptCase {
  const char* name;
  std::string output;
  bool allPlaces;
  const char* refusal;  // part of the message, or nullptr where the output may be kept
};

class KeptRecordsCheck : public ::testing::TestWithParam<KeptCase> {};

TEST_P(KeptRecordsCheck, KeepsOnlyRecordsThatEchoTheirRowsInOrder) {
  const auto& param = GetParam();
  std::istringstream scanned(param.output);
  const ResumePoint point = scanOutput(scanned, OutputFileFormat::csv, param.allPlaces);
  std::istringstream input(kInput);
  InputReader reader(input, InputFormat::csv, "address");
  std::istringstream output(param.output);
  if (!param.refusal) {
    checkKeptRecords(reader, output, OutputFileFormat::csv, kResult, param.allPlaces, point);
    // The next row the job reads is the first one not kept.
    const auto next = reader.next();
    EXPECT_EQ(next ? next->number : 4, point.rowsDone + 1);
    return;
  }
  try {
    checkKeptRecords(reader, output, OutputFileFormat::csv, kResult, param.allPlaces, point);
    ADD_FAILURE() << "kept";
  } catch (const JobRefused& refused) {
    EXPECT_NE(std::string(refused.what()).find(param.refusal), std::string::npos) << refused.what();
  }
}

const std::string kHeader = "id,address,place_name,status,error\r\n";
const std::string kPlacesHeader = "id,address,row,place_name,status,error\r\n";

INSTANTIATE_TEST_SUITE_P(
    Outputs, KeptRecordsCheck,
    ::testing::Values(
        KeptCase{"intact", kHeader + "1,Paris,P,found,\r\n2,Tokyo,T,found,\r\n", false, nullptr},
        KeptCase{"tornLastRecord", kHeader + "1,Paris,P,found,\r\n2,Tok", false, nullptr},
        KeptCase{"deleted", kHeader + "1,Paris,P,found,\r\n3,Lima,L,found,\r\n", false,
                 "record 2 of the output does not echo input row 2"},
        KeptCase{"duplicated",
                 kHeader + "1,Paris,P,found,\r\n1,Paris,P,found,\r\n2,Tokyo,T,found,\r\n", false,
                 "record 2 of the output does not echo input row 2"},
        KeptCase{"swapped", kHeader + "2,Tokyo,T,found,\r\n1,Paris,P,found,\r\n", false,
                 "record 1 of the output does not echo input row 1"},
        KeptCase{
            "moreThanTheInput",
            kHeader +
                "1,Paris,P,found,\r\n2,Tokyo,T,found,\r\n3,Lima,L,found,\r\n3,Lima,L,found,\r\n",
            false, "more rows than the input"},
        KeptCase{
            "allPlacesIntact",
            kPlacesHeader + "1,Paris,1,P,found,\r\n1,Paris,1,Q,found,\r\n2,Tokyo,2,T,found,\r\n",
            true, nullptr},
        KeptCase{
            "allPlacesRowsOutOfOrder",
            kPlacesHeader + "1,Paris,1,P,found,\r\n3,Lima,3,L,found,\r\n2,Tokyo,2,T,found,\r\n",
            true, "belongs to row 3, not input row 2"}),
    [](const auto& info) { return std::string(info.param.name); });

// --retry-failed: the kept records, checked as a resume checks them, tiled into stretches
// copied as they are and the rows marked retry-later, in both formats.
TEST(BatchRetryPlan, NotesTheRowsMarkedRetryLaterBetweenStretchesKeptAsTheyAre) {
  const std::string json = "{\"id\":\"1\",\"address\":\"Paris\",\"status\":\"";
  const std::vector<std::pair<OutputFileFormat, std::vector<std::string>>> outputs{
      {OutputFileFormat::csv,
       {kHeader, "1,Paris,,retry-later,busy\r\n", "2,Tokyo,T,found,\r\n",
        "3,Lima,,failed,bad\r\n"}},
      {OutputFileFormat::jsonLines,
       {"", json + "retry-later\"}\n", "{\"id\":\"2\",\"address\":\"Tokyo\"}\n",
        "{\"id\":\"3\",\"address\":\"Lima\",\"status\":\"failed\"}\n"}}};
  for (const auto& [format, pieces] : outputs) {
    std::string text;
    for (const auto& piece : pieces) text += piece;
    const auto [header, retryLater, found, failed] = std::array<std::uint64_t, 4>{
        pieces[0].size(), pieces[1].size(), pieces[2].size(), pieces[3].size()};
    std::istringstream scanned(text);
    const ResumePoint point = scanOutput(scanned, format, false);
    std::istringstream input(kInput);
    InputReader reader(input, InputFormat::csv, "address");
    std::istringstream output(text);
    RetryPlan plan;
    checkKeptRecords(reader, output, format, kResult, false, point, &plan);
    EXPECT_EQ(plan.redoRows, 1u);
    std::vector<KeptStep> expected;
    if (header > 0) expected.push_back({0, header, std::nullopt});
    expected.push_back({header, header + retryLater, InputRow{}});
    expected.push_back({header + retryLater, header + retryLater + found + failed, std::nullopt});
    ASSERT_EQ(plan.steps.size(), expected.size()) << text;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(plan.steps[i].begin, expected[i].begin) << i << text;
      EXPECT_EQ(plan.steps[i].end, expected[i].end) << i << text;
      EXPECT_EQ(plan.steps[i].redo.has_value(), expected[i].redo.has_value()) << i << text;
    }
    EXPECT_EQ(plan.steps[header > 0 ? 1 : 0].redo->values["address"], "Paris");
    EXPECT_EQ(plan.offsetOfStep(plan.steps.size(), point.keepBytes), text.size());
  }
}

TEST(BatchJournal, ReadsBackWhatItWrote_AndNamesEachEntryThatDiffers) {
  JobIdentity earlier;
  earlier.add("operation", "geocode");
  earlier.add("all-places", "no");
  earlier.add("input", "85 bytes, fnv1a-64 00000000000000aa");
  const auto parsed = JobIdentity::parse(earlier.text());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->differencesFrom(earlier), "");
  EXPECT_FALSE(JobIdentity::parse("id,address\n"));

  JobIdentity now;
  now.add("operation", "geocode");
  now.add("all-places", "yes");
  now.add("column", "address=street");
  now.add("input", "85 bytes, fnv1a-64 00000000000000bb");
  EXPECT_EQ(now.differencesFrom(earlier),
            "all-places: was no, now yes; input: was 85 bytes, fnv1a-64 00000000000000aa, now 85 "
            "bytes, fnv1a-64 00000000000000bb; column: was (none), now address=street");
}

TEST(BatchJournal, FingerprintTellsInputsOfOneSizeApart) {
  const std::string dir = ::testing::TempDir();
  const auto fingerprintOf = [&](const std::string& text) {
    const std::string path = dir + "/fingerprint-" + std::to_string(text.size()) + ".csv";
    std::ofstream(path, std::ios::binary) << text;
    return inputFingerprint(path);
  };
  const std::string a = fingerprintOf("id,address\n1,Paris\n2,Tokyo\n");
  EXPECT_EQ(a.rfind("27 bytes, fnv1a-64 ", 0), 0u) << a;
  EXPECT_EQ(fingerprintOf("id,address\n1,Paris\n2,Tokyo\n"), a);
  EXPECT_NE(fingerprintOf("id,address\n2,Tokyo\n1,Paris\n"), a);
  EXPECT_EQ(inputFingerprint("-"), "standard input");
}

}  // namespace
}  // namespace orvane::site::cli::batch
