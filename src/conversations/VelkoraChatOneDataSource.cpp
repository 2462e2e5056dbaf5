#include "conversations/VelkoraChatOneDataSource.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Image.h"
#include "platform/ui/UiNotifications.h"
#include "server/VelkoraServerClientAgent.h"
#include "session/VelkoraAgentInternal.h"

namespace velkora {

namespace {

// Server times have whole seconds: the id keeps one second's messages in the order they were stored.
bool earlier(const VelkoraMessagePtr& a, const VelkoraMessagePtr& b) {
    const double ta = a->time().value_or(0), tb = b->time().value_or(0);
    if (ta != tb) return ta < tb;
    const int32_t ia = a->messageId(), ib = b->messageId();
    // Rows not yet numbered by the service are the newest of their second.
    if ((ia == 0) != (ib == 0)) return ib == 0;
    return ia < ib;
}

std::string textOf(const VelkoraMessageInternal& m) {
    return m.message().value_or("");
}

} // namespace

VelkoraChatOneDataSource::VelkoraChatOneDataSource() = default;
VelkoraChatOneDataSource::~VelkoraChatOneDataSource() = default;

void VelkoraChatOneDataSource::gotChat(const VelkoraChatPtr& chat) {
    chat_ = chat;
    convertChatToDateMessages();
    if (chat_) totalNumberOfMessages_ += static_cast<int32_t>(chat_->messages().size());
}

void VelkoraChatOneDataSource::convertChatToDateMessages() {
    if (!chat_) return;
    useCurrentZone();
    // Oldest first, a day at a time: each message goes to the end of the day it shares with the one
    // before it, the calendar asked only where a day begins.
    const auto& messages = chat_->messages();
    const size_t heldBefore = heldIds_.size();
    heldIds_.reserve(heldBefore + messages.size());
    std::vector<VelkoraMessagePtr>* list = nullptr;
    DaySpan span;
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
        const VelkoraMessagePtr& m = *it;
        if (!m) continue;
        const foundation::Date t = deviceTimeOf(*m);
        if (!list || !(t >= span.day.midnight && t < span.next)) {
            span = spanAt(t);
            list = span.day.key.empty() ? nullptr : &listFor(span.day);
            if (!list) continue;
        }
        if (m->messageId() != 0) heldIds_.push_back(m->messageId());
        if (list->empty() || !earlier(m, list->back()))
            list->push_back(m);
        else
            list->insert(std::upper_bound(list->begin(), list->end(), m, earlier), m);
    }
    const auto added = heldIds_.begin() + static_cast<std::ptrdiff_t>(heldBefore);
    if (!std::is_sorted(added, heldIds_.end())) std::sort(added, heldIds_.end());
    std::inplace_merge(heldIds_.begin(), added, heldIds_.end());
    heldIds_.erase(std::unique(heldIds_.begin(), heldIds_.end()), heldIds_.end());
}

void VelkoraChatOneDataSource::holdId(int32_t id) {
    auto at = std::lower_bound(heldIds_.begin(), heldIds_.end(), id);
    if (at == heldIds_.end() || *at != id) heldIds_.insert(at, id);
}

bool VelkoraChatOneDataSource::belongs(const VelkoraMessageInternal& m) const {
    if (!chat_ || !chat_->user() || !m.sender()) return false;
    if (sameUser(chat_->user(), m.sender())) return true;
    // The user's own message belongs here only when it went to this chat's user.
    const auto& me = VelkoraServerClientAgent::instance().userId();
    const bool mine =
        (me && m.sender()->userId() == me) || sameUser(VelkoraAgentInternal::instance().velkoraUser(), m.sender());
    return mine && sameUser(chat_->user(), m.otherUser());
}

bool VelkoraChatOneDataSource::holds(const VelkoraMessageInternal& m) const {
    return isHeldRow(m) || numberedCopyOf(m) != nullptr;
}

