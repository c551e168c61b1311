#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "search/estimation.h"
#include "search/scoring.h"
#include "extended_precision.h"
#include "test_support.h"

namespace dorvu {
namespace {

using test::MakeTree;
using test::MarksOf;

BaseValues PureBase(int k) {
  BaseValues v;
  v.*Bases[(k * 7 + k / 5) % 4] = 1.0;
  return v;
}

BaseValues Smooth(int k) {
  const double a = 0.1 + 0.005 * k, c = 0.3 - 0.002 * k, g = 0.25 + 0.001 * (k % 7);
  return {a, c, g, 1.0 - a - c - g};
}

bool SameBits(const ValueTable& a, const ValueTable& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(EstimationPass1, StartIsTheBottomUpMeanAndItsEnergy) {
  const Tree tree = MakeTree(Smooth);
  const MarkTable marks = MarksOf({9});  // 5.2 cut: 4.1 starts as a copy of 5.1
  RunParameters startOnly;
  startOnly.pass1Tolerance = 100.0;  // below the first norm of 10: no iteration runs
  PassState pass;
  EstimationPass1(startOnly, tree, marks, pass);
  using Extended = long double;
  for (auto b : Bases) {
    EXPECT_EQ(pass.value[5].*b, static_cast<double>((Extended(Smooth(1).*b) + Smooth(2).*b) * 0.5L));
    EXPECT_EQ(pass.value[4].*b, pass.value[5].*b);
  }
  // The energy of the start: the uncut edges in close-slot order, each edge's
  // four squares summed in extended precision and rounded once.
  double energy = 0.0;
  for (int k = 0; k < SlotCount; ++k) {
    if (tree.TreeSequence[k].kind != KindClose) continue;
    const int o = tree.OpenSlotOf[k];
    for (int c : {tree.FirstChildSlot[o], tree.SecondChildSlot[o]}) {
      if (marks[c] != 0) continue;
      Extended sum = energy;
      for (auto b : Bases) sum += (Extended(pass.value[c].*b) - pass.value[o].*b) * (Extended(pass.value[c].*b) - pass.value[o].*b);
      energy = static_cast<double>(sum);
    }
  }
  EXPECT_EQ(pass.energy, energy);
}

TEST(EstimationPass1, IdenticalLeavesGiveZeroGradientAndNoStep) {
  const BaseValues same{0.1, 0.2, 0.3, 0.4};
  const Tree tree = MakeTree([&](int) { return same; });
  const MarkTable marks = MarksOf({5, 48, 6});  // every internal vertex keeps an unmarked child
  PassState pass;
  EstimateScenario(RunParameters{}, tree, marks, pass);
  EXPECT_EQ(pass.energy, 0.0);
  EXPECT_EQ(pass.gradNorm, 0.0);
  for (int s = 0; s < SlotCount; ++s) {
    if (tree.TreeSequence[s].kind == KindClose) continue;
    for (auto b : Bases)
      EXPECT_EQ(pass.value[s].*b, static_cast<double>(std::sqrt(static_cast<long double>(same.*b))));
  }
}

TEST(EstimationPasses, IsolatedVertexStaysUniform) {
  const Tree tree = MakeTree(PureBase);
  // 5.1 (slot 5) and both its leaves (6, 7) are marked: all three edges cut.
  const MarkTable marks = MarksOf({5, 6, 7});
  PassState pass;
  EstimationPass1(RunParameters{}, tree, marks, pass);
  EXPECT_EQ(pass.value[5].A, 0.25);
  EXPECT_EQ(pass.value[5].T, 0.25);
  EstimationPass2(RunParameters{}, tree, marks, pass);
  for (auto b : Bases) EXPECT_EQ(pass.value[5].*b, 0.5);
}

TEST(EstimationPasses, AnAllZeroClampedStepKeepsTheVertexAndTheSweepGoesOn) {
  // 5.1 is cut from its parent and has two leaves of different pure bases. Its
  // first root-coordinate trial at step 1.0 clamps to all zero.
  const Tree tree = MakeTree(PureBase);
  const MarkTable marks = MarksOf({5});
  PassState pass;
  EstimateScenario(RunParameters{}, tree, marks, pass);
  const long double half = std::sqrt(0.5L);
  const BaseValues c1 = pass.value[6], c2 = pass.value[7];
  for (auto b : Bases) {
    const long double expected = (c1.*b + c2.*b) * half;
    EXPECT_NEAR(pass.value[5].*b, static_cast<double>(expected), 1e-15);
  }
  // Every internal vertex leaves pass 2 as a unit vector with no negative part.
  for (int s = 0; s < SlotCount; ++s) {
    if (tree.TreeSequence[s].kind != KindOpen) continue;
    const BaseValues& v = pass.value[s];
    EXPECT_NEAR(v.A * v.A + v.C * v.C + v.G * v.G + v.T * v.T, 1.0, 1e-12) << tree.VertexNames[s];
    for (auto b : Bases) EXPECT_GE(v.*b, 0.0);
  }
}

TEST(EstimationPasses, ResultDependsOnlyOnLeavesAndMarks) {
  std::mt19937 gen(7);
  for (auto leaves : {PureBase, Smooth}) {
    const Tree tree = MakeTree(leaves);
    std::uniform_int_distribution<int> slot(1, SlotCount - 1);
    for (int trial = 0; trial < 20; ++trial) {
      MarkTable marks = MarksOf({});
      MarkTable other = MarksOf({});
      for (int i = 0; i < 4; ++i) {
        int s = slot(gen), t = slot(gen);
        if (tree.TreeSequence[s].kind != KindClose) marks[s] = 1;
        if (tree.TreeSequence[t].kind != KindClose) other[t] = 1;
      }
      PassState fresh, reused;
      EstimateScenario(RunParameters{}, tree, other, reused);
      EstimateScenario(RunParameters{}, tree, marks, reused);
      EstimateScenario(RunParameters{}, tree, marks, fresh);
      EXPECT_TRUE(SameBits(fresh.value, reused.value)) << "trial " << trial;
    }
  }
}

TEST(EstimationPasses, DistributionsAndUnitVectorsOnRandomLeaves) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int trial = 0; trial < 10; ++trial) {
    const Tree tree = MakeTree([&](int) {
      BaseValues v{u(gen), u(gen), u(gen), u(gen)};
      const double sum = v.A + v.C + v.G + v.T;
      for (auto b : Bases) v.*b /= sum;
      return v;
    });
    MarkTable marks = MarksOf({});
    for (int i = 0; i < trial; ++i) {
      const int s = 1 + static_cast<int>(u(gen) * 188);
      if (tree.TreeSequence[s].kind != KindClose) marks[s] = 1;
    }
    PassState pass;
    EstimationPass1(RunParameters{}, tree, marks, pass);
    for (int s = 0; s < SlotCount; ++s) {
      if (tree.TreeSequence[s].kind != KindOpen) continue;
      const BaseValues& v = pass.value[s];
      EXPECT_NEAR(v.A + v.C + v.G + v.T, 1.0, 1e-12);
      for (auto b : Bases) EXPECT_GE(v.*b, 0.0);
    }
    EstimationPass2(RunParameters{}, tree, marks, pass);
    for (int s = 0; s < SlotCount; ++s) {
      if (tree.TreeSequence[s].kind == KindClose) continue;
      const BaseValues& v = pass.value[s];
      EXPECT_NEAR(v.A * v.A + v.C * v.C + v.G * v.G + v.T * v.T, 1.0, 1e-12);
    }
  }
}

TEST(ProjectToSimplex, DropsNegativeComponentsAndKeepsZeros) {
  BaseValues w = ProjectToSimplex({0.25, 0.25, 0.25, 0.25}, {0, 0, 0, 0}, 1.0);
  EXPECT_EQ(w.A, 0.25);
  // v - t*g = (1.2, 0.1, -0.2, -0.1): C, G, T drop in turn, A is left at 1.
  w = ProjectToSimplex({0.7, 0.1, 0.1, 0.1}, {-0.5, 0.0, 0.3, 0.2}, 1.0);
  EXPECT_EQ(w.A, 1.0);
  EXPECT_EQ(w.C, 0.0);
  EXPECT_EQ(w.G, 0.0);
  EXPECT_EQ(w.T, 0.0);
  // A value that lands exactly on 0 after the shift stays active (and is 0).
  w = ProjectToSimplex({0.5, 0.5, 0.0, 0.0}, {0.0, 0.0, 0.0, 0.0}, 1.0);
  EXPECT_EQ(w.A, 0.5);
  EXPECT_EQ(w.G, 0.0);

  std::mt19937 gen(3);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int i = 0; i < 2000; ++i) {
    const BaseValues v{std::fabs(u(gen)), std::fabs(u(gen)), std::fabs(u(gen)), std::fabs(u(gen))};
    w = ProjectToSimplex(v, {u(gen), u(gen), u(gen), u(gen)}, 0.5);
    for (auto b : Bases) EXPECT_GE(w.*b, 0.0);
    EXPECT_NEAR(w.A + w.C + w.G + w.T, 1.0, 1e-14);
  }
}

