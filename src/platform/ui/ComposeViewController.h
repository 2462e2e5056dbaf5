// The tweet sheet: exists only while the device has a Twitter account. The person reads or edits the
// text; Post sends it as a signed statuses/update of the device's account and finishes with 1 (done)
// once Twitter took it; Cancel finishes with 0. A post Twitter refuses keeps the sheet open.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ComposeSheet.h"

namespace velkora::ui {

class Image;

enum ComposeViewControllerResult : int {
    ComposeViewControllerResultCancelled = 0,
    ComposeViewControllerResultDone = 1
};

class ComposeViewController : public ComposeSheetViewController {
public:
    static constexpr int kMaximumLength = 140;

    // The Twitter service type with at least one Twitter account on the device.
    static bool isAvailableForServiceType(const std::string& serviceType);
    // Null where the sheet is not available.
    static std::shared_ptr<ComposeViewController> composeViewControllerForServiceType(const std::string& serviceType);

    const char* className() const override { return "ComposeViewController"; }

    // False (text unchanged) when the text does not fit or the sheet is already on screen.
    bool setInitialText(const std::string& text);
    bool addURL(const std::string& url);
    bool addImage(std::shared_ptr<Image> image);
    // What the person typed instead (the driver's editing).
    void replaceText(const std::string& text);

    const std::string& text() const { return text_; }
    const std::vector<std::string>& urls() const { return urls_; }
    // The status that Post sends: the text, then each address after a blank.
    std::string status() const;
    // Characters left before the limit (negative when over).
    int charactersLeft() const;
    bool isPosting() const { return posting_; }

    // Runs once, on the main run loop.
    void setCompletionHandler(std::function<void(int result)> handler) { completion_ = std::move(handler); }

protected:
    std::vector<std::pair<std::string, std::string>> formFields() const override;
    std::string formBody() const override { return status(); }
    std::string formFootnote() const override;
    void cancelTapped() override;
    void actionTapped() override;
    void viewDidAppear(bool animated) override;

private:
    ComposeViewController();
    void finish(int result);
    void postFailed(const std::string& why);

    std::string text_;
    std::vector<std::string> urls_;
    std::vector<std::shared_ptr<Image>> images_;
    std::function<void(int)> completion_;
    std::string account_;
    std::string problem_;
    bool shown_ = false;
    bool posting_ = false;
    bool finished_ = false;
};

} // namespace velkora::ui
