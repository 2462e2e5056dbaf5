// The host's objects: users, chat rooms and their comments, single values of topics and quizzes, and
// messages, each reading through to the kit's own records.
#include <set>

#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "session/VelkoraQuizzesRepository.h"
#include "data/VelkoraUsersRepository.h"
#include "data/VelkoraUtils.h"
#include "host/HostInternals.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraTwitterConnector.h"
#include "social/VelkoraUserSignUpHelper.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "server/VelkoraServerApi.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraFeatureRegistry.h"
#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUserDetailsDisplayer.h"
#include "velkora/VKChatRoomTopic.h"
#include "velkora/VKQuiz.h"
#include "velkora/VelkoraFeatures.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

namespace {

VelkoraAgentInternal& session() {
    return VelkoraAgentInternal::instance();
}

// One request of a host object on its way: it lives until its one answer, which runs the host's block
// once. The kit's callbacks hold their caller weakly, so the request is held here meanwhile.
class Pending : public std::enable_shared_from_this<Pending> {
public:
    using Answer = std::function<void(const Value&)>;
    using Failure = std::function<void(const foundation::ErrorPtr&)>;

    static std::shared_ptr<Pending> start() {
        auto p = std::shared_ptr<Pending>(new Pending());
        held().insert(p);
        return p;
    }
    // The callback for the server client: either function ends the request.
    VelkoraCallback callback(Answer answer, Failure failure) {
        auto self = shared_from_this();
        return VelkoraCallback::make(
            self,
            [self, answer = std::move(answer)](const Value& v) {
                self->finish();
                answer(v);
            },
            [self, failure = std::move(failure)](const foundation::ErrorPtr& e) {
                self->finish();
                failure(e);
            });
    }
    // Waits for the session's next "VelkoraUserDataReceived", then runs `then` once.
    void awaitUserData(std::function<void()> then) {
        auto self = shared_from_this();
        observer_ = foundation::NotificationObserver(
            "VelkoraUserDataReceived", nullptr, [self, then = std::move(then)](const foundation::Notification&) {
                if (!self->observer_) return;
                foundation::NotificationCenter::defaultCenter().removeObserver(self->observer_.release());
                self->finish();
                then();
            });
        held().insert(self);
    }
    void finish() {
        // The helper holds this request's callbacks, which hold the request: it goes once the call that
        // answered has returned.
        if (helper) foundation::RunLoop::main().post([gone = std::move(helper)] {});
        helper = nullptr;
        held().erase(shared_from_this());
    }
    std::shared_ptr<VelkoraUserSignUpHelper> helper;

private:
    Pending() = default;
    static std::set<std::shared_ptr<Pending>>& held() {
        static std::set<std::shared_ptr<Pending>> all;
        return all;
    }
    foundation::NotificationObserver observer_;
};

std::shared_ptr<VelkoraUser> current() {
    return host::wrapUser(session().velkoraUser());
}

bool authenticated() {
    auto user = session().velkoraUser();
    return user && !user->isAnonymous();
}

// The signed-in user's data arrives after the service's answer: the block runs then.
void connectAndAwait(const std::shared_ptr<Pending>& pending, const Value& details, int32_t connectType, int32_t method,
                     bool implicitSwitch, const VelkoraUser::Completion& completion) {
    pending->helper = VelkoraUserSignUpHelper::create();
    pending->helper->connectServerWithDetails(details, connectType, method, false, implicitSwitch,
                                              pending->callback(
                                                  [pending, completion](const Value&) {
                                                      pending->awaitUserData([completion] {
                                                          if (completion) completion(current(), true);
                                                      });
                                                  },
                                                  [completion](const foundation::ErrorPtr&) {
                                                      if (completion) completion(current(), false);
                                                  }));
}

// Checks a precondition; a failed one answers at once with the current user.
bool refused(bool condition, const char* warning, const VelkoraUser::Completion& completion, bool answer = false) {
    if (!condition) return false;
    Log::line(warning);
    if (completion) completion(current(), answer);
    return true;
}

std::shared_ptr<VelkoraChatRoom> wrapTopic(const VelkoraChatRoomsTopicPtr& topic) {
    if (!topic) return nullptr;
    auto impl = std::make_shared<VelkoraChatRoom::Impl>();
    impl->topic = topic;
    return std::make_shared<VelkoraChatRoom>(impl);
}

std::shared_ptr<VelkoraChatRoomComment> wrapComment(const std::shared_ptr<VelkoraChatRoomsComment>& comment) {
    auto impl = std::make_shared<VelkoraChatRoomComment::Impl>();
    impl->comment = comment;
    return std::make_shared<VelkoraChatRoomComment>(impl);
}

} // namespace

