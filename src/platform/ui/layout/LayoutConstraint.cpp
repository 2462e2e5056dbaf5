#include "platform/ui/layout/LayoutConstraint.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "platform/foundation/Log.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/View.h"
#include "platform/ui/layout/Cassowary.h"

namespace velkora::ui {

namespace cw = cassowary;
using foundation::Log;

namespace {

const struct {
    const char* name;
    LayoutAttribute attribute;
} kAttributeNames[] = {
    {"left", LayoutAttribute::Left},         {"right", LayoutAttribute::Right},
    {"top", LayoutAttribute::Top},           {"bottom", LayoutAttribute::Bottom},
    {"leading", LayoutAttribute::Leading},   {"trailing", LayoutAttribute::Trailing},
    {"width", LayoutAttribute::Width},       {"height", LayoutAttribute::Height},
    {"centerX", LayoutAttribute::CenterX},   {"centerY", LayoutAttribute::CenterY},
    {"baseline", LayoutAttribute::Baseline}, {"notAnAttribute", LayoutAttribute::NotAnAttribute},
};

// Below every priority a constraint can have: keeps a view whose constraints leave it free where it is.
constexpr double kStayLevel = 0.5;
// What a required constraint that cannot hold is kept at, as the platform does when it breaks one.
constexpr double kBrokenRequiredPriority = 999;

void installHookOnce() {
    static std::once_flag once;
    std::call_once(once, [] { View::setConstraintLayoutHook([](View& v) { layoutConstrainedSubviews(v); }); });
}

std::string addressText(const void* p) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", p);
    return buf;
}

double roundedCoordinate(double v) {
    double r = std::round(v * 1e6) / 1e6;
    return r == 0 ? 0 : r; // no negative zero in frames
}

} // namespace

LayoutAttribute layoutAttributeFromName(const std::string& name) {
    for (const auto& entry : kAttributeNames)
        if (name == entry.name) return entry.attribute;
    if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
        name.size() <= 2) {
        int raw = std::stoi(name);
        if (raw >= 0 && raw <= static_cast<int>(LayoutAttribute::Baseline)) return static_cast<LayoutAttribute>(raw);
    }
    return LayoutAttribute::NotAnAttribute;
}

const char* layoutAttributeName(LayoutAttribute attribute) {
    for (const auto& entry : kAttributeNames)
        if (entry.attribute == attribute) return entry.name;
    return "notAnAttribute";
}

// ---- LayoutConstraint ------------------------------------------------------------------------------

std::shared_ptr<LayoutConstraint> LayoutConstraint::create(const std::shared_ptr<View>& firstItem,
                                                           LayoutAttribute firstAttribute, LayoutRelation relation,
                                                           const std::shared_ptr<View>& secondItem,
                                                           LayoutAttribute secondAttribute, double multiplier,
                                                           double constant) {
    installHookOnce();
    std::shared_ptr<LayoutConstraint> c(new LayoutConstraint());
    c->firstItem_ = firstItem;
    c->firstAttribute_ = firstAttribute;
    c->relation_ = relation;
    c->secondItem_ = secondItem;
    c->secondAttribute_ = secondItem ? secondAttribute : LayoutAttribute::NotAnAttribute;
    c->multiplier_ = std::isfinite(multiplier) ? multiplier : 1;
    c->constant_ = std::isfinite(constant) ? constant : 0;
    return c;
}

std::shared_ptr<LayoutConstraint> LayoutConstraint::create(const std::shared_ptr<View>& firstItem,
                                                           LayoutAttribute firstAttribute, LayoutRelation relation,
                                                           double constant) {
    return create(firstItem, firstAttribute, relation, nullptr, LayoutAttribute::NotAnAttribute, 1, constant);
}

void LayoutConstraint::setConstant(double constant) {
    if (!std::isfinite(constant) || constant == constant_) return;
    constant_ = constant;
    markNeedsLayout();
}

void LayoutConstraint::setPriority(double priority) {
    if (std::isnan(priority)) return;
    priority = std::clamp(priority, 1.0, LayoutPriorityRequired);
    if (priority == priority_) return;
    priority_ = priority;
    markNeedsLayout();
}