TEST(ScoreScenario, DistancesPenaltyAndFreeDistance) {
  const Tree tree = MakeTree(Smooth);
  const MarkTable marks = MarksOf({1, 6});
  PassState pass;
  EstimateScenario(RunParameters{}, tree, marks, pass);
  ScenarioScore score;
  ScoreScenario(tree, marks, pass.value, score);

  long double penalty = 0.0L;
  int filled = 0;
  for (int i = 1; i < SlotCount; ++i) {
    const DistanceEntry& e = score.DistanceTable[i];
    if (i > 1) {
      EXPECT_GE(score.DistanceTable[i - 1].distance, e.distance);
    }
    if (e.slot == 0) {
      EXPECT_EQ(e.distance, 0.0);
      continue;
    }
    ++filled;
    const BaseValues& v = pass.value[e.slot];
    const BaseValues& u = pass.value[tree.ParentSlot[e.slot]];
    long double d = 0.0L;
    for (auto b : Bases) d += (static_cast<long double>(v.*b) - u.*b) * (static_cast<long double>(v.*b) - u.*b);
    EXPECT_EQ(e.distance, static_cast<double>(d));
    if (marks[e.slot] != 0) continue;
    for (auto b : Bases)
      penalty += std::sqrt(std::fabs(static_cast<long double>(v.*b) * v.*b - static_cast<long double>(u.*b) * u.*b));
  }
  EXPECT_EQ(filled, 126);
  EXPECT_NEAR(score.scenarioPenalty, static_cast<double>(penalty), 1e-12);
  // The free distance is the greatest distance of an unmarked vertex.
  double greatest = 0.0;
  for (int i = 1; i < SlotCount; ++i) {
    const int s = score.DistanceTable[i].slot;
    if (s > 0 && marks[s] == 0) greatest = std::max(greatest, score.DistanceTable[i].distance);
  }
  EXPECT_EQ(score.freeDistance, greatest);
}