namespace host {
std::shared_ptr<VelkoraUser> wrapUser(const VelkoraUserPtr& user) {
    if (!user) return nullptr;
    auto impl = std::make_shared<VelkoraUser::Impl>();
    impl->user = user;
    return std::make_shared<VelkoraUser>(impl);
}
} // namespace host

// ---- VelkoraUser: class operations

std::shared_ptr<VelkoraUser> VelkoraUser::currentUser() {
    return current();
}

void VelkoraUser::getUserByVelkoraId(const std::string& userId, Completion completion) {
    if (userId.empty()) {
        if (completion) completion(nullptr, false);
        return;
    }
    auto known = VelkoraUsersRepository::instance().userWithId(userId);
    if (known->appId() && known->userId()) {
        if (completion) completion(host::wrapUser(known), true);
        return;
    }
    auto pending = Pending::start();
    VelkoraServerApi::getOtherUserData(userId, pending->callback(
                                                   [completion](const Value& v) {
                                                       auto user = v.asObject<VelkoraUserInternal>();
                                                       if (completion)
                                                           completion(user ? host::wrapUser(user) : nullptr,
                                                                      user != nullptr);
                                                   },
                                                   [completion](const foundation::ErrorPtr&) {
                                                       if (completion) completion(nullptr, false);
                                                   }));
}

void VelkoraUser::loginWithEmail(const std::string& email, const std::string& password, Completion completion) {
    if (refused(authenticated(), "Velkora (W) - User is already logged in", completion)) return;
    if (refused(password.empty(), "Velkora (W) - Password can't be nil or empty", completion)) return;
    foundation::Dictionary details{{"email", Value(email)},
                                   {"password", Value(VelkoraUtils::md5String(password, true))}};
    connectAndAwait(Pending::start(), Value(std::move(details)), 1, 1, false, completion);
}

void VelkoraUser::signUpWithEmail(const std::string& email, const std::string& userName, const std::string& password,
                                  Completion completion) {
    if (refused(authenticated(), "Velkora (W) - User is already signed up", completion)) return;
    if (refused(password.empty(), "Velkora (W) - Password can't be nil or empty", completion)) return;
    foundation::Dictionary details{{"name", Value(userName)},
                                   {"email", Value(email)},
                                   {"password", Value(VelkoraUtils::md5String(password, true))}};
    connectAndAwait(Pending::start(), Value(std::move(details)), 0, 1, false, completion);
}

void VelkoraUser::loginWithFacebook(Completion completion) {
    if (refused(authenticated(), "Velkora (W) - User is already logged in", completion)) return;
    auto connector = session().fbConnector();
    if (!connector) {
        if (completion) completion(current(), false);
        return;
    }
    auto pending = Pending::start();
    connector->connectWithDelegate(VelkoraConnectorTarget::make(pending, [pending, completion](const Value& details) {
        connectAndAwait(pending, details, 1, 2, true, completion);
    }));
}

void VelkoraUser::loginWithTwitter(Completion completion, const std::shared_ptr<VelkoraView>& view) {
    if (refused(authenticated(), "Velkora (W) - User is already logged in", completion)) return;
    auto connector = session().twitterConnector();
    if (!connector) {
        if (completion) completion(current(), false);
        return;
    }
    auto pending = Pending::start();
    ui::View* anchor = view ? view->impl()->view.get() : ui::Application::instance().keyWindow();
    connector->getUserDetailsWithView(anchor,
                                      VelkoraConnectorTarget::make(pending, [pending, completion](const Value& d) {
                                          if (d.isNull()) {
                                              pending->finish();
                                              if (completion) completion(current(), false);
                                              return;
                                          }
                                          connectAndAwait(pending, d, 1, 3, true, completion);
                                      }));
}

void VelkoraUser::logout(Completion completion) {
    if (refused(!authenticated(), "Velkora (W) - User is already logged out", completion, true)) return;
    auto info = session().getUserInfo();
    const int32_t origin = info ? info->userInfoSource() : 0;
    auto pending = Pending::start();
    VelkoraServerApi::signOut(pending->callback(
        [pending, origin, completion](const Value&) {
            pending->helper = VelkoraUserSignUpHelper::create();
            pending->awaitUserData([completion] {
                if (completion) completion(current(), true);
            });
            pending->helper->userSignedOut(origin);
        },
        [completion](const foundation::ErrorPtr&) {
            if (completion) completion(current(), false);
        }));
}

