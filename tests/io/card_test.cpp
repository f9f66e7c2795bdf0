#include "io/card.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "io/io_test_util.h"
#include "io/stop.h"

namespace nlf {
namespace {

using test::bars;
using test::error_of;
using test::read_tsv;
using test::unescape;
using test::vector_real;

const FieldSource kSrc{"card.txt", 1};

void expect_same_real(double got, double want, const std::string& ctx) {
  EXPECT_EQ(got, want) << ctx;
  EXPECT_EQ(std::signbit(got), std::signbit(want)) << ctx;
}

// A one-line record read by a descriptor: short records are padded with
// blanks, a carriage return is dropped.
std::string record_field(const std::string& cell, std::size_t w) {
  return card_columns(unescape(bars(cell))).substr(0, w);
}

TEST(CardVectors, EveryInputRow) {
  auto rows = read_tsv("input.tsv");
  ASSERT_EQ(rows.size(), 46u);
  for (const auto& r : rows) {
    ASSERT_EQ(r.size(), 3u);
    std::string ctx = r[0] + " |" + r[1] + "|";
    const std::string& want = r[2];
    // Deliberately stricter than the vectors: NaN and infinities are
    // refused like any other malformed number.
    bool refused = want == "ERROR" || want == "NaN" || want == "+Inf" || want == "-Inf";
    if (r[0] == "I3") {
      std::string f = record_field(r[1], 3);
      if (refused)
        EXPECT_THROW(read_int_field(f, kSrc, 1), FileError) << ctx;
      else
        EXPECT_EQ(read_int_field(f, kSrc, 1), std::stoi(want)) << ctx;
    } else if (r[0] == "F10.0") {
      std::string f = record_field(r[1], 10);
      if (refused)
        EXPECT_THROW(read_real_field(f, kSrc, 1), FileError) << ctx;
      else
        expect_same_real(read_real_field(f, kSrc, 1), vector_real(want), ctx);
    } else {
      ASSERT_EQ(r[0], "A1,3I3,7F10.0");
      Card c = decode_card(unescape(bars(r[1])), kSrc);
      std::string ch = want.substr(0, 3);  // the letter in quotes, maybe a blank
      std::istringstream in(want.substr(3));
      int i1, i2, i3;
      in >> i1 >> i2 >> i3;
      EXPECT_EQ(std::string("'") + c.ch + "'", ch) << ctx;
      EXPECT_EQ(c.i1, i1) << ctx;
      EXPECT_EQ(c.i2, i2) << ctx;
      EXPECT_EQ(c.i3, i3) << ctx;
      for (int k = 1; k <= 7; ++k) {
        std::string x;
        in >> x;
        expect_same_real(c.X(k), vector_real(x), ctx + " X" + std::to_string(k));
      }
    }
  }
}

TEST(Card, ColumnsArePaddedOrCutToEighty) {
  EXPECT_EQ(card_columns(""), std::string(80, ' '));
  EXPECT_EQ(card_columns("J\r"), "J" + std::string(79, ' '));
  std::string long_line(100, '7');
  EXPECT_EQ(card_columns(long_line), std::string(80, '7'));
}

TEST(Card, ErrorsNameFileLineAndColumns) {
  FieldSource src{"deck.dat", 12};
  std::string line = "J  1         abc";
  EXPECT_EQ(error_of([&] { decode_card(line, src); }),
            "deck.dat: line 12, columns 11-20: 'abc' is not a number");
  EXPECT_EQ(error_of([&] { decode_card("M  1 x2", src); }),
            "deck.dat: line 12, columns 5-7: 'x2' is not an integer");
  EXPECT_EQ(error_of([&] { read_real_field("  1E999   ", src, 21); }),
            "deck.dat: line 12, columns 21-30: '1E999' is out of range");
  EXPECT_EQ(error_of([&] { read_real_field("1\x01", src, 5); }),
            "deck.dat: line 12, columns 5-6: '1?' is not a number");
}

TEST(Card, FieldLimits) {
  for (const char* bad : {"-1.8D+309", "  Inf", "1.5E+", "    .", "  1,5"})
    EXPECT_THROW(read_real_field(bad, kSrc, 1), FileError) << bad;
  expect_same_real(read_real_field("-1E-999   ", kSrc, 1), -0.0, "underflow");
  expect_same_real(read_real_field("1.5d-3", kSrc, 1), 0.0015, "D exponent");
  expect_same_real(read_real_field("0.1", kSrc, 1), 0.1, "exact decimal conversion");
  EXPECT_EQ(read_int_field("2147483647", kSrc, 1), 2147483647);
  EXPECT_EQ(read_int_field("-2147483648", kSrc, 1), -2147483647 - 1);
  for (const char* bad : {"2147483648", "99999999999999999999", "1e2"})
    EXPECT_THROW(read_int_field(bad, kSrc, 1), FileError) << bad;
}

TEST(Card, ControlCardLayout) {
  std::string title(64, 'T');
  title[0] = 'F';
  std::string line = "  7  8  3 2.5 " + std::string(1, 'x') + title + "ZZZ";
  ControlCard c = decode_control_card(line, kSrc);
  EXPECT_EQ(c.iresin, 7);
  EXPECT_EQ(c.iresout, 8);
  EXPECT_EQ(c.nprint, 3);
  EXPECT_EQ(c.rctl, 2.5);
  EXPECT_EQ(c.title, title);
  ControlCard blank = decode_control_card("", kSrc);
  EXPECT_EQ(blank.nprint, 0);
  EXPECT_EQ(blank.title, std::string(64, ' '));
}

TEST(NameItemVectors, EveryListDirectedRow) {
  auto rows = read_tsv("list-directed-read.tsv");
  ASSERT_EQ(rows.size(), 26u);
  for (const auto& r : rows) {
    ASSERT_EQ(r.size(), 2u);
    std::string in = unescape(r[0]);
    if (r[1].rfind("ERROR", 0) == 0) {
      EXPECT_THROW(read_name_item(in, "INITIAL"), FileError) << r[0];
    } else {
      EXPECT_EQ(read_name_item(in, "INITIAL"), bars(r[1])) << r[0];
    }
  }
}

TEST(NameItem, ErrorsAreReportedPlainly) {
  EXPECT_EQ(error_of([] { read_name_item("", "x"); }),
            "standard input: end of file while reading the deck name");
  EXPECT_EQ(error_of([] { read_name_item("'a b'c\n", "x"); }),
            "standard input: invalid deck name: text follows the closing quote");
  EXPECT_EQ(read_name_item("\"unclosed\n", "x"), "unclosed        ");
  EXPECT_EQ(read_name_item("2*\n", "x"), "x" + std::string(15, ' '));
}

}  // namespace
}  // namespace nlf