bool VelkoraChatOneDataSource::isHeldRow(const VelkoraMessageInternal& m) const {
    if (m.messageId() != 0) return std::binary_search(heldIds_.begin(), heldIds_.end(), m.messageId());
    for (const auto& [key, day] : datesToMessages_)
        for (const auto& held : day)
            if (held.get() == &m) return true;
    return false;
}

const VelkoraMessageInternal* VelkoraChatOneDataSource::numberedCopyOf(const VelkoraMessageInternal& m) const {
    // A send confirmed here is kept without an id (the inbox shows it at once); the service's numbered
    // copy of it, held already, stands for it. Each numbered row stands for one such send, the nearest in
    // time.
    if (m.messageId() != 0 || !m.sender() || (chat_ && sameUser(chat_->user(), m.sender()))) return nullptr;
    const VelkoraMessageInternal* best = nullptr;
    double bestGap = kConfirmedCopySlack;
    for (const auto& [key, day] : datesToMessages_)
        for (const auto& held : day) {
            if (held->messageId() == 0 || standsFor_.count(held->messageId())) continue;
            if (!sameUser(held->sender(), m.sender()) || held->contentType() != m.contentType() ||
                textOf(*held) != textOf(m))
                continue;
            const double gap = std::abs(held->time().value_or(0) - m.time().value_or(0));
            if (gap <= bestGap) {
                best = held.get();
                bestGap = gap;
            }
        }
    return best;
}

int VelkoraChatOneDataSource::gotMessages(const std::vector<VelkoraMessagePtr>& messages) {
    int n = 0;
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
        const VelkoraMessagePtr& m = *it;
        if (!m || !belongs(*m) || isHeldRow(*m)) continue;
        if (const auto* copy = numberedCopyOf(*m)) {
            standsFor_.insert(copy->messageId());
            continue;
        }
        // The service's copy of a row sent from here: that row takes its id and stays as it is.
        if (m->messageId() != 0 && m->sender() && chat_ && !sameUser(chat_->user(), m->sender())) {
            VelkoraMessagePtr copy;
            for (const auto& [key, day] : datesToMessages_) {
                for (const auto& held : day)
                    if (held->messageId() == 0 && sendState(held.get()) == VelkoraChatSendState::Sent &&
                        held->contentType() == m->contentType() && textOf(*held) == textOf(*m)) {
                        copy = held;
                        break;
                    }
                if (copy) break;
            }
            if (copy) {
                copy->setMessageId(m->messageId());
                holdId(m->messageId());
                continue;
            }
        }
        if (chat_) chat_->mutableMessages().insert(chat_->mutableMessages().begin(), m);
        ++n;
        addMessageToDateMessages(m);
    }
    totalNumberOfMessages_ += n;
    return n;
}

void VelkoraChatOneDataSource::showAdmitted(ui::TableView& table, int admitted, const VelkoraMessagePtr& newest) {
    const auto at = admitted == 1 && newest ? indexPathOf(newest.get()) : std::nullopt;
    if (!at || table.numberOfSections() == 0) {
        table.reloadData();
        return;
    }
    // A day of its own is a new section; else one more row of a shown day. The table reloads by itself
    // should the counts not add up.
    if (numberOfRowsInSection(table, at->section) == 1)
        table.insertSections({at->section}, ui::TableViewRowAnimation::None);
    else
        table.insertRowsAtIndexPaths({*at}, ui::TableViewRowAnimation::None);
}

void VelkoraChatOneDataSource::useCurrentZone() {
    const std::string zone = foundation::DateFormatter::currentTimeZoneIdentifier();
    if (!calendar_ || calendar_->timeZoneIdentifier() != zone) {
        calendar_ = std::make_unique<foundation::DayCalendar>(zone);
        dayKeys_.clear();
        lastDay_.reset();
    }
}

foundation::Date VelkoraChatOneDataSource::dateWithoutTime(foundation::Date date) {
    useCurrentZone();
    return calendar_->startOfDay(date);
}

foundation::Date VelkoraChatOneDataSource::deviceTimeOf(const VelkoraMessageInternal& m) {
    // What the bubble shows: the device's own time of the message; a message without one counts as now.
    return m.time() ? VelkoraServerClientAgent::instance().getDateWithServerDiff(*m.time())
                    : foundation::RunLoop::main().now();
}

