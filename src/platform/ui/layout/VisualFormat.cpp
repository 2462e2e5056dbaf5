#include "platform/ui/layout/VisualFormat.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

#include "platform/ui/View.h"

namespace velkora::ui {

namespace {

constexpr double kStandardSpacing = 8;
constexpr double kStandardSuperviewSpacing = 20;

class Reader {
public:
    Reader(const std::string& format, const VisualFormatViews& views, const VisualFormatMetrics& metrics)
        : f_(format), views_(views), metrics_(metrics) {}

    std::vector<LayoutConstraintPtr> read() {
        bool horizontal = true;
        if (f_.size() >= 2 && (f_[0] == 'H' || f_[0] == 'V') && f_[1] == ':') {
            horizontal = f_[0] == 'H';
            pos_ = 2;
        }
        lead_ = horizontal ? LayoutAttribute::Leading : LayoutAttribute::Top;
        trail_ = horizontal ? LayoutAttribute::Trailing : LayoutAttribute::Bottom;
        size_ = horizontal ? LayoutAttribute::Width : LayoutAttribute::Height;

        bool fromSuperview = accept('|');
        std::optional<double> gap;
        if (fromSuperview) gap = connection(kStandardSuperviewSpacing);
        if (!peek('[')) fail("a view in brackets was expected");
        std::shared_ptr<View> previous;
        size_t firstViewAt = pos_;
        while (peek('[')) {
            auto v = view();
            if (previous) {
                out_.push_back(
                    LayoutConstraint::create(v, lead_, LayoutRelation::Equal, previous, trail_, 1, gap.value_or(0)));
            } else if (fromSuperview) {
                out_.push_back(LayoutConstraint::create(v, lead_, LayoutRelation::Equal, superviewOf(v, firstViewAt),
                                                        lead_, 1, gap.value_or(0)));
            }
            previous = v;
            size_t before = pos_;
            gap = connection(kStandardSpacing);
            if (accept('|')) {
                // A standard gap before the edge is the superview spacing, not the sibling one.
                double g = gap ? (f_.compare(before, 2, "-|") == 0 ? kStandardSuperviewSpacing : *gap) : 0;
                out_.push_back(
                    LayoutConstraint::create(superviewOf(v, pos_ - 1), trail_, LayoutRelation::Equal, v, trail_, 1, g));
                if (pos_ != f_.size()) fail("nothing may follow the closing \"|\"");
                return out_;
            }
            if (pos_ == f_.size()) {
                if (gap) fail("a spacing must lead to a view or \"|\"");
                return out_;
            }
            if (!peek('[')) fail("a view in brackets or \"|\" was expected");
        }
        return out_;
    }

private:
    [[noreturn]] void fail(const std::string& reason) const { throw VisualFormatError(f_, pos_, reason); }

    bool peek(char c) const { return pos_ < f_.size() && f_[pos_] == c; }
    bool accept(char c) {
        if (!peek(c)) return false;
        ++pos_;
        return true;
    }

    // "-N-", "-" (the standard spacing) or nothing; nullopt for nothing.
    std::optional<double> connection(double standard) {
        if (!accept('-')) return std::nullopt;
        if (peek('[') || peek('|')) return standard;
        // A spacing may be negative ("--5-": views overlapping by 5); a size may not.
        const bool negative = accept('-');
        double n = number();
        if (negative) n = -n;
        if (!accept('-')) fail("a spacing must be closed by \"-\"");
        return n;
    }

    // An unsigned number ("64", "246.000000", "1e+06") or a metric's name.
    double number() {
        size_t start = pos_;
        if (pos_ < f_.size() && (std::isalpha(static_cast<unsigned char>(f_[pos_])) || f_[pos_] == '_')) {
            std::string name = identifier();
            auto it = metrics_.find(name);
            if (it == metrics_.end()) {
                pos_ = start;
                fail("no metric is named \"" + name + "\"");
            }
            return it->second;
        }
        double value = 0;
        const char* first = f_.data() + pos_;
        auto [end, ec] = std::from_chars(first, f_.data() + f_.size(), value);
        if (ec != std::errc() || end == first || *first == '-' || !std::isfinite(value))
            fail("a number or a metric's name was expected");
        pos_ += static_cast<size_t>(end - first);
        return value;
    }

    std::string identifier() {
        size_t start = pos_;
        while (pos_ < f_.size() && (std::isalnum(static_cast<unsigned char>(f_[pos_])) || f_[pos_] == '_'))
            ++pos_;
        if (start == pos_ || std::isdigit(static_cast<unsigned char>(f_[start]))) {
            pos_ = start;
            fail("a name was expected");
        }
        return f_.substr(start, pos_ - start);
    }

    // "[name]" or "[name(==N)]" / "[name(N)]".
    std::shared_ptr<View> view() {
        accept('[');
        size_t nameAt = pos_;
        std::string name = identifier();
        auto it = views_.find(name);
        if (it == views_.end() || !it->second) {
            pos_ = nameAt;
            fail("no view is named \"" + name + "\"");
        }
        auto v = it->second;
        if (accept('(')) {
            if (accept('=') && !accept('=')) {
                --pos_;
                fail("\"==\" was expected");
            }
            double n = number();
            if (!accept(')')) fail("\")\" was expected");
            out_.push_back(LayoutConstraint::create(v, size_, LayoutRelation::Equal, n));
        }
        if (!accept(']')) fail("\"]\" was expected");
        return v;
    }

    std::shared_ptr<View> superviewOf(const std::shared_ptr<View>& v, size_t at) {
        View* s = v->superview();
        if (!s) {
            pos_ = at;
            fail("\"|\" stands for the superview, and the view next to it has none");
        }
        return s->sharedView();
    }

    const std::string& f_;
    const VisualFormatViews& views_;
    const VisualFormatMetrics& metrics_;
    size_t pos_ = 0;
    LayoutAttribute lead_{}, trail_{}, size_{};
    std::vector<LayoutConstraintPtr> out_;
};

} // namespace

VisualFormatError::VisualFormatError(const std::string& format, size_t position, const std::string& reason)
    : std::invalid_argument("Unable to read the visual format \"" + format + "\" at " + std::to_string(position) +
                            ": " + reason),
      position_(position) {}

std::vector<LayoutConstraintPtr> constraintsWithVisualFormat(const std::string& format, const VisualFormatViews& views,
                                                             const VisualFormatMetrics& metrics) {
    return Reader(format, views, metrics).read();
}

void addConstraints(View& view, const std::vector<LayoutConstraintPtr>& constraints) {
    for (const auto& c : constraints)
        addConstraint(view, c);
}

} // namespace velkora::ui
