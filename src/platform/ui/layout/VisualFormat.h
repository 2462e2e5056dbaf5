// Constraints from a line of the visual format: "H:|-10-[step(==64)]-246-|", "V:|[panel(height)]|".
//
// What is understood: an optional "H:" or "V:" (horizontal when absent); "|" for the first view's
// superview at either end; views as "[name]" or "[name(==N)]" (N a number or a metric's name) sizing the
// view along the line; between two items "-N-" (N a number or a metric), "-" for the standard spacing
// (8 between views, 20 to the superview) or nothing for none; a spacing may be negative ("--5-"), a size
// may not. Anything else is refused.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui/layout/LayoutConstraint.h"

namespace velkora::ui {

// A format that cannot be read, or names a view or metric it was not given. `position` is the index in
// the format where reading stopped.
class VisualFormatError : public std::invalid_argument {
public:
    VisualFormatError(const std::string& format, size_t position, const std::string& reason);
    size_t position() const { return position_; }

private:
    size_t position_;
};

using VisualFormatViews = std::map<std::string, std::shared_ptr<View>>;
using VisualFormatMetrics = std::map<std::string, double>;

// The constraints the line states, neither installed nor activated: hand them to the view that should
// hold them (the views' common superview). Throws VisualFormatError on a malformed line, an unknown name,
// or "|" next to a view without a superview.
std::vector<LayoutConstraintPtr> constraintsWithVisualFormat(const std::string& format, const VisualFormatViews& views,
                                                             const VisualFormatMetrics& metrics = {});

// Installs each of them on `view`.
void addConstraints(View& view, const std::vector<LayoutConstraintPtr>& constraints);

} // namespace velkora::ui