VelkoraChatOneDataSource::DaySpan VelkoraChatOneDataSource::spanAt(foundation::Date t) {
    if (lastDay_ && t >= lastDay_->day.midnight && t < lastDay_->next) return *lastDay_;
    DaySpan span;
    span.day.midnight = calendar_->startOfDay(t);
    auto found = dayKeys_.find(span.day.midnight);
    if (found == dayKeys_.end())
        found = dayKeys_.emplace(span.day.midnight, dayFormatter_.stringFromDate(span.day.midnight)).first;
    span.day.key = found->second;
    // Days last 23 to 25 hours: 30 hours on is always within the next one.
    span.next = calendar_->startOfDay(span.day.midnight + 30 * 3600.0);
    if (t >= span.day.midnight && t < span.next && !span.day.key.empty())
        lastDay_ = span;
    else
        span.next = span.day.midnight; // matches nothing: the calendar is asked again
    return span;
}

VelkoraChatOneDataSource::Day VelkoraChatOneDataSource::dayOf(const VelkoraMessageInternal& m) {
    useCurrentZone();
    return spanAt(deviceTimeOf(m)).day;
}

std::string VelkoraChatOneDataSource::dayKeyOf(const VelkoraMessageInternal& message) {
    return dayOf(message).key;
}

void VelkoraChatOneDataSource::addMessageToDateMessages(const VelkoraMessagePtr& message) {
    if (!message) return;
    const Day day = dayOf(*message);
    if (day.key.empty()) return;
    if (message->messageId() != 0) holdId(message->messageId());
    auto& list = listFor(day);
    list.insert(std::upper_bound(list.begin(), list.end(), message, earlier), message);
}

std::vector<VelkoraMessagePtr>& VelkoraChatOneDataSource::listFor(const Day& day) {
    auto& list = datesToMessages_[day.key];
    auto at = std::lower_bound(sectionsToDates_.begin(), sectionsToDates_.end(), day.midnight);
    if (at != sectionsToDates_.end() && *at == day.midnight) return list;
    const auto index = at - sectionsToDates_.begin();
    sectionsToDates_.insert(at, day.midnight);
    sectionKeys_.insert(sectionKeys_.begin() + index, day.key);
    // The map's nodes stay where they are while other days come and go.
    sectionLists_.insert(sectionLists_.begin() + index, &list);
    return list;
}

void VelkoraChatOneDataSource::removeMessage(const VelkoraMessageInternal* message) {
    for (size_t s = 0; s < sectionKeys_.size(); ++s) {
        auto& list = datesToMessages_[sectionKeys_[s]];
        auto it = std::find_if(list.begin(), list.end(), [&](const auto& m) { return m.get() == message; });
        if (it == list.end()) continue;
        list.erase(it);
        if (list.empty()) {
            sectionLists_.erase(sectionLists_.begin() + static_cast<long>(s));
            datesToMessages_.erase(sectionKeys_[s]);
            sectionKeys_.erase(sectionKeys_.begin() + static_cast<long>(s));
            sectionsToDates_.erase(sectionsToDates_.begin() + static_cast<long>(s));
        }
        break;
    }
    if (chat_) std::erase_if(chat_->mutableMessages(), [&](const auto& m) { return m.get() == message; });
    heights_.erase(message);
}

void VelkoraChatOneDataSource::resort() {
    // Filing already keeps days and their messages in order; sorting again costs little and keeps the
    // promise should a message's time have changed in place.
    for (auto& [key, list] : datesToMessages_)
        std::stable_sort(list.begin(), list.end(), earlier);
}

std::string VelkoraChatOneDataSource::getSectionDateString(int section) const {
    if (section < 0 || section >= static_cast<int>(sectionKeys_.size())) return {};
    return sectionKeys_[static_cast<size_t>(section)];
}

