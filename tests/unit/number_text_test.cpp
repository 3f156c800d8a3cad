#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "text/NumberText.h"

namespace orvane::site::internal {
namespace {

TEST(NumberText, ShortestRoundTripWithWholeNumberSuffix) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {{1, "1.0"},
               {2.25, "2.25"},
               {0.1, "0.1"},
               {-3, "-3.0"},
               {0, "0.0"},
               {-0.0, "-0.0"},
               {123456.789, "123456.789"},
               {0.0001, "0.0001"},
               {1e15, "1000000000000000.0"},
               {9007199254740993.0, "9007199254740992.0"},
               {1e16, "1e+16"},
               {1.5e300, "1.5e+300"},
               {0.00001, "1e-05"},
               {1.25e-7, "1.25e-07"},
               {5e-324, "5e-324"},
               {0.1 + 0.2, "0.30000000000000004"},
               {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
               {std::numeric_limits<double>::infinity(), "inf"},
               {-std::numeric_limits<double>::infinity(), "-inf"},
               {std::nan(""), "nan"}};
  for (const Case& c : cases) EXPECT_EQ(numberText(c.value), c.text);
}

}  // namespace
}  // namespace orvane::site::internal
