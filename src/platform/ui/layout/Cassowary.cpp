#include "platform/ui/layout/Cassowary.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <unordered_map>
#include <utility>

namespace velkora::ui::cassowary {

namespace {

constexpr double kEpsilon = 1.0e-8;

bool nearZero(double v) {
    return std::fabs(v) < kEpsilon;
}

// The tableau's unknowns. External ones are the user's variables and may take any value; slack and error
// ones are kept non-negative; dummies stay at zero and only mark required equalities.
enum class Kind : uint8_t { Invalid, External, Slack, Error, Dummy };

struct Symbol {
    uint64_t id = 0;
    Kind kind = Kind::Invalid;
    bool valid() const { return kind != Kind::Invalid; }
    friend bool operator<(Symbol a, Symbol b) { return a.id < b.id; }
    friend bool operator==(Symbol a, Symbol b) { return a.id == b.id; }
};

// basic symbol = constant + sum(coefficient * parametric symbol)
class Row {
public:
    using Cells = std::map<Symbol, double>;

    Row() = default;
    explicit Row(double constant) : constant_(constant) {}

    double constant() const { return constant_; }
    const Cells& cells() const { return cells_; }
    double add(double value) { return constant_ += value; }

    double coefficientFor(Symbol s) const {
        auto it = cells_.find(s);
        return it == cells_.end() ? 0.0 : it->second;
    }
    void insert(Symbol s, double coefficient) {
        auto [it, inserted] = cells_.try_emplace(s, coefficient);
        if (!inserted) it->second += coefficient;
        if (nearZero(it->second)) cells_.erase(it);
    }
    void insert(const Row& other, double coefficient) {
        constant_ += other.constant_ * coefficient;
        for (const auto& [s, c] : other.cells_)
            insert(s, c * coefficient);
    }
    void remove(Symbol s) { cells_.erase(s); }
    void reverseSign() {
        constant_ = -constant_;
        for (auto& cell : cells_)
            cell.second = -cell.second;
    }
    // From `0 = constant + ... + c*s + ...` to `s = ...`.
    void solveFor(Symbol s) {
        auto it = cells_.find(s);
        double factor = -1.0 / it->second;
        cells_.erase(it);
        constant_ *= factor;
        for (auto& cell : cells_)
            cell.second *= factor;
    }
    // From `lhs = ... + c*rhs + ...` to `rhs = ...`.
    void solveFor(Symbol lhs, Symbol rhs) {
        insert(lhs, -1.0);
        solveFor(rhs);
    }
    void substitute(Symbol s, const Row& row) {
        auto it = cells_.find(s);
        if (it == cells_.end()) return;
        double c = it->second;
        cells_.erase(it);
        insert(row, c);
    }

private:
    double constant_ = 0;
    Cells cells_;
};

// What is minimised: one row per priority level, highest first, compared lexicographically.
class Objective {
public:
    Row& level(double priority) {
        auto it = std::find_if(levels_.begin(), levels_.end(), [&](const auto& l) { return l.first <= priority; });
        if (it != levels_.end() && it->first == priority) return it->second;
        return levels_.insert(it, {priority, Row()})->second;
    }
    void substitute(Symbol s, const Row& row) {
        for (auto& l : levels_)
            l.second.substitute(s, row);
    }
    void remove(Symbol s) {
        for (auto& l : levels_)
            l.second.remove(s);
    }
    void prune() {
        std::erase_if(levels_, [](const auto& l) { return l.second.cells().empty(); });
    }
    // Sign of the first level at which s has a coefficient.
    int sign(Symbol s) const {
        for (const auto& l : levels_) {
            double c = l.second.coefficientFor(s);
            if (!nearZero(c)) return c < 0 ? -1 : 1;
        }
        return 0;
    }
    double coefficient(size_t levelIndex, Symbol s) const { return levels_[levelIndex].second.coefficientFor(s); }
    size_t levelCount() const { return levels_.size(); }
    // Every symbol that appears at some level, in id order.
    std::vector<Symbol> symbols() const {
        std::vector<Symbol> out;
        for (const auto& l : levels_)
            for (const auto& cell : l.second.cells())
                out.push_back(cell.first);
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return out;
    }
    const Row& first() const { return levels_.front().second; }
    bool empty() const { return levels_.empty(); }

private:
    std::vector<std::pair<double, Row>> levels_; // descending priority
};

struct Tag {
    Symbol marker;
    Symbol other;
};

} // namespace

// ---- Expression, Strength, Constraint --------------------------------------------------------------

double Expression::value() const {
    double v = constant_;
    for (const auto& t : terms_)
        v += t.coefficient * t.variable.value();
    return v;
}

Expression Expression::reduced() const {
    std::vector<Term> merged;
    std::unordered_map<const void*, size_t> index;
    for (const auto& t : terms_) {
        auto [it, inserted] = index.try_emplace(t.variable.id(), merged.size());
        if (inserted)
            merged.push_back(t);
        else
            merged[it->second].coefficient += t.coefficient;
    }
    std::erase_if(merged, [](const Term& t) { return t.coefficient == 0.0; });
    return Expression(std::move(merged), constant_);
}

Expression& Expression::operator+=(const Expression& other) {
    terms_.insert(terms_.end(), other.terms_.begin(), other.terms_.end());
    constant_ += other.constant_;
    return *this;
}

Expression& Expression::operator-=(const Expression& other) {
    for (const auto& t : other.terms_)
        terms_.push_back(Term{t.variable, -t.coefficient});
    constant_ -= other.constant_;
    return *this;
}

Expression& Expression::operator*=(double factor) {
    for (auto& t : terms_)
        t.coefficient *= factor;
    constant_ *= factor;
    return *this;
}

// Levels below 1 are kept for the solver's own users (the layout pass's tie-breakers); nonsense becomes 1.
static Strength sanitized(Strength s) {
    if (!(s.priority > 0)) s.priority = 1;
    if (s.priority > 1000) s.priority = 1000;
    if (!(s.weight > 0) || !std::isfinite(s.weight)) s.weight = 1;
    return s;
}

Strength Strength::fromPriority(double priority, double weight) {
    if (!(priority >= 1)) priority = 1; // also catches NaN
    if (priority > 1000) priority = 1000;
    if (!(weight > 0) || !std::isfinite(weight)) weight = 1;
    return {priority, weight};
}

Constraint::Constraint(const Expression& lhs, Relation op, const Expression& rhs, Strength strength)
    : d_(std::make_shared<const Data>(Data{(lhs - rhs).reduced(), op, sanitized(strength)})) {}

Constraint::Constraint(const Constraint& other, Strength strength)
    : d_(other.d_ ? std::make_shared<const Data>(Data{other.d_->expression, other.d_->relation, sanitized(strength)})
                  : nullptr) {}

const Expression& Constraint::expression() const {
    static const Expression empty;
    return d_ ? d_->expression : empty;
}

Relation Constraint::relation() const {
    return d_ ? d_->relation : Relation::Equal;
}

Strength Constraint::strength() const {
    return d_ ? d_->strength : Strength::required();
}

double Constraint::violation() const {
    if (!d_) return 0;
    double v = d_->expression.value();
    switch (d_->relation) {
    case Relation::Equal:
        return std::fabs(v);
    case Relation::LessOrEqual:
        return std::max(0.0, v);
    case Relation::GreaterOrEqual:
        return std::max(0.0, -v);
    }
    return 0;
}

const char* statusText(Status status) {
    switch (status) {
    case Status::Ok:
        return "ok";
    case Status::NullConstraint:
        return "null constraint";
    case Status::DuplicateConstraint:
        return "duplicate constraint";
    case Status::UnknownConstraint:
        return "unknown constraint";
    case Status::UnsatisfiableConstraint:
        return "unsatisfiable constraint";
    case Status::DuplicateEditVariable:
        return "duplicate edit variable";
    case Status::UnknownEditVariable:
        return "unknown edit variable";
    case Status::BadRequiredStrength:
        return "an edit variable cannot be required";
    case Status::InternalError:
        return "internal solver error";
    }
    return "?";
}

// ---- Solver --------------------------------------------------------------------------------------

struct Solver::Impl {
    struct Held {
        Constraint constraint;
        Tag tag;
    };
    struct Edit {
        Constraint constraint;
        Tag tag;
        double constant = 0;
    };
    struct Known {
        Variable variable;
        Symbol symbol;
        size_t uses = 0; // constraints that mention it; the variable is forgotten at zero
    };

