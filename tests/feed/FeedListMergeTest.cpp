// The feed's list kept current by what changed: after each poll (new items above and below, likes
// refreshed to a new place or in place, items gone, the same item twice, users turning anonymous or
// named, nothing at all, a new feed) the shown list is what a full rebuild gives, only what changed is
// measured, row heights follow their rows, and a table that showed the old list shows the new one with
// every kept cell on its own item.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <map>

#include "feed/VelkoraFeedListMerge.h"
#include "platform/ui/TableView.h"

using namespace velkora;

namespace {

VelkoraUserPtr person(const std::string& id, const std::string& first) {
    auto u = std::make_shared<VelkoraUserInternal>();
    u->setUserId(id);
    if (!first.empty()) u->setFirstName(first);
    return u;
}

std::shared_ptr<VelkoraFeedMessage> post(int32_t id, OptionalDate time, VelkoraUserPtr sender,
                                         VelkoraUserPtr other = nullptr) {
    auto p = std::make_shared<VelkoraFeedMessage>();
    p->setMessageId(id);
    p->setTime(time);
    p->setSender(std::move(sender));
    p->setOtherUser(std::move(other));
    return p;
}

std::shared_ptr<VelkoraLikeObject> like(int32_t id, OptionalDate time, VelkoraUserPtr liker) {
    auto l = std::make_shared<VelkoraLikeObject>();
    l->setObjectId(id);
    l->setChangeNumber(id);
    l->setTime(time);
    l->setUsers({std::move(liker)});
    return l;
}

// Rows of a table over the shown list: each cell remembers the item it was made for.
class Rows : public ui::TableViewDataSource {
public:
    explicit Rows(const std::vector<VelkoraActivityPtr>& list) : list_(list) {}
    int numberOfRowsInSection(ui::TableView&, int) override { return static_cast<int>(list_.size()); }
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) override {
        auto cell = ui::TableViewCell::create(ui::TableViewCellStyle::Default, "row");
        madeFor[cell.get()] = list_[static_cast<size_t>(indexPath.row)].get();
        return cell;
    }
    std::map<const ui::TableViewCell*, const VelkoraActivityModel*> madeFor;

private:
    const std::vector<VelkoraActivityPtr>& list_;
};

class FeedListMerge : public ::testing::Test {
protected:
    void SetUp() override {
        table_->setDataSource(rows_);
        for (int i = 0; i < 24; ++i)
            posts_.push_back(post(i + 1, 1000.0 + i * 10, i % 3 ? sam_ : ada_));
        for (int i = 0; i < 8; ++i)
            likes_.push_back(like(i + 1, 1003.5 + i * 20, i % 2 ? lee_ : ada_));
        // An anonymous poster, a follow of an anonymous user, a like by an anonymous liker.
        posts_.push_back(post(100, 1500, nobody_));
        posts_.push_back(post(101, 1501, sam_, nobody_));
        likes_.push_back(like(100, 1502, nobody_));
        // No time, a time that is not a number, two posts within one second.
        posts_.push_back(post(102, std::nullopt, sam_));
        posts_.push_back(post(103, std::numeric_limits<double>::quiet_NaN(), ada_));
        posts_.push_back(post(104, 1200.2, sam_));
        posts_.push_back(post(105, 1200.9, ada_));
    }

    std::vector<VelkoraActivityPtr> items() const {
        std::vector<VelkoraActivityPtr> all(posts_.begin(), posts_.end());
        all.insert(all.end(), likes_.begin(), likes_.end());
        return all;
    }

