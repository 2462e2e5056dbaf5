// The messages of one private conversation as the chat's table shows them: one section per calendar day
// in the device's zone, oldest day first, each day's messages by time. It admits only this
// conversation's messages, holds each message once, counts what it holds and measures rows through the
// cells, remembering each height for the width it was measured at.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "conversations/VelkoraChatOneCells.h"
#include "data/VelkoraChat.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/DayCalendar.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/TableView.h"

namespace velkora {

namespace ui {
class Image;
}

class VelkoraChatOneDataSource : public ui::TableViewDataSource {
public:
    static constexpr const char* kDayKeyFormat = "MMM,d yyyy";
    // The day as its section header reads it.
    static constexpr const char* kDayHeaderFormat = "MMM d, yyyy";
    // About a one-line bubble: where a message not yet shown counts in the chat's table.
    static constexpr double kEstimatedRowHeight = 60;

    VelkoraChatOneDataSource();
    ~VelkoraChatOneDataSource() override;

    // The first load.
    void gotChat(const VelkoraChatPtr& chat);
    // A batch (newest first) from the live stream of all conversations or a page of older messages: the
    // number admitted. A message is admitted when it is this conversation's (from the other user, or the
    // signed-in user's to the other user) and not held yet; the service's copy of a row sent from here
    // gives that row its id instead.
    int gotMessages(const std::vector<VelkoraMessagePtr>& messages);
    // Shows what `gotMessages` admitted in the table: a single new row (or day) goes in by itself, so the
    // rows already shown stay as they are; anything more reloads the table.
    void showAdmitted(ui::TableView& table, int admitted, const VelkoraMessagePtr& newest);
    // Files one message under its day, in time order (by id within one time).
    void addMessageToDateMessages(const VelkoraMessagePtr& message);
    // Takes a message out of its day (a row that moves to the day the service stored it).
    void removeMessage(const VelkoraMessageInternal* message);
    void convertChatToDateMessages();

    // The day's local midnight in the device's zone.
    foundation::Date dateWithoutTime(foundation::Date date);
    // The day key of a message's time, as the bubble shows it (the server clock's difference taken off);
    // a message without a time counts as now.
    std::string dayKeyOf(const VelkoraMessageInternal& message);
    std::string getSectionDateString(int section) const;
    // The section's day as a person reads it ("Dec 10, 2026"); the day key above is only for filing.
    std::string getSectionHeaderText(int section) const;
    VelkoraMessagePtr getMessageFromIndexPath(const ui::IndexPath& indexPath) const;
    std::optional<ui::IndexPath> indexPathOf(const VelkoraMessageInternal* message) const;
    ui::TableViewCellPtr createMessageCell(const VelkoraMessagePtr& message);
    double getCellHeight(const VelkoraMessagePtr& message);
    // The ordering after an older page: days ascending, every day's messages by time, then id.
    void resort();

    // Rows the user wrote that the service has not confirmed; sent rows have no entry.
    void setSendState(const VelkoraMessageInternal* message, VelkoraChatSendState state);
    VelkoraChatSendState sendState(const VelkoraMessageInternal* message) const;
    // The picture a photo row shows while it has no address yet.
    void setLocalPicture(const VelkoraMessageInternal* message, std::shared_ptr<ui::Image> picture);
    // A row already held: by id, or a confirmed copy without id of the same sender, kind and text.
    bool holds(const VelkoraMessageInternal& message) const;
    // The oldest held message the service numbered; null when none has an id.
    VelkoraMessagePtr oldestNumberedMessage() const;
    // Every held message, oldest first.
    std::vector<VelkoraMessagePtr> allMessages() const;

