#include "platform/ui/AttributedString.h"

#include <algorithm>

namespace velkora::ui {

AttributedString::AttributedString(std::string text, Attributes attributes) : text_(std::move(text)) {
    length_ = utf16::length(text_);
    if (length_ > 0) runs_.push_back({{0, length_}, std::move(attributes)});
}

TextRange AttributedString::clip(TextRange r) const {
    size_t a = std::min(r.location, length_);
    size_t b = std::min(r.location + std::min(r.length, length_), length_);
    return {a, b > a ? b - a : 0};
}

void AttributedString::splitAt(size_t index) {
    if (index == 0 || index >= length_) return;
    for (size_t i = 0; i < runs_.size(); ++i) {
        Run& run = runs_[i];
        if (run.range.location < index && index < run.range.end()) {
            Run tail{{index, run.range.end() - index}, run.attributes};
            run.range.length = index - run.range.location;
            runs_.insert(runs_.begin() + long(i) + 1, std::move(tail));
            return;
        }
    }
}

void AttributedString::merge() {
    std::vector<Run> merged;
    for (auto& run : runs_) {
        if (run.range.length == 0) continue;
        if (!merged.empty() && merged.back().attributes == run.attributes)
            merged.back().range.length += run.range.length;
        else
            merged.push_back(std::move(run));
    }
    runs_ = std::move(merged);
}

template <typename F> void AttributedString::forRunsIn(TextRange range, F&& change) {
    TextRange r = clip(range);
    if (r.length == 0) return;
    splitAt(r.location);
    splitAt(r.end());
    for (auto& run : runs_)
        if (run.range.location >= r.location && run.range.end() <= r.end()) change(run.attributes);
    merge();
}

void AttributedString::setAttributes(const Attributes& attributes, TextRange range) {
    forRunsIn(range, [&](Attributes& a) { a = attributes; });
}

void AttributedString::addAttribute(const std::string& name, AttributeValue value, TextRange range) {
    forRunsIn(range, [&](Attributes& a) { a[name] = value; });
}

void AttributedString::addAttributes(const Attributes& attributes, TextRange range) {
    forRunsIn(range, [&](Attributes& a) {
        for (const auto& [k, v] : attributes)
            a[k] = v;
    });
}

void AttributedString::removeAttribute(const std::string& name, TextRange range) {
    forRunsIn(range, [&](Attributes& a) { a.erase(name); });
}

Attributes AttributedString::attributesAt(size_t index, TextRange* effectiveRange) const {
    for (const auto& run : runs_)
        if (run.range.contains(index)) {
            if (effectiveRange) *effectiveRange = run.range;
            return run.attributes;
        }
    if (effectiveRange) *effectiveRange = {index, 0};
    return {};
}

std::optional<AttributeValue> AttributedString::attributeAt(const std::string& name, size_t index,
                                                            TextRange* effectiveRange) const {
    // The effective range of one attribute spans neighbouring runs that agree on it.
    for (size_t i = 0; i < runs_.size(); ++i) {
        if (!runs_[i].range.contains(index)) continue;
        auto it = runs_[i].attributes.find(name);
        const AttributeValue* value = it != runs_[i].attributes.end() ? &it->second : nullptr;
        if (effectiveRange) {
            auto same = [&](size_t j) {
                auto jt = runs_[j].attributes.find(name);
                if (jt == runs_[j].attributes.end()) return value == nullptr;
                return value && jt->second == *value;
            };
            size_t a = i, b = i;
            while (a > 0 && same(a - 1))
                --a;
            while (b + 1 < runs_.size() && same(b + 1))
                ++b;
            *effectiveRange = {runs_[a].range.location, runs_[b].range.end() - runs_[a].range.location};
        }
        if (!value) return std::nullopt;
        return *value;
    }
    if (effectiveRange) *effectiveRange = {index, 0};
    return std::nullopt;
}

std::optional<Font> AttributedString::fontAt(size_t index) const {
    auto v = attributeAt(attr::Font, index);
    if (v)
        if (auto* f = std::get_if<Font>(&*v)) return *f;
    return std::nullopt;
}

std::optional<Color> AttributedString::colorAt(size_t index) const {
    auto v = attributeAt(attr::ForegroundColor, index);
    if (v)
        if (auto* c = std::get_if<Color>(&*v)) return *c;
    return std::nullopt;
}

std::optional<ParagraphStyle> AttributedString::paragraphStyleAt(size_t index) const {
    auto v = attributeAt(attr::ParagraphStyle, index);
    if (v)
        if (auto* p = std::get_if<ParagraphStyle>(&*v)) return *p;
    return std::nullopt;
}

void AttributedString::replaceCharacters(TextRange range, const AttributedString& text) {
    TextRange r = clip(range);
    if (range.location > length_) r = {length_, 0};
    splitAt(r.location);
    splitAt(r.end());
    size_t a = utf16::byteOffset(text_, r.location), b = utf16::byteOffset(text_, r.end());
    text_.replace(a, b - a, text.text_);
    long delta = long(text.length_) - long(r.length);
    std::vector<Run> out;
    bool inserted = false;
    auto insertNew = [&] {
        for (auto run : text.runs_) {
            run.range.location += r.location;
            out.push_back(std::move(run));
        }
        inserted = true;
    };
    for (auto& run : runs_) {
        if (run.range.end() <= r.location) {
            out.push_back(run);
        } else if (run.range.location >= r.end()) {
            if (!inserted) insertNew();
            Run moved = run;
            moved.range.location = size_t(long(moved.range.location) + delta);
            out.push_back(std::move(moved));
        }
    }
    if (!inserted) insertNew();
    runs_ = std::move(out);
    length_ = utf16::length(text_);
    merge();
}

void AttributedString::replaceCharacters(TextRange range, const std::string& text) {
    // Plain text takes the attributes of the character it replaces or follows.
    TextRange r = clip(range);
    Attributes a;
    if (r.length > 0)
        a = attributesAt(r.location);
    else if (r.location > 0)
        a = attributesAt(r.location - 1);
    else if (length_ > 0)
        a = attributesAt(0);
    replaceCharacters(range, AttributedString(text, a));
}

void AttributedString::append(const AttributedString& other) {
    replaceCharacters({length_, 0}, other);
}

AttributedString AttributedString::substring(TextRange range) const {
    TextRange r = clip(range);
    AttributedString out;
    // Whole characters only: widen the ends that fall inside a surrogate pair.
    size_t a = utf16::indexOfByte(text_, utf16::byteOffset(text_, r.location));
    std::string sub = utf16::substring(text_, r);
    out.text_ = sub;
    out.length_ = utf16::length(sub);
    for (const auto& run : runs_) {
        size_t s = std::max(run.range.location, a), e = std::min(run.range.end(), a + out.length_);
        if (e > s) out.runs_.push_back({{s - a, e - s}, run.attributes});
    }
    out.merge();
    return out;
}

void AttributedString::enumerateAttribute(const std::string& name, TextRange range,
                                          const std::function<void(const AttributeValue*, TextRange)>& visit) const {
    TextRange r = clip(range);
    size_t i = r.location;
    while (i < r.end()) {
        TextRange eff;
        auto v = attributeAt(name, i, &eff);
        size_t end = std::min(eff.end(), r.end());
        if (end <= i) break;
        visit(v ? &*v : nullptr, {i, end - i});
        i = end;
    }
}

bool operator==(const AttributedString& a, const AttributedString& b) {
    if (a.text_ != b.text_ || a.runs_.size() != b.runs_.size()) return false;
    for (size_t i = 0; i < a.runs_.size(); ++i)
        if (a.runs_[i].range != b.runs_[i].range || a.runs_[i].attributes != b.runs_[i].attributes) return false;
    return true;
}

} // namespace velkora::ui
