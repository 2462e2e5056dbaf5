#include "social/VelkoraIdentityFields.h"

#include <map>
#include <utility>

#include "data/VelkoraSessionRecords.h"
#include "data/VelkoraUserInfo.h"

namespace velkora {

namespace {

struct Replaced {
    int64_t id = 0;
    VelkoraIdentityFields before;
};

std::map<int32_t, Replaced>& replacedByMethod() {
    static std::map<int32_t, Replaced> m;
    return m;
}

} // namespace

VelkoraIdentityFields VelkoraIdentityFields::of(const VelkoraUserInfo& info) {
    VelkoraIdentityFields f;
    f.twitterId = info.twitterId();
    f.twitterName = info.twitterName();
    f.twitterPhoto = info.twitterPhoto();
    f.twitterLocation = info.twitterLocation();
    f.twitterAccountIdentifier = info.twitterAccountIdentifier();
    f.fbId = info.fbId();
    f.fbFirstName = info.fbFirstName();
    f.fbLastName = info.fbLastName();
    f.fbLocation = info.fbLocation();
    f.fbPhoto = info.fbPhoto();
    f.emailId = info.emailId();
    f.emailName = info.emailName();
    f.emailPhoto = info.emailPhoto();
    f.userInfoSource = info.userInfoSource();
    return f;
}

void VelkoraIdentityFields::restore(VelkoraUserInfo& info, int32_t method) const {
    switch (method) {
    case 1:
        info.setEmailId(emailId);
        info.setEmailName(emailName);
        info.setEmailPhoto(emailPhoto);
        break;
    case 2:
        info.setFbId(fbId);
        info.setFbFirstName(fbFirstName);
        info.setFbLastName(fbLastName);
        info.setFbLocation(fbLocation);
        info.setFbPhoto(fbPhoto);
        break;
    case 3:
        info.setTwitterId(twitterId);
        info.setTwitterName(twitterName);
        info.setTwitterPhoto(twitterPhoto);
        info.setTwitterLocation(twitterLocation);
        info.setTwitterAccountIdentifier(twitterAccountIdentifier);
        break;
    default:
        break;
    }
    info.setUserInfoSource(userInfoSource);
}

void VelkoraIdentityFields::adopt(const VelkoraIdentityFields& o, int32_t method) {
    if (method == 1) {
        emailId = o.emailId;
        emailName = o.emailName;
        emailPhoto = o.emailPhoto;
    } else if (method == 2) {
        fbId = o.fbId;
        fbFirstName = o.fbFirstName;
        fbLastName = o.fbLastName;
        fbLocation = o.fbLocation;
        fbPhoto = o.fbPhoto;
    } else if (method == 3) {
        twitterId = o.twitterId;
        twitterName = o.twitterName;
        twitterPhoto = o.twitterPhoto;
        twitterLocation = o.twitterLocation;
        twitterAccountIdentifier = o.twitterAccountIdentifier;
    }
}

void VelkoraIdentityFields::clearTwitter(VelkoraUserInfo& info) {
    info.setTwitterId(0);
    info.setTwitterName(std::nullopt);
    info.setTwitterPhoto(std::nullopt);
    info.setTwitterLocation(std::nullopt);
    info.setTwitterAccountIdentifier(std::nullopt);
}

void VelkoraIdentityFields::clearFacebook(VelkoraUserInfo& info) {
    info.setFbId(0);
    info.setFbFirstName(std::nullopt);
    info.setFbLastName(std::nullopt);
    info.setFbLocation(std::nullopt);
    info.setFbPhoto(std::nullopt);
}

void VelkoraIdentityFields::clearEmail(VelkoraUserInfo& info) {
    info.setEmailId(std::string());
    info.setEmailName(std::nullopt);
    info.setEmailPhoto(std::nullopt);
}

void VelkoraIdentityFields::rememberReplaced(int32_t method, int64_t newId, const VelkoraIdentityFields& before) {
    replacedByMethod()[method] = Replaced{newId, before};
}

std::optional<VelkoraIdentityFields> VelkoraIdentityFields::takeReplaced(int32_t method, int64_t id) {
    auto& m = replacedByMethod();
    auto it = m.find(method);
    if (it == m.end()) return std::nullopt;
    Replaced r = std::move(it->second);
    m.erase(it);
    if (r.id != id) return std::nullopt;
    return r.before;
}

void VelkoraIdentityFields::putBackReplaced(int32_t method, int64_t id) {
    auto before = takeReplaced(method, id);
    auto& agent = VelkoraSessionRecords::current();
    auto info = agent.getUserInfo();
    if (!before || !info) return;
    before->restore(*info, method);
    agent.saveUserInfo();
}

void VelkoraIdentityFields::forgetReplaced() {
    replacedByMethod().clear();
}

} // namespace velkora
