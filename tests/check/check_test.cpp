#include <gtest/gtest.h>

#include "check/check.h"

namespace nlf {
namespace {

TEST(Check, Placeholder) { SUCCEED(); }

}  // namespace
}  // namespace nlf
