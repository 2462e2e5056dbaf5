#include "data/VelkoraActivityKey.h"

#include <cmath>
#include <typeinfo>

#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"

namespace velkora {

namespace {

bool anonymous(const VelkoraUserPtr& user) {
    return user && user->isAnonymous();
}

// The item as a post or as a like: the exact types are told apart by their type alone, which is what a
// pass over thousands of items can afford; anything else is cast.
struct Kinds {
    const VelkoraFeedMessage* post = nullptr;
    const VelkoraLikeObject* like = nullptr;

    explicit Kinds(const VelkoraActivityModel& item) {
        const std::type_info& type = typeid(item);
        if (type == typeid(VelkoraFeedMessage)) {
            post = static_cast<const VelkoraFeedMessage*>(&item);
        } else if (type == typeid(VelkoraLikeObject)) {
            like = static_cast<const VelkoraLikeObject*>(&item);
        } else {
            post = dynamic_cast<const VelkoraFeedMessage*>(&item);
            if (!post) like = dynamic_cast<const VelkoraLikeObject*>(&item);
        }
    }
};

VelkoraActivityKey keyOf(const VelkoraActivityModel& item, const Kinds& kinds) {
    VelkoraActivityKey key;
    const OptionalDate time = item.getActivityTime();
    // Floor, not truncation: times before 1970 still fall into one second each.
    if (time && std::isfinite(*time) && std::fabs(*time) < 9.0e15) {
        key.hasTime = true;
        key.seconds = static_cast<int64_t>(std::floor(*time));
    }
    key.isPost = !item.isLike();
    if (kinds.post)
        key.id = kinds.post->messageId();
    else if (kinds.like)
        key.id = kinds.like->objectId();
    return key;
}

bool hiddenOf(const VelkoraActivityModel& item, const Kinds& kinds) {
    if (item.isLike()) {
        // A like's poster is its first liker.
        if (kinds.like) return !kinds.like->users().empty() && anonymous(kinds.like->users().front());
        return anonymous(item.getPoster());
    }
    // A post about a followed user goes when either of the two is anonymous.
    return kinds.post && (anonymous(kinds.post->sender()) || anonymous(kinds.post->otherUser()));
}

int32_t changeOf(const VelkoraActivityModel& item, const Kinds& kinds) {
    return item.isLike() && kinds.like ? kinds.like->changeNumber() : 0;
}

} // namespace

VelkoraActivityKey VelkoraActivityKey::of(const VelkoraActivityModel& item) {
    return keyOf(item, Kinds(item));
}

bool VelkoraActivityKey::newerFirst(const VelkoraActivityKey& a, const VelkoraActivityKey& b) {
    if (a.hasTime != b.hasTime) return a.hasTime;
    if (a.hasTime && a.seconds != b.seconds) return a.seconds > b.seconds;
    if (a.isPost != b.isPost) return a.isPost;
    return a.id > b.id;
}

bool velkoraActivityHidden(const VelkoraActivityModel& item) {
    return hiddenOf(item, Kinds(item));
}

int32_t velkoraActivityChangeNumber(const VelkoraActivityModel& item) {
    return changeOf(item, Kinds(item));
}

VelkoraActivityState VelkoraActivityState::of(const VelkoraActivityModel& item) {
    const Kinds kinds(item);
    return {keyOf(item, kinds), hiddenOf(item, kinds), changeOf(item, kinds)};
}

} // namespace velkora