void VelkoraUser::forgotPassword(const std::string& email, Completion completion) {
    auto pending = Pending::start();
    VelkoraServerApi::forgotPassword(email, pending->callback(
                                                [completion](const Value&) {
                                                    if (completion) completion(current(), true);
                                                },
                                                [completion](const foundation::ErrorPtr&) {
                                                    if (completion) completion(current(), false);
                                                }));
}

void VelkoraUser::changePassword(const std::string& newPassword, Completion completion) {
    if (refused(!authenticated(), "Velkora (W) - User is not logged in", completion)) return;
    if (refused(newPassword.empty(), "Velkora (W) - Password can't be nil or empty", completion)) return;
    auto pending = Pending::start();
    VelkoraServerApi::changePassword(VelkoraUtils::md5String(newPassword, true),
                                     pending->callback(
                                         [completion](const Value&) {
                                             if (completion) completion(current(), true);
                                         },
                                         [completion](const foundation::ErrorPtr&) {
                                             if (completion) completion(current(), false);
                                         }));
}

void VelkoraUser::uploadUserImage(const std::vector<std::uint8_t>& pictureBytes, Completion completion) {
    auto image = pictureBytes.empty() ? nullptr : ui::Image::fromData(pictureBytes);
    if (!image) {
        Log::line("Velkora (W) - The picture to upload is not a picture");
        if (completion) completion(nullptr, false);
        return;
    }
    auto pending = Pending::start();
    VelkoraServerApi::uploadUserImage(pending->callback(
                                          [completion](const Value& url) {
                                              auto user = session().velkoraUser();
                                              auto text = url.toText();
                                              if (user && text && !text->empty()) user->setUserPhotoUrl(text);
                                              if (completion) completion(current(), true);
                                          },
                                          [completion](const foundation::ErrorPtr&) {
                                              if (completion) completion(current(), false);
                                          }),
                                      VelkoraUtils::scaleAndCropImage(image, 200));
}

void VelkoraUser::save(Completion completion) {
    auto user = session().velkoraUser();
    if (!user) {
        if (completion) completion(nullptr, false);
        return;
    }
    auto pending = Pending::start();
    VelkoraServerApi::setUserData(user, pending->callback(
                                            [completion](const Value&) {
                                                if (completion) completion(current(), true);
                                            },
                                            [completion](const foundation::ErrorPtr&) {
                                                if (completion) completion(current(), false);
                                            }));
}

// ---- VelkoraUser: properties

std::optional<std::string> VelkoraUser::userId() const {
    return impl_->user->userId();
}
std::int64_t VelkoraUser::facebookId() const {
    return impl_->user->facebookId();
}
std::int64_t VelkoraUser::twitterId() const {
    return impl_->user->twitterId();
}

std::optional<VelkoraGeoLocation> VelkoraUser::location() const {
    auto location = impl_->user->location();
    if (!location || !VelkoraDynamicFrameworkLoader::loadClass("CLLocation", "CoreLocation")) return std::nullopt;
    return VelkoraGeoLocation{location->latitude(), location->longitude()};
}

double VelkoraUser::distanceFromMe() const {
    auto location = impl_->user->location();
    return location ? location->distance() : 0;
}

int VelkoraUser::numFollowers() const {
    return impl_->user->numFollowers();
}
int VelkoraUser::numFollowing() const {
    return impl_->user->numFollowing();
}
int VelkoraUser::numPosts() const {
    return impl_->user->numFeeds();
}
bool VelkoraUser::isBlockedByMe() const {
    return impl_->user->isBlockedByCurrentUser();
}
bool VelkoraUser::isReportedByMe() const {
    return impl_->user->isReportedByCurrentUser();
}
bool VelkoraUser::isFollowedByMe() const {
    return impl_->user->isFavorite();
}
std::string VelkoraUser::firstName() const {
    return VelkoraUserDetailsDisplayer::firstName(impl_->user.get());
}
std::string VelkoraUser::lastName() const {
    return VelkoraUserDetailsDisplayer::lastName(impl_->user.get());
}
std::optional<std::string> VelkoraUser::photoUrl() const {
    return impl_->user->getSizedPhotoUrl(200, 200);
}
std::optional<std::string> VelkoraUser::email() const {
    return impl_->user->email();
}
std::optional<std::string> VelkoraUser::bio() const {
    return impl_->user->customString1();
}

