#include "people/VelkoraUserListSections.h"

#include <algorithm>
#include <numeric>

#include "data/VelkoraUserDetailsDisplayer.h"
#include "platform/foundation/TextFolding.h"

namespace velkora {

int VelkoraUserListSections::sectionForName(std::string_view nameFull) {
    const char16_t first = foundation::firstUnitUpperCased(nameFull);
    if (first >= u'A' && first <= u'Z') return first - u'A' + 1;
    return 27;
}

size_t VelkoraUserListSections::merge(const std::vector<VelkoraUserPtr>& users) {
    static const std::string kNone;
    size_t added = 0;
    entries_.reserve(entries_.size() + users.size());
    names_.reserve(names_.size() + users.size());
    folded_.reserve(folded_.size() + users.size());
    byId_.reserve(byId_.size() + users.size());
    for (const auto& user : users) {
        if (!user) continue;
        // A user without an id cannot be told from another: each such object is its own entry.
        if (const auto& id = user->userId()) {
            if (!byId_.try_emplace(*id, entries_.size()).second) continue;
        } else if (!withoutId_.insert(user.get()).second) {
            continue;
        }
        std::string nameFull = VelkoraUserDetailsDisplayer::nameFull(user.get());
        const bool bytewise = foundation::sortsBytewiseAsUtf16(nameFull);
        entries_.push_back({user, sectionForName(nameFull)});
        names_.push_back({std::move(nameFull), bytewise});
        const auto& first = user->firstName();
        const auto& last = user->lastName();
        folded_.push_back(
            {foundation::foldForSearch(first ? *first : kNone), foundation::foldForSearch(last ? *last : kNone)});
        ++added;
    }
    return added;
}

void VelkoraUserListSections::rebuild() {
    static const std::string kNone;
    std::vector<size_t> order(entries_.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), [this](size_t a, size_t b) {
        const SortName& x = names_[a];
        const SortName& y = names_[b];
        const int c = x.bytewise && y.bytewise ? x.nameFull.compare(y.nameFull)
                                               : foundation::compareUtf16(x.nameFull, y.nameFull);
        if (c) return c < 0;
        const auto& ix = entries_[a].user->userId();
        const auto& iy = entries_[b].user->userId();
        return (ix ? *ix : kNone) < (iy ? *iy : kNone);
    });
    for (auto& s : sections_)
        s.clear();
    std::array<std::vector<size_t>, kSectionCount> listed;
    for (size_t i : order) {
        const Entry& e = entries_[i];
        if (e.user->isBlockedByCurrentUser()) continue;
        sections_[static_cast<size_t>(e.section)].push_back(e.user);
        listed[static_cast<size_t>(e.section)].push_back(i);
    }
    listed_.clear();
    listed_.reserve(entries_.size());
    for (auto& s : listed)
        listed_.insert(listed_.end(), s.begin(), s.end());
}

void VelkoraUserListSections::clear() {
    entries_.clear();
    names_.clear();
    folded_.clear();
    byId_.clear();
    withoutId_.clear();
    for (auto& s : sections_)
        s.clear();
    listed_.clear();
}

const std::vector<VelkoraUserPtr>& VelkoraUserListSections::section(int index) const {
    static const std::vector<VelkoraUserPtr> kNone;
    if (index < 0 || index >= kSectionCount) return kNone;
    return sections_[static_cast<size_t>(index)];
}

bool VelkoraUserListSections::isEmpty() const {
    return listed_.empty();
}

std::vector<VelkoraUserPtr> VelkoraUserListSections::filter(std::string_view text) const {
    std::vector<VelkoraUserPtr> found;
    found.reserve(100);
    const std::string needle = foundation::foldForSearch(text);
    for (size_t i : listed_) {
        const FoldedNames& f = folded_[i];
        if (foundation::containsFolded(f.first, needle) || foundation::containsFolded(f.last, needle))
            found.push_back(entries_[i].user);
    }
    return found;
}

} // namespace velkora
