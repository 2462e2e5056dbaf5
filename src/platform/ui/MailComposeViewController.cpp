#include "platform/ui/MailComposeViewController.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/Device.h"

namespace velkora::ui {

namespace {

std::string joined(const std::vector<std::string>& list) {
    std::string out;
    for (const auto& item : list)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

// An HTML body as the sheet shows it: the text without its tags, line breaks kept.
std::string htmlAsText(const std::string& html) {
    std::string out;
    for (size_t i = 0; i < html.size(); ++i) {
        if (html[i] == '<') {
            size_t end = html.find('>', i);
            if (end == std::string::npos) break;
            std::string tag = html.substr(i + 1, end - i - 1);
            for (char& c : tag)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (tag.rfind("br", 0) == 0 || tag == "/p" || tag == "/div") out += '\n';
            i = end;
            continue;
        }
        static const std::pair<const char*, char> entities[] = {{"&amp;", '&'},  {"&lt;", '<'},   {"&gt;", '>'},
                                                                {"&quot;", '"'}, {"&#39;", '\''}, {"&nbsp;", ' '}};
        bool replaced = false;
        for (const auto& [entity, c] : entities) {
            size_t n = std::char_traits<char>::length(entity);
            if (html.compare(i, n, entity) == 0) {
                out += c;
                i += n - 1;
                replaced = true;
                break;
            }
        }
        if (!replaced) out += html[i];
    }
    return out;
}

} // namespace

bool MailComposeViewController::canSendMail() {
    return services::Device::instance().mailAccount().has_value();
}

std::shared_ptr<MailComposeViewController> MailComposeViewController::create() {
    if (!canSendMail()) {
        foundation::Log::line("Velkora (W) - The device has no mail account: no mail sheet");
        return nullptr;
    }
    return std::shared_ptr<MailComposeViewController>(new MailComposeViewController());
}

MailComposeViewController::MailComposeViewController() : ComposeSheetViewController("New Message", "Send") {
    message_.from = services::Device::instance().mailAccount().value_or("");
    setActionEnabled(false);
}

void MailComposeViewController::changed() {
    // The mail application sends nothing without a recipient.
    setActionEnabled(!message_.toRecipients.empty() || !message_.ccRecipients.empty() ||
                     !message_.bccRecipients.empty());
    refreshForm();
}

void MailComposeViewController::setSubject(std::string subject) {
    message_.subject = std::move(subject);
    setTitle(message_.subject.empty() ? "New Message" : message_.subject);
    changed();
}

void MailComposeViewController::setToRecipients(std::vector<std::string> recipients) {
    message_.toRecipients = std::move(recipients);
    changed();
}

void MailComposeViewController::setCcRecipients(std::vector<std::string> recipients) {
    message_.ccRecipients = std::move(recipients);
    changed();
}

void MailComposeViewController::setBccRecipients(std::vector<std::string> recipients) {
    message_.bccRecipients = std::move(recipients);
    changed();
}

void MailComposeViewController::setMessageBody(std::string body, bool isHTML) {
    message_.body = std::move(body);
    message_.isHTML = isHTML;
    changed();
}

void MailComposeViewController::addAttachmentData(std::string data, std::string mimeType, std::string fileName) {
    message_.attachments.push_back({std::move(data), std::move(mimeType), std::move(fileName)});
    changed();
}

std::vector<std::pair<std::string, std::string>> MailComposeViewController::formFields() const {
    std::vector<std::pair<std::string, std::string>> rows = {{"To:", joined(message_.toRecipients)}};
    if (!message_.ccRecipients.empty() || !message_.bccRecipients.empty())
        rows.emplace_back("Cc/Bcc:",
                          joined(message_.ccRecipients) +
                              (message_.bccRecipients.empty() ? "" : " / " + joined(message_.bccRecipients)));
    rows.emplace_back("From:", message_.from);
    rows.emplace_back("Subject:", message_.subject);
    return rows;
}

std::string MailComposeViewController::formBody() const {
    return message_.isHTML ? htmlAsText(message_.body) : message_.body;
}

std::string MailComposeViewController::formFootnote() const {
    std::string names;
    for (const auto& a : message_.attachments)
        names += (names.empty() ? "" : ", ") + a.fileName;
    return names.empty() ? "" : "Attached: " + names;
}

void MailComposeViewController::cancelTapped() {
    finish(MailComposeResultCancelled);
}

void MailComposeViewController::saveDraft() {
    if (finished_) return;
    services::MailOutbox::instance().saveDraft(message_);
    finish(MailComposeResultSaved);
}

void MailComposeViewController::actionTapped() {
    if (finished_) return;
    // The account may have gone while the sheet was up: nothing can be sent then.
    auto account = services::Device::instance().mailAccount();
    if (!account) {
        finish(MailComposeResultFailed, foundation::makeError("MailComposeErrorDomain", 1));
        return;
    }
    services::MailMessage message = message_;
    message.from = *account;
    message.date = foundation::RunLoop::main().now();
    services::MailOutbox::instance().send(std::move(message));
    finish(MailComposeResultSent);
}

void MailComposeViewController::finish(int result, const foundation::ErrorPtr& error) {
    if (finished_) return;
    finished_ = true;
    if (auto delegate = delegate_.lock()) delegate->mailComposeControllerDidFinish(*this, result, error);
}

} // namespace velkora::ui
