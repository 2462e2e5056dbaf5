// Layout constraints between attributes of views, and the layout pass that turns them into frames.
//
// A constraint reads `first.attribute RELATION multiplier * second.attribute + constant`, or
// `first.attribute RELATION constant` without a second item. It is installed on a view (usually the
// nearest common ancestor of its items) and takes part in layout while active. Priorities run from 1 to
// 1000; 1000 is required, anything lower is a preference that yields to every higher priority.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Geometry.h"

namespace velkora::ui {

class View;

// The platform's raw values, which interface files may carry as numbers.
enum class LayoutAttribute {
    NotAnAttribute = 0,
    Left = 1,
    Right = 2,
    Top = 3,
    Bottom = 4,
    Leading = 5,
    Trailing = 6,
    Width = 7,
    Height = 8,
    CenterX = 9,
    CenterY = 10,
    Baseline = 11,
};

enum class LayoutRelation { LessThanOrEqual = -1, Equal = 0, GreaterThanOrEqual = 1 };

constexpr double LayoutPriorityRequired = 1000;
constexpr double LayoutPriorityDefaultHigh = 750;
constexpr double LayoutPriorityDefaultLow = 250;
constexpr double LayoutPriorityFittingSizeLevel = 50;

// "top", "leading", "centerX", ... (and the raw numbers); NotAnAttribute for anything else.
LayoutAttribute layoutAttributeFromName(const std::string& name);
const char* layoutAttributeName(LayoutAttribute attribute);

class LayoutConstraint : public std::enable_shared_from_this<LayoutConstraint> {
public:
    static std::shared_ptr<LayoutConstraint> create(const std::shared_ptr<View>& firstItem,
                                                    LayoutAttribute firstAttribute, LayoutRelation relation,
                                                    const std::shared_ptr<View>& secondItem,
                                                    LayoutAttribute secondAttribute, double multiplier = 1,
                                                    double constant = 0);
    // `first.attribute RELATION constant`.
    static std::shared_ptr<LayoutConstraint> create(const std::shared_ptr<View>& firstItem,
                                                    LayoutAttribute firstAttribute, LayoutRelation relation,
                                                    double constant);

    std::shared_ptr<View> firstItem() const { return firstItem_.lock(); }
    LayoutAttribute firstAttribute() const { return firstAttribute_; }
    LayoutRelation relation() const { return relation_; }
    std::shared_ptr<View> secondItem() const { return secondItem_.lock(); }
    LayoutAttribute secondAttribute() const { return secondAttribute_; }
    double multiplier() const { return multiplier_; }

    // Changing the constant or the priority marks the items' superviews for layout.
    double constant() const { return constant_; }
    void setConstant(double constant);
    double priority() const { return priority_; }
    void setPriority(double priority); // clamped into 1...1000

    // The name an interface file gives it (and the outlet it binds to).
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

    // Activating installs the constraint on the nearest common ancestor of its items when it is not
    // installed yet; deactivating removes it from the view it is installed on.
    bool isActive() const { return active_; }
    void setActive(bool active);
    static void activateConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);
    static void deactivateConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);
    // The view it is installed on, if any.
    std::shared_ptr<View> installedView() const { return installedOn_.lock(); }

    bool involves(const View* view) const;
    std::string description() const;

    // The layout pass and View::addConstraint keep these in step.
    void noteInstalled(const std::shared_ptr<View>& view);
    void noteRemoved(const View* view);

private:
    LayoutConstraint() = default;
    void markNeedsLayout();

    std::weak_ptr<View> firstItem_;
    LayoutAttribute firstAttribute_ = LayoutAttribute::NotAnAttribute;
    LayoutRelation relation_ = LayoutRelation::Equal;
    std::weak_ptr<View> secondItem_;
    LayoutAttribute secondAttribute_ = LayoutAttribute::NotAnAttribute;
    double multiplier_ = 1;
    double constant_ = 0;
    double priority_ = LayoutPriorityRequired;
    std::string identifier_;
    bool active_ = true;
    std::weak_ptr<View> installedOn_;
};

using LayoutConstraintPtr = std::shared_ptr<LayoutConstraint>;

// Installs a constraint on a view (the platform's addConstraint:), activating it.
void addConstraint(View& view, const LayoutConstraintPtr& constraint);
// Every constraint installed on `container` whose first or second item is `view`.
std::vector<LayoutConstraintPtr> constraintsInvolving(const View& container, const View* view);

// Lays out the constrained descendants of `view` inside its current bounds. View's layout pass calls it
// (through the hook installed by the first constraint made); it is safe to call directly.
void layoutConstrainedSubviews(View& view);

// A scroll view whose constraints address its content, as the platform's scroll views do: its edges in
// constraints are the content's edges and its content size follows from them where they fix it. Without
// this a scroll view's edges are its visible bounds. Only scroll views heed it.
void setConstraintsAddressContent(View& scrollView, bool on);
bool constraintsAddressContent(const View& view);

// The platform's fitting sizes: as small as the constraints allow, or as large.
inline constexpr Size LayoutFittingCompressedSize{0, 0};
inline constexpr Size LayoutFittingExpandedSize{100000, 100000};

// The size `view` would take from its constraints and its subviews' constraints when its width and
// height lean towards `target` at the given priorities (the fitting level by default: as close to the
// target as the constraints allow). Nothing is moved.
Size systemLayoutSizeFittingSize(View& view, Size target,
                                 double horizontalFittingPriority = LayoutPriorityFittingSizeLevel,
                                 double verticalFittingPriority = LayoutPriorityFittingSizeLevel);

} // namespace velkora::ui
