// The people of a user list, alphabetically in 28 sections (0 stands for the index's search glyph, 1..26
// for "A".."Z", 27 for everything else), and the search over their first and last names. Each user is
// kept once by id whatever number of replies brought them, and their names are folded for searching once,
// when they arrive.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "data/VelkoraUserInternal.h"

namespace velkora {

class VelkoraUserListSections {
public:
    static constexpr int kSectionCount = 28;

    // The section of a full name: its upper-cased first character "A".."Z" gives 1..26; any other first
    // character, and an empty name, 27.
    static int sectionForName(std::string_view nameFull);

    // Adds the users not yet held (by user id); answers how many were new.
    size_t merge(const std::vector<VelkoraUserPtr>& users);
    // Sorts everyone held by full name (UTF-16 units, case-sensitive; ties by user id) into the sections,
    // leaving out users the viewer blocked.
    void rebuild();
    void clear();

    const std::vector<VelkoraUserPtr>& section(int index) const;
    size_t count() const { return entries_.size(); }
    // Whether anybody is listed after the last rebuild.
    bool isEmpty() const;

    // Everyone listed whose first or last name contains the text, ignoring case and diacritics, section by
    // section.
    std::vector<VelkoraUserPtr> filter(std::string_view text) const;

private:
    // What sorting and searching read sits in arrays of its own beside the entries (same index), so that
    // thousands of names are walked without touching everything else held of each user.
    struct Entry {
        VelkoraUserPtr user;
        int section = 27;
    };
    struct SortName {
        std::string nameFull;
        // The name's bytes order it as its UTF-16 units do (nearly every name): compared as a plain string.
        bool bytewise = true;
    };
    struct FoldedNames {
        std::string first, last;
    };
    std::vector<Entry> entries_;
    std::vector<SortName> names_;
    std::vector<FoldedNames> folded_;
    std::unordered_map<std::string, size_t> byId_;
    std::unordered_set<const VelkoraUserInternal*> withoutId_;
    std::array<std::vector<VelkoraUserPtr>, kSectionCount> sections_;
    // The entry of each listed user, in the order of the sections, for searching.
    std::vector<size_t> listed_;
};

} // namespace velkora