    std::unordered_map<const void*, Held> constraints;
    std::unordered_map<const void*, Known> variables;
    std::unordered_map<const void*, Edit> edits;
    std::map<Symbol, Row> rows;
    std::vector<Symbol> infeasible;
    Objective objective;
    Objective* artificial = nullptr;
    uint64_t nextId = 1;

    Symbol make(Kind kind) { return Symbol{nextId++, kind}; }

    Symbol symbolFor(const Variable& v) {
        auto [it, inserted] = variables.try_emplace(v.id(), Known{v, Symbol{}, 0});
        if (inserted) it->second.symbol = make(Kind::External);
        return it->second.symbol;
    }

    void retain(const Constraint& c) {
        for (const auto& t : c.expression().terms()) {
            symbolFor(t.variable);
            ++variables.at(t.variable.id()).uses;
        }
    }
    void release(const Constraint& c) {
        for (const auto& t : c.expression().terms()) {
            auto it = variables.find(t.variable.id());
            if (it != variables.end() && --it->second.uses == 0) variables.erase(it);
        }
    }
    // Variables made for a constraint that was then refused.
    void forgetUnused() {
        std::erase_if(variables, [](const auto& kv) { return kv.second.uses == 0; });
    }

    // The constraint as a tableau row, with its slack, error or dummy markers; basic variables already
    // substituted so the row is in terms of parametric symbols only.
    Row createRow(const Constraint& c, Tag& tag) {
        const Expression& e = c.expression();
        const Strength s = c.strength();
        Row row(e.constant());
        for (const auto& t : e.terms()) {
            if (nearZero(t.coefficient)) continue;
            Symbol sym = symbolFor(t.variable);
            auto it = rows.find(sym);
            if (it != rows.end())
                row.insert(it->second, t.coefficient);
            else
                row.insert(sym, t.coefficient);
        }
        switch (c.relation()) {
        case Relation::LessOrEqual:
        case Relation::GreaterOrEqual: {
            double coefficient = c.relation() == Relation::LessOrEqual ? 1.0 : -1.0;
            Symbol slack = make(Kind::Slack);
            tag.marker = slack;
            row.insert(slack, coefficient);
            if (!s.isRequired()) {
                Symbol error = make(Kind::Error);
                tag.other = error;
                row.insert(error, -coefficient);
                objective.level(s.priority).insert(error, s.weight);
            }
            break;
        }
        case Relation::Equal:
            if (!s.isRequired()) {
                Symbol plus = make(Kind::Error), minus = make(Kind::Error);
                tag.marker = plus;
                tag.other = minus;
                row.insert(plus, -1.0);
                row.insert(minus, 1.0);
                objective.level(s.priority).insert(plus, s.weight);
                objective.level(s.priority).insert(minus, s.weight);
            } else {
                Symbol dummy = make(Kind::Dummy);
                tag.marker = dummy;
                row.insert(dummy, 1.0);
            }
            break;
        }
        if (row.constant() < 0) row.reverseSign();
        return row;
    }

