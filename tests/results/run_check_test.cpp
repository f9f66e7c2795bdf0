#include "results/run_check.h"

#include <gtest/gtest.h>

#include "results/result_files.h"
#include "support/card.h"

namespace nlf::results {
namespace {

using nlf::test::card;
using test::split;

std::vector<std::string> deck(const std::string& title, double x = 300) {
  return split("$ before the control card\n   0  0  1     " + title + "\n$ a comment\n" + card('J', 1, 0, 0, {0, 0}) +
               card('J', 2, 0, 0, {x, 0}) + card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) + card('L', 20, 1) +
               card('B', 1, 111) + card('F'));
}

// The listing as a run of `d` writes it: banner, title, echo, the table
// of equation numbers, the load history.
std::vector<std::string> listing(const std::vector<std::string>& d, bool structure_read = true) {
  std::vector<std::string> l = split(test::banner());
  std::string title = d[1].substr(15, 60);
  l.push_back("1          " + title);
  l.push_back("   0  0  1  0.0");
  for (std::size_t i = 2; i < d.size(); ++i) {
    l.push_back(" " + d[i] + std::string(80 - d[i].size(), ' '));
    if (d[i][0] == 'L') {
      if (!structure_read) break;
      l.push_back(" *** MATRIX INDEX ***           MATRIX SIZE =          6     BAND WIDTH =          6");
    }
  }
  return l;
}

std::string problem(const std::vector<std::string>& d, const std::vector<std::string>& l) {
  try {
    check_listing_of_deck("deck.dat", d, "run/R.rst", l);
    return "";
  } catch (const ForeignRunError& e) {
    return e.what();
  }
}

TEST(RunOfDeck, TitleAndEchoOfTheStructureMustBeTheDecks) {
  const auto d = deck("PORTAL");
  EXPECT_EQ(problem(d, listing(d)), "");
  EXPECT_EQ(problem(d, listing(deck("PORTAL, SECOND TRY"))),
            "run/R.rst: a run of the deck titled 'PORTAL, SECOND TRY', not of deck.dat ('PORTAL'); the result "
            "files belong to another deck");
  // Same title, another frame.
  EXPECT_EQ(problem(d, listing(deck("PORTAL", 400))),
            "run/R.rst: the run's echo of its deck lacks line 5 of deck.dat ('J  2  0  0      300.        0.'); the "
            "result files belong to another deck or to another version of it");
  // A title past the 60 characters the listing prints.
  const std::string longer = std::string(60, 'T');
  EXPECT_EQ(problem(deck(longer + "ABC"), listing(deck(longer + "XYZ"))), "");
  // Comments and the load history may change; a listing that stops before
  // the equation table tells nothing about the structure.
  auto edited = d;
  edited[2] = "$ another comment";
  edited[edited.size() - 2] = card('B', 1, 110).substr(0, 10);
  EXPECT_EQ(problem(edited, listing(d)), "");
  EXPECT_EQ(problem(deck("PORTAL", 400), listing(d, false)), "");
  EXPECT_EQ(problem(d, split(test::banner())), "");
}

}  // namespace
}  // namespace nlf::results

namespace nlf::results {
namespace {

// The other way round: a deck that lacks a card of the run (its P card, an
// S card, a member) is not the run's deck either.
TEST(RunOfDeck, ADeckLackingACardOfTheRunIsAnother) {
  const auto run = split("$ c\n   0  0  1     PORTAL\n" + nlf::test::card('P', 0, 0, 0, {2100, 21, 21}) +
                         nlf::test::card('J', 1, 0, 0, {0, 0}) + nlf::test::card('J', 2, 0, 0, {300, 0}) +
                         nlf::test::card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) + nlf::test::card('L', 20, 1) + "F\n");
  std::vector<std::string> without_p = run;
  without_p.erase(without_p.begin() + 2);
  const std::string text = problem(without_p, listing(run));
  EXPECT_NE(text.find("holds a card that deck.dat lacks at that place (line 18 of the listing: 'P  0  0  0"),
            std::string::npos)
      << text;
  EXPECT_EQ(problem(run, listing(run)), "");
}

}  // namespace
}  // namespace nlf::results
