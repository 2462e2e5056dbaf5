#include "platform/ui/layout/Cassowary.h"

#include <gtest/gtest.h>

#include <random>

namespace velkora::ui::cassowary {
namespace {

constexpr auto LE = Relation::LessOrEqual;
constexpr auto EQ = Relation::Equal;
constexpr auto GE = Relation::GreaterOrEqual;

TEST(CassowarySolver, EqualitiesAndInequalitiesSolve) {
    Solver s;
    Variable x("x"), y("y"), z("z");
    ASSERT_EQ(s.addConstraint(Constraint(x + y, EQ, 20)), Status::Ok);
    ASSERT_EQ(s.addConstraint(Constraint(x, EQ, 5)), Status::Ok);
    ASSERT_EQ(s.addConstraint(Constraint(z, GE, y * 2 + 1)), Status::Ok);
    ASSERT_EQ(s.addConstraint(Constraint(z, EQ, 0, Strength::weak())), Status::Ok);
    s.updateVariables();
    EXPECT_DOUBLE_EQ(x.value(), 5);
    EXPECT_DOUBLE_EQ(y.value(), 15);
    EXPECT_DOUBLE_EQ(z.value(), 31); // pushed as low as the inequality allows
}

TEST(CassowarySolver, PreferenceClampedByRequiredBounds) {
    struct Case {
        double wanted, expected;
    } cases[] = {{30, 20}, {15, 15}, {-4, 10}};
    for (auto c : cases) {
        Solver s;
        Variable x("x");
        s.addConstraint(Constraint(x, GE, 10));
        s.addConstraint(Constraint(x, LE, 20));
        s.addConstraint(Constraint(x, EQ, c.wanted, Strength::medium()));
        s.updateVariables();
        EXPECT_DOUBLE_EQ(x.value(), c.expected) << "wanted " << c.wanted;
    }
}

// Priorities are strict levels: many lower preferences never outvote one higher preference.
TEST(CassowarySolver, HigherPriorityWinsWhateverTheCountBelow) {
    Solver s;
    Variable top("top");
    for (int i = 0; i < 6; ++i)
        s.addConstraint(Constraint(top, EQ, 100, Strength::fromPriority(500)));
    Constraint raised(top, EQ, 0, Strength::fromPriority(750));
    s.addConstraint(raised);
    s.updateVariables();
    EXPECT_DOUBLE_EQ(top.value(), 0);
    s.removeConstraint(raised);
    s.updateVariables();
    EXPECT_DOUBLE_EQ(top.value(), 100);
}

// Two alternatives for one position; swapping their priorities between 700 and 800 swaps the winner.
TEST(CassowarySolver, SwappingPrioritiesMovesTheVariable) {
    Solver s;
    Variable y("y");
    Constraint a(y, EQ, 40, Strength::fromPriority(800));
    Constraint b(y, EQ, 90, Strength::fromPriority(700));
    s.addConstraint(a);
    s.addConstraint(b);
    s.updateVariables();
    EXPECT_DOUBLE_EQ(y.value(), 40);
    s.removeConstraint(a);
    s.removeConstraint(b);
    a = Constraint(a, Strength::fromPriority(700));
    b = Constraint(b, Strength::fromPriority(800));
    s.addConstraint(a);
    s.addConstraint(b);
    s.updateVariables();
    EXPECT_DOUBLE_EQ(y.value(), 90);
}

TEST(CassowarySolver, WeightsTradeWithinOneLevel) {
    Solver s;
    Variable x("x");
    s.addConstraint(Constraint(x, EQ, 0, Strength::fromPriority(500, 1)));
    s.addConstraint(Constraint(x, EQ, 10, Strength::fromPriority(500, 3)));
    s.updateVariables();
    EXPECT_DOUBLE_EQ(x.value(), 10);
}

TEST(CassowarySolver, UnsatisfiableRequiredIsRefusedAndLeavesNoTrace) {
    Solver s;
    Variable x("x"), y("y");
    ASSERT_EQ(s.addConstraint(Constraint(x, GE, 10)), Status::Ok);
    ASSERT_EQ(s.addConstraint(Constraint(x + y, EQ, 30)), Status::Ok);
    ASSERT_EQ(s.addConstraint(Constraint(y, EQ, 5, Strength::weak())), Status::Ok);
    // Contradictions of several shapes: a direct bound, one found only by phase one, a constant clash.
    Constraint refused[] = {Constraint(x, LE, 5), Constraint(x + y, GE, 31), Constraint(Expression(0.0), EQ, 2),
                            Constraint(x * 2 + y * 2, EQ, 70)};
    for (const auto& c : refused) {
        EXPECT_EQ(s.addConstraint(c), Status::UnsatisfiableConstraint);
        EXPECT_FALSE(s.hasConstraint(c));
        s.updateVariables();
        EXPECT_DOUBLE_EQ(x.value(), 25);
        EXPECT_DOUBLE_EQ(y.value(), 5);
    }
    EXPECT_EQ(s.constraintCount(), 3u);
    // A redundant restatement is fine.
    EXPECT_EQ(s.addConstraint(Constraint(x * 2 + y * 2, EQ, 60)), Status::Ok);
    // And the solver still works.
    ASSERT_EQ(s.addConstraint(Constraint(y, EQ, 12, Strength::medium())), Status::Ok);
    s.updateVariables();
    EXPECT_DOUBLE_EQ(y.value(), 12);
    EXPECT_DOUBLE_EQ(x.value(), 18);
}

TEST(CassowarySolver, BookkeepingErrors) {
    Solver s;
    Variable x("x");
    Constraint c(x, EQ, 1);
    EXPECT_EQ(s.addConstraint(Constraint()), Status::NullConstraint);
    EXPECT_EQ(s.removeConstraint(c), Status::UnknownConstraint);
    EXPECT_EQ(s.addConstraint(c), Status::Ok);
    EXPECT_EQ(s.addConstraint(c), Status::DuplicateConstraint);
    EXPECT_EQ(s.addEditVariable(x, Strength::required()), Status::BadRequiredStrength);
    EXPECT_EQ(s.suggestValue(x, 3), Status::UnknownEditVariable);
    EXPECT_EQ(s.removeEditVariable(x), Status::UnknownEditVariable);
    EXPECT_EQ(s.addEditVariable(x, Strength::strong()), Status::Ok);
    EXPECT_EQ(s.addEditVariable(x, Strength::strong()), Status::DuplicateEditVariable);
    EXPECT_EQ(s.removeConstraint(c), Status::Ok);
    EXPECT_EQ(s.removeEditVariable(x), Status::Ok);
    EXPECT_EQ(s.constraintCount(), 0u);
    EXPECT_STREQ(statusText(Status::UnsatisfiableConstraint), "unsatisfiable constraint");
}

TEST(CassowarySolver, EditVariablesFollowSuggestionsWithinBounds) {
    Solver s;
    Variable left("left"), width("width"), right("right");
    s.addConstraint(Constraint(right, EQ, left + width));
    s.addConstraint(Constraint(left, GE, 0));
    s.addConstraint(Constraint(right, LE, 320));
    s.addConstraint(Constraint(width, EQ, 100, Strength::strong()));
    ASSERT_EQ(s.addEditVariable(left, Strength::medium()), Status::Ok);
    struct Step {
        double suggested, left, right;
    } steps[] = {{10, 10, 110}, {250, 220, 320}, {-30, 0, 100}, {75.5, 75.5, 175.5}};
    for (auto st : steps) {
        ASSERT_EQ(s.suggestValue(left, st.suggested), Status::Ok);
        s.updateVariables();
        EXPECT_DOUBLE_EQ(left.value(), st.left) << st.suggested;
        EXPECT_DOUBLE_EQ(right.value(), st.right) << st.suggested;
        EXPECT_DOUBLE_EQ(width.value(), 100);
    }
    // A second edit at a higher level squeezes the width instead.
    ASSERT_EQ(s.addEditVariable(right, Strength::fromPriority(900)), Status::Ok);
    s.suggestValue(right, 150);
    s.suggestValue(left, 100);
    s.updateVariables();
    EXPECT_DOUBLE_EQ(right.value(), 150);
    EXPECT_DOUBLE_EQ(left.value(), 50);
    EXPECT_DOUBLE_EQ(width.value(), 100);
    ASSERT_EQ(s.removeEditVariable(right), Status::Ok);
    s.updateVariables();
    EXPECT_DOUBLE_EQ(left.value(), 100);
    EXPECT_DOUBLE_EQ(right.value(), 200);
}

// Random systems built step by step, with removals and edits on the way, must reach solutions as good,
// level by level, as a solver that is handed the surviving constraints at once.
TEST(CassowarySolver, IncrementalChangesMatchAFreshSolve) {
    std::mt19937 rng(20261209);
    auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const double priorities[] = {1000, 1000, 900, 750, 500, 250, 50};
    for (int round = 0; round < 60; ++round) {
        std::vector<Variable> vars;
        for (int i = 0; i < 6; ++i)
            vars.emplace_back(std::string("v").append(std::to_string(i)));
        Solver incremental;
        std::vector<Constraint> held;
        // Keep the system bounded.
        for (auto& v : vars) {
            held.emplace_back(v, GE, -1000);
            held.emplace_back(v, LE, 1000);
            incremental.addConstraint(held[held.size() - 2]);
            incremental.addConstraint(held.back());
        }
        incremental.addEditVariable(vars[0], Strength::fromPriority(600));
        double suggested = 0;
        for (int step = 0; step < 40; ++step) {
            if (uni(0, 5) == 0) {
                suggested = uni(-80, 80);
                ASSERT_EQ(incremental.suggestValue(vars[0], suggested), Status::Ok);
                continue;
            }
            if (!held.empty() && held.size() > 12 && uni(0, 3) == 0) {
                size_t i = static_cast<size_t>(uni(12, static_cast<int>(held.size()) - 1));
                ASSERT_EQ(incremental.removeConstraint(held[i]), Status::Ok);
                held.erase(held.begin() + static_cast<long>(i));
                continue;
            }
            Expression lhs = Expression(vars[static_cast<size_t>(uni(0, 5))], uni(1, 3));
            if (uni(0, 1)) lhs -= Expression(vars[static_cast<size_t>(uni(0, 5))], uni(1, 2));
            Relation rel = static_cast<Relation>(uni(0, 2));
            Constraint c(lhs, rel, uni(-50, 50), Strength::fromPriority(priorities[uni(0, 6)]));
            Status st = incremental.addConstraint(c);
            if (st == Status::Ok) {
                held.push_back(c);
            } else {
                ASSERT_EQ(st, Status::UnsatisfiableConstraint) << "round " << round << " step " << step;
            }
        }
        incremental.updateVariables();
        for (const auto& c : held) {
            if (c.strength().isRequired()) {
                EXPECT_LT(c.violation(), 1e-6) << "round " << round;
            }
        }
        auto incrementalErrors = incremental.errorByLevel();

        Solver fresh;
        for (const auto& c : held)
            ASSERT_EQ(fresh.addConstraint(c), Status::Ok) << "round " << round;
        fresh.addEditVariable(vars[0], Strength::fromPriority(600));
        fresh.suggestValue(vars[0], suggested);
        fresh.updateVariables();
        auto freshErrors = fresh.errorByLevel();
        ASSERT_EQ(incrementalErrors.size(), freshErrors.size());
        for (size_t i = 0; i < freshErrors.size(); ++i) {
            EXPECT_EQ(incrementalErrors[i].first, freshErrors[i].first);
            EXPECT_NEAR(incrementalErrors[i].second, freshErrors[i].second, 1e-6)
                << "round " << round << " level " << freshErrors[i].first;
            if (std::abs(incrementalErrors[i].second - freshErrors[i].second) > 1e-6) break;
        }
    }
}

TEST(CassowarySolver, LongChainStaysExact) {
    Solver s;
    std::vector<Variable> tops;
    for (int i = 0; i <= 200; ++i)
        tops.emplace_back("top" + std::to_string(i));
    s.addConstraint(Constraint(tops[0], EQ, 0));
    for (size_t i = 1; i < tops.size(); ++i)
        s.addConstraint(Constraint(tops[i], EQ, tops[i - 1] + 7.25, Strength::fromPriority(i % 2 ? 1000 : 999)));
    s.updateVariables();
    EXPECT_DOUBLE_EQ(tops.back().value(), 200 * 7.25);
    s.addEditVariable(tops[0], Strength::strong());
    s.suggestValue(tops[0], 3); // the required pin wins over the edit
    s.updateVariables();
    EXPECT_DOUBLE_EQ(tops.back().value(), 200 * 7.25);
}

} // namespace
} // namespace velkora::ui::cassowary