    // An unrestricted variable if there is one; else a new slack or error that can enter with a
    // negative coefficient (so the row stays feasible).
    static Symbol chooseSubject(const Row& row, const Tag& tag) {
        for (const auto& [s, c] : row.cells())
            if (s.kind == Kind::External) return s;
        for (Symbol m : {tag.marker, tag.other})
            if ((m.kind == Kind::Slack || m.kind == Kind::Error) && row.coefficientFor(m) < 0) return m;
        return {};
    }

    static bool allDummies(const Row& row) {
        return std::all_of(row.cells().begin(), row.cells().end(),
                           [](const auto& cell) { return cell.first.kind == Kind::Dummy; });
    }

    void substitute(Symbol s, const Row& row) {
        for (auto& [key, r] : rows) {
            r.substitute(s, row);
            if (key.kind != Kind::External && r.constant() < 0) infeasible.push_back(key);
        }
        objective.substitute(s, row);
        if (artificial) artificial->substitute(s, row);
    }

    void pivot(Symbol leaving, Symbol entering) {
        auto node = rows.extract(leaving);
        Row row = std::move(node.mapped());
        row.solveFor(leaving, entering);
        substitute(entering, row);
        rows.emplace(entering, std::move(row));
    }

    // Primal simplex on `obj`, entering by lowest id (Bland's rule keeps it from cycling). An
    // unrestricted variable can enter in either direction.
    Status optimize(Objective& obj) {
        for (;;) {
            Symbol entering;
            int direction = 0;
            for (Symbol s : obj.symbols()) {
                if (s.kind == Kind::Dummy || rows.count(s)) continue;
                int sign = obj.sign(s);
                if (sign < 0 || (sign > 0 && s.kind == Kind::External)) {
                    entering = s;
                    direction = -sign;
                    break;
                }
            }
            if (!entering.valid()) return Status::Ok;
            Symbol leaving;
            double best = std::numeric_limits<double>::infinity();
            for (const auto& [key, row] : rows) {
                if (key.kind == Kind::External) continue;
                double a = row.coefficientFor(entering) * direction;
                if (a < 0 && !nearZero(a)) {
                    double ratio = row.constant() / -a;
                    if (ratio < best) {
                        best = ratio;
                        leaving = key;
                    }
                }
            }
            if (!leaving.valid()) return Status::InternalError;
            pivot(leaving, entering);
        }
    }

