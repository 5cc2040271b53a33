// End-to-end cases of the smoother: small point sets whose results were
// worked out by hand (see the comment on each case), run through the binary.
#include <gtest/gtest.h>

#include <string>

#include "e2e/expected_output.h"
#include "e2e/run_binary.h"

namespace {

// Five points on a line with rates 1, 5, 2, 8, 3.
const char kLine[] = "0,0,1,1\n1,0,5,1\n2,0,2,1\n3,0,8,1\n4,0,3,1\n";
// A point (rate 10) with two interior triples whose neighbours hold (2, 4)
// and (3, 5); every other point has one end triple through it.
const char kCross[] = "0,0,10,1\n1,0,2,1\n-1,0,4,1\n0,1.5,3,1\n0,-1.5,5,1\n";
const char kCrossHeavy[] = "0,0,10,2\n1,0,2,1\n-1,0,4,1\n0,1.5,3,1\n0,-1.5,5,1\n";
// A 3 x 3 grid of spacing 1; the corners' fourth neighbour is one of two
// points at distance 2, chosen by the tie order (lower index).
const char kGrid[] = "0,0,3,1\n1,0,7,1\n2,0,1,1\n0,1,8,1\n1,1,2,1\n2,1,9,1\n0,2,4,1\n1,2,6,1\n2,2,5,1\n";
// Points 0 and 1 coincide.
const char kCoincident[] = "0,0,1,1\n0,0,5,1\n1,0,2,1\n2,0,9,1\n3,0,4,1\n";
const char kThree[] = "0,0,1,1\n1,0,5,1\n2,0,3,1\n";

struct Case {
  const char* name;
  std::vector<std::string> args;
  const char* table;
  std::string out;
};

class Smoother : public ::testing::TestWithParam<Case> {};

TEST_P(Smoother, WritesTheWorkedResult) {
  const Case& c = GetParam();
  RunSetup setup = fileRun(c.args, c.table);
  setup.args.insert(setup.args.end(), {"-f", "in.csv"});
  RunResult r = runTessel(setup);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.work, c.table);
  EXPECT_EQ(r.status, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Smoother,
    ::testing::Values(
        // Interior points go to the neighbour screens; the ends to the
        // screens of values extrapolated with endFactor 2: 3*5-2*2 = 11 and
        // 3*8-2*2 = 20 raise them to their low screens 5 and 8.
        Case{"LineOneIteration", {"-n", "2", "-i", "1"}, kLine,
             "5.000000\n2.000000\n5.000000\n3.000000\n8.000000\n"},
        // Screens 2.5 and 4.5 (means of equal-weight pairs); 10 > 4.5. The
        // outer points are raised to their low screen 10 (the centre's value).
        Case{"InteriorPointClampedToHighScreen", {"-i", "1"}, kCross,
             "4.500000\n10.000000\n10.000000\n10.000000\n10.000000\n"},
        // c * w = 2 * 2 is not below W = 4: the centre keeps its value.
        Case{"WeightHoldsTheValue", {"-i", "1"}, kCrossHeavy,
             "10.000000\n10.000000\n10.000000\n10.000000\n10.000000\n"},
        Case{"ThetaStar180KeepsEveryRate", {"-n", "2", "-a", "180"}, kLine,
             "1.000000\n5.000000\n2.000000\n8.000000\n3.000000\n"},
        Case{"NegativeIterationsActAsNone", {"-n", "2", "-i", "-4"}, kLine,
             "1.000000\n5.000000\n2.000000\n8.000000\n3.000000\n"},
        // A corner sees 1 and 2 in its row (end triple, low screen from the
        // middle value); taking 6 instead of 2 would give 8 at corner 0.
        Case{"GridFollowsTheTieOrder", {"-n", "4", "-i", "1"}, kGrid,
             "7.000000\n3.000000\n7.000000\n4.000000\n7.000000\n5.000000\n8.000000\n"
             "5.000000\n9.000000\n"},
        // Pairs with a zero distance are skipped: point 2 gets the triples
        // (0, 3) and (1, 3), low screen (1 + 5) / 2 = 3.
        Case{"CoincidentPointsAreSkipped", {"-n", "3", "-i", "1"}, kCoincident,
             "1.000000\n2.000000\n3.000000\n4.000000\n9.000000\n"},
        // NN 10 with three points acts as NN 2.
        Case{"FewerPointsThanNeighbours", {"-i", "1"}, kThree, "5.000000\n3.000000\n5.000000\n"},
        // NTRIP 0: a zero-size request for every point's end values and
        // triples, then for both lists of both passes in each iteration.
        Case{"NoTriplesAllowed", {"-t", "0", "-i", "2"}, kThree,
             repeat(kZeroReport, 6 + 2 * 4) + "1.000000\n5.000000\n3.000000\n"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
