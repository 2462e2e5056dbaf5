#include "platform/services/facebook/Dialogs.h"

#include <atomic>

#include "platform/foundation/Log.h"
#include "platform/services/Device.h"
#include "platform/services/facebook/Request.h"
#include "platform/services/facebook/Session.h"
#include "platform/ui/Window.h"

namespace velkora::services::facebook {

namespace {

std::atomic<bool> webDialogsAvailable{true};
std::atomic<bool> nativeDialogsAvailable{true};
std::weak_ptr<FeedDialogViewController> shownDialog;

} // namespace

// Over whatever the application shows, in a window of the dialog's own.
void showDialog(const std::shared_ptr<FeedDialogViewController>& dialog) {
    dialog->window_ = ui::Window::createFullScreen();
    dialog->window_->setWindowLevel(1000);
    dialog->window_->setRootViewController(dialog);
    dialog->window_->makeKeyAndVisible();
    shownDialog = dialog;
}

FeedDialogViewController::FeedDialogViewController(std::shared_ptr<Session> session, Parameters parameters, bool native,
                                                   Finish finish)
    : ComposeSheetViewController("Facebook", native ? "Post" : "Share"), session_(std::move(session)),
      parameters_(std::move(parameters)), native_(native), finish_(std::move(finish)) {}

std::shared_ptr<FeedDialogViewController> FeedDialogViewController::current() {
    return shownDialog.lock();
}

std::string FeedDialogViewController::value(const char* key) const {
    for (const auto& [k, v] : parameters_)
        if (k == key) return v;
    return {};
}

std::vector<std::pair<std::string, std::string>> FeedDialogViewController::formFields() const {
    std::vector<std::pair<std::string, std::string>> rows;
    std::string to = value("to");
    rows.emplace_back("To:", to.empty() ? "Your timeline" : "Friend " + to);
    if (!native_) rows.emplace_back("Title:", value("name"));
    rows.emplace_back("Link:", value("link"));
    return rows;
}

std::string FeedDialogViewController::formBody() const {
    std::string body = native_ ? value("message") : value("description");
    std::string caption = value("caption");
    return caption.empty() ? body : body + "\n\n" + caption;
}

std::string FeedDialogViewController::formFootnote() const {
    std::string picture = value("picture");
    return picture.empty() ? "" : "Picture: " + picture;
}

void FeedDialogViewController::cancelTapped() {
    finish(Outcome::Cancelled);
}

void FeedDialogViewController::close() {
    finish(Outcome::Closed);
}

void FeedDialogViewController::actionTapped() {
    if (posting_ || !finish_) return;
    auto session = session_ ? session_ : Session::activeSession();
    if (!session->isOpen()) {
        finish(Outcome::Failed, {}, foundation::makeError(kErrorDomain, kErrorLoginFailed));
        return;
    }
    posting_ = true;
    setActionEnabled(false);
    auto request = Request::create(session, "dialog/feed", parameters_);
    std::weak_ptr<FeedDialogViewController> weak =
        std::static_pointer_cast<FeedDialogViewController>(shared_from_this());
    request->startWithCompletionHandler([weak](const foundation::Value& result, const foundation::ErrorPtr& error) {
        auto self = weak.lock();
        if (!self) return;
        self->posting_ = false;
        auto postId = result["post_id"].toText();
        if (error || !postId)
            self->finish(Outcome::Failed, {}, error ? error : foundation::makeError(kErrorDomain, kErrorHttpError));
        else
            self->finish(Outcome::Posted, *postId);
    });
}

void FeedDialogViewController::finish(Outcome outcome, const std::string& postId, const foundation::ErrorPtr& error) {
    auto done = std::move(finish_);
    finish_ = nullptr;
    if (!done) return;
    if (window_) window_->setHidden(true);
    window_.reset();
    done(outcome, postId, error);
}

bool WebDialogs::isAvailable() {
    return webDialogsAvailable;
}

void WebDialogs::setAvailable(bool available) {
    webDialogsAvailable = available;
}

void WebDialogs::presentFeedDialogModallyWithSession(std::shared_ptr<Session> session,
                                                     FeedDialogViewController::Parameters parameters, Handler handler) {
    if (!isAvailable()) {
        foundation::Log::line("Velkora (W) - The Facebook web dialogs are not part of this library");
        return;
    }
    using Outcome = FeedDialogViewController::Outcome;
    auto dialog = std::make_shared<FeedDialogViewController>(
        std::move(session), std::move(parameters), false,
        [handler](Outcome outcome, const std::string& postId, const foundation::ErrorPtr& error) {
            if (!handler) return;
            switch (outcome) {
            case Outcome::Posted:
                handler(WebDialogResultDialogCompleted, "fbconnect://success?post_id=" + postId, nullptr);
                break;
            case Outcome::Cancelled:
                handler(WebDialogResultDialogCompleted, "fbconnect://success", nullptr);
                break;
            case Outcome::Closed:
                handler(WebDialogResultDialogNotCompleted, "", nullptr);
                break;
            case Outcome::Failed:
                handler(WebDialogResultDialogNotCompleted, "", error);
                break;
            }
        });
    showDialog(dialog);
}

bool NativeDialogs::isAvailable() {
    return nativeDialogsAvailable;
}

void NativeDialogs::setAvailable(bool available) {
    nativeDialogsAvailable = available;
}

bool NativeDialogs::canPresentShareDialogWithSession(const std::shared_ptr<Session>&) {
    return isAvailable() && Device::instance().facebookUser().has_value();
}

bool NativeDialogs::presentShareDialogModallyFrom(ui::ViewController*, const std::string& initialText,
                                                  std::shared_ptr<ui::Image>, const std::string& url, Handler handler) {
    if (!canPresentShareDialogWithSession(nullptr)) return false;
    using Outcome = FeedDialogViewController::Outcome;
    FeedDialogViewController::Parameters parameters;
    if (!initialText.empty()) parameters.emplace_back("message", initialText);
    if (!url.empty()) parameters.emplace_back("link", url);
    auto dialog = std::make_shared<FeedDialogViewController>(
        nullptr, std::move(parameters), true,
        [handler](Outcome outcome, const std::string&, const foundation::ErrorPtr& error) {
            if (!handler) return;
            int result = outcome == Outcome::Posted   ? NativeDialogResultSucceeded
                         : outcome == Outcome::Failed ? NativeDialogResultError
                                                      : NativeDialogResultCancelled;
            handler(result, error);
        });
    showDialog(dialog);
    return true;
}

} // namespace velkora::services::facebook