void LayoutConstraint::markNeedsLayout() {
    for (const auto& item : {firstItem(), secondItem()})
        if (item && item->superview()) item->superview()->setNeedsLayout();
    if (auto v = installedView()) v->setNeedsLayout();
}

bool LayoutConstraint::involves(const View* view) const {
    if (!view) return false;
    return firstItem().get() == view || secondItem().get() == view;
}

namespace {

// The nearest view that has both items in its subtree.
std::shared_ptr<View> commonAncestor(const std::shared_ptr<View>& a, const std::shared_ptr<View>& b) {
    if (!a) return b;
    if (!b) return a;
    for (View* v = a.get(); v; v = v->superview())
        if (b->isDescendantOfView(v)) return v->sharedView();
    return nullptr;
}

} // namespace

void LayoutConstraint::setActive(bool active) {
    auto self = shared_from_this();
    if (!active) {
        active_ = false;
        if (auto v = installedView()) {
            v->removeConstraint(this);
            v->setNeedsLayout();
        }
        markNeedsLayout();
        installedOn_.reset();
        return;
    }
    if (auto v = installedView()) {
        active_ = true;
        markNeedsLayout();
        return;
    }
    auto target = commonAncestor(firstItem(), secondItem());
    if (!target) {
        Log::line("Velkora (E) - cannot activate constraint %@: its items have no common ancestor", description());
        return;
    }
    // The width or height of a lone view is held by the view itself.
    addConstraint(*target, self);
}

void LayoutConstraint::activateConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    for (const auto& c : constraints)
        if (c) c->setActive(true);
}

void LayoutConstraint::deactivateConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    for (const auto& c : constraints)
        if (c) c->setActive(false);
}

void LayoutConstraint::noteInstalled(const std::shared_ptr<View>& view) {
    installedOn_ = view;
    active_ = true;
}

void LayoutConstraint::noteRemoved(const View* view) {
    if (installedView().get() == view) installedOn_.reset();
}

std::string LayoutConstraint::description() const {
    auto itemText = [](const std::shared_ptr<View>& v) {
        if (!v) return std::string("(gone)");
        return std::string(v->className()) + ":" + addressText(v.get());
    };
    std::string out = "<LayoutConstraint";
    if (!identifier_.empty()) out += " '" + identifier_ + "'";
    out += ' ';
    out += itemText(firstItem()) + "." + layoutAttributeName(firstAttribute_);
    out += relation_ == LayoutRelation::Equal ? " == " : relation_ == LayoutRelation::LessThanOrEqual ? " <= " : " >= ";
    if (secondAttribute_ != LayoutAttribute::NotAnAttribute) {
        if (multiplier_ != 1) out += foundation::format("%@ * ", foundation::Value(multiplier_).description());
        out += itemText(secondItem()) + "." + layoutAttributeName(secondAttribute_);
        if (constant_ != 0)
            out += foundation::format(" %@ %@", constant_ < 0 ? "-" : "+",
                                      foundation::Value(std::fabs(constant_)).description());
    } else {
        out += foundation::Value(constant_).description();
    }
    if (priority_ != LayoutPriorityRequired)
        out += foundation::format(" @%@", foundation::Value(priority_).description());
    return out + ">";
}

void addConstraint(View& view, const LayoutConstraintPtr& constraint) {
    if (!constraint) return;
    installHookOnce();
    if (auto old = constraint->installedView(); old && old.get() != &view) old->removeConstraint(constraint.get());
    view.addConstraint(constraint);
    constraint->noteInstalled(view.sharedView());
    view.setNeedsLayout();
}

std::vector<LayoutConstraintPtr> constraintsInvolving(const View& container, const View* view) {
    std::vector<LayoutConstraintPtr> out;
    for (const auto& c : container.constraints())
        if (c && c->involves(view)) out.push_back(c);
    return out;
}

// ---- The layout pass --------------------------------------------------------------------------------

