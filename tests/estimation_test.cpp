#include "search/estimation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "search/scoring.h"
#include "support/same_bits.h"
#include "support/trees.h"

namespace dorvu {
namespace {

using test::MakeTree;
using test::MarksOf;

BaseValues PureBase(int k) {
  BaseValues v;
  v.b[(k * 7 + k / 5) % 4] = 1.0;
  return v;
}

BaseValues Smooth(int k) {
  const double a = 0.1 + 0.005 * k, c = 0.3 - 0.002 * k, g = 0.25 + 0.001 * (k % 7);
  return {a, c, g, 1.0 - a - c - g};
}

TEST(EstimationPass1, StartIsTheBottomUpMeanAndItsEnergy) {
  const Tree tree = MakeTree(Smooth);
  const MarkTable marks = MarksOf({9});  // 5.2 cut: 4.1 starts as a copy of 5.1
  RunParameters startOnly;
  startOnly.pass1Tolerance = 100.0;  // below the first norm of 10: no iteration runs
  PassState pass;
  EstimationPass1(startOnly, tree, marks, pass);
  for (int b = 0; b < kBaseCount; ++b) {
    EXPECT_EQ(pass.value[5].b[b], static_cast<double>((Extended(Smooth(1).b[b]) + Smooth(2).b[b]) * 0.5L));
    EXPECT_EQ(pass.value[4].b[b], pass.value[5].b[b]);
  }
  // The energy of the start: the uncut edges in close-slot order, each edge's
  // four squares summed in extended precision and rounded once.
  double energy = 0.0;
  for (int k = 0; k < kSlotCount; ++k) {
    if (tree.treeSequence[k].kind != SlotKind::kClose) continue;
    const int o = tree.openSlotOf[k];
    for (const int32_t* child = tree.ChildrenBegin(o); child != tree.ChildrenEnd(o); ++child) {
      const int c = *child;
      if (marks[c] != 0) continue;
      Extended sum = energy;
      for (int b = 0; b < kBaseCount; ++b)
        sum +=
            (Extended(pass.value[c].b[b]) - pass.value[o].b[b]) * (Extended(pass.value[c].b[b]) - pass.value[o].b[b]);
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
  for (int s = 0; s < kSlotCount; ++s) {
    if (tree.treeSequence[s].kind == SlotKind::kClose) continue;
    for (int b = 0; b < kBaseCount; ++b)
      EXPECT_EQ(pass.value[s].b[b], static_cast<double>(std::sqrt(static_cast<long double>(same.b[b]))));
  }
}

TEST(EstimationPasses, IsolatedVertexStaysUniform) {
  const Tree tree = MakeTree(PureBase);
  // 5.1 (slot 5) and both its leaves (6, 7) are marked: all three edges cut.
  const MarkTable marks = MarksOf({5, 6, 7});
  PassState pass;
  EstimationPass1(RunParameters{}, tree, marks, pass);
  EXPECT_EQ(pass.value[5].b[0], 0.25);
  EXPECT_EQ(pass.value[5].b[3], 0.25);
  EstimationPass2(RunParameters{}, tree, marks, pass);
  for (int b = 0; b < kBaseCount; ++b) EXPECT_EQ(pass.value[5].b[b], 0.5);
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
  for (int b = 0; b < kBaseCount; ++b) {
    const long double expected = (c1.b[b] + c2.b[b]) * half;
    EXPECT_NEAR(pass.value[5].b[b], static_cast<double>(expected), 1e-15);
  }
  // Every internal vertex leaves pass 2 as a unit vector with no negative part.
  for (int s = 0; s < kSlotCount; ++s) {
    if (tree.treeSequence[s].kind != SlotKind::kOpen) continue;
    const BaseValues& v = pass.value[s];
    EXPECT_NEAR(v.b[0] * v.b[0] + v.b[1] * v.b[1] + v.b[2] * v.b[2] + v.b[3] * v.b[3], 1.0, 1e-12)
        << tree.vertexNames[s];
    for (int b = 0; b < kBaseCount; ++b) EXPECT_GE(v.b[b], 0.0);
  }
}

TEST(EstimationPasses, ResultDependsOnlyOnLeavesAndMarks) {
  std::mt19937 gen(7);
  for (auto leaves : {PureBase, Smooth}) {
    const Tree tree = MakeTree(leaves);
    std::uniform_int_distribution<int> slot(1, kSlotCount - 1);
    for (int trial = 0; trial < 20; ++trial) {
      MarkTable marks = MarksOf({});
      MarkTable other = MarksOf({});
      for (int i = 0; i < 4; ++i) {
        int s = slot(gen), t = slot(gen);
        if (tree.treeSequence[s].kind != SlotKind::kClose) marks[s] = 1;
        if (tree.treeSequence[t].kind != SlotKind::kClose) other[t] = 1;
      }
      PassState fresh, reused;
      EstimateScenario(RunParameters{}, tree, other, reused);
      EstimateScenario(RunParameters{}, tree, marks, reused);
      EstimateScenario(RunParameters{}, tree, marks, fresh);
      EXPECT_TRUE(test::SameBits(fresh.value, reused.value)) << "trial " << trial;
    }
  }
}

TEST(EstimationPasses, DistributionsAndUnitVectorsOnRandomLeaves) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int trial = 0; trial < 10; ++trial) {
    const Tree tree = MakeTree([&](int) {
      BaseValues v{u(gen), u(gen), u(gen), u(gen)};
      const double sum = v.b[0] + v.b[1] + v.b[2] + v.b[3];
      for (int b = 0; b < kBaseCount; ++b) v.b[b] /= sum;
      return v;
    });
    MarkTable marks = MarksOf({});
    for (int i = 0; i < trial; ++i) {
      const int s = 1 + static_cast<int>(u(gen) * 188);
      if (tree.treeSequence[s].kind != SlotKind::kClose) marks[s] = 1;
    }
    PassState pass;
    EstimationPass1(RunParameters{}, tree, marks, pass);
    for (int s = 0; s < kSlotCount; ++s) {
      if (tree.treeSequence[s].kind != SlotKind::kOpen) continue;
      const BaseValues& v = pass.value[s];
      EXPECT_NEAR(v.b[0] + v.b[1] + v.b[2] + v.b[3], 1.0, 1e-12);
      for (int b = 0; b < kBaseCount; ++b) EXPECT_GE(v.b[b], 0.0);
    }
    EstimationPass2(RunParameters{}, tree, marks, pass);
    for (int s = 0; s < kSlotCount; ++s) {
      if (tree.treeSequence[s].kind == SlotKind::kClose) continue;
      const BaseValues& v = pass.value[s];
      EXPECT_NEAR(v.b[0] * v.b[0] + v.b[1] * v.b[1] + v.b[2] * v.b[2] + v.b[3] * v.b[3], 1.0, 1e-12);
    }
  }
}

TEST(ProjectToSimplex, DropsNegativeComponentsAndKeepsZeros) {
  BaseValues w = ProjectToSimplex({0.25, 0.25, 0.25, 0.25}, {0, 0, 0, 0}, 1.0);
  EXPECT_EQ(w.b[0], 0.25);
  // v - t*g = (1.2, 0.1, -0.2, -0.1): C, G, T drop in turn, A is left at 1.
  w = ProjectToSimplex({0.7, 0.1, 0.1, 0.1}, {-0.5, 0.0, 0.3, 0.2}, 1.0);
  EXPECT_EQ(w.b[0], 1.0);
  EXPECT_EQ(w.b[1], 0.0);
  EXPECT_EQ(w.b[2], 0.0);
  EXPECT_EQ(w.b[3], 0.0);
  // A value that lands exactly on 0 after the shift stays active (and is 0).
  w = ProjectToSimplex({0.5, 0.5, 0.0, 0.0}, {0.0, 0.0, 0.0, 0.0}, 1.0);
  EXPECT_EQ(w.b[0], 0.5);
  EXPECT_EQ(w.b[2], 0.0);

  std::mt19937 gen(3);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int i = 0; i < 2000; ++i) {
    const BaseValues v{std::fabs(u(gen)), std::fabs(u(gen)), std::fabs(u(gen)), std::fabs(u(gen))};
    w = ProjectToSimplex(v, {u(gen), u(gen), u(gen), u(gen)}, 0.5);
    for (int b = 0; b < kBaseCount; ++b) EXPECT_GE(w.b[b], 0.0);
    EXPECT_NEAR(w.b[0] + w.b[1] + w.b[2] + w.b[3], 1.0, 1e-14);
  }
}

TEST(ScoreScenario, DistancesAndPenalty) {
  const Tree tree = MakeTree(Smooth);
  const MarkTable marks = MarksOf({1, 6});
  PassState pass;
  EstimateScenario(RunParameters{}, tree, marks, pass);
  ScenarioScore score;
  ScoreScenario(tree, marks, pass.value, score);

  long double penalty = 0.0L;
  int filled = 0;
  for (int i = 1; i < kSlotCount; ++i) {
    const DistanceEntry& e = score.distanceTable[i];
    if (i > 1) {
      EXPECT_GE(score.distanceTable[i - 1].distance, e.distance);
    }
    if (e.slot == 0) {
      EXPECT_EQ(e.distance, 0.0);
      continue;
    }
    ++filled;
    const BaseValues& v = pass.value[e.slot];
    const BaseValues& u = pass.value[tree.parentSlot[e.slot]];
    long double d = 0.0L;
    for (int b = 0; b < kBaseCount; ++b)
      d += (static_cast<long double>(v.b[b]) - u.b[b]) * (static_cast<long double>(v.b[b]) - u.b[b]);
    EXPECT_EQ(e.distance, static_cast<double>(d));
    if (marks[e.slot] != 0) continue;
    for (int b = 0; b < kBaseCount; ++b)
      penalty +=
          std::sqrt(std::fabs(static_cast<long double>(v.b[b]) * v.b[b] - static_cast<long double>(u.b[b]) * u.b[b]));
  }
  EXPECT_EQ(filled, 126);
  EXPECT_NEAR(score.scenarioPenalty, static_cast<double>(penalty), 1e-12);
  // The candidates: the unmarked vertices of greatest distance, in the
  // table's order.
  const ScenarioOutcome outcome = OutcomeOf(score, marks, 6);
  EXPECT_EQ(outcome.penalty, score.scenarioPenalty);
  ASSERT_EQ(outcome.candidateCount, 6);
  for (int k = 0, i = 1; k < 6; ++i) {
    const int s = score.distanceTable[i].slot;
    if (s > 0 && marks[s] == 0) {
      EXPECT_EQ(outcome.candidates[k++], s);
    }
  }
}

TEST(ScoreScenario, ExchangeSortOrdersEqualDistancesItsOwnWay) {
  DistanceEntries table(kSlotCount);
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
  using test::KeyOf;
  BestList list(1);
  OfferToBestList(list, KeyOf({}), 1000.0, 0);
  EXPECT_EQ(list[0].key.count, 0);  // 1000 never beats the initial entry

  OfferToBestList(list, KeyOf({5}), 5.0, 1);
  EXPECT_EQ(list[0].key, KeyOf({5}));
  OfferToBestList(list, KeyOf({9}), 5.0, 1);  // equal penalty and level: the first stays
  EXPECT_EQ(list[0].key, KeyOf({5}));
  OfferToBestList(list, KeyOf({}), 5.0, 0);  // equal penalty, fewer marks
  EXPECT_EQ(list[0].key, KeyOf({}));

  BestList three(3);
  const double penalties[] = {4.0, 2.0, 3.0, 1.0};
  for (int i = 0; i < 4; ++i) OfferToBestList(three, KeyOf({i + 1}), penalties[i], 2);
  EXPECT_EQ(three[0].key, KeyOf({4}));
  EXPECT_EQ(three[1].key, KeyOf({2}));
  EXPECT_EQ(three[2].key, KeyOf({3}));
  OfferToBestList(three, KeyOf({2}), 2.0, 2);  // its key is met before any place
  EXPECT_EQ(three[1].key, KeyOf({2}));
  EXPECT_EQ(three[2].key, KeyOf({3}));
}

TEST(TerminalTest, ComparesOneHundredTimesTheNoiseInExtendedPrecision) {
  if (!ExtendedArithmeticIsFaithful()) GTEST_SKIP() << "long double is not the 80-bit format here";
  // 100 x 0.06 is exactly 5.99999999999999977796 in extended precision; in
  // double precision it would round to 6.
  const auto reaches = [](double noise, double penalty) {
    RunParameters params;
    params.noiseLevel = noise;
    return ReachesNoiseFloor(params, penalty);
  };
  EXPECT_FALSE(reaches(0.06, 6.0));
  EXPECT_TRUE(reaches(0.06, 5.999999999999999));
  EXPECT_TRUE(reaches(0.5, 50.0));
  EXPECT_TRUE(reaches(0.0, 0.0));
  EXPECT_FALSE(reaches(0.0, 1e-300));
}

}  // namespace
}  // namespace dorvu