    // One look at the items, merged and applied as the feed screen does, checked against a full rebuild.
    VelkoraFeedListChange poll(const std::string& what, bool reset = false) {
        SCOPED_TRACE(what);
        const size_t measuredBefore = heights_.measuredCount();
        std::vector<float> rowHeights(list_.size());
        for (size_t row = 0; row < list_.size(); ++row)
            rowHeights[row] = heightOf(*list_[row]);

        snapshot_.begin(reset, ++generation_);
        for (const auto& item : items())
            snapshot_.see(item, [this](const VelkoraActivityPtr& item) {
                VelkoraFeedRowText row;
                row.heightKey = item->activityId() + "#" + std::to_string(velkoraActivityChangeNumber(*item));
                if (!heights_.find(row.heightKey)) row.text = VelkoraFeedCellText{};
                return row;
            });
        VelkoraFeedListDelta delta = snapshot_.finish();
        size_t toMeasure = 0;
        for (const auto& row : delta.rows)
            toMeasure += row.text.has_value();
        VelkoraFeedListChange change = mirror_.merge(std::move(delta), &heights_, false);
        const VelkoraFeedListChange ops = rowsOf(change);
        EXPECT_TRUE(velkoraApplyListChange(list_, change));
        heights_.forget(change.forgottenHeights);

        EXPECT_EQ(heights_.measuredCount() - measuredBefore, toMeasure);
        expectFullRebuild();
        // Heights follow their rows; new and refreshed rows are asked again.
        velkoraApplyListChange(rowHeights, ops, -1);
        if (!ops.reset) {
            EXPECT_EQ(rowHeights.size(), list_.size());
            for (size_t row = 0; row < std::min(rowHeights.size(), list_.size()); ++row) {
                if (rowHeights[row] >= 0) {
                    EXPECT_EQ(rowHeights[row], heightOf(*list_[row])) << "row " << row;
                }
            }
        }
        // The table shows the new list, each kept cell on its own item.
        velkoraApplyListChange(*table_, ops);
        EXPECT_EQ(table_->lastUpdateError(), "");
        EXPECT_EQ(table_->numberOfRowsInSection(0), static_cast<int>(list_.size()));
        for (const auto& cell : table_->visibleCells()) {
            auto at = table_->indexPathForCell(cell.get());
            EXPECT_TRUE(at);
            if (at) {
                EXPECT_EQ(rows_->madeFor[cell.get()], list_[static_cast<size_t>(at->row)].get()) << "row " << at->row;
            }
        }
        return ops;
    }

    // The list a full rebuild gives: the same items in the same order, items that rank equal in any order.
    void expectFullRebuild() const {
        auto normal = [](std::vector<VelkoraActivityPtr> list) {
            std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
                const auto ka = VelkoraActivityKey::of(*a), kb = VelkoraActivityKey::of(*b);
                if (VelkoraActivityKey::newerFirst(ka, kb)) return true;
                if (VelkoraActivityKey::newerFirst(kb, ka)) return false;
                return a.get() < b.get();
            });
            std::vector<std::string> ids;
            for (const auto& item : list)
                ids.push_back(item->activityId() + "@" + std::to_string(reinterpret_cast<uintptr_t>(item.get())));
            return ids;
        };
        const auto full = getSortedActivities(items(), {});
        EXPECT_EQ(normal(list_), normal(full));
        for (size_t row = 1; row < list_.size(); ++row)
            EXPECT_FALSE(VelkoraActivityKey::newerFirst(VelkoraActivityKey::of(*list_[row]),
                                                        VelkoraActivityKey::of(*list_[row - 1])))
                << "row " << row;
    }

    static float heightOf(const VelkoraActivityModel& item) {
        return static_cast<float>(std::hash<const void*>{}(&item) % 1000 + velkoraActivityChangeNumber(item));
    }

    // What the table is told, before the items move out of the change.
    static VelkoraFeedListChange rowsOf(const VelkoraFeedListChange& change) {
        VelkoraFeedListChange rows;
        rows.reset = change.reset;
        rows.oldCount = change.oldCount;
        rows.newCount = change.newCount;
        rows.deleted = change.deleted;
        rows.reloaded = change.reloaded;
        for (const auto& [row, item] : change.inserted)
            rows.inserted.emplace_back(row, nullptr);
        return rows;
    }

    VelkoraUserPtr sam_ = person("sam", "Sam"), ada_ = person("ada", "Ada"), lee_ = person("lee", "Lee"),
                   nobody_ = person("nobody", "");
    std::vector<std::shared_ptr<VelkoraFeedMessage>> posts_;
    std::vector<std::shared_ptr<VelkoraLikeObject>> likes_;

    VelkoraFeedListSnapshot snapshot_;
    VelkoraFeedListMirror mirror_;
    VelkoraFeedRowHeights heights_{{}};
    std::vector<VelkoraActivityPtr> list_;
    uint64_t generation_ = 0;
    std::shared_ptr<ui::TableView> table_ = ui::TableView::create({0, 0, 320, 44 * 80});
    std::shared_ptr<Rows> rows_ = std::make_shared<Rows>(list_);
};