    // Lexicographic comparison of obj(a)/da against obj(b)/db.
    int compareRatios(Symbol a, double da, Symbol b, double db) const {
        for (size_t i = 0; i < objective.levelCount(); ++i) {
            double ra = objective.coefficient(i, a) / da, rb = objective.coefficient(i, b) / db;
            if (std::fabs(ra - rb) > kEpsilon) return ra < rb ? -1 : 1;
        }
        return 0;
    }

    // Dual simplex: brings infeasible rows back to feasibility while keeping the objective optimal.
    Status dualOptimize() {
        while (!infeasible.empty()) {
            Symbol leaving = infeasible.back();
            infeasible.pop_back();
            auto it = rows.find(leaving);
            if (it == rows.end() || it->second.constant() >= 0 || nearZero(it->second.constant())) continue;
            Symbol entering;
            double enteringScale = 0;
            for (const auto& [s, a] : it->second.cells()) {
                if (s.kind == Kind::Dummy || nearZero(a)) continue;
                if (s.kind != Kind::External && a < 0) continue;
                double scale = s.kind == Kind::External ? a : std::fabs(a);
                if (!entering.valid() || compareRatios(s, scale, entering, enteringScale) < 0) {
                    entering = s;
                    enteringScale = scale;
                }
            }
            if (!entering.valid()) {
                infeasible.clear();
                return Status::InternalError;
            }
            pivot(leaving, entering);
        }
        return Status::Ok;
    }

