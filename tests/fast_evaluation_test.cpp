// The fast evaluation kernel against the plain passes and scoring, bit for
// bit, on many random scenarios.
#include "search/evaluate/fast_evaluation.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <random>

#include "search/estimation.h"
#include "search/scenario_memory.h"
#include "search/scoring.h"
#include "support/random_trees.h"
#include "support/same_bits.h"
#include "support/trees.h"

namespace dorvu {
namespace {

using test::MakeTree;
using test::MarksOf;
using test::SameBits;

enum class LeafKind { Smooth, PureBase, Unnormalised };

// Random leaves of one kind, from a fixed seed.
Tree RandomLeaves(LeafKind kind, uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  return MakeTree([&](int) {
    switch (kind) {
      case LeafKind::Smooth: {
        const double a = unit(gen) + 0.05, c = unit(gen) + 0.05, g = unit(gen) + 0.05, t = unit(gen) + 0.05;
        const double sum = a + c + g + t;
        return BaseValues{a / sum, c / sum, g / sum, t / sum};
      }
      case LeafKind::PureBase: {
        const uint32_t base = gen() % 4;
        return BaseValues{base == 0 ? 1.0 : 0.0, base == 1 ? 1.0 : 0.0, base == 2 ? 1.0 : 0.0, base == 3 ? 1.0 : 0.0};
      }
      case LeafKind::Unnormalised:
        break;
    }
    return BaseValues{2.0 * unit(gen) - 0.5, 2.0 * unit(gen) - 0.5, 2.0 * unit(gen) - 0.5, 2.0 * unit(gen) - 0.5};
  });
}

// The root and 0 to 20 further vertex slots, leaves included.
MarkTable RandomMarks(std::mt19937& gen, const Tree& tree) {
  MarkTable mark = RootMarks(tree);
  const uint32_t count = gen() % 21;
  for (uint32_t n = 0; n < count; ++n) {
    int slot = 0;
    while (slot == 0 || tree.treeSequence[slot].kind == SlotKind::kClose)
      slot = static_cast<int>(gen() % tree.slotCount);
    mark[slot] = 1;
  }
  return mark;
}

bool SameOutcomes(const ScenarioOutcome& a, const ScenarioOutcome& b) {
  return SameBits(a.penalty, b.penalty) && a.candidateCount == b.candidateCount && a.candidates == b.candidates;
}

// Evaluates the marks both ways and compares every result bit for bit: the
// values at every vertex, the penalty, and the candidate rows of a level's
// length and of a length that reaches deep into the sorted table.
void ExpectSameEvaluation(const Tree& tree, const FastTree& fast, const MarkTable& mark) {
  RunParameters params;
  ScaleToTree(params, tree.internalCount, tree.EdgeCount());
  auto pass = std::make_unique<PassState>();
  auto plainScore = std::make_unique<ScenarioScore>();
  EstimateScenario(params, tree, mark, *pass);
  ScoreScenario(tree, mark, pass->value, *plainScore);

  // With the vector units where the processor has them, and without.
  for (const KernelRoutines* routines : {&ChooseKernelRoutines(), &kPlainRoutines}) {
    const bool vectorUnits = routines == &kVectorRoutines;
    auto work = std::make_unique<FastWork>();
    PrepareFastWork(fast, *work);
    work->routines = routines;
    const std::string marks = test::SlotsText(mark) + (vectorUnits ? " (vector units)" : " (x87 only)");
    for (const int32_t limit : {kMaxCandidates, 1}) {
      const ScenarioOutcome outcome = FastEvaluateScenario(fast, mark, *work, limit);
      ValueTable values;
      CopyValuesBySlot(fast, *work, values);
      for (int s = 0; s < tree.slotCount; ++s) {
        if (tree.treeSequence[s].kind == SlotKind::kClose) continue;
        ASSERT_TRUE(SameBits(pass->value[s], values[s])) << "slot " << s << " marks " << marks;
      }
      ASSERT_TRUE(SameOutcomes(OutcomeOf(*plainScore, mark, limit), outcome)) << "marks " << marks;
    }
  }
}

class FastKernelMatchesPlain : public testing::TestWithParam<LeafKind> {};

TEST_P(FastKernelMatchesPlain, OnRandomMarks) {
  for (uint32_t treeSeed = 1; treeSeed <= 3; ++treeSeed) {
    const Tree tree = RandomLeaves(GetParam(), treeSeed);
    RunParameters params;
    FastTree fast;
    PrepareFastTree(params, tree, fast);
    std::mt19937 gen(1000 + treeSeed);
    for (int n = 0; n < 20; ++n) ASSERT_NO_FATAL_FAILURE(ExpectSameEvaluation(tree, fast, RandomMarks(gen, tree)));
  }
}

INSTANTIATE_TEST_SUITE_P(Leaves, FastKernelMatchesPlain,
                         testing::Values(LeafKind::Smooth, LeafKind::PureBase, LeafKind::Unnormalised),
                         [](const testing::TestParamInfo<LeafKind>& info) {
                           switch (info.param) {
                             case LeafKind::Smooth:
                               return "Smooth";
                             case LeafKind::PureBase:
                               return "PureBase";
                             case LeafKind::Unnormalised:
                               break;
                           }
                           return "Unnormalised";
                         });

TEST(FastKernel, MatchesPlainOnEdgeCases) {
  // Identical leaves: a zero first gradient and no step in either pass.
  const Tree same = MakeTree([](int) { return BaseValues{0.1, 0.2, 0.3, 0.4}; });
  // Two bases in two halves: many exact ties in the distance table.
  const Tree halves = MakeTree([](int k) { return k <= 32 ? BaseValues{1, 0, 0, 0} : BaseValues{0, 0, 1, 0}; });
  for (const Tree* tree : {&same, &halves}) {
    RunParameters params;
    FastTree fast;
    PrepareFastTree(params, *tree, fast);
    // The root alone; a vertex whose three edges are cut (slot 5 and its
    // leaves 6 and 7); both leaves of that vertex cut away.
    for (const MarkTable& mark : {MarksOf({}), MarksOf({5, 6, 7}), MarksOf({6, 7})})
      ASSERT_NO_FATAL_FAILURE(ExpectSameEvaluation(*tree, fast, mark));
  }
}

// Multifurcations (a star-like vertex among them) and one-child vertices.
TEST(FastKernel, MatchesPlainOnTreesOfAnyShape) {
  for (const auto& [seed, tips] : {std::pair{1u, 40}, std::pair{2u, 200}}) {
    Tree tree;
    LayOutTree(tree, ParseNewick(test::RandomTreeText(seed, tips)));
    std::mt19937 gen(seed);
    for (int k = 1; k <= tree.leafCount; ++k)
      tree.treeSequence[tree.leafSlots[k]].value = {0x1p-32 * gen(), 0x1p-32 * gen(), 0x1p-32 * gen(), 0x1p-32 * gen()};
    DeriveLinks(tree);
    RunParameters params;
    ScaleToTree(params, tree.internalCount, tree.EdgeCount());
    FastTree fast;
    PrepareFastTree(params, tree, fast);
    for (int n = 0; n < 20; ++n) ASSERT_NO_FATAL_FAILURE(ExpectSameEvaluation(tree, fast, RandomMarks(gen, tree)));
  }
}

TEST(FastKernel, MatchesPlainOnExtremeLeaves) {
  // Squares that overflow a double (but not the extended format), squares
  // that vanish below the double range, a leaf that is not a number, and
  // values spread over many orders of magnitude: the energies' estimates are
  // infinite, zero or far off there, and the exact route must decide.
  std::mt19937 gen(77);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const auto scaled = [&](double scale) {
    return MakeTree([&](int) {
      return BaseValues{scale * unit(gen), scale * unit(gen), scale * unit(gen), scale * unit(gen)};
    });
  };
  const Tree huge = scaled(1e200);
  const Tree tiny = scaled(1e-170);
  const Tree notANumber = MakeTree([&](int k) {
    return BaseValues{0.25, k == 7 ? std::numeric_limits<double>::quiet_NaN() : 0.25 * unit(gen), 0.25, 0.25};
  });
  const Tree spread = MakeTree([&](int k) {
    const double scale = std::ldexp(1.0, static_cast<int>(gen() % 200) - 100);
    return BaseValues{scale * unit(gen), unit(gen), k % 3 == 0 ? 0.0 : unit(gen), scale};
  });
  for (const Tree* tree : {&huge, &tiny, &notANumber, &spread}) {
    RunParameters params;
    FastTree fast;
    PrepareFastTree(params, *tree, fast);
    for (const MarkTable& mark : {MarksOf({}), MarksOf({5, 40}), MarksOf({2, 3, 64, 100, 131})})
      ASSERT_NO_FATAL_FAILURE(ExpectSameEvaluation(*tree, fast, mark));
  }
}

TEST(FastKernel, RepeatedEvaluationsDependOnlyOnTheMarks) {
  const Tree tree = RandomLeaves(LeafKind::PureBase, 9);
  RunParameters params;
  FastTree fast;
  PrepareFastTree(params, tree, fast);
  auto work = std::make_unique<FastWork>();
  PrepareFastWork(fast, *work);
  const MarkTable mark = MarksOf({25, 40});
  const ScenarioOutcome first = FastEvaluateScenario(fast, mark, *work, kMaxCandidates);
  FastEvaluateScenario(fast, MarksOf({3, 90, 120}), *work, kMaxCandidates);  // leaves traces in the work area
  EXPECT_TRUE(SameOutcomes(first, FastEvaluateScenario(fast, mark, *work, kMaxCandidates)));
}

// Tables whose distances come from a few values, so that most entries tie.
TEST(FastSort, GivesTheExchangeSortsOrderOfTies) {
  std::mt19937 gen(77);
  const double values[] = {
      0.0, 0.0, 0.25, 0.5, 1.0, 3.0, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()};
  for (int round = 0; round < 400; ++round) {
    DistanceEntries table(kSlotCount);
    const uint32_t distinct = 1 + gen() % 8;
    for (int i = 1; i < kSlotCount; ++i) {
      const bool empty = gen() % 3 == 0;  // as close slots: slot 0, distance 0
      table[i] = empty ? DistanceEntry{} : DistanceEntry{i, values[gen() % distinct]};
    }
    auto plain = table;
    SortDistanceTable(plain);
    FastSortDistanceTable(table);
    for (int i = 1; i < kSlotCount; ++i) {
      ASSERT_EQ(plain[i].slot, table[i].slot) << "round " << round << " entry " << i;
      ASSERT_TRUE(SameBits(plain[i].distance, table[i].distance));
    }
  }
}

}  // namespace
}  // namespace dorvu