std::string VelkoraChatOneDataSource::getSectionHeaderText(int section) const {
    if (section < 0 || section >= static_cast<int>(sectionsToDates_.size())) return {};
    return headerFormatter_.stringFromDate(sectionsToDates_[static_cast<size_t>(section)]);
}

VelkoraMessagePtr VelkoraChatOneDataSource::getMessageFromIndexPath(const ui::IndexPath& ip) const {
    if (ip.section < 0 || ip.section >= static_cast<int>(sectionLists_.size()) || ip.row < 0) return nullptr;
    const auto& list = *sectionLists_[static_cast<size_t>(ip.section)];
    if (ip.row >= static_cast<int>(list.size())) return nullptr;
    return list[static_cast<size_t>(ip.row)];
}

std::optional<ui::IndexPath> VelkoraChatOneDataSource::indexPathOf(const VelkoraMessageInternal* message) const {
    // Newest first: the rows asked for are mostly the latest.
    for (size_t s = sectionLists_.size(); s-- > 0;) {
        const auto& list = *sectionLists_[s];
        for (size_t r = list.size(); r-- > 0;)
            if (list[r].get() == message) return ui::IndexPath::of(static_cast<int>(r), static_cast<int>(s));
    }
    return std::nullopt;
}

std::vector<VelkoraMessagePtr> VelkoraChatOneDataSource::allMessages() const {
    std::vector<VelkoraMessagePtr> all;
    for (const auto& key : sectionKeys_) {
        auto found = datesToMessages_.find(key);
        if (found != datesToMessages_.end()) all.insert(all.end(), found->second.begin(), found->second.end());
    }
    return all;
}

VelkoraMessagePtr VelkoraChatOneDataSource::oldestNumberedMessage() const {
    VelkoraMessagePtr oldest;
    for (const auto& [key, list] : datesToMessages_)
        for (const auto& m : list)
            if (m->messageId() != 0 && (!oldest || m->messageId() < oldest->messageId())) oldest = m;
    return oldest;
}

void VelkoraChatOneDataSource::setSendState(const VelkoraMessageInternal* message, VelkoraChatSendState state) {
    if (state == VelkoraChatSendState::Sent)
        sendStates_.erase(message);
    else
        sendStates_[message] = state;
}

VelkoraChatSendState VelkoraChatOneDataSource::sendState(const VelkoraMessageInternal* message) const {
    auto found = sendStates_.find(message);
    return found == sendStates_.end() ? VelkoraChatSendState::Sent : found->second;
}

void VelkoraChatOneDataSource::setLocalPicture(const VelkoraMessageInternal* message,
                                               std::shared_ptr<ui::Image> picture) {
    if (picture)
        localPictures_[message] = std::move(picture);
    else
        localPictures_.erase(message);
}

int VelkoraChatOneDataSource::numberOfSectionsInTableView(ui::TableView&) {
    return static_cast<int>(sectionsToDates_.size());
}

int VelkoraChatOneDataSource::numberOfRowsInSection(ui::TableView&, int section) {
    if (section < 0 || section >= static_cast<int>(sectionLists_.size())) return 0;
    return static_cast<int>(sectionLists_[static_cast<size_t>(section)]->size());
}

ui::TableViewCellPtr VelkoraChatOneDataSource::createMessageCell(const VelkoraMessagePtr& message) {
    if (!message) return nullptr;
    const std::string type = message->contentType().value_or("");
    const char* identifier = type == "text/plain" ? VelkoraMessageTableCell::kReuseIdentifier
                             : type == "sticker"  ? VelkoraStickerMessageTableCell::kReuseIdentifier
                             : type == "image"    ? VelkoraImageMessageTableCell::kReuseIdentifier
                                                  : nullptr;
    if (!identifier) return nullptr;
    std::shared_ptr<VelkoraChatOneTableCell> cell;
    if (auto table = messagesTable())
        cell = std::dynamic_pointer_cast<VelkoraChatOneTableCell>(table->dequeueReusableCellWithIdentifier(identifier));
    if (!cell) {
        if (type == "text/plain")
            cell = VelkoraMessageTableCell::initFromNib();
        else if (type == "sticker")
            cell = VelkoraStickerMessageTableCell::initFromNib();
        else
            cell = VelkoraImageMessageTableCell::initFromNib();
        if (!cell) return nullptr;
        cell->setBackgroundView(ui::View::create());
    }
    cell->setDelegate(delegate_);
    return cell;
}