namespace {

struct ViewVariables {
    cw::Variable left, top, width, height;
};

enum class Role { Root, Free, Pinned, Outside };

struct Participant {
    View* view = nullptr;
    Role role = Role::Pinned;
    int depth = 0; // below the root
    ViewVariables* vars = nullptr;
};

// What a solver constraint says, to tell from one pass to the next whether it changed.
struct Signature {
    std::vector<std::pair<const void*, double>> terms;
    double constant = 0;
    cw::Relation relation = cw::Relation::Equal;
    cw::Strength strength;
    friend bool operator==(const Signature&, const Signature&) = default;

    static Signature of(const cw::Constraint& c) {
        Signature s;
        for (const auto& t : c.expression().terms())
            s.terms.emplace_back(t.variable.id(), t.coefficient);
        std::sort(s.terms.begin(), s.terms.end());
        s.constant = c.expression().constant();
        s.relation = c.relation();
        s.strength = c.strength();
        return s;
    }
};

using Key = std::pair<const void*, int>;

struct Spec {
    Key key;
    cw::Constraint constraint;
    const LayoutConstraint* source = nullptr;
};

// One solver per view that lays out constrained subviews; kept between passes so a changed constant,
// priority or bounds costs a few pivots.
class Engine {
public:
    enum class Mode { Layout, Measure };

    Engine(Mode mode, Size target = {}, double hPriority = 0, double vPriority = 0)
        : mode_(mode), target_(target), hPriority_(hPriority), vPriority_(vPriority) {}

    // Returns false when nothing in the view's subtree is constrained.
    bool run(View& root);
    Size solvedRootSize() const {
        auto it = vars_.find(root_);
        if (it == vars_.end()) return {};
        return {it->second.second.width.value(), it->second.second.height.value()};
    }
    bool ownerAlive() const { return !owner_.expired(); }

private:
    bool gather(View& root);
    void leaveRowsToThemselves(View& root, std::vector<LayoutConstraint*>& candidates,
                               const std::unordered_map<const View*, int>& depth);
    ViewVariables& variablesFor(View* v);
    cw::Expression expressionFor(const Participant& p, LayoutAttribute attribute) const;
    std::vector<Spec> specs(View& root);
    void apply(const std::vector<Spec>& specs);
    void updateStays();
    void writeFrames(View& root);
    Size intrinsicSize(View& v);
    // The scroll view whose content the root stands for in this pass, if it is one.
    ScrollView* contentRoot(View& root) const {
        return mode_ == Mode::Layout && constraintsAddressContent(root) ? dynamic_cast<ScrollView*>(&root) : nullptr;
    }

    Mode mode_;
    Size target_;
    double hPriority_, vPriority_;
    std::weak_ptr<View> owner_;
    View* root_ = nullptr;
    cw::Solver solver_;
    std::unordered_map<const View*, std::pair<std::weak_ptr<View>, ViewVariables>> vars_;
    struct Held {
        Signature signature;
        cw::Constraint added;
    };
    std::map<Key, Held> held_;
    std::unordered_set<const View*> stayed_;             // views whose position and size have stay edits
    std::unordered_map<const View*, double> wrapWidths_; // wrapping labels measured at these widths

