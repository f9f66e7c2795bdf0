// One value edited into one field.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>
#include <limits>

#include "io/format.h"
#include "io/io_test_util.h"

namespace nlf {
namespace {

using test::bars;
using test::read_tsv;
using test::vector_real;

// An item as the vectors give it: integers where the text has no point or
// exponent (the interpreter widens an integer handed to F, E or G exactly).
Item vector_item(const std::string& v) {
  if (v.find_first_of(".eEaNI") == std::string::npos) return Item(std::atoll(v.c_str()));
  return Item(vector_real(v));
}

TEST(FormatVectors, EveryMultiItemRecord) {
  auto rows = read_tsv("records.tsv");
  ASSERT_FALSE(rows.empty());
  std::size_t i = 0;
  while (i < rows.size()) {
    // The rows of one statement share format and values.
    std::size_t j = i;
    while (j < rows.size() && rows[j][0] == rows[i][0] && rows[j][1] == rows[i][1] &&
           (j == i || rows[j][2] != "1"))
      ++j;
    std::vector<Item> items;
    std::string values = rows[i][1];
    for (std::size_t p = 0; p < values.size();) {
      std::size_t q = values.find(' ', p);
      if (q == std::string::npos) q = values.size();
      items.push_back(vector_item(values.substr(p, q - p)));
      p = q + 1;
    }
    auto lines = Format(rows[i][0]).lines(items);
    ASSERT_EQ(lines.size(), j - i) << rows[i][0];
    for (std::size_t k = i; k < j; ++k)
      EXPECT_EQ(lines[k - i], bars(rows[k][3])) << rows[i][0] << " line " << rows[k][2];
    i = j;
  }
}

TEST(FormatVectors, EverySingleValueRow) {
  auto rows = read_tsv("output.tsv");
  ASSERT_EQ(rows.size(), 285u);
  for (const auto& r : rows) {
    ASSERT_EQ(r.size(), 3u);
    Format f("(" + r[0] + ")");
    Item it = r[0][0] == 'I' ? Item(std::atoll(r[1].c_str())) : Item(vector_real(r[1]));
    auto lines = f.lines({it});
    ASSERT_EQ(lines.size(), 1u) << r[0] << " " << r[1];
    EXPECT_EQ(lines[0], bars(r[2])) << r[0] << " of " << r[1];
  }
}

TEST(Format, FieldEdgeCases) {
  EXPECT_EQ(Format("(F5.0)").lines({0.4})[0], "   0.");
  EXPECT_EQ(Format("(F6.0)").lines({-2.5})[0], "   -2.");
  EXPECT_EQ(Format("(I3)").lines({-2147483647 - 1})[0], "***");
  EXPECT_EQ(Format("(I20)").lines({-9223372036854775807LL - 1})[0], "-9223372036854775808");
  EXPECT_EQ(Format("(F5.1)").lines({std::numeric_limits<double>::infinity()})[0], "  Inf");
  EXPECT_EQ(Format("(F2.1)").lines({std::numeric_limits<double>::infinity()})[0], "**");
  EXPECT_EQ(Format("(F400.1)").lines({1e300})[0].size(), 400u);
  EXPECT_EQ(Format("(-1P,E12.3)").lines({0.5})[0], "   0.050E+01");
}

// Short F and E fields take a quicker way to their digits; they must round
// exactly as the C library does, also next to and on rounding ties.
TEST(Format, ShortFieldsRoundLikeTheCLibrary) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> mant(1.0, 10.0);
  std::uniform_int_distribution<int> expo(-14, 14);
  std::vector<double> values = {0.125, 0.375, 2.5, 0.0625, 1e-300, 5e-324, 9.9995, 0.99995};
  for (int i = 0; i < 20000; ++i) {
    const double x = mant(rng) * std::pow(10.0, expo(rng));
    values.push_back(i % 2 ? x : -x);
    // Next to a tie of the third or fourth decimal.
    const double t = (std::floor(x * 1000) + 0.5) / 1000;
    values.push_back(t);
    values.push_back(std::nextafter(t, 0.0));
    values.push_back(std::nextafter(t, 1e300));
  }
  std::vector<Format> fixed, expo1p;
  for (int d = 0; d <= 6; ++d) {
    fixed.emplace_back("(F30." + std::to_string(d) + ")");
    expo1p.emplace_back("(1P,E30." + std::to_string(d + 1) + ")");
  }
  char c[64];
  for (double x : values)
    for (int d = 0; d <= 6; ++d) {
      std::snprintf(c, sizeof c, "%#30.*f", d, x);
      ASSERT_EQ(fixed[d].lines({x})[0], c) << x;
      if (std::fabs(x) < 1e-99 || std::fabs(x) >= 1e100) continue;
      std::snprintf(c, sizeof c, "%30.*E", d + 1, x);
      ASSERT_EQ(expo1p[d].lines({x})[0], c) << x;
    }
}

// A field as the C library makes it: the text right-aligned, without the
// zero before the point (of a field with decimals) when only that keeps it
// in the field, else stars.
std::string reference_field(const char* text, int w, int d = 0) {
  std::string t = text;
  if (static_cast<int>(t.size()) > w && d > 0) {
    const std::size_t z = t[0] == '-' ? 1 : 0;
    if (t.compare(z, 2, "0.") == 0) t.erase(z, 1);
  }
  if (static_cast<int>(t.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w) - t.size(), ' ') + t;
}

// Narrow I and F fields, several in a row as the result lines have them, at
// their limits: the widest value that fits, the first that does not, the
// zero before the point dropped, and fields wider than the quick way's
// window.
TEST(Format, NarrowFieldsInRuns) {
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<int> digits(0, 10);
  std::uniform_int_distribution<int> decimals(0, 4);
  for (int w : {1, 3, 4, 5, 9, 10, 31, 32, 33, 40}) {
    const Format ints("(4I" + std::to_string(w) + ")");
    const long long top = w < 18 ? static_cast<long long>(std::pow(10.0, w)) : 0;
    const std::vector<long long> edges = {top - 1, top, 1 - top / 10, -top / 10};
    for (int i = 0; i < 3000; ++i) {
      std::vector<long long> v(4);
      std::string want;
      char c[64];
      for (auto& x : v) {
        const long long scale = static_cast<long long>(std::pow(10.0, digits(rng)));
        x = static_cast<long long>(rng() % static_cast<unsigned long long>(scale + 1));
        if (rng() % 2) x = -x;
        if (i < 2) x = edges[static_cast<std::size_t>(&x - v.data())] + i;
        std::snprintf(c, sizeof c, "%lld", x);
        want += reference_field(c, w);
      }
      ASSERT_EQ(ints.lines({v[0], v[1], v[2], v[3]})[0], want) << w;
    }
    const int d = decimals(rng) % (w > 1 ? w : 1);
    const Format reals("(3F" + std::to_string(w) + "." + std::to_string(d) + ")");
    for (int i = 0; i < 3000; ++i) {
      std::vector<double> v(3);
      std::string want;
      char c[128];
      for (auto& x : v) {
        x = std::ldexp(static_cast<double>(rng() % 100000), digits(rng) - 12);
        if (rng() % 2) x = -x;
        std::snprintf(c, sizeof c, "%#.*f", d, x);
        want += reference_field(c, w, d);
      }
      ASSERT_EQ(reals.lines({v[0], v[1], v[2]})[0], want) << w << "." << d;
    }
  }
}

// E fields without a scale factor ("0." and the digits), narrow ones
// included, against the C library's digits and exponent.
TEST(Format, ExponentFieldsInRuns) {
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<double> mant(1.0, 10.0);
  std::uniform_int_distribution<int> expo(-40, 40);
  for (int w : {7, 8, 9, 10, 12, 15, 33}) {
    for (int d : {1, 3, 5}) {
      const Format f("(3E" + std::to_string(w) + "." + std::to_string(d) + ")");
      for (int i = 0; i < 2000; ++i) {
        double v[3];
        std::string want;
        for (double& x : v) {
          x = i % 50 == 0 ? 0.0 : mant(rng) * std::pow(10.0, expo(rng));
          if (rng() % 2) x = -x;
          char c[64];
          std::snprintf(c, sizeof c, "%.*E", d - 1, std::fabs(x));
          std::string digits(1, c[0]);  // "D.DDDE+XX": the digits without the point
          for (int k = 2; k <= d; ++k) digits += c[k];
          const int e = x == 0 ? 0 : std::atoi(std::strchr(c, 'E') + 1) + 1;
          std::snprintf(c, sizeof c, "%s0.%sE%c%02d", std::signbit(x) ? "-" : "", digits.c_str(),
                        e < 0 ? '-' : '+', std::abs(e));
          want += reference_field(c, w, d);
        }
        ASSERT_EQ(f.lines({v[0], v[1], v[2]})[0], want) << w << "." << d << " " << v[0];
      }
    }
  }
}

}  // namespace
}  // namespace nlf