ui::TableViewCellPtr VelkoraChatOneDataSource::cellForRowAtIndexPath(ui::TableView& table,
                                                                     const ui::IndexPath& indexPath) {
    VelkoraMessagePtr m = getMessageFromIndexPath(indexPath);
    ui::TableViewCellPtr made = createMessageCell(m);
    if (!made) {
        // A kind this chat cannot show still needs a row: an empty one of no height.
        auto empty = ui::TableViewCell::create(ui::TableViewCellStyle::Default, "chatemptycell");
        empty->setFrame({0, 0, table.bounds().width(), 0});
        return empty;
    }
    auto cell = std::static_pointer_cast<VelkoraChatOneTableCell>(made);
    cell->setFrame({0, 0, table.bounds().width(), cell->frame().height()});
    if (auto text = std::dynamic_pointer_cast<VelkoraMessageTableCell>(cell))
        text->setPresetLabelSize(measured(m).labelSize);
    cell->updateData(m);
    auto found = localPictures_.find(m.get());
    if (found != localPictures_.end())
        if (auto image = std::dynamic_pointer_cast<VelkoraImageMessageTableCell>(cell))
            image->showLocalPicture(found->second);
    cell->setSendState(sendState(m.get()));
    if (!lastShownIndexPath_ || *lastShownIndexPath_ < indexPath) lastShownIndexPath_ = indexPath;
    return cell;
}

VelkoraChatOneTableCell* VelkoraChatOneDataSource::measuringCell(const std::string& type) {
    auto& cell = measuringCells_[type];
    if (!cell) {
        // Measuring builds no table row: the cell is made once per kind and never shown.
        auto saved = messagesTable_;
        messagesTable_.reset();
        auto probe = std::make_shared<VelkoraMessageInternal>();
        probe->setContentType(type);
        cell = std::dynamic_pointer_cast<VelkoraChatOneTableCell>(createMessageCell(probe));
        messagesTable_ = saved;
    }
    return cell.get();
}

const VelkoraChatOneDataSource::Measured& VelkoraChatOneDataSource::measured(const VelkoraMessagePtr& message) {
    // The width is asked once and again only after a rotation: a reload of many rows costs lookups alone.
    if (heightsWidth_ < 0) {
        auto d = delegate();
        heightsWidth_ = chatRowWidth(d ? d->isOpenedAsFeature() : true);
        if (!rotationObserver_)
            rotationObserver_ = foundation::NotificationObserver(
                ui::kApplicationDidChangeStatusBarOrientationNotification, nullptr,
                [this](const foundation::Notification&) { forgetHeightsIfWidthChanged(); });
    }
    auto found = heights_.find(message.get());
    if (found != heights_.end()) return found->second;
    Measured m;
    const std::string type = message->contentType().value_or("");
    VelkoraChatOneTableCell* cell = measuringCell(type);
    if (cell) cell->setDelegate(delegate_);
    if (auto* text = dynamic_cast<VelkoraMessageTableCell*>(cell)) {
        m.labelSize = text->measureForRow(message->message().value_or(""));
        m.height = text->rowHeightFor(*m.labelSize);
    } else if (cell) {
        m.height = cell->getCellHeight(message->message().value_or(""));
    }
    return heights_.emplace(message.get(), m).first->second;
}

void VelkoraChatOneDataSource::forgetHeightsIfWidthChanged() {
    auto d = delegate();
    const double width = chatRowWidth(d ? d->isOpenedAsFeature() : true);
    if (width == heightsWidth_) return;
    heights_.clear();
    heightsWidth_ = width;
}

double VelkoraChatOneDataSource::getCellHeight(const VelkoraMessagePtr& message) {
    return message ? measured(message).height : 0;
}

} // namespace velkora