TEST_F(FeedListMerge, EveryPollListsWhatAFullRebuildListsAndMeasuresOnlyWhatChanged) {
    auto first = poll("the first feed");
    EXPECT_EQ(list_.size(), posts_.size() + likes_.size() - 3) << "the anonymous user's three items are left out";
    table_->reloadData();
    const size_t measured = heights_.measuredCount();
    EXPECT_EQ(measured, list_.size());

    EXPECT_TRUE(poll("nothing new").empty());
    EXPECT_EQ(heights_.measuredCount(), measured);

    for (int i = 0; i < 5; ++i)
        posts_.insert(posts_.begin(), post(200 + i, 2000.0 + i, sam_));
    likes_.push_back(like(50, 1111, lee_));
    likes_.push_back(like(51, 1005, ada_));
    auto added = poll("new posts on top, new likes between");
    EXPECT_EQ(added.inserted.size(), 7u);
    EXPECT_TRUE(added.deleted.empty());
    EXPECT_EQ(heights_.measuredCount(), measured + 7);

    // A new liker moves a like to the top; another is refreshed where it stands.
    likes_[2]->setUsers({person("kim", "Kim"), ada_});
    likes_[2]->setChangeNumber(300);
    likes_[2]->setTime(2500);
    likes_[5]->setChangeNumber(301);
    auto refreshed = poll("a like moved up, another refreshed in place");
    EXPECT_EQ(refreshed.reloaded.size(), 1u);
    EXPECT_EQ(refreshed.inserted.size(), 1u);
    EXPECT_EQ(refreshed.deleted.size(), 1u);
    EXPECT_EQ(heights_.measuredCount(), measured + 9);
    EXPECT_EQ(heights_.size(), list_.size()) << "the heights of the old states are forgotten";

    posts_.erase(posts_.begin() + 7, posts_.begin() + 10);
    likes_.erase(likes_.begin());
    auto gone = poll("items gone");
    EXPECT_EQ(gone.deleted.size(), 4u);
    EXPECT_TRUE(gone.inserted.empty());
    EXPECT_EQ(heights_.size(), list_.size());

    // The same object twice, held and new.
    posts_.push_back(posts_[3]);
    auto twice = post(300, 1800, ada_);
    posts_.push_back(twice);
    posts_.push_back(twice);
    auto duplicates = poll("the same items twice");
    EXPECT_EQ(duplicates.inserted.size(), 1u);

    // The anonymous user names themselves: their post and the follow of them appear. A liker who turns
    // anonymous takes their likes away.
    nobody_->setFirstName(std::string("Noor"));
    lee_->setFirstName(std::string(" "));
    poll("users turned named and anonymous");

    // A new feed: every item a new object.
    for (auto& p : posts_)
        p = post(p->messageId(), p->time(), p->sender(), p->otherUser());
    auto reset = poll("a new feed", true);
    EXPECT_TRUE(reset.reset);
    table_->reloadData();
    poll("after the new feed");
}

TEST_F(FeedListMerge, AChangeNotMadeFromTheShownListLeavesItAsItWas) {
    poll("the first feed");
    const auto before = list_;
    posts_.insert(posts_.begin(), post(400, 3000, sam_));
    snapshot_.begin(false, ++generation_);
    for (const auto& item : items())
        snapshot_.see(item, {});
    VelkoraFeedListChange change = mirror_.merge(snapshot_.finish(), nullptr, false);
    std::vector<VelkoraActivityPtr> shorter(before.begin(), before.end() - 1);
    EXPECT_FALSE(velkoraApplyListChange(shorter, change));
    EXPECT_EQ(shorter.size(), before.size() - 1);
    EXPECT_TRUE(std::equal(shorter.begin(), shorter.end(), before.begin()));
    EXPECT_TRUE(velkoraApplyListChange(list_, change));
    EXPECT_EQ(list_.front()->activityId(), "feed-message-400");
}

} // namespace