    int numberOfSectionsInTableView(ui::TableView& table) override;
    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    const VelkoraChatPtr& chat() const { return chat_; }
    std::shared_ptr<VelkoraChatOneTableCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraChatOneTableCellDelegate> d) { delegate_ = std::move(d); }
    int32_t totalNumberOfMessages() const { return totalNumberOfMessages_; }
    void setTotalNumberOfMessages(int32_t n) { totalNumberOfMessages_ = n; }
    const std::optional<ui::IndexPath>& lastShownIndexPath() const { return lastShownIndexPath_; }
    std::shared_ptr<ui::TableView> messagesTable() const { return messagesTable_.lock(); }
    void setMessagesTable(std::weak_ptr<ui::TableView> t) { messagesTable_ = std::move(t); }
    // Day keys in section order, and the midnight of each.
    const std::vector<foundation::Date>& sectionsToDates() const { return sectionsToDates_; }
    const std::unordered_map<std::string, std::vector<VelkoraMessagePtr>>& datesToMessages() const {
        return datesToMessages_;
    }
    // After a rotation: the heights go when the rows' width changed.
    void forgetHeightsIfWidthChanged();
    // The heights held, for tests of the cache.
    size_t cachedHeights() const { return heights_.size(); }

private:
    struct Day {
        std::string key;
        foundation::Date midnight = 0;
    };
    Day dayOf(const VelkoraMessageInternal& message);
    // The device's time of a message, as the bubble shows it.
    static foundation::Date deviceTimeOf(const VelkoraMessageInternal& message);
    // The day's list, its section made when the day is new.
    std::vector<VelkoraMessagePtr>& listFor(const Day& day);
    void holdId(int32_t id);
    bool belongs(const VelkoraMessageInternal& message) const;
    // The very row held already (by id when it has one).
    bool isHeldRow(const VelkoraMessageInternal& message) const;
    // The held numbered row that stands for a confirmed send kept without an id; null when none.
    const VelkoraMessageInternal* numberedCopyOf(const VelkoraMessageInternal& message) const;
    // How far apart the kit's and the service's times of one send may be, in seconds.
    static constexpr double kConfirmedCopySlack = 60;
    // The measuring cells, one per kind, made once.
    VelkoraChatOneTableCell* measuringCell(const std::string& contentType);

    VelkoraChatPtr chat_;
    std::unordered_map<std::string, std::vector<VelkoraMessagePtr>> datesToMessages_;
    std::vector<foundation::Date> sectionsToDates_;
    std::vector<std::string> sectionKeys_;
    // Each section's messages, in section order (the lists live in `datesToMessages_`).
    std::vector<std::vector<VelkoraMessagePtr>*> sectionLists_;
    std::weak_ptr<VelkoraChatOneTableCellDelegate> delegate_;
    int32_t totalNumberOfMessages_ = 0;
    std::optional<ui::IndexPath> lastShownIndexPath_;
    std::weak_ptr<ui::TableView> messagesTable_;

    // Sorted: a chat's ids mostly arrive in order, so holding them costs an append.
    std::vector<int32_t> heldIds_;
    // Ids of numbered rows that already stand for a send kept without an id.
    std::unordered_set<int32_t> standsFor_;
    std::unordered_map<const VelkoraMessageInternal*, VelkoraChatSendState> sendStates_;
    std::unordered_map<const VelkoraMessageInternal*, std::shared_ptr<ui::Image>> localPictures_;

    std::unique_ptr<foundation::DayCalendar> calendar_;
    foundation::DateFormatter dayFormatter_{kDayKeyFormat};
    foundation::DateFormatter headerFormatter_{kDayHeaderFormat};
    // Midnight to key: a day's key is formatted once.
    std::map<foundation::Date, std::string> dayKeys_;
    // The last day asked for, from its midnight up to the next: a chat's messages come a day at a time,
    // and the calendar is asked again only when one falls outside it.
    struct DaySpan {
        Day day;
        foundation::Date next = 0;
    };
    std::optional<DaySpan> lastDay_;
    // Makes the calendar anew when the device's zone changed.
    void useCurrentZone();
    // The day holding a device time, with the calendar of the zone in use already made.
    DaySpan spanAt(foundation::Date deviceTime);

    // Heights (and a text row's label size) by message and width; a new width starts afresh.
    struct Measured {
        double height = 0;
        std::optional<ui::Size> labelSize;
    };
    const Measured& measured(const VelkoraMessagePtr& message);
    foundation::NotificationObserver rotationObserver_;
    std::unordered_map<const VelkoraMessageInternal*, Measured> heights_;
    double heightsWidth_ = -1;
    std::map<std::string, std::shared_ptr<VelkoraChatOneTableCell>> measuringCells_;
};

} // namespace velkora
