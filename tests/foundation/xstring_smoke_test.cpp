// Quick checks of the string conversions most scripts rely on.
#include <gtest/gtest.h>

#include "foundation/xstring.h"

TEST(CXStringSmoke, DoubleText) {
  EXPECT_EQ(CXString::toString(0.0).str(), "0");
  EXPECT_EQ(CXString::toString(0.5).str(), "0.50000");
  EXPECT_EQ(CXString::toString(-0.001).str(), "-0.00100");
  EXPECT_EQ(CXString::toString(1.5).str(), "1.50000");
}