    // This pass.
    std::vector<LayoutConstraint*> constraints_;
    std::unordered_map<const View*, Participant> participants_;
};

ViewVariables& Engine::variablesFor(View* v) {
    auto it = vars_.find(v);
    if (it != vars_.end()) {
        auto alive = it->second.first.lock();
        if (alive.get() == v) return it->second.second;
        // A new view at the address of one that is gone.
        for (auto& [key, held] : held_)
            solver_.removeConstraint(held.added);
        held_.clear();
        for (const View* s : stayed_) {
            auto sv = vars_.find(s);
            if (sv == vars_.end()) continue;
            for (auto* var :
                 {&sv->second.second.left, &sv->second.second.top, &sv->second.second.width, &sv->second.second.height})
                solver_.removeEditVariable(*var);
        }
        stayed_.clear();
        vars_.erase(it);
    }
    std::string name = std::string(v->className()) + "@" + addressText(v);
    auto& entry = vars_[v];
    entry.first = v->sharedView();
    entry.second = {cw::Variable(name + ".left"), cw::Variable(name + ".top"), cw::Variable(name + ".width"),
                    cw::Variable(name + ".height")};
    return entry.second;
}

bool Engine::gather(View& root) {
    constraints_.clear();
    participants_.clear();
    std::unordered_map<const View*, int> depth;
    std::vector<LayoutConstraint*> candidates;
    for (const auto& c : root.constraints())
        candidates.push_back(c.get());
    // The subtree, depth first.
    std::vector<std::pair<View*, int>> stack;
    for (const auto& sub : root.subviews())
        stack.emplace_back(sub.get(), 1);
    while (!stack.empty()) {
        auto [v, d] = stack.back();
        stack.pop_back();
        depth[v] = d;
        // A scroll view whose constraints address its content lays its content out in a pass of its own:
        // here only the constraints on itself alone count, and its content is not entered.
        if (mode_ == Mode::Layout && constraintsAddressContent(*v) && dynamic_cast<ScrollView*>(v)) {
            for (const auto& c : v->constraints()) {
                auto first = c->firstItem(), second = c->secondItem();
                if ((!first || first.get() == v) && (!second || second.get() == v)) candidates.push_back(c.get());
            }
            continue;
        }
        for (const auto& c : v->constraints())
            candidates.push_back(c.get());
        for (const auto& sub : v->subviews())
            stack.emplace_back(sub.get(), d + 1);
    }
    // Constraints held higher up may place views of this subtree too. Those of a scroll view whose
    // constraints address its content are left out: its own pass placed its subviews in its content, and
    // seen from inside, its edges would be those of its visible bounds and fight that pass.
    if (mode_ == Mode::Layout)
        for (View* a = root.superview(); a; a = a->superview())
            for (const auto& c : a->constraints()) {
                const bool content = constraintsAddressContent(*a) && dynamic_cast<ScrollView*>(a) &&
                                     (c->firstItem().get() == a || c->secondItem().get() == a);
                if (!content) candidates.push_back(c.get());
            }
    if (candidates.empty()) return false;
    if (mode_ == Mode::Layout) leaveRowsToThemselves(root, candidates, depth);
    if (candidates.empty()) return false;

    View* top = &root;
    while (top->superview())
        top = top->superview();
    auto inTree = [&](View* v) {
        View* t = v;
        while (t->superview())
            t = t->superview();
        return t == top;
    };

    std::unordered_set<const LayoutConstraint*> seen;
    for (LayoutConstraint* c : candidates) {
        if (!c || !c->isActive() || !seen.insert(c).second) continue;
        auto first = c->firstItem();
        auto second = c->secondItem();
        if (!first || c->firstAttribute() == LayoutAttribute::NotAnAttribute) continue;
        if (c->secondAttribute() != LayoutAttribute::NotAnAttribute && !second) continue;
        bool touchesSubtree = false, usable = true;
        for (View* item : {first.get(), second.get()}) {
            if (!item) continue;
            if (item == &root) {
                if (mode_ == Mode::Measure) touchesSubtree = true;
            } else if (depth.count(item)) {
                touchesSubtree = true;
            } else if (mode_ == Mode::Measure || !inTree(item)) {
                usable = false;
            }
        }
        if (touchesSubtree && usable) constraints_.push_back(c);
    }
    if (constraints_.empty()) return false;

    participants_[&root] = Participant{&root, Role::Root, 0, nullptr};
    std::unordered_set<const View*> items;
    for (LayoutConstraint* c : constraints_) {
        for (auto item : {c->firstItem(), c->secondItem()}) {
            if (!item) continue;
            items.insert(item.get());
            // The item and the views between it and the root.
            for (View* v = item.get(); v && v != &root; v = v->superview()) {
                if (participants_.count(v)) break;
                auto d = depth.find(v);
                if (d == depth.end()) {
                    participants_[v] = Participant{v, Role::Outside, 0, nullptr};
                    break;
                }
                participants_[v] = Participant{v, Role::Pinned, d->second, nullptr};
            }
        }
    }
    for (auto& [v, p] : participants_) {
        if (p.role == Role::Pinned && items.count(v) && !v->translatesAutoresizingMaskIntoConstraints())
            p.role = Role::Free;
        p.vars = &variablesFor(p.view);
    }
    return true;
}

// A table row placed by its frame is laid out by its own pass, which runs after its container's: the
// container leaves out what lies wholly inside the row, so a table's pass does not solve its visible rows
// again (one solver for every row would make each row that scrolls in cost as much as all of them).
// A row that some constraint reaches into from outside stays in the container's pass.
void Engine::leaveRowsToThemselves(View& root, std::vector<LayoutConstraint*>& candidates,
                                   const std::unordered_map<const View*, int>& depth) {
    std::unordered_set<View*> rows;
    for (const auto& [v, d] : depth)
        if (v->translatesAutoresizingMaskIntoConstraints() && dynamic_cast<const TableViewCell*>(v))
            rows.insert(const_cast<View*>(v));
    if (rows.empty()) return;
    // The rows that hold `item` strictly inside them.
    auto rowsAround = [&](View* item, std::vector<View*>& out) {
        out.clear();
        if (!item) return;
        for (View* v = item->superview(); v && v != &root; v = v->superview())
            if (rows.count(v)) out.push_back(v);
    };
    auto within = [](View* item, View* row) { return !item || item->isDescendantOfView(row); };
    std::unordered_set<View*> reached;
    std::vector<View*> around;
    for (LayoutConstraint* c : candidates) {
        if (!c || !c->isActive()) continue;
        auto first = c->firstItem(), second = c->secondItem();
        for (auto [item, other] : {std::pair{first.get(), second.get()}, std::pair{second.get(), first.get()}}) {
            rowsAround(item, around);
            for (View* row : around)
                if (!within(other, row)) reached.insert(row);
        }
    }
    std::unordered_set<View*> left;
    std::erase_if(candidates, [&](LayoutConstraint* c) {
        if (!c || !c->isActive()) return false;
        auto first = c->firstItem(), second = c->secondItem();
        if (!first) return false;
        for (View* v = first.get(); v && v != &root; v = v->superview()) {
            if (!rows.count(v) || reached.count(v) || !within(second.get(), v)) continue;
            left.insert(v);
            return true;
        }
        return false;
    });
    // Whenever the container is laid out its rows are too, as when it solved them itself.
    for (View* row : left)
        row->setNeedsLayout();
}

cw::Expression Engine::expressionFor(const Participant& p, LayoutAttribute attribute) const {
    const ViewVariables& v = *p.vars;
    switch (attribute) {
    case LayoutAttribute::Left:
    case LayoutAttribute::Leading:
        return v.left;
    case LayoutAttribute::Right:
    case LayoutAttribute::Trailing:
        return v.left + v.width;
    case LayoutAttribute::Top:
        return v.top;
    case LayoutAttribute::Bottom:
    case LayoutAttribute::Baseline:
        return v.top + v.height;
    case LayoutAttribute::Width:
        return v.width;
    case LayoutAttribute::Height:
        return v.height;
    case LayoutAttribute::CenterX:
        return v.left + v.width * 0.5;
    case LayoutAttribute::CenterY:
        return v.top + v.height * 0.5;
    case LayoutAttribute::NotAnAttribute:
        break;
    }
    return cw::Expression(0.0);
}

std::vector<Spec> Engine::specs(View& root) {
    using cw::Relation;
    using cw::Strength;
    std::vector<Spec> out;
    auto add = [&](const void* owner, int slot, cw::Constraint c, const LayoutConstraint* source = nullptr) {
        out.push_back(Spec{{owner, slot}, std::move(c), source});
    };
    const Participant& r = participants_.at(&root);
    if (auto* scroll = contentRoot(root)) {
        // The root stands for the content: its origin is the content's and its size what the constraints
        // make it, the content size as it is where they leave it open.
        Size content = scroll->contentSize();
        add(&root, 0, cw::Constraint(r.vars->left, Relation::Equal, 0));
        add(&root, 1, cw::Constraint(r.vars->top, Relation::Equal, 0));
        add(&root, 2, cw::Constraint(r.vars->width, Relation::GreaterOrEqual, 0));
        add(&root, 3, cw::Constraint(r.vars->height, Relation::GreaterOrEqual, 0));
        add(&root, 4, cw::Constraint(r.vars->width, Relation::Equal, content.width, Strength::weak()));
        add(&root, 5, cw::Constraint(r.vars->height, Relation::Equal, content.height, Strength::weak()));
    } else if (mode_ == Mode::Layout) {
        Rect b = root.bounds();
        add(&root, 0, cw::Constraint(r.vars->left, Relation::Equal, b.x()));
        add(&root, 1, cw::Constraint(r.vars->top, Relation::Equal, b.y()));
        add(&root, 2, cw::Constraint(r.vars->width, Relation::Equal, b.width()));
        add(&root, 3, cw::Constraint(r.vars->height, Relation::Equal, b.height()));
    } else {
        add(&root, 0, cw::Constraint(r.vars->left, Relation::Equal, 0));
        add(&root, 1, cw::Constraint(r.vars->top, Relation::Equal, 0));
        add(&root, 2, cw::Constraint(r.vars->width, Relation::GreaterOrEqual, 0));
        add(&root, 3, cw::Constraint(r.vars->height, Relation::GreaterOrEqual, 0));
        add(&root, 4, cw::Constraint(r.vars->width, Relation::Equal, target_.width, Strength{hPriority_, 1}));
        add(&root, 5, cw::Constraint(r.vars->height, Relation::Equal, target_.height, Strength{vPriority_, 1}));
    }
    for (const auto& [v, p] : participants_) {
        if (p.role == Role::Outside) {
            Rect f = p.view->convertRectToView(p.view->bounds(), &root);
            add(v, 0, cw::Constraint(p.vars->left, Relation::Equal, f.x()));
            add(v, 1, cw::Constraint(p.vars->top, Relation::Equal, f.y()));
            add(v, 2, cw::Constraint(p.vars->width, Relation::Equal, f.width()));
            add(v, 3, cw::Constraint(p.vars->height, Relation::Equal, f.height()));
        } else if (p.role == Role::Pinned) {
            // Placed by its frame inside its superview, which is a participant too.
            const Participant& s = participants_.at(p.view->superview());
            Rect f = p.view->frame();
            Rect sb = p.view->superview()->bounds();
            if (s.role == Role::Root && mode_ == Mode::Layout) {
                // The root's own origin is its bounds origin, so a child of the root sits at its frame
                // outright: stated so, scrolling the root changes none of its children's constraints
                // and the solver keeps what it solved for them.
                add(v, 0, cw::Constraint(p.vars->left, Relation::Equal, f.x()));
                add(v, 1, cw::Constraint(p.vars->top, Relation::Equal, f.y()));
            } else {
                add(v, 0, cw::Constraint(p.vars->left - s.vars->left, Relation::Equal, f.x() - sb.x()));
                add(v, 1, cw::Constraint(p.vars->top - s.vars->top, Relation::Equal, f.y() - sb.y()));
            }
            add(v, 2, cw::Constraint(p.vars->width, Relation::Equal, f.width()));
            add(v, 3, cw::Constraint(p.vars->height, Relation::Equal, f.height()));
        }
        // Intrinsic content: compression resistance at 750, hugging at 250.
        if (p.role == Role::Free || (p.role == Role::Root && mode_ == Mode::Measure)) {
            Size s = intrinsicSize(*p.view);
            if (s.width >= 0) {
                add(v, 4, cw::Constraint(p.vars->width, Relation::GreaterOrEqual, s.width, Strength::strong()));
                add(v, 5, cw::Constraint(p.vars->width, Relation::LessOrEqual, s.width, Strength::weak()));
            }
            if (s.height >= 0) {
                add(v, 6, cw::Constraint(p.vars->height, Relation::GreaterOrEqual, s.height, Strength::strong()));
                add(v, 7, cw::Constraint(p.vars->height, Relation::LessOrEqual, s.height, Strength::weak()));
            }
        }
    }
    for (LayoutConstraint* c : constraints_) {
        auto first = c->firstItem();
        auto second = c->secondItem();
        cw::Expression lhs = expressionFor(participants_.at(first.get()), c->firstAttribute());
        cw::Expression rhs(c->constant());
        if (second && c->secondAttribute() != LayoutAttribute::NotAnAttribute)
            rhs += expressionFor(participants_.at(second.get()), c->secondAttribute()) * c->multiplier();
        Relation rel = c->relation() == LayoutRelation::Equal             ? Relation::Equal
                       : c->relation() == LayoutRelation::LessThanOrEqual ? Relation::LessOrEqual
                                                                          : Relation::GreaterOrEqual;
        add(c, 0, cw::Constraint(lhs, rel, rhs, Strength::fromPriority(c->priority())), c);
    }
    return out;
}

void Engine::apply(const std::vector<Spec>& specs) {
    std::map<Key, const Spec*> wanted;
    for (const auto& s : specs)
        wanted[s.key] = &s;
    // Removals first, so a changed constraint never fights its own old self.
    for (auto it = held_.begin(); it != held_.end();) {
        auto w = wanted.find(it->first);
        if (w == wanted.end() || !(Signature::of(w->second->constraint) == it->second.signature)) {
            solver_.removeConstraint(it->second.added);
            it = held_.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& s : specs) {
        if (held_.count(s.key)) continue;
        cw::Constraint added = s.constraint;
        cw::Status status = solver_.addConstraint(added);
        if (status == cw::Status::UnsatisfiableConstraint) {
            Log::line("Velkora (W) - unable to satisfy %@ together with the others; it is held at priority 999",
                      s.source ? s.source->description() : std::string("a view's frame"));
            added = cw::Constraint(s.constraint, cw::Strength{kBrokenRequiredPriority, 1});
            status = solver_.addConstraint(added);
        }
        if (status != cw::Status::Ok) {
            Log::line("Velkora (E) - layout solver: %@", cw::statusText(status));
            continue;
        }
        held_.emplace(s.key, Held{Signature::of(s.constraint), added});
    }
}

// A free view keeps its current place and size where its constraints leave it free.
void Engine::updateStays() {
    std::unordered_set<const View*> now;
    for (const auto& [v, p] : participants_)
        if (p.role == Role::Free) now.insert(v);
    for (auto it = stayed_.begin(); it != stayed_.end();) {
        if (now.count(*it)) {
            ++it;
            continue;
        }
        auto vit = vars_.find(*it);
        if (vit != vars_.end()) {
            auto& vv = vit->second.second;
            for (auto* var : {&vv.left, &vv.top, &vv.width, &vv.height})
                solver_.removeEditVariable(*var);
        }
        it = stayed_.erase(it);
    }
    View* root = root_;
    for (const View* v : now) {
        const Participant& p = participants_.at(v);
        auto& vv = *p.vars;
        if (stayed_.insert(v).second)
            for (auto* var : {&vv.left, &vv.top, &vv.width, &vv.height})
                solver_.addEditVariable(*var, cw::Strength{kStayLevel, 1});
        Rect f = p.view->convertRectToView(p.view->bounds(), root);
        solver_.suggestValue(vv.left, f.x());
        solver_.suggestValue(vv.top, f.y());
        solver_.suggestValue(vv.width, p.view->bounds().width());
        solver_.suggestValue(vv.height, p.view->bounds().height());
    }
}

void Engine::writeFrames(View& root) {
    std::vector<const Participant*> free;
    for (const auto& [v, p] : participants_)
        if (p.role == Role::Free) free.push_back(&p);
    // Parents before children: a parent's new size must not move its children after they are placed.
    std::sort(free.begin(), free.end(), [](const Participant* a, const Participant* b) {
        return a->depth != b->depth ? a->depth < b->depth : a->view < b->view;
    });
    for (const Participant* p : free) {
        View* s = p->view->superview();
        const Participant& sp = participants_.at(s);
        double sx = sp.role == Role::Root ? root.bounds().x() : sp.vars->left.value();
        double sy = sp.role == Role::Root ? root.bounds().y() : sp.vars->top.value();
        Rect sb = s->bounds();
        Rect f(roundedCoordinate(p->vars->left.value() - sx + sb.x()),
               roundedCoordinate(p->vars->top.value() - sy + sb.y()),
               roundedCoordinate(std::max(0.0, p->vars->width.value())),
               roundedCoordinate(std::max(0.0, p->vars->height.value())));
        if (p->view->frame() != f) p->view->setFrame(f);
    }
}

// A wrapping label without a preferred width is as tall as its text is at the width it was given, as
// the platform's labels are; its first pass uses the width it had, and the pass runs again when that changed.
Size Engine::intrinsicSize(View& v) {
    if (auto* label = dynamic_cast<Label*>(&v)) {
        if (label->numberOfLines() != 1 && label->preferredMaxLayoutWidth() <= 0) {
            double width = label->bounds().width();
            wrapWidths_[&v] = width;
            if (width > 0) return label->sizeThatFits({width, 0});
        }
    }
    return v.intrinsicContentSize();
}

bool Engine::run(View& root) {
    owner_ = root.sharedView();
    root_ = &root;
    for (int pass = 0; pass < 3; ++pass) {
        wrapWidths_.clear();
        if (!gather(root)) return false;
        apply(specs(root));
        if (mode_ == Mode::Layout) updateStays();
        solver_.updateVariables();
        if (mode_ == Mode::Measure) return true;
        writeFrames(root);
        if (auto* scroll = contentRoot(root)) {
            Size solved = solvedRootSize();
            Size content{roundedCoordinate(std::max(0.0, solved.width)),
                         roundedCoordinate(std::max(0.0, solved.height))};
            if (scroll->contentSize() != content) scroll->setContentSize(content);
        }
        bool rewrapped = false;
        for (const auto& [v, width] : wrapWidths_)
            if (v->bounds().width() != width) rewrapped = true;
        if (!rewrapped) break;
    }
    return true;
}

std::unordered_map<const View*, std::unique_ptr<Engine>>& engines() {
    static std::unordered_map<const View*, std::unique_ptr<Engine>> map;
    return map;
}

} // namespace

namespace {
std::unordered_map<const View*, std::weak_ptr<View>>& contentAddressed() {
    static std::unordered_map<const View*, std::weak_ptr<View>> map;
    return map;
}
} // namespace

void setConstraintsAddressContent(View& scrollView, bool on) {
    auto& all = contentAddressed();
    std::erase_if(all, [](const auto& kv) { return kv.second.expired(); });
    if (on)
        all[&scrollView] = scrollView.sharedView();
    else
        all.erase(&scrollView);
    scrollView.setNeedsLayout();
}

bool constraintsAddressContent(const View& view) {
    const auto& all = contentAddressed();
    auto it = all.find(&view);
    if (it == all.end()) return false;
    // A new view at the address of one that is gone is not the one that asked.
    auto alive = it->second.lock();
    return alive.get() == &view;
}

void layoutConstrainedSubviews(View& view) {
    auto& all = engines();
    static unsigned passes = 0;
    if (++passes % 64 == 0) std::erase_if(all, [](const auto& kv) { return !kv.second->ownerAlive(); });
    auto it = all.find(&view);
    if (it != all.end() && !it->second->ownerAlive()) {
        all.erase(it);
        it = all.end();
    }
    if (it == all.end()) {
        auto engine = std::make_unique<Engine>(Engine::Mode::Layout);
        if (!engine->run(view)) return;
        all.emplace(&view, std::move(engine));
        return;
    }
    if (!it->second->run(view)) all.erase(it);
}

Size systemLayoutSizeFittingSize(View& view, Size target, double horizontalFittingPriority,
                                 double verticalFittingPriority) {
    // A required fitting priority would fight the constraints; keep it just below.
    auto level = [](double p) { return std::clamp(std::isnan(p) ? LayoutPriorityFittingSizeLevel : p, 1.0, 999.0); };
    Engine engine(Engine::Mode::Measure, target, level(horizontalFittingPriority), level(verticalFittingPriority));
    if (!engine.run(view)) {
        Size s = view.intrinsicContentSize();
        return {s.width >= 0 ? s.width : target.width, s.height >= 0 ? s.height : target.height};
    }
    Size s = engine.solvedRootSize();
    return {roundedCoordinate(s.width), roundedCoordinate(s.height)};
}

} // namespace velkora::ui
