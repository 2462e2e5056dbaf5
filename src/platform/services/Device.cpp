#include "platform/services/Device.h"

#include <cstdlib>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/DeviceProfileFile.h"
#include "platform/ui/AlertView.h"

namespace velkora::services {

using foundation::RunLoop;

namespace {

// Contacts and accounts answers arrive here, off the main thread, as the platform delivers them.
foundation::DispatchQueue& answerQueue() {
    static std::shared_ptr<foundation::DispatchQueue> queue =
        foundation::DispatchQueue::create("velkora.device.access");
    return *queue;
}

bool answersOffMainThread(Prompt kind) {
    return kind == Prompt::Contacts || kind == Prompt::TwitterAccounts;
}

std::string applicationName() {
    const foundation::Value& info = foundation::Bundle::main().infoDictionary();
    for (const char* key : {"CFBundleDisplayName", "CFBundleName"})
        if (auto name = info[key].toText(); name && !name->empty()) return *name;
    return "This App";
}

// The alert's buttons: the refusal is the cancel button (index 0), the grant the other one (index 1).
struct ButtonTitles {
    const char* refuse;
    const char* allow;
};

ButtonTitles buttonTitlesOf(Prompt kind) {
    switch (kind) {
    case Prompt::Purchase:
        return {"Cancel", "Buy"};
    case Prompt::FacebookLogin:
        return {"Cancel", "Continue"};
    default:
        return {"Don't Allow", "OK"};
    }
}

} // namespace

// The alert's taps answer its prompt; the tap itself takes the alert away.
class PromptAlertDelegate final : public ui::AlertViewDelegate {
public:
    explicit PromptAlertDelegate(Prompt kind) : kind_(kind) {}
    void clickedButtonAtIndex(ui::AlertView& alert, int index) override {
        Device::instance().resolve(kind_, index != alert.cancelButtonIndex(), false);
    }

private:
    Prompt kind_;
};

// One prompt on screen (or about to be), and everyone waiting for its answer.
struct Device::Pending {
    PromptText text;
    std::vector<std::function<void(bool)>> completions;
    std::shared_ptr<ui::AlertView> alert;
    std::shared_ptr<PromptAlertDelegate> delegate;
};

Device& Device::instance() {
    static Device* device = [] {
        auto* d = new Device();
        if (const char* path = std::getenv("VELKORA_DEVICE"); path && *path) {
            if (auto error = d->loadProfile(path))
                foundation::Log::line("Velkora (E) - device profile %@ not loaded: %@", path, error->description());
        }
        return d;
    }();
    return *device;
}

Device::Device() = default;

DeviceProfile Device::profile() const {
    std::lock_guard lock(mutex_);
    return profile_;
}

void Device::setProfile(DeviceProfile profile) {
    std::lock_guard lock(mutex_);
    profile_ = std::move(profile);
}

void Device::update(const std::function<void(DeviceProfile&)>& change) {
    std::lock_guard lock(mutex_);
    change(profile_);
}

foundation::ErrorPtr Device::loadProfile(const std::string& path) {
    foundation::ErrorPtr error;
    auto loaded = readDeviceProfile(path, &error);
    if (!loaded) return error;
    setProfile(std::move(*loaded));
    return nullptr;
}

template <class T> T Device::read(T DeviceProfile::*field) const {
    std::lock_guard lock(mutex_);
    return profile_.*field;
}

bool Device::canMakePayments() const {
    return read(&DeviceProfile::canMakePayments);
}
std::optional<std::string> Device::storeAccount() const {
    return read(&DeviceProfile::storeAccount);
}

std::string Device::storePassword() const {
    return read(&DeviceProfile::storePassword);
}
std::optional<std::string> Device::mailAccount() const {
    return read(&DeviceProfile::mailAccount);
}
std::vector<TwitterAccount> Device::twitterAccounts() const {
    return read(&DeviceProfile::twitterAccounts);
}
std::optional<FacebookUser> Device::facebookUser() const {
    return read(&DeviceProfile::facebookUser);
}
std::vector<Contact> Device::contacts() const {
    return read(&DeviceProfile::contacts);
}
std::vector<AlbumPhoto> Device::album() const {
    return read(&DeviceProfile::album);
}
std::optional<LocationFix> Device::position() const {
    return read(&DeviceProfile::position);
}
bool Device::locationServicesEnabled() const {
    return read(&DeviceProfile::locationServicesEnabled);
}

void Device::setNextCameraShot(std::string imageData) {
    std::lock_guard lock(mutex_);
    nextCameraShot_ = std::move(imageData);
}

std::optional<std::string> Device::takeNextCameraShot() {
    std::lock_guard lock(mutex_);
    auto shot = std::move(nextCameraShot_);
    nextCameraShot_.reset();
    return shot;
}

void Device::setPromptPolicy(Prompt kind, PromptPolicy policy) {
    std::lock_guard lock(mutex_);
    profile_.prompts[kind] = policy;
}

PromptPolicy Device::promptPolicy(Prompt kind) const {
    std::lock_guard lock(mutex_);
    auto it = profile_.prompts.find(kind);
    return it == profile_.prompts.end() ? PromptPolicy::Ask : it->second;
}

AuthorizationStatus Device::authorizationStatus(Prompt kind) const {
    std::lock_guard lock(mutex_);
    auto it = profile_.privacyAnswers.find(kind);
    if (it == profile_.privacyAnswers.end()) return AuthorizationStatus::NotDetermined;
    return it->second ? AuthorizationStatus::Authorized : AuthorizationStatus::Denied;
}

bool Device::isPrivacyPrompt(Prompt kind) {
    return kind == Prompt::Contacts || kind == Prompt::Location || kind == Prompt::Photos ||
           kind == Prompt::TwitterAccounts;
}

const char* Device::promptName(Prompt kind) {
    switch (kind) {
    case Prompt::Contacts:
        return "contacts";
    case Prompt::Location:
        return "location";
    case Prompt::Photos:
        return "photos";
    case Prompt::TwitterAccounts:
        return "twitterAccounts";
    case Prompt::Purchase:
        return "purchase";
    case Prompt::FacebookLogin:
        return "facebookLogin";
    }
    return "";
}

PromptText Device::defaultPromptText(Prompt kind) {
    std::string app = applicationName();
    switch (kind) {
    case Prompt::Contacts:
        return {foundation::format("\u201C%@\u201D Would Like to Access Your Contacts", app), {}};
    case Prompt::Location:
        return {foundation::format("\u201C%@\u201D Would Like to Use Your Current Location", app), {}};
    case Prompt::Photos:
        return {foundation::format("\u201C%@\u201D Would Like to Access Your Photos", app), {}};
    case Prompt::TwitterAccounts:
        return {foundation::format("\u201C%@\u201D Would Like to Access Your Twitter Accounts", app), {}};
    case Prompt::Purchase:
        return {"Confirm Your In-App Purchase", {}};
    case Prompt::FacebookLogin:
        return {foundation::format("\u201C%@\u201D Wants to Use \u201Cfacebook.com\u201D to Sign In", app), {}};
    }
    return {};
}

void Device::deliver(Prompt kind, std::function<void(bool)> completion, bool granted) {
    if (!completion) return;
    auto task = [completion = std::move(completion), granted] { completion(granted); };
    if (answersOffMainThread(kind))
        answerQueue().async(std::move(task));
    else
        RunLoop::main().post(std::move(task));
}

void Device::ask(Prompt kind, std::function<void(bool granted)> completion, PromptText text) {
    bool showNow = false;
    {
        std::unique_lock lock(mutex_);
        if (isPrivacyPrompt(kind)) {
            if (auto it = profile_.privacyAnswers.find(kind); it != profile_.privacyAnswers.end()) {
                bool granted = it->second;
                lock.unlock();
                deliver(kind, std::move(completion), granted);
                return;
            }
        }
        auto policy = profile_.prompts.count(kind) ? profile_.prompts[kind] : PromptPolicy::Ask;
        if (policy != PromptPolicy::Ask) {
            bool granted = policy == PromptPolicy::Grant;
            if (isPrivacyPrompt(kind)) profile_.privacyAnswers[kind] = granted;
            lock.unlock();
            deliver(kind, std::move(completion), granted);
            return;
        }
        auto& pending = pending_[kind];
        if (!pending) {
            pending = std::make_shared<Pending>();
            pending->text = text.title.empty() ? defaultPromptText(kind) : std::move(text);
            showNow = true;
        }
        pending->completions.push_back(std::move(completion));
    }
    if (!showNow) return;
    if (RunLoop::main().isLoopThread())
        showAlert(kind);
    else
        RunLoop::main().post([this, kind] { showAlert(kind); });
}

void Device::showAlert(Prompt kind) {
    std::shared_ptr<Pending> pending;
    {
        std::lock_guard lock(mutex_);
        auto it = pending_.find(kind);
        if (it == pending_.end() || it->second->alert) return; // answered before it could show
        pending = it->second;
    }
    auto titles = buttonTitlesOf(kind);
    auto delegate = std::make_shared<PromptAlertDelegate>(kind);
    auto alert = ui::AlertView::create(pending->text.title, pending->text.message, delegate, std::string(titles.refuse),
                                       {titles.allow});
    {
        std::lock_guard lock(mutex_);
        pending->alert = alert;
        pending->delegate = delegate;
    }
    alert->show();
}

bool Device::answerPrompt(Prompt kind, bool allow) {
    return resolve(kind, allow, true);
}

bool Device::resolve(Prompt kind, bool allow, bool dismissAlert) {
    std::shared_ptr<Pending> pending;
    {
        std::lock_guard lock(mutex_);
        auto it = pending_.find(kind);
        if (it == pending_.end()) return false;
        pending = std::move(it->second);
        pending_.erase(it);
        if (isPrivacyPrompt(kind)) profile_.privacyAnswers[kind] = allow;
    }
    // A tap has already taken the alert away; an answer given otherwise takes it away here.
    if (dismissAlert && pending->alert && pending->alert->isVisible()) {
        auto alert = pending->alert;
        auto dismiss = [alert] {
            if (alert->isVisible()) alert->dismissWithClickedButtonIndex(alert->cancelButtonIndex(), false);
        };
        if (RunLoop::main().isLoopThread())
            dismiss();
        else
            RunLoop::main().post(dismiss);
    }
    for (auto& completion : pending->completions)
        deliver(kind, std::move(completion), allow);
    return true;
}

bool Device::isPromptWaiting(Prompt kind) const {
    std::lock_guard lock(mutex_);
    return pending_.count(kind) != 0;
}

std::shared_ptr<ui::AlertView> Device::promptAlert(Prompt kind) const {
    std::lock_guard lock(mutex_);
    auto it = pending_.find(kind);
    return it == pending_.end() ? nullptr : it->second->alert;
}

void Device::resetForTests() {
    std::map<Prompt, std::shared_ptr<Pending>> dropped;
    {
        std::lock_guard lock(mutex_);
        profile_ = DeviceProfile();
        nextCameraShot_.reset();
        dropped.swap(pending_);
    }
    for (auto& [kind, pending] : dropped)
        if (pending->alert && pending->alert->isVisible()) pending->alert->dismissWithClickedButtonIndex(0, false);
}

} // namespace velkora::services
