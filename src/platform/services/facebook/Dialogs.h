// The Facebook library's dialogs: the web feed dialog, which posts to a wall through the graph's
// dialog/feed, and the native share dialog of the Facebook application. Each can be switched off, as a
// host linking an older library lacks it. Both show as a form over the application in a window of their
// own; a person (or a test) shares, cancels or closes it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/ui/ComposeSheet.h"

namespace velkora::ui {
class Image;
class ViewController;
class Window;
} // namespace velkora::ui

namespace velkora::services::facebook {

class Session;

enum WebDialogResult : int { WebDialogResultDialogCompleted = 0, WebDialogResultDialogNotCompleted = 1 };
enum NativeDialogResult : int {
    NativeDialogResultSucceeded = 0,
    NativeDialogResultCancelled = 1,
    NativeDialogResultError = 2,
};

// The form of a dialog on screen.
class FeedDialogViewController : public ui::ComposeSheetViewController {
public:
    using Parameters = std::vector<std::pair<std::string, std::string>>;
    enum class Outcome { Posted, Cancelled, Closed, Failed };
    using Finish = std::function<void(Outcome, const std::string& postId, const foundation::ErrorPtr& error)>;

    FeedDialogViewController(std::shared_ptr<Session> session, Parameters parameters, bool native, Finish finish);

    const char* className() const override { return "FeedDialogViewController"; }
    const Parameters& parameters() const { return parameters_; }
    // The close box at the dialog's corner (the web dialog's only; the form's Cancel is the dialog's own).
    void close();
    bool isPosting() const { return posting_; }

    // The dialog on screen now, if any.
    static std::shared_ptr<FeedDialogViewController> current();

protected:
    std::vector<std::pair<std::string, std::string>> formFields() const override;
    std::string formBody() const override;
    std::string formFootnote() const override;
    void cancelTapped() override;
    void actionTapped() override;

private:
    friend void showDialog(const std::shared_ptr<FeedDialogViewController>&);
    void finish(Outcome outcome, const std::string& postId = {}, const foundation::ErrorPtr& error = nullptr);
    std::string value(const char* key) const;

    std::shared_ptr<Session> session_;
    Parameters parameters_;
    bool native_;
    Finish finish_;
    bool posting_ = false;
    std::shared_ptr<ui::Window> window_;
};

class WebDialogs {
public:
    using Handler = std::function<void(int result, const std::string& resultURL, const foundation::ErrorPtr& error)>;

    static bool isAvailable();
    static void setAvailable(bool available);

    // Completed (0) with "fbconnect://success?post_id=..." once posted; completed without a post id
    // when the person cancels; not completed (1) when closed, and with the error when the post failed.
    // Without a session the active one posts.
    static void presentFeedDialogModallyWithSession(std::shared_ptr<Session> session,
                                                    FeedDialogViewController::Parameters parameters, Handler handler);
};

class NativeDialogs {
public:
    using Handler = std::function<void(int result, const foundation::ErrorPtr& error)>;

    static bool isAvailable();
    static void setAvailable(bool available);
    // The Facebook application is there and has a user signed in.
    static bool canPresentShareDialogWithSession(const std::shared_ptr<Session>& session);
    // False, showing nothing, where the share dialog cannot be presented.
    static bool presentShareDialogModallyFrom(ui::ViewController* viewController, const std::string& initialText,
                                              std::shared_ptr<ui::Image> image, const std::string& url,
                                              Handler handler);
};

} // namespace velkora::services::facebook
