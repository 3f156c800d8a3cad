// What a resumed job checks before it keeps a single record: that the job is the one the
// output was started with, and that each kept record echoes its input row.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
  const auto check = [&] {
    checkKeptRecords(reader, output, OutputFileFormat::csv, kResult, param.allPlaces, point);
  };
  if (param.refusal) {
    EXPECT_THAT(check, ::testing::ThrowsMessage<JobRefused>(::testing::HasSubstr(param.refusal)));
    return;
  }
  check();
  // The next row the job reads is the first one not kept.
  const auto next = reader.next();
  EXPECT_EQ(next ? next->number : 4, point.rowsDone + 1);
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

// --retry-failed's plan of kept stretches and rows to redo is checked where it is used: by the
// engine's in-place rewrite (batch_engine_test) and end to end on a CSV output (batch_jobs_test).

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
