// The mail sheet: exists only while the device has a mail account; the person fills or reads the
// subject, the recipients, the body (plain or HTML) and the attachments, then sends, saves a draft or
// cancels, and the sheet tells its mail delegate how it finished.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/services/MailOutbox.h"
#include "platform/ui/ComposeSheet.h"

namespace velkora::ui {

class MailComposeViewController;

enum MailComposeResult : int {
    MailComposeResultCancelled = 0,
    MailComposeResultSaved = 1,
    MailComposeResultSent = 2,
    MailComposeResultFailed = 3,
};

class MailComposeViewControllerDelegate {
public:
    virtual ~MailComposeViewControllerDelegate() = default;
    virtual void mailComposeControllerDidFinish(MailComposeViewController& controller, int result,
                                                const foundation::ErrorPtr& error) = 0;
};

class MailComposeViewController : public ComposeSheetViewController {
public:
    // Whether the device has a mail account to send from.
    static bool canSendMail();
    // Null when the device cannot send mail: a sheet without an account has nobody to send as.
    static std::shared_ptr<MailComposeViewController> create();

    const char* className() const override { return "MailComposeViewController"; }

    void setMailComposeDelegate(std::weak_ptr<MailComposeViewControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    void setSubject(std::string subject);
    void setToRecipients(std::vector<std::string> recipients);
    void setCcRecipients(std::vector<std::string> recipients);
    void setBccRecipients(std::vector<std::string> recipients);
    void setMessageBody(std::string body, bool isHTML);
    void addAttachmentData(std::string data, std::string mimeType, std::string fileName);

    const services::MailMessage& message() const { return message_; }

    // The person's choices besides Send and Cancel.
    void saveDraft();

protected:
    std::vector<std::pair<std::string, std::string>> formFields() const override;
    std::string formBody() const override;
    std::string formFootnote() const override;
    void cancelTapped() override;
    void actionTapped() override;

private:
    MailComposeViewController();
    void finish(int result, const foundation::ErrorPtr& error = nullptr);
    void changed();

    services::MailMessage message_;
    std::weak_ptr<MailComposeViewControllerDelegate> delegate_;
    bool finished_ = false;
};

} // namespace velkora::ui
