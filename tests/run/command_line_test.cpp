// The program's command line, and a deck that cannot be read leaving the
// results of an earlier run alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "run/command_line.h"
#include "support/test_support.h"

namespace nlf {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::TempDir;
using test::write_file;

test::RunResult run_args(const fs::path& dir, const std::string& args, const std::string& prefix = "") {
  const std::string cmd = "cd '" + dir.string() + "' && " + prefix + "'" + std::string(NLFRAME_BINARY) + "' " +
                          args + " < /dev/null > .stdout 2> .stderr";
  const int rc = std::system(cmd.c_str());
  test::RunResult r;
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  r.out = read_file(dir / ".stdout");
  r.err = read_file(dir / ".stderr");
  return r;
}

const std::string kDeck = read_file(fs::path(NLFRAME_EXAMPLES) / "cantilever.dat");

TEST(CommandLine, OptionsAndTheirErrors) {
  const CommandLine c = parse_command_line({"-o", "out", "deck.dat"});
  EXPECT_EQ(*c.out_dir, "out");
  EXPECT_EQ(*c.deck, "deck.dat");
  EXPECT_EQ(*parse_command_line({"--output=o2", "--", "-deck"}).deck, "-deck");
  EXPECT_TRUE(parse_command_line({"--version"}).version);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--frobnicate"}, {"a.dat", "b.dat"}, {"-o"}, {"-o", "dir"}, {"-x", "a.dat"}})
    EXPECT_THROW(parse_command_line(bad), UsageError) << bad[0];
}

TEST(CommandLine, TheResultStoreAndTheChoiceOfTables) {
  const CommandLine c = parse_command_line(
      {"--results", "h5-only", "--tables=joints,fibres", "--every", "2", "--fibres-every=6", "--compress", "0", "d"});
  EXPECT_EQ(c.results.store, ResultStore::h5_only);
  EXPECT_EQ(c.results.choice.parts, static_cast<unsigned>(kJointParts | kFibreParts));
  EXPECT_EQ(c.results.choice.deflate, 0);
  // Every 2nd step, the fibres every 6th: step 6 has all, step 4 no fibres, step 3 nothing.
  EXPECT_EQ(c.results.choice.wants(6), static_cast<unsigned>(kJointParts | kFibreParts));
  EXPECT_EQ(c.results.choice.wants(4), static_cast<unsigned>(kJointParts));
  EXPECT_EQ(c.results.choice.wants(3), 0u);
  EXPECT_EQ(parse_command_line({"d"}).results.store, ResultStore::text);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--results", "hdf5", "d"}, {"--tables", "joints,stress", "d"}, {"--every", "0", "d"},
        {"--fibres-every", "1x", "d"}, {"--compress", "10", "d"}, {"d", "--results"}})
    EXPECT_THROW(parse_command_line(bad), UsageError) << bad[0] << " " << bad[1];
}

TEST(CommandLine, DeckByPathOfAnyLengthWritesIntoTheCurrentFolderOrDir) {
  TempDir dir;
  const fs::path sub = dir / "decks" / "a-folder-name-longer-than-sixteen";
  fs::create_directories(sub);
  write_file(sub / "a-deck-name-longer-than-sixteen.dat", kDeck);
  fs::create_directories(dir / "run");
  const std::string deck = "'../decks/a-folder-name-longer-than-sixteen/a-deck-name-longer-than-sixteen.dat'";
  auto r = run_args(dir / "run", deck);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("5 steps"), std::string::npos) << r.err;
  const std::string listing = read_file(dir / "run" / "R.rst");
  EXPECT_NE(listing.find("ELASTIC CANTILEVER"), std::string::npos);

  r = run_args(dir / "run", "-o new/out " + deck);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(dir / "run" / "new" / "out" / "R.rst"), listing);
  EXPECT_FALSE(fs::exists(dir / "run" / "new" / "out" / ".stdout"));

  r = run_args(dir.path(), "--frobnicate deck.dat");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("unknown option '--frobnicate'"), std::string::npos);
  r = run_args(dir.path(), "--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Usage: nlframe"), std::string::npos);
  r = run_args(dir.path(), "--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("nlframe ", 0), 0u);
}

// A deck name that names a folder, a missing or empty file or a file that
// cannot be read stops the run before it touches the files of an earlier
// run.
TEST(CommandLine, UnreadableDeckLeavesEarlierResultsAlone) {
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::all);
  const char* files[] = {"R.rst", "Jfor.rst", "Jdis.rst", "Mfor.rst", "Mdis.rst", "Mstr.rst", "fort.61"};
  for (const char* f : files) {
    write_file(dir / f, std::string("earlier ") + f + "\n");
    fs::permissions(dir / f, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                 fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
  }
  fs::create_directories(dir / "sub");
  write_file(dir / "sub" / "portal.dat", kDeck);
  write_file(dir / "locked.dat", kDeck);
  write_file(dir / "empty.dat", "");
  fs::permissions(dir / "locked.dat", fs::perms::none);
  // Root reads any file: the unreadable case then runs as an ordinary user.
  const std::string as_user = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";

  struct Case {
    const char* how;
    std::string stdin_text, args, prefix, message;
  };
  for (const Case& c : {Case{"folder on stdin", "sub/portal.dat\n", "", "", "sub: cannot read: Is a directory"},
                        Case{"folder as argument", "", "sub", "", "sub: cannot read: Is a directory"},
                        Case{"missing", "nosuch.dat\n", "", "", "nosuch.dat: cannot open the deck"},
                        Case{"empty", "empty.dat\n", "", "", "empty.dat: line 1: end of file while reading the "
                                                              "control card"},
                        Case{"no read permission", "", "locked.dat", as_user, "locked.dat: cannot open the deck"}}) {
    test::RunResult r;
    if (c.args.empty()) {
      r = test::run_program_stdin(dir.path(), c.stdin_text);
    } else {
      r = run_args(dir.path(), c.args, c.prefix);
    }
    EXPECT_EQ(r.status, 2) << c.how;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.how << ": " << r.err;
    for (const char* f : files) EXPECT_EQ(read_file(dir / f), std::string("earlier ") + f + "\n") << c.how;
    EXPECT_FALSE(fs::exists(dir / "fort.1")) << c.how;
  }
}

}  // namespace
}  // namespace nlf
