// A user as the host sees it: the current user or another one, read through to the kit's own record of
// that user, so values change as the kit learns more. Completions run once, on the main loop's thread,
// with the user concerned and whether the operation succeeded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velkora/Export.h"
#include "velkora/VelkoraHost.h"

namespace velkora {

class VELKORA_EXPORT VelkoraUser {
public:
    using Completion = std::function<void(std::shared_ptr<VelkoraUser> user, bool succeeded)>;

    // The current user; null before the kit has one.
    static std::shared_ptr<VelkoraUser> currentUser();
    // The user of that id: at once when the kit already knows the user, else after the service answers.
    // An empty id, or a service that does not know the id or fails, answers (null, false).
    static void getUserByVelkoraId(const std::string& userId, Completion completion);
    // Log-in and sign-up by e-mail; they answer once the kit has the signed-in user's data. A user who is
    // already signed in, or an empty password, answers (current user, false) and sends nothing.
    static void loginWithEmail(const std::string& email, const std::string& password, Completion completion);
    static void signUpWithEmail(const std::string& email, const std::string& userName, const std::string& password,
                                Completion completion);
    static void loginWithFacebook(Completion completion);
    // The Twitter log-in shows its account chooser over the view (none: the key window).
    static void loginWithTwitter(Completion completion, const std::shared_ptr<VelkoraView>& view = nullptr);
    // A signed-out user answers (current user, true) and sends nothing.
    static void logout(Completion completion);
    // Both answer with the service's answer: (current user, true) once it accepted, false when it refused
    // or could not be reached.
    static void forgotPassword(const std::string& email, Completion completion);
    static void changePassword(const std::string& newPassword, Completion completion);
    // A PNG or JPEG picture, scaled and cropped to 200 x 200; bytes that are no picture answer (null, false).
    static void uploadUserImage(const std::vector<std::uint8_t>& pictureBytes, Completion completion);
    // Sends the current user's changed details; a failing service answers (current user, false).
    static void save(Completion completion);

    std::optional<std::string> userId() const;
    std::int64_t facebookId() const;
    std::int64_t twitterId() const;
    // Where the user was last seen; none when unknown.
    std::optional<VelkoraGeoLocation> location() const;
    double distanceFromMe() const;
    int numFollowers() const;
    int numFollowing() const;
    int numPosts() const;
    bool isBlockedByMe() const;
    bool isReportedByMe() const;
    bool isFollowedByMe() const;
    // The setters change this object only (a user who is not the current one logs a warning); save()
    // sends the current user's.
    std::string firstName() const;
    void setFirstName(const std::string& firstName);
    std::string lastName() const;
    void setLastName(const std::string& lastName);
    // The picture's address at 200 x 200.
    std::optional<std::string> photoUrl() const;
    void setPhotoUrl(const std::string& url);
    std::optional<std::string> email() const;
    void setEmail(const std::string& email);
    std::optional<std::string> bio() const;
    void setBio(const std::string& bio);
    bool isCurrent() const;
    bool isAuthenticated() const;

    struct Impl;
    explicit VelkoraUser(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
    const std::shared_ptr<Impl>& impl() const { return impl_; }

private:
    std::shared_ptr<Impl> impl_;
};

} // namespace velkora
