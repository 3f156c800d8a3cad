// The batch command's reorder window and how a resumed job finds where to carry on.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ReorderWindow.h"
#include "ResumeScan.h"

namespace orvane::site::cli::batch {
namespace {

TEST(BatchReorderWindow, ReleasesInSequenceWithinItsCapacity) {
  ReorderWindow<int> window(3);
  EXPECT_TRUE(window.admits(2));
  EXPECT_FALSE(window.admits(3));
  window.put(2, 20);
  window.put(1, 10);
  EXPECT_FALSE(window.popNext());  // 0 is not in yet
  window.put(0, 0);
  EXPECT_EQ(*window.popNext(), 0);
  EXPECT_EQ(*window.popNext(), 10);
  EXPECT_TRUE(window.admits(4));  // slots are reused as the window moves on
  window.put(4, 40);
  EXPECT_EQ(*window.popNext(), 20);
  EXPECT_FALSE(window.popNext());
  EXPECT_EQ(window.held(), 1u);
  EXPECT_THROW(window.put(4, 41), std::logic_error);  // doubled
  EXPECT_THROW(window.put(1, 11), std::logic_error);  // already released
  EXPECT_THROW(window.put(6, 60), std::logic_error);  // beyond the window
}

ResumePoint scan(const std::string& text, OutputFileFormat format, bool allPlaces = false) {
  std::istringstream in(text);
  return scanOutput(in, format, allPlaces);
}

TEST(BatchResume, CsvCountsCompleteRecordsAndCutsATornOne) {
  const std::string header = "address,place_name,error\r\n";
  const std::string rows = "Paris,Paris,\r\n\"a\nb\",,\"x, y\"\r\n";
  auto point = scan(header + rows, OutputFileFormat::csv);
  EXPECT_EQ(point.rowsDone, 2u);
  EXPECT_EQ(point.keepBytes, header.size() + rows.size());
  EXPECT_EQ(point.header.size(), 3u);

  for (const std::string torn : {"Tok", "Tokyo,Tokyo,\r", "\"open\nquote,", "Tokyo,\"x"}) {
    point = scan(header + rows + torn, OutputFileFormat::csv);
    EXPECT_EQ(point.rowsDone, 2u) << torn;
    EXPECT_EQ(point.keepBytes, header.size() + rows.size()) << torn;
  }
  point = scan("address,pla", OutputFileFormat::csv);  // torn header: start again
  EXPECT_EQ(point.keepBytes, 0u);
  EXPECT_TRUE(point.header.empty());
  EXPECT_THROW(scan(header + "one,field\r\nnext", OutputFileFormat::csv), std::runtime_error);
}

TEST(BatchResume, JsonLinesCutATornLine_DamageInsideIsRefused) {
  const std::string lines = "{\"a\":1}\n{\"a\":2}\n";
  auto point = scan(lines + "{\"a\":", OutputFileFormat::jsonLines);
  EXPECT_EQ(point.rowsDone, 2u);
  EXPECT_EQ(point.keepBytes, lines.size());
  point = scan(lines + "{\"a\":3}", OutputFileFormat::jsonLines);  // no line break yet
  EXPECT_EQ(point.rowsDone, 2u);
  EXPECT_THROW(scan("{\"a\":1}\nnot json\n{}\n", OutputFileFormat::jsonLines), std::runtime_error);
}

TEST(BatchResume, AllPlacesRedoesTheLastRowWhoseRecordsMayBeIncomplete) {
  const std::string header = "address,row,place_name,error\r\n";
  const std::string row1 = "Paris,1,A,\r\nParis,1,B,\r\n";
  const std::string row2 = "Lima,2,C,\r\nLima,2,D,\r\n";
  auto point = scan(header + row1 + row2, OutputFileFormat::csv, true);
  EXPECT_EQ(point.rowsDone, 1u);
  EXPECT_EQ(point.keepBytes, header.size() + row1.size());
  // A torn record may belong to the row before it: that row is redone too.
  point = scan(header + row1 + "Lima,2,C", OutputFileFormat::csv, true);
  EXPECT_EQ(point.rowsDone, 0u);
  EXPECT_EQ(point.keepBytes, header.size());

  const std::string json = "{\"row\":1}\n{\"row\":2}\n{\"row\":2}\n";
  point = scan(json, OutputFileFormat::jsonLines, true);
  EXPECT_EQ(point.rowsDone, 1u);
  EXPECT_EQ(point.keepBytes, 10u);
}

}  // namespace
}  // namespace orvane::site::cli::batch
