#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "io/records.h"
#include "io/units.h"
#include "io/io_test_util.h"

namespace nlf {
namespace {

namespace fs = std::filesystem;
using test::error_of;
using test::InDir;
using test::read_file;
using test::TempDir;
using test::write_file;

std::string bytes(std::initializer_list<int> b) {
  std::string s;
  for (int c : b) s.push_back(static_cast<char>(c));
  return s;
}

TEST(RecordFile, FramesEveryRecordWithLittleEndianLengths) {
  TempDir dir;
  std::string path = dir / "rec.bin";
  {
    RecordFile f;
    f.open(path, true);
    std::int32_t iv[2] = {1, -2};
    f.write_ints(iv, 2);
    f.write(std::int32_t{258}, 0.5);
    f.write_reals(nullptr, 0);
    f.close();
  }
  std::string want = bytes({8, 0, 0, 0, 1, 0, 0, 0, 0xfe, 0xff, 0xff, 0xff, 8, 0, 0, 0}) +
                     bytes({12, 0, 0, 0, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0xe0, 0x3f, 12, 0, 0, 0}) +
                     bytes({0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(read_file(path), want);
}

TEST(RecordFile, RewindRereadAndEndFileTruncates) {
  TempDir dir;
  std::string path = dir / "rec.bin";
  RecordFile f;
  f.open(path, true);
  for (int k = 1; k <= 3; ++k) f.write(static_cast<double>(k));
  f.rewind();
  double v = 0;
  f.read(v);
  EXPECT_EQ(v, 1.0);
  EXPECT_EQ(f.record_number(), 2);
  f.write(20.0);  // a write straight after a read replaces record 2
  f.end_file();
  EXPECT_TRUE(f.at_end());
  EXPECT_EQ(fs::file_size(path), 2u * 16u);
  f.rewind();
  std::int32_t n = 0;
  EXPECT_FALSE(f.at_end());
  f.read(v);
  f.read(v);
  EXPECT_EQ(v, 20.0);
  EXPECT_TRUE(f.at_end());
  EXPECT_EQ(error_of([&] { f.read(v); }), path + ": record 3: end of file");
  f.rewind();
  EXPECT_EQ(error_of([&] { f.read(n); }),
            path + ": record 1: holds 8 bytes where 4 were expected");
  f.close();
  // Reopening an existing file keeps its records.
  f.open(path, false);
  f.read(v);
  EXPECT_EQ(v, 1.0);
}

TEST(RecordFile, DamagedAndShortFilesAreReported) {
  TempDir dir;
  std::string path = dir / "bad.bin";
  RecordFile f;
  // Inside the data, inside the leading length, and a trailing length that
  // does not match.
  for (const std::string& content :
       {bytes({8, 0, 0, 0, 1, 2, 3}), bytes({8, 0}),
        bytes({4, 0, 0, 0, 1, 0, 0, 0, 5, 0, 0, 0})}) {
    write_file(path, content);
    f.open(path, false);
    std::int32_t iv[2];
    std::string err = error_of([&] { f.read_ints(iv, content.size() == 12 ? 1 : 2); });
    EXPECT_EQ(err.rfind(path + ": record 1: ", 0), 0u) << err;
    EXPECT_NE(err.find(content.size() == 12 ? "damaged" : "ends inside"), std::string::npos) << err;
    f.close();
  }
  EXPECT_EQ(error_of([&] { f.open(dir / "missing", false); }),
            (dir / "missing").string() + ": cannot open: No such file or directory");
  EXPECT_THROW(f.write_reals(nullptr, 1), FileError);  // not open
}

TEST(RecordFile, BlockTransfersAreTheSameRecordsAsSingleOnes) {
  TempDir dir;
  const std::string one = dir / "one.bin", many = dir / "many.bin";
  double v[12];
  for (int i = 0; i < 12; ++i) v[i] = 0.25 * i - 1;
  {
    RecordFile a, b;
    a.open(one, true);
    b.open(many, true);
    for (int k = 0; k < 4; ++k) a.write_reals(v + 3 * k, 3);
    b.write_many(v, 3 * sizeof(double), 4);
    EXPECT_EQ(b.record_number(), 5);
  }
  EXPECT_EQ(read_file(one), read_file(many));
  RecordFile f;
  f.open(many, false);
  double back[12] = {};
  f.read_reals(back, 3);
  f.read_many(back + 3, 3 * sizeof(double), 3);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(back[i], v[i]);
  f.rewind();
  // Records of another length, or too few of them, are reported.
  EXPECT_NE(error_of([&] { f.read_many(back, 2 * sizeof(double), 2); }).find("record 1"), std::string::npos);
  f.rewind();
  EXPECT_NE(error_of([&] { f.read_many(back, 3 * sizeof(double), 5); }).find("record 5: end of file"),
            std::string::npos);
}

// Blocks go through a mapping of the file and single records through the
// stream; both see the same file, wherever the other left it.
TEST(RecordFile, BlocksAndSingleRecordsShareTheFile) {
  TempDir dir;
  const std::string path = dir / "mixed.bin";
  constexpr int kCount = 5000;  // 560 kB a block: the file outgrows its first mapping
  std::vector<double> big(6 * kCount), back(6 * kCount);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = 0.5 * static_cast<double>(i);
  RecordFile f;
  f.open(path, true);
  f.write_reals(big.data(), 2);
  f.write_many(big.data(), 6 * sizeof(double), kCount);
  f.write(7.0);
  f.write_many(big.data(), 6 * sizeof(double), kCount);
  EXPECT_EQ(f.record_number(), 2L * kCount + 3);
  f.rewind();
  double two[2] = {}, seven = 0;
  f.read_reals(two, 2);
  f.read_many(back.data(), 6 * sizeof(double), kCount);
  f.read(seven);
  EXPECT_EQ(two[1], 0.5);
  EXPECT_EQ(seven, 7.0);
  EXPECT_EQ(back, big);
  // A block read leaves the stream where the block ends; a block written
  // after it replaces the records that follow, and the end mark cuts there.
  f.rewind();
  f.read_reals(two, 2);
  f.read_many(back.data(), 6 * sizeof(double), 3);
  f.write_many(big.data() + 18, 6 * sizeof(double), 2);
  f.end_file();
  EXPECT_EQ(fs::file_size(path), 24u + 5u * 56u);
  EXPECT_TRUE(f.at_end());
  f.rewind();
  f.read_reals(two, 2);
  f.read_many(back.data(), 6 * sizeof(double), 5);
  EXPECT_TRUE(std::equal(back.begin(), back.begin() + 30, big.begin()));
  EXPECT_NE(error_of([&] { f.read_many(back.data(), 6 * sizeof(double), 1); }).find("record 7: end of file"),
            std::string::npos);
  f.close();
  // A trailing length damaged in the middle of a block names its record.
  std::string content = read_file(path);
  content[24 + 2 * 56 + 52] = 9;
  write_file(path, content);
  f.open(path, false);
  f.read_reals(two, 2);
  EXPECT_NE(error_of([&] { f.read_many(back.data(), 6 * sizeof(double), 5); }).find("record 4: the record is damaged"),
            std::string::npos);
}

TEST(TextOut, WritesExactLinesInOrder) {
  TempDir dir;
  std::string path = dir / "R.rst";
  TextOut t;
  t.open(path);
  t.line("1          TITLE");
  t.write(Format("(1X,3I3,F5.1)"), {0, 0, 1, 0.0});
  t.message({"ERROR DATA IN Q DATA"});
  std::string big(1000, 'x');
  for (int k = 0; k < 200; ++k) t.line(big);  // crosses the block size
  t.line("");
  t.close();
  std::string want = "1          TITLE\n   0  0  1  0.0\n ERROR DATA IN Q DATA\n";
  for (int k = 0; k < 200; ++k) want += big + "\n";
  want += "\n";
  EXPECT_EQ(read_file(path), want);
  EXPECT_THROW(t.line("after close"), FileError);
}

TEST(DeckIn, ReadsLinesOfAnyLengthAndCountsThem) {
  TempDir dir;
  std::string path = dir / "deck.dat";
  std::string long_line(5000, 'L');
  write_file(path, "first\r\n" + long_line + "\n\nlast");
  DeckIn d;
  d.open(path);
  std::string line;
  ASSERT_TRUE(d.next(line));
  EXPECT_EQ(line, "first");
  ASSERT_TRUE(d.next(line));
  EXPECT_EQ(line, long_line);
  ASSERT_TRUE(d.next(line));
  EXPECT_EQ(line, "");
  d.next_or_fail(line, "the load history");
  EXPECT_EQ(line, "last");
  EXPECT_EQ(d.line_number(), 4);
  EXPECT_FALSE(d.next(line));
  EXPECT_EQ(error_of([&] { d.next_or_fail(line, "the load history"); }),
            path + ": line 5: end of file while reading the load history");
  d.rewind();
  EXPECT_EQ(d.line_number(), 0);
  ASSERT_TRUE(d.next(line));
  EXPECT_EQ(line, "first");
  EXPECT_EQ(d.source().line, 1);
  DeckIn missing;
  EXPECT_EQ(error_of([&] { missing.open(dir / "nodeck.dat"); }),
            (dir / "nodeck.dat").string() + ": cannot open the deck: No such file or directory");
}

TEST(Units, UnnamedUnitsUseFortNames) {
  TempDir dir;
  InDir in(dir.path());
  EXPECT_EQ(Units::fort_name(61), "fort.61");
  {
    Units u;
    u.open_text(16, "R.rst");
    u.listing().line("listing");
    u.text(61).line("history");
    u.text(62).line("second history");
    u.records(7).write(std::int32_t{5});
    EXPECT_EQ(error_of([&] { u.records_existing(8); }),
              "fort.8: cannot open: No such file or directory");
    EXPECT_THROW(u.records(16), FileError);  // the listing is a text unit
    EXPECT_THROW(u.text(7), FileError);      // unit 7 holds records
    EXPECT_THROW(u.records(-3), FileError);
    u.open_scratch(1);
    u.records(1).end_file();
    EXPECT_TRUE(u.is_open(61));
    EXPECT_TRUE(u.is_open(1));
    EXPECT_FALSE(u.is_open(15));
    u.close_all();
    EXPECT_FALSE(u.is_open(61));
  }
  EXPECT_EQ(read_file("R.rst"), "listing\n");
  EXPECT_EQ(read_file("fort.61"), "history\n");
  EXPECT_EQ(read_file("fort.62"), "second history\n");
  EXPECT_EQ(fs::file_size("fort.7"), 12u);
  // The restart file of a later run is found again under its unit.
  Units later;
  std::int32_t n = 0;
  later.records_existing(7).read(n);
  EXPECT_EQ(n, 5);
  EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 4);
}

}  // namespace
}  // namespace nlf

namespace nlf {
namespace {

TEST(GuardedMain, AnEscapingExceptionIsOneLineAndStatusOne) {
  EXPECT_EQ(guarded_main("prog", [] { return 3; }), 3);
  testing::internal::CaptureStderr();
  EXPECT_EQ(guarded_main("prog", []() -> int { throw std::logic_error("lost"); }), 1);
  EXPECT_EQ(guarded_main("prog", []() -> int { throw 7; }), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "prog: internal error: lost\nprog: internal error: an exception of unknown type\n");
}

}  // namespace
}  // namespace nlf
