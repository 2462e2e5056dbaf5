#include "platform/services/MailOutbox.h"

namespace velkora::services {

MailOutbox& MailOutbox::instance() {
    static MailOutbox outbox;
    return outbox;
}

void MailOutbox::send(MailMessage message) {
    std::lock_guard lock(mutex_);
    sent_.push_back(std::move(message));
}

void MailOutbox::saveDraft(MailMessage message) {
    std::lock_guard lock(mutex_);
    drafts_.push_back(std::move(message));
}

std::vector<MailMessage> MailOutbox::sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

std::vector<MailMessage> MailOutbox::drafts() const {
    std::lock_guard lock(mutex_);
    return drafts_;
}

void MailOutbox::resetForTests() {
    std::lock_guard lock(mutex_);
    sent_.clear();
    drafts_.clear();
}

} // namespace velkora::services