bool VelkoraUser::isCurrent() const {
    auto me = session().velkoraUser();
    return me && me->userId() && me->userId() == impl_->user->userId();
}

bool VelkoraUser::isAuthenticated() const {
    return !impl_->user->isAnonymous();
}

namespace {
void warnUnlessCurrent(const VelkoraUser& user) {
    if (!user.isCurrent()) Log::line("Velkora (W) - Changes made to a non current user won't be saved");
}
} // namespace

void VelkoraUser::setFirstName(const std::string& firstName) {
    warnUnlessCurrent(*this);
    // A name held whole in the first-name field is split into its two parts.
    impl_->user->setLastName(lastName());
    impl_->user->setFirstName(firstName);
}

void VelkoraUser::setLastName(const std::string& lastName) {
    warnUnlessCurrent(*this);
    impl_->user->setFirstName(firstName());
    impl_->user->setLastName(lastName);
}

void VelkoraUser::setPhotoUrl(const std::string& url) {
    warnUnlessCurrent(*this);
    impl_->user->setUserPhotoUrl(url);
}

void VelkoraUser::setEmail(const std::string& email) {
    warnUnlessCurrent(*this);
    impl_->user->setEmail(email);
}

void VelkoraUser::setBio(const std::string& bio) {
    warnUnlessCurrent(*this);
    impl_->user->setCustomString1(bio);
}

// ---- VelkoraChatRoom

void VelkoraChatRoom::getChatRoomByTopicId(int topicId, Completion completion) {
    if (topicId < 0) {
        if (completion) completion(nullptr, false);
        return;
    }
    auto& topics = VelkoraChatRoomsTopicsRepository::instance();
    if (auto held = topics.getTopicById(topicId)) {
        if (completion) completion(wrapTopic(held), true);
        return;
    }
    auto pending = Pending::start();
    VelkoraServerApi::getChatRoomsTopic(pending->callback(
                                            [completion](const Value& reply) {
                                                const Value* t = reply.isDictionary()
                                                                     ? reply.asDictionary()->find("topic")
                                                                     : nullptr;
                                                auto topic = t ? t->asObject<VelkoraChatRoomsTopic>() : nullptr;
                                                if (topic) {
                                                    // The reply's comments come as events; the room shows them.
                                                    for (const auto& c : topic->getLatestTopicEvents())
                                                        topic->addComment(c);
                                                    VelkoraChatRoomsTopicsRepository::instance().addObjectTopic(topic);
                                                }
                                                if (completion) completion(wrapTopic(topic), topic != nullptr);
                                            },
                                            [completion](const foundation::ErrorPtr&) {
                                                if (completion) completion(nullptr, false);
                                            }),
                                        topicId, true);
}

std::vector<std::shared_ptr<VelkoraChatRoomComment>> VelkoraChatRoom::getComments() const {
    std::vector<std::shared_ptr<VelkoraChatRoomComment>> comments;
    for (const auto& c : impl_->topic->getComments(true))
        if (c) comments.push_back(wrapComment(c));
    return comments;
}

void VelkoraChatRoom::getPreviousComments(int earliestCommentId, CommentsCompletion completion) {
    auto topic = impl_->topic;
    auto room = wrapTopic(topic);
    auto pending = Pending::start();
    VelkoraServerApi::getChatRoomsTopicEarliest(pending->callback(
                                                    [room, topic, completion](const Value& reply) {
                                                        std::vector<std::shared_ptr<VelkoraChatRoomComment>> comments;
                                                        if (auto* list = reply.asArray())
                                                            for (const auto& v : *list)
                                                                if (auto c = v.asObject<VelkoraChatRoomsComment>()) {
                                                                    topic->addComment(c);
                                                                    comments.push_back(wrapComment(c));
                                                                }
                                                        if (completion) completion(room, std::move(comments), true);
                                                    },
                                                    [room, completion](const foundation::ErrorPtr&) {
                                                        if (completion) completion(room, {}, false);
                                                    }),
                                                topic->topicId(), earliestCommentId);
}

