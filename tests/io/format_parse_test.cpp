#include <gtest/gtest.h>

#include <stdexcept>

#include "io/format.h"

namespace nlf {
namespace {

TEST(Format, MalformedFormatsAndItemsAreProgrammingErrors) {
  for (const char* bad : {"I5", "(I5", "(I5))", "(Q5)", "(I)", "(F8)", "(E8.0)", "('abc)", "(0I3)"})
    EXPECT_THROW(Format{bad}, std::invalid_argument) << bad;
  EXPECT_THROW(Format("(I5)").lines({1.5}), std::invalid_argument);
  EXPECT_THROW(Format("(A)").lines({1}), std::invalid_argument);
  EXPECT_THROW(Format("('x')").lines({1}), std::invalid_argument);  // never consumes
}

}  // namespace
}  // namespace nlf