    // For a row with no usable subject: a temporary variable takes the row's place, and phase-one
    // simplex drives it to zero; if it cannot reach zero the constraint contradicts the others.
    bool addWithArtificialVariable(const Row& row) {
        Symbol art = make(Kind::Slack);
        rows.emplace(art, row);
        Objective phaseOne;
        phaseOne.level(1) = row;
        artificial = &phaseOne;
        Status status = optimize(phaseOne);
        artificial = nullptr;
        bool success = status == Status::Ok && nearZero(phaseOne.first().constant());
        auto it = rows.find(art);
        if (it != rows.end()) {
            Row basic = std::move(it->second);
            rows.erase(it);
            if (basic.cells().empty()) return success;
            Symbol entering;
            for (const auto& [s, c] : basic.cells())
                if (s.kind == Kind::Slack || s.kind == Kind::Error) {
                    entering = s;
                    break;
                }
            if (!entering.valid()) return false;
            basic.solveFor(art, entering);
            substitute(entering, basic);
            rows.emplace(entering, std::move(basic));
        }
        for (auto& [key, r] : rows)
            r.remove(art);
        objective.remove(art);
        return success;
    }

    void removeErrorEffect(Symbol error, Strength s) {
        auto it = rows.find(error);
        if (it != rows.end())
            objective.level(s.priority).insert(it->second, -s.weight);
        else
            objective.level(s.priority).insert(error, -s.weight);
    }

    // The row to pivot a marker into, so its constraint's row can be dropped: prefer restricted rows in
    // which the marker has the smallest ratio, then unrestricted ones.
    Symbol markerLeavingRow(Symbol marker) const {
        double negative = std::numeric_limits<double>::infinity(), positive = negative;
        Symbol first, second, third;
        for (const auto& [key, row] : rows) {
            double c = row.coefficientFor(marker);
            if (c == 0.0) continue;
            if (key.kind == Kind::External) {
                third = key;
            } else if (c < 0) {
                double r = -row.constant() / c;
                if (r < negative) negative = r, first = key;
            } else {
                double r = row.constant() / c;
                if (r < positive) positive = r, second = key;
            }
        }
        return first.valid() ? first : second.valid() ? second : third;
    }

    Status add(const Constraint& c) {
        if (c.isNull()) return Status::NullConstraint;
        if (constraints.count(c.id())) return Status::DuplicateConstraint;
        Tag tag;
        Row row = createRow(c, tag);
        Symbol subject = chooseSubject(row, tag);
        if (!subject.valid() && allDummies(row)) {
            if (!nearZero(row.constant())) {
                forgetUnused();
                return Status::UnsatisfiableConstraint;
            }
            subject = tag.marker;
        }
        if (subject.valid()) {
            row.solveFor(subject);
            substitute(subject, row);
            rows.emplace(subject, std::move(row));
        } else {
            // Only required constraints get here; keep the tableau so a refusal leaves no trace.
            auto savedRows = rows;
            auto savedObjective = objective;
            if (!addWithArtificialVariable(row)) {
                rows = std::move(savedRows);
                objective = std::move(savedObjective);
                infeasible.clear();
                forgetUnused();
                return Status::UnsatisfiableConstraint;
            }
        }
        constraints.emplace(c.id(), Held{c, tag});
        retain(c);
        return optimize(objective);
    }

