// The chunked list the feed's long lists are kept in: every edit gives what the same edit gives on a
// vector, and a copy taken before an edit keeps what it had (the copies share chunks until one changes).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "data/VelkoraActivityKey.h"
#include "data/VelkoraChunkedList.h"

namespace velkora {
namespace {

using List = VelkoraChunkedList<int>;

std::vector<int> contents(const List& list) {
    return {list.begin(), list.end()};
}

List counted(int n) {
    List list;
    for (int i = 0; i < n; ++i)
        list.push_back(i);
    return list;
}

TEST(ChunkedListTest, EditsGiveWhatAVectorGivesAndEarlierCopiesKeepTheirItems) {
    struct Case {
        const char* what;
        int size;
        std::function<void(List&, std::vector<int>&)> edit;
    };
    // Both the list and its vector model take each step.
    auto insertAt = [](size_t at, int value) {
        return [at, value](List& list, std::vector<int>& model) {
            list.insert(at, value);
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), value);
        };
    };
    const std::vector<Case> cases = {
        {"twenty on top of a long list", 5000,
         [&](List& list, std::vector<int>& model) {
             for (int i = 0; i < 20; ++i)
                 insertAt(static_cast<size_t>(i), -1 - i)(list, model);
         }},
        {"a chunk grown past twice its size splits", 600,
         [&](List& list, std::vector<int>& model) {
             for (int i = 0; i < 1200; ++i)
                 insertAt(300, 10000 + i)(list, model);
         }},
        {"rows taken out until whole chunks go", 1500,
         [](List& list, std::vector<int>& model) {
             for (int i = 0; i < 700; ++i) {
                 list.erase(400);
                 model.erase(model.begin() + 400);
             }
         }},
        {"at the end and past the last chunk", 512,
         [&](List& list, std::vector<int>& model) {
             insertAt(512, 7)(list, model);
             insertAt(0, 8)(list, model);
             list.push_back(9);
             model.push_back(9);
         }},
        {"everything taken out, then put back", 3,
         [&](List& list, std::vector<int>& model) {
             for (int i = 0; i < 3; ++i) {
                 list.erase(0);
                 model.erase(model.begin());
             }
             insertAt(0, 4)(list, model);
         }},
        {"a row changed where it stands", 2000,
         [](List& list, std::vector<int>& model) {
             list.mutableAt(1999) = -5;
             model[1999] = -5;
             list.mutableAt(0) = -6;
             model[0] = -6;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        List list = counted(c.size);
        std::vector<int> model = contents(list);
        const List before = list;
        c.edit(list, model);
        EXPECT_EQ(contents(list), model);
        ASSERT_EQ(list.size(), model.size());
        for (size_t i = 0; i < model.size(); i += 97)
            EXPECT_EQ(list[i], model[i]) << "row " << i;
        if (!model.empty()) {
            EXPECT_EQ(list.front(), model.front());
            EXPECT_EQ(list.back(), model.back());
        }
        EXPECT_EQ(contents(before), contents(counted(c.size))) << "the copy taken before keeps its items";
    }
}

// Rows put in and taken out of a newest-first list by key, as the repository and the screen's queue
// do on a chunked list, land where they land on a vector.
TEST(ChunkedListTest, MergesByKeyLandWhereTheyLandOnAVector) {
    struct Entry {
        VelkoraActivityKey key;
        int id = 0;
    };
    auto keyAt = [](int seconds, int id) {
        VelkoraActivityKey key;
        key.hasTime = true;
        key.seconds = seconds;
        key.isPost = true;
        key.id = id;
        return key;
    };
    std::vector<Entry> vector;
    VelkoraChunkedList<Entry> chunked;
    for (int i = 0; i < 3000; ++i) {
        // Newest first, three items a second.
        Entry e{keyAt(100000 - i / 3, 5000 - i), i};
        vector.push_back(e);
        chunked.push_back(e);
    }
    auto keyOf = [](const Entry& e) -> const VelkoraActivityKey& { return e.key; };
    const std::vector<size_t> gone = {2, 3, 700, 1800, 2999};
    std::vector<Entry> incoming = {
        {keyAt(200000, 1), -1}, {keyAt(100000 - 500, 9999), -2}, {keyAt(100000 - 500, 1), -3}, {keyAt(0, 1), -4}};
    std::vector<Entry> incomingToo = incoming;
    std::vector<std::pair<size_t, size_t>> landedOnVector, landedOnChunks;
    velkoraMergeNewestFirst(vector, gone, incoming, keyOf,
                            [&](size_t row, size_t j) { landedOnVector.emplace_back(row, j); });
    velkoraMergeNewestFirst(chunked, gone, incomingToo, keyOf,
                            [&](size_t row, size_t j) { landedOnChunks.emplace_back(row, j); });
    // Heard in any order: each entry, and the row it took.
    std::sort(landedOnChunks.begin(), landedOnChunks.end());
    std::sort(landedOnVector.begin(), landedOnVector.end());
    EXPECT_EQ(landedOnChunks, landedOnVector);
    ASSERT_EQ(chunked.size(), vector.size());
    for (size_t row = 0; row < vector.size(); ++row)
        ASSERT_EQ(chunked[row].id, vector[row].id) << "row " << row;
}

} // namespace
} // namespace velkora
