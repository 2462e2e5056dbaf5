// What the device's mail account sent and the drafts it saved, in order; the mail sheet hands its
// messages here, as the mail application would.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace velkora::services {

struct MailAttachment {
    std::string data;
    std::string mimeType;
    std::string fileName;
};

struct MailMessage {
    std::string from;
    std::vector<std::string> toRecipients, ccRecipients, bccRecipients;
    std::string subject;
    std::string body;
    bool isHTML = false;
    std::vector<MailAttachment> attachments;
    double date = 0; // the run loop's clock
};

class MailOutbox {
public:
    static MailOutbox& instance();

    void send(MailMessage message);
    void saveDraft(MailMessage message);
    std::vector<MailMessage> sent() const;
    std::vector<MailMessage> drafts() const;

    void resetForTests();

private:
    MailOutbox() = default;
    mutable std::mutex mutex_;
    std::vector<MailMessage> sent_, drafts_;
};

} // namespace velkora::services
