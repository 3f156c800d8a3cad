// CSV records and the three input formats of the batch command.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Csv.h"
#include "InputReader.h"
#include "RowFields.h"

namespace orvane::site::cli::batch {
namespace {

std::vector<std::vector<std::string>> readAll(const std::string& text) {
  std::istringstream in(text);
  CsvReader reader(in);
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> fields;
  while (reader.next(fields)) records.push_back(fields);
  return records;
}

TEST(BatchCsv, ReadsQuotedCommasQuotesAndLineBreaks) {
  const auto records = readAll("a,b,c\r\n\"x, y\",\"say \"\"hi\"\"\",\"two\nlines\"\n,,\nlast");
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0], (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(records[1], (std::vector<std::string>{"x, y", "say \"hi\"", "two\nlines"}));
  EXPECT_EQ(records[2], (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(records[3], (std::vector<std::string>{"last"}));
}

// Torn records are the resume scan's (reorder_and_resume_test).
TEST(BatchCsv, QuotesOnlyWhatNeedsIt_AndReadsBackWhatItWrote) {
  const std::vector<std::string> fields{"plain", "a,b", "say \"hi\"", "line\nbreak", "cr\r", ""};
  std::string text;
  appendCsvRecord(text, fields);
  EXPECT_EQ(text, "plain,\"a,b\",\"say \"\"hi\"\"\",\"line\nbreak\",\"cr\r\",\r\n");
  EXPECT_EQ(readAll(text), std::vector<std::vector<std::string>>{fields});
}

// A byte-order mark is skipped whatever follows it; header names are matched unquoted.
class BatchInputHeader : public ::testing::TestWithParam<const char*> {};

TEST_P(BatchInputHeader, CsvRowsByHeader_BlankLinesSkipped_WrongWidthIsAProblem) {
  std::istringstream in(std::string(GetParam()) + "\n1,Paris\n\n2\n");
  InputReader reader(in, InputFormat::csv, "address");
  EXPECT_EQ(reader.columns(), (std::vector<std::string>{"id", "address"}));
  auto first = reader.next();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->number, 1u);
  EXPECT_EQ(first->values["address"], "Paris");
  EXPECT_TRUE(first->problem.empty());
  auto second = reader.next();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->number, 2u);
  EXPECT_FALSE(second->problem.empty());
  EXPECT_FALSE(reader.next());
}

INSTANTIATE_TEST_SUITE_P(Headers, BatchInputHeader,
                         ::testing::Values("id,address", "\xEF\xBB\xBFid,address",
                                           "\xEF\xBB\xBF\"id\",\"address\"", "\"id\",\"address\""));

TEST(BatchInput, JsonLinesKeepTheirValues_AndPlainLinesFillOneColumn) {
  std::istringstream json("{\"lat\": 1.5, \"lng\": 2}\n[1]\n");
  InputReader jsonReader(json, InputFormat::jsonLines, "position");
  auto row = jsonReader.next();
  ASSERT_TRUE(row);
  EXPECT_EQ(row->values["lat"], 1.5);
  EXPECT_EQ(jsonReader.columns(), (std::vector<std::string>{"lat", "lng"}));
  row = jsonReader.next();
  ASSERT_TRUE(row);
  EXPECT_EQ(row->problem, "the line is not a JSON object");

  std::istringstream lines("Paris, France\r\n\nTokyo");
  InputReader lineReader(lines, InputFormat::lines, "address");
  EXPECT_EQ(lineReader.next()->values["address"], "Paris, France");
  EXPECT_EQ(lineReader.next()->values["address"], "Tokyo");
  EXPECT_FALSE(lineReader.next());
}

// A CSV output's header is written with the first row, so later lines add no columns.
TEST(BatchInput, TheFirstJsonLineAloneNamesTheColumns) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
      {"{\"a\": 1}\n{\"a\": 2, \"b\": 3}\n", {"a"}},
      {"[1]\n{\"a\": 1}\n", {"line"}},
      {"{}\n{\"a\": 1}\n", {}}};
  for (const auto& [text, columns] : cases) {
    std::istringstream in(text);
    InputReader reader(in, InputFormat::jsonLines, "position");
    while (reader.next()) {
    }
    EXPECT_EQ(reader.columns(), columns) << text;
  }
}

TEST(BatchInput, CsvWithoutHeaderOrWithOpenQuoteIsRefused) {
  std::istringstream empty("");
  EXPECT_THROW(InputReader(empty, InputFormat::csv, "address"), std::runtime_error);
  std::istringstream open("address\n\"Paris\n");
  InputReader reader(open, InputFormat::csv, "address");
  EXPECT_THROW(reader.next(), std::runtime_error);
}

TEST(BatchFields, ColumnsByNameOrMapping_NumbersAndRangesChecked) {
  ColumnMap columns;
  columns.add("lat=latitude", {"lat", "lng"});
  EXPECT_THROW(columns.add("height=h", {"lat", "lng"}), std::invalid_argument);
  EXPECT_THROW(columns.add("lat", {"lat", "lng"}), std::invalid_argument);

  RowValues good = {{"latitude", "48.5"}, {"lng", 2}};
  EXPECT_DOUBLE_EQ(RowFields(good, columns).position().lat, 48.5);
  RowValues notANumber = {{"latitude", "48.5x"}, {"lng", "2"}};
  EXPECT_THROW(RowFields(notANumber, columns).position(), BadRow);
  RowValues outOfRange = {{"latitude", "91"}, {"lng", "2"}};
  EXPECT_THROW(RowFields(outOfRange, columns).position(), BadRow);
  RowValues halfMissing = {{"latitude", "1"}};
  EXPECT_THROW(RowFields(halfMissing, columns).position(), BadRow);

  ColumnMap plain;
  RowValues position = {{"position", "10.5, -20"}, {"timestamp", "12x"}};
  EXPECT_DOUBLE_EQ(RowFields(position, plain).position().lng, -20);
  EXPECT_THROW(RowFields(position, plain).integer("timestamp"), BadRow);
  EXPECT_THROW(RowFields(position, plain).requiredText("address"), BadRow);
}

}  // namespace
}  // namespace orvane::site::cli::batch
