// The simulated device the platform's services read: location services, the store account, the mail
// account, the social accounts, the contacts, the album and the camera, and the prompts through which the
// person holding the device grants or refuses access. Tests set it in C++; hosts load a JSON profile
// (the file named by $VELKORA_DEVICE is read when the device is first used).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"

namespace velkora::ui {
class AlertView;
}

namespace velkora::services {

// A position fix of the device's location source.
struct LocationFix {
    double latitude = 0;
    double longitude = 0;
    double horizontalAccuracy = 10; // metres
};

struct TwitterAccount {
    std::string username;   // "velkora_demo", without the "@"
    std::string identifier; // the account's Twitter user id, decimal
    std::string token;      // the OAuth token and its secret that sign the account's requests
    std::string secret;
};

struct FacebookUser {
    std::string userId; // decimal
    std::string name;
    std::string password; // what the device signed in to Facebook with
};

struct Contact {
    std::string firstName;
    std::string lastName;
    std::vector<std::string> emails; // in the address book's order; may be empty
    std::string imageData;           // encoded picture bytes; empty when the contact has no photo
};

struct AlbumPhoto {
    std::string name;
    std::string data; // encoded picture bytes (PNG or JPEG)
};

// What the device was answered when it registered for push notifications.
struct PushRegistration {
    bool granted = true;
    std::string deviceToken; // hexadecimal; empty: registration fails
};

// The prompts the person holding the device answers. The first four ask for access to private data,
// and their answers are remembered.
enum class Prompt { Contacts, Location, Photos, TwitterAccounts, Purchase, FacebookLogin };

// How the person answers a prompt: at once, either way, or by a tap on the alert it shows.
enum class PromptPolicy { Grant, Refuse, Ask };

// Access to private data as the platform reports it.
enum class AuthorizationStatus { NotDetermined = 0, Restricted = 1, Denied = 2, Authorized = 3 };

struct DeviceProfile {
    bool locationServicesEnabled = true;
    std::optional<LocationFix> position; // where the device is; none until it has a fix
    std::vector<LocationFix> route;      // fixes played one after another
    double routeInterval = 1;            // seconds between two fixes of the route

    std::optional<std::string> storeAccount; // the store account signed in on the device
    std::string storePassword;               // what the device signed in to that account with
    bool canMakePayments = true;             // false when purchases are restricted
    std::optional<std::string> mailAccount;  // the mail address the device sends from

    std::vector<TwitterAccount> twitterAccounts;
    std::optional<FacebookUser> facebookUser; // signed in to Facebook on this device

    std::vector<Contact> contacts;
    std::vector<AlbumPhoto> album;
    bool cameraAvailable = true;

    PushRegistration pushRegistration;

    // Every prompt not named here asks.
    std::map<Prompt, PromptPolicy> prompts;
    // Privacy answers already given (true granted); a prompt with an answer here is not asked again.
    std::map<Prompt, bool> privacyAnswers;
};

// The texts of one prompt's alert, where the caller has more to say than the kind's defaults.
struct PromptText {
    std::string title;
    std::string message;
};

class Device {
public:
    static Device& instance();

    // Everything the device holds, as one copy.
    DeviceProfile profile() const;
    void setProfile(DeviceProfile profile);
    // Changes the device in place, under its lock.
    void update(const std::function<void(DeviceProfile&)>& change);

    // Reads a JSON profile; pictures are files relative to the profile's folder. On failure the device is
    // unchanged and the error says why.
    foundation::ErrorPtr loadProfile(const std::string& path);

    // Convenience reads of the profile.
    bool canMakePayments() const;
    std::optional<std::string> storeAccount() const;
    std::string storePassword() const;
    std::optional<std::string> mailAccount() const;
    std::vector<TwitterAccount> twitterAccounts() const;
    std::optional<FacebookUser> facebookUser() const;
    std::vector<Contact> contacts() const;
    std::vector<AlbumPhoto> album() const;
    std::optional<LocationFix> position() const;
    bool locationServicesEnabled() const;

    // The camera: the next shot taken; without one set, the camera shoots a plain frame of its own.
    void setNextCameraShot(std::string imageData);
    std::optional<std::string> takeNextCameraShot();

    // Prompts.
    void setPromptPolicy(Prompt kind, PromptPolicy policy);
    PromptPolicy promptPolicy(Prompt kind) const;
    // The remembered answer of a privacy prompt, or NotDetermined.
    AuthorizationStatus authorizationStatus(Prompt kind) const;
    // Asks the person. `completion` runs exactly once with the answer: for contacts and Twitter accounts
    // on the device's own dispatch queue (a reader that waits for it on another thread never blocks the
    // main thread it needs for the alert), for the others on the main run loop. A privacy prompt answered
    // before answers again at once. Callable from any thread.
    void ask(Prompt kind, std::function<void(bool granted)> completion, PromptText text = {});
    // The person's answer to a waiting prompt (as a tap on its alert would give it); false when none waits.
    bool answerPrompt(Prompt kind, bool allow);
    bool isPromptWaiting(Prompt kind) const;
    // The alert of a waiting prompt once it shows; null otherwise. Main thread.
    std::shared_ptr<ui::AlertView> promptAlert(Prompt kind) const;

    // The standard texts of a prompt, with the application's name filled in.
    static PromptText defaultPromptText(Prompt kind);
    // "contacts", "location", "photos", "twitterAccounts", "purchase", "facebookLogin".
    static const char* promptName(Prompt kind);
    static bool isPrivacyPrompt(Prompt kind);

    // An empty device without prompts waiting (pending completions are dropped, never called); for tests.
    void resetForTests();

    struct Pending;

private:
    Device();
    template <class T> T read(T DeviceProfile::*field) const;
    void showAlert(Prompt kind);
    friend class PromptAlertDelegate;
    bool resolve(Prompt kind, bool allow, bool dismissAlert);
    void deliver(Prompt kind, std::function<void(bool)> completion, bool granted);

    mutable std::mutex mutex_;
    DeviceProfile profile_;
    std::optional<std::string> nextCameraShot_;
    std::map<Prompt, std::shared_ptr<Pending>> pending_;
};

} // namespace velkora::services
