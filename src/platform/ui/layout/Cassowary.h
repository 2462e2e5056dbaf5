// An incremental linear-constraint solver in the Cassowary manner: linear equalities and inequalities
// between variables, each required or preferred with a priority, kept solved in a simplex tableau so that
// adding or removing one constraint, or suggesting a new value for an edit variable, costs a few pivots
// instead of a fresh solve.
//
// Priorities are strict levels, as the layout engine needs them: whatever the amounts, a preference at
// priority 800 is never traded away to satisfy any number of preferences at 700. Within one level the
// errors add up, scaled by each constraint's weight.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velkora::ui::cassowary {

// A handle to one unknown; copies share it. Its value is written by Solver::updateVariables().
class Variable {
public:
    Variable() : d_(std::make_shared<Data>()) {}
    explicit Variable(std::string name) : d_(std::make_shared<Data>(Data{std::move(name), 0})) {}

    const std::string& name() const { return d_->name; }
    double value() const { return d_->value; }
    void setValue(double v) { d_->value = v; }
    const void* id() const { return d_.get(); }
    bool sameAs(const Variable& other) const { return d_ == other.d_; }

private:
    struct Data {
        std::string name;
        double value = 0;
    };
    std::shared_ptr<Data> d_;
};

struct Term {
    Variable variable;
    double coefficient = 1;
};

// A sum of terms plus a constant. Variables and numbers convert to it, so `x * 2 + y - 10` reads as written.
class Expression {
public:
    Expression() = default;
    Expression(double constant) : constant_(constant) {}
    Expression(const Variable& v, double coefficient = 1) : terms_{Term{v, coefficient}} {}
    Expression(Term t) : terms_{std::move(t)} {}
    Expression(std::vector<Term> terms, double constant = 0) : terms_(std::move(terms)), constant_(constant) {}

    const std::vector<Term>& terms() const { return terms_; }
    double constant() const { return constant_; }
    // Evaluated with the variables' current values.
    double value() const;
    // Terms of one variable merged, zero coefficients dropped.
    Expression reduced() const;

    Expression& operator+=(const Expression& other);
    Expression& operator-=(const Expression& other);
    Expression& operator*=(double factor);
    Expression& operator/=(double divisor) { return *this *= 1.0 / divisor; }

private:
    std::vector<Term> terms_;
    double constant_ = 0;
};

inline Expression operator+(Expression a, const Expression& b) {
    return a += b;
}
inline Expression operator-(Expression a, const Expression& b) {
    return a -= b;
}
inline Expression operator-(Expression a) {
    return a *= -1;
}
inline Expression operator*(Expression a, double f) {
    return a *= f;
}
inline Expression operator*(double f, Expression a) {
    return a *= f;
}
inline Expression operator/(Expression a, double d) {
    return a /= d;
}

enum class Relation { LessOrEqual, Equal, GreaterOrEqual };

// `priority` is the level (1...1000, 1000 being required; constraints built directly may use levels
// between 0 and 1 for tie-breakers below every user priority); `weight` scales the error within the level.
struct Strength {
    double priority = 1000;
    double weight = 1;

    static Strength required() { return {1000, 1}; }
    static Strength strong() { return {750, 1}; }
    static Strength medium() { return {500, 1}; }
    static Strength weak() { return {250, 1}; }
    // Clamped into 1...1000; 1000 and above is required.
    static Strength fromPriority(double priority, double weight = 1);
    bool isRequired() const { return priority >= 1000; }
    friend bool operator==(const Strength&, const Strength&) = default;
};

// An immutable relation `lhs OP rhs` with a strength; copies share it and the solver knows it by identity.
class Constraint {
public:
    Constraint() = default;
    Constraint(const Expression& lhs, Relation op, const Expression& rhs, Strength strength = Strength::required());
    // `expression OP 0`.
    Constraint(const Expression& expression, Relation op, Strength strength = Strength::required())
        : Constraint(expression, op, Expression(0.0), strength) {}
    // The same relation at another strength (a new constraint as far as the solver is concerned).
    Constraint(const Constraint& other, Strength strength);

    bool isNull() const { return !d_; }
    const Expression& expression() const; // normalised: expression OP 0
    Relation relation() const;
    Strength strength() const;
    // How far the variables' current values are from satisfying it; 0 when satisfied.
    double violation() const;
    const void* id() const { return d_.get(); }

private:
    struct Data {
        Expression expression;
        Relation relation = Relation::Equal;
        Strength strength;
    };
    std::shared_ptr<const Data> d_;
};

enum class Status {
    Ok,
    NullConstraint,
    DuplicateConstraint,
    UnknownConstraint,
    UnsatisfiableConstraint, // a required constraint that contradicts the required ones already held
    DuplicateEditVariable,
    UnknownEditVariable,
    BadRequiredStrength, // an edit variable cannot be required
    InternalError,       // an unbounded or degenerate tableau; the solver keeps its last good state
};

const char* statusText(Status status);

class Solver {
public:
    Solver();
    ~Solver();
    Solver(Solver&&) noexcept;
    Solver& operator=(Solver&&) noexcept;
    Solver(const Solver&) = delete;
    Solver& operator=(const Solver&) = delete;

    // A required constraint that cannot hold is refused and leaves the solver as it was.
    Status addConstraint(const Constraint& constraint);
    Status removeConstraint(const Constraint& constraint);
    bool hasConstraint(const Constraint& constraint) const;
    size_t constraintCount() const;

    // An edit variable takes suggested values at its (non-required) strength; suggesting re-solves by
    // dual pivots from the current optimum.
    Status addEditVariable(const Variable& variable, Strength strength);
    Status removeEditVariable(const Variable& variable);
    bool hasEditVariable(const Variable& variable) const;
    Status suggestValue(const Variable& variable, double value);

    // Writes the solved values into the variables of every constraint held.
    void updateVariables();
    void reset();

    // Sum of the weighted errors of the preferences at each level, highest level first; for tests that
    // compare two solutions of one system.
    std::vector<std::pair<double, double>> errorByLevel() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace velkora::ui::cassowary