    Status remove(const Constraint& c) {
        auto it = constraints.find(c.id());
        if (it == constraints.end()) return Status::UnknownConstraint;
        Held held = std::move(it->second);
        constraints.erase(it);
        const Strength s = held.constraint.strength();
        if (held.tag.marker.kind == Kind::Error) removeErrorEffect(held.tag.marker, s);
        if (held.tag.other.kind == Kind::Error) removeErrorEffect(held.tag.other, s);
        auto rowIt = rows.find(held.tag.marker);
        if (rowIt != rows.end()) {
            rows.erase(rowIt);
        } else {
            Symbol leaving = markerLeavingRow(held.tag.marker);
            if (!leaving.valid()) return Status::InternalError;
            auto node = rows.extract(leaving);
            Row row = std::move(node.mapped());
            row.solveFor(leaving, held.tag.marker);
            substitute(held.tag.marker, row);
        }
        // The constraint's own symbols can linger only as rounding residue; clear it.
        for (Symbol m : {held.tag.marker, held.tag.other}) {
            if (!m.valid()) continue;
            rows.erase(m);
            for (auto& [key, r] : rows)
                r.remove(m);
            objective.remove(m);
        }
        objective.prune();
        release(held.constraint);
        return optimize(objective);
    }
};

Solver::Solver() : impl_(std::make_unique<Impl>()) {}
Solver::~Solver() = default;
Solver::Solver(Solver&&) noexcept = default;
Solver& Solver::operator=(Solver&&) noexcept = default;

Status Solver::addConstraint(const Constraint& constraint) {
    return impl_->add(constraint);
}

Status Solver::removeConstraint(const Constraint& constraint) {
    for (auto it = impl_->edits.begin(); it != impl_->edits.end(); ++it)
        if (it->second.constraint.id() == constraint.id()) {
            impl_->edits.erase(it);
            break;
        }
    return impl_->remove(constraint);
}

bool Solver::hasConstraint(const Constraint& constraint) const {
    return impl_->constraints.count(constraint.id()) > 0;
}

size_t Solver::constraintCount() const {
    return impl_->constraints.size();
}

Status Solver::addEditVariable(const Variable& variable, Strength strength) {
    if (impl_->edits.count(variable.id())) return Status::DuplicateEditVariable;
    strength = sanitized(strength);
    if (strength.isRequired()) return Status::BadRequiredStrength;
    Constraint c(Expression(variable), Relation::Equal, strength);
    Status status = impl_->add(c);
    if (status != Status::Ok) return status;
    impl_->edits.emplace(variable.id(), Impl::Edit{c, impl_->constraints.at(c.id()).tag, 0});
    return Status::Ok;
}

Status Solver::removeEditVariable(const Variable& variable) {
    auto it = impl_->edits.find(variable.id());
    if (it == impl_->edits.end()) return Status::UnknownEditVariable;
    Constraint c = it->second.constraint;
    impl_->edits.erase(it);
    return impl_->remove(c);
}

bool Solver::hasEditVariable(const Variable& variable) const {
    return impl_->edits.count(variable.id()) > 0;
}

Status Solver::suggestValue(const Variable& variable, double value) {
    auto it = impl_->edits.find(variable.id());
    if (it == impl_->edits.end()) return Status::UnknownEditVariable;
    if (!std::isfinite(value)) return Status::Ok;
    Impl::Edit& edit = it->second;
    double delta = value - edit.constant;
    edit.constant = value;
    auto& rows = impl_->rows;
    auto& infeasible = impl_->infeasible;
    // The edit's row reads `v - value - plus + minus = 0`: a new value shifts `plus` by delta.
    if (auto r = rows.find(edit.tag.marker); r != rows.end()) {
        if (r->second.add(-delta) < 0) infeasible.push_back(edit.tag.marker);
    } else if (auto r2 = rows.find(edit.tag.other); r2 != rows.end()) {
        if (r2->second.add(delta) < 0) infeasible.push_back(edit.tag.other);
    } else {
        for (auto& [key, row] : rows) {
            double c = row.coefficientFor(edit.tag.marker);
            if (c != 0.0 && row.add(delta * c) < 0 && key.kind != Kind::External) infeasible.push_back(key);
        }
    }
    return impl_->dualOptimize();
}

void Solver::updateVariables() {
    for (auto& [id, known] : impl_->variables) {
        auto it = impl_->rows.find(known.symbol);
        double v = it == impl_->rows.end() ? 0.0 : it->second.constant();
        known.variable.setValue(nearZero(v) ? 0.0 : v);
    }
}

void Solver::reset() {
    impl_ = std::make_unique<Impl>();
}

std::vector<std::pair<double, double>> Solver::errorByLevel() const {
    std::map<double, double, std::greater<>> levels;
    for (const auto& [id, held] : impl_->constraints) {
        Strength s = held.constraint.strength();
        if (s.isRequired()) continue;
        double violation = held.constraint.violation();
        for (const auto& [vid, edit] : impl_->edits)
            if (edit.constraint.id() == id) violation = std::fabs(held.constraint.expression().value() - edit.constant);
        levels[s.priority] += s.weight * violation;
    }
    return {levels.begin(), levels.end()};
}

} // namespace velkora::ui::cassowary