TEST(ScoreScenario, ExchangeSortOrdersEqualDistancesItsOwnWay) {
  std::array<DistanceEntry, SlotCount> table{};
  table[1] = {1, 0.0};
  table[2] = {2, 5.0};
  table[3] = {3, 5.0};
  table[4] = {4, 7.0};
  SortDistanceTable(table);
  // Not a stable order: 3 ends ahead of 2.
  EXPECT_EQ(table[1].slot, 4);
  EXPECT_EQ(table[2].slot, 3);
  EXPECT_EQ(table[3].slot, 2);
  EXPECT_EQ(table[4].distance, 0.0);
}

TEST(BestList, OrderTiesAndRepeatedKeys) {
  BestList list(1);
  ScenarioScore score;
  score.scenarioPenalty = 1000.0;
  OfferToBestList(list, ",0,", score, 0);
  EXPECT_TRUE(list[0].key.empty());  // 1000 never beats the initial entry

  score.scenarioPenalty = 5.0;
  score.freeDistance = 0.5;
  OfferToBestList(list, ",0,5,", score, 1);
  EXPECT_EQ(list[0].key, ",0,5,");
  EXPECT_EQ(list[0].freeDistance, 0.5);
  OfferToBestList(list, ",0,9,", score, 1);  // equal penalty and level: the first stays
  EXPECT_EQ(list[0].key, ",0,5,");
  OfferToBestList(list, ",0,", score, 0);  // equal penalty, fewer marks
  EXPECT_EQ(list[0].key, ",0,");

  BestList three(3);
  const double penalties[] = {4.0, 2.0, 3.0, 1.0};
  for (int i = 0; i < 4; ++i) {
    score.scenarioPenalty = penalties[i];
    OfferToBestList(three, ",0," + std::to_string(i + 1) + ",", score, 2);
  }
  EXPECT_EQ(three[0].key, ",0,4,");
  EXPECT_EQ(three[1].key, ",0,2,");
  EXPECT_EQ(three[2].key, ",0,3,");
  score.scenarioPenalty = 2.0;
  OfferToBestList(three, ",0,2,", score, 2);  // its key is met before any place
  EXPECT_EQ(three[1].key, ",0,2,");
  EXPECT_EQ(three[2].key, ",0,3,");
}

TEST(TerminalTest, ComparesOneHundredTimesTheNoiseInExtendedPrecision) {
  if (!test::ExtendedArithmeticIsFaithful()) GTEST_SKIP() << "long double is not the 80-bit format here";
  // 100 x 0.06 is exactly 5.99999999999999977796 in extended precision; in
  // double precision it would round to 6.
  EXPECT_FALSE(ReachesNoiseFloor(0.06, 6.0));
  EXPECT_TRUE(ReachesNoiseFloor(0.06, 5.999999999999999));
  EXPECT_TRUE(ReachesNoiseFloor(0.5, 50.0));
  EXPECT_TRUE(ReachesNoiseFloor(0.0, 0.0));
  EXPECT_FALSE(ReachesNoiseFloor(0.0, 1e-300));
}

}  // namespace
}  // namespace dorvu