int VelkoraChatRoom::topicId() const {
    return impl_->topic->topicId();
}
int VelkoraChatRoom::commentsNumber() const {
    return impl_->topic->commentsNumber();
}
int VelkoraChatRoom::likesNumber() const {
    return impl_->topic->likesNumber();
}
double VelkoraChatRoom::dateTime() const {
    return impl_->topic->dateTime().value_or(0);
}
bool VelkoraChatRoom::isRemoved() const {
    return impl_->topic->isRemoved();
}
bool VelkoraChatRoom::isAdhoc() const {
    return impl_->topic->isObject();
}
bool VelkoraChatRoom::hasPhoto() const {
    return impl_->topic->hasPhoto();
}
std::shared_ptr<VelkoraUser> VelkoraChatRoom::user() const {
    return host::wrapUser(impl_->topic->user());
}
std::optional<std::string> VelkoraChatRoom::title() const {
    return impl_->topic->title();
}
void VelkoraChatRoom::setTitle(const std::string& title) {
    impl_->topic->setTitle(title);
}
std::optional<std::string> VelkoraChatRoom::text() const {
    return impl_->topic->text();
}
void VelkoraChatRoom::setText(const std::string& text) {
    impl_->topic->setText(text);
}
std::optional<std::string> VelkoraChatRoom::photoUrl() const {
    return impl_->topic->photoUrl();
}
void VelkoraChatRoom::setPhotoUrl(const std::string& url) {
    impl_->topic->setPhotoUrl(url);
}

int VelkoraChatRoomComment::commentId() const {
    return impl_->comment->commentId();
}
int VelkoraChatRoomComment::topicId() const {
    return impl_->comment->topicId();
}
int VelkoraChatRoomComment::likesNumber() const {
    return impl_->comment->likesNumber();
}
double VelkoraChatRoomComment::dateTime() const {
    return impl_->comment->dateTime().value_or(0);
}
std::optional<std::string> VelkoraChatRoomComment::text() const {
    return impl_->comment->text();
}
std::shared_ptr<VelkoraUser> VelkoraChatRoomComment::user() const {
    return host::wrapUser(impl_->comment->user());
}

// ---- single values

namespace {
VelkoraChatRoomsTopicPtr heldTopic(int topicId) {
    return VelkoraChatRoomsTopicsRepository::instance().getTopicById(topicId);
}
VelkoraQuizPtr heldQuiz(int quizId) {
    return VelkoraQuizzesRepository::instance().getQuizById(quizId);
}
} // namespace

int VKChatRoomTopic::getCommentsNumber(int topicId) {
    auto t = heldTopic(topicId);
    return t ? t->commentsNumber() : -1;
}
int VKChatRoomTopic::getLikesNumber(int topicId) {
    auto t = heldTopic(topicId);
    return t ? t->likesNumber() : -1;
}
std::optional<std::string> VKChatRoomTopic::getTitle(int topicId) {
    auto t = heldTopic(topicId);
    return t ? t->title() : std::nullopt;
}
std::optional<std::string> VKChatRoomTopic::getText(int topicId) {
    auto t = heldTopic(topicId);
    return t ? t->text() : std::nullopt;
}
std::optional<std::string> VKChatRoomTopic::getPhotoUrl(int topicId) {
    auto t = heldTopic(topicId);
    return t ? t->photoUrl() : std::nullopt;
}
std::optional<std::string> VKChatRoomTopic::getUser(int topicId) {
    auto t = heldTopic(topicId);
    return t && t->user() ? t->user()->userId() : std::nullopt;
}

bool VKQuiz::isLockedForUser(int quizId) {
    auto q = heldQuiz(quizId);
    return q && q->isLocked();
}
std::optional<std::string> VKQuiz::getName(int quizId) {
    auto q = heldQuiz(quizId);
    return q ? q->name() : std::nullopt;
}
std::optional<std::string> VKQuiz::getDescription(int quizId) {
    auto q = heldQuiz(quizId);
    return q ? q->description() : std::nullopt;
}

// ---- messages and features

std::shared_ptr<VelkoraUser> VelkoraMessage::sender() const {
    return host::wrapUser(impl_->message->sender());
}
std::shared_ptr<VelkoraUser> VelkoraMessage::otherUser() const {
    return host::wrapUser(impl_->message->otherUser());
}
std::optional<std::string> VelkoraMessage::message() const {
    return impl_->message->message();
}
std::optional<std::string> VelkoraMessage::contentType() const {
    return impl_->message->contentType();
}
std::optional<double> VelkoraMessage::time() const {
    return impl_->message->time();
}

std::string velkoraFeatureName(std::int32_t featureId) {
    if (featureId < 0) return {};
    return VelkoraFeatureRegistry::featureNameById(static_cast<std::uint32_t>(featureId)).value_or("");
}

std::int32_t velkoraFeatureId(const std::string& name) {
    return VelkoraFeatureRegistry::featureIdByName(name);
}

} // namespace velkora
