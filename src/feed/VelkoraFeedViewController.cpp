#include "feed/VelkoraFeedViewController.h"

#include <algorithm>
#include <utility>

#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserDetailsDisplayer.h"
#include "feed/VelkoraFeedClasses.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraFeedMessagesRepository.h"
#include "session/VelkoraScreenRegistry.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraAlertWindow.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"
#include "shell/VelkoraMultiLineAutoSize.h"
#include "shell/VelkoraResizedImagesCache.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraTwitterConnector.h"
#include "social/VelkoraUserSignUpHelper.h"

namespace velkora {

namespace {

// About a post of two lines: where a row not yet shown counts.
constexpr double kEstimatedRowHeight = 120;
// The most a network's mark takes beside the connect buttons' title.
constexpr double kNetworkMarkSide = 22;

// The table controller's owner: the screen, seen through its rows.
class FeedTableOwner final : public VelkoraFeedTableControllerDelegate {
public:
    explicit FeedTableOwner(std::weak_ptr<VelkoraFeedViewController> screen) : screen_(std::move(screen)) {}
    void showSharePopup() override {
        if (auto s = screen_.lock()) s->showSharePopup();
    }
    void hideSharePopup() override {
        if (auto s = screen_.lock()) s->hideSharePopup();
    }
    VelkoraFeedRows feedRows() const override {
        // The screen outlives the calls its table makes; a table asking after it is gone sees no rows.
        auto s = screen_.lock();
        if (!s) return getMessagesAndLikes();
        return s->getMessagesAndLikes();
    }
    void stopAnimation() override {
        if (auto s = screen_.lock()) s->stopAnimation();
    }
    std::shared_ptr<foundation::DispatchQueue> serialQueue() override {
        auto s = screen_.lock();
        return s ? s->serialQueue() : nullptr;
    }

private:
    std::weak_ptr<VelkoraFeedViewController> screen_;
};

bool signedIn() {
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    return me && !me->isAnonymous();
}

bool emailSignUpEnabled() {
    auto data = VelkoraAgentInternal::instance().appData();
    return data && data->emailSignUpEnabled();
}

void registerFeedScreenClasses() {
    registerVelkoraFeedClasses();
    auto& loader = ui::InterfaceLoader::instance();
    if (loader.hasClass("VelkoraFeedSuggestionView")) return;
    loader.registerClass<VelkoraFeedSuggestionView>("VelkoraFeedSuggestionView");
    loader.registerClass<VelkoraSuggestPeopleScrollView>("VelkoraSuggestPeopleScrollView");
    loader.registerClass<VelkoraSuggestedPersonView>("VelkoraSuggestedPersonView");
}

} // namespace

std::shared_ptr<VelkoraFeedViewController> VelkoraFeedViewController::initFromNib(bool showProfileButton) {
    registerFeedScreenClasses();
    auto screen = std::shared_ptr<VelkoraFeedViewController>(new VelkoraFeedViewController());
    screen->setShouldShowProfileButton(showProfileButton);
    return screen;
}

VelkoraFeedViewController::VelkoraFeedViewController() : VelkoraGeneralFeatureViewController(kInterface) {}

VelkoraFeedViewController::~VelkoraFeedViewController() {
    VelkoraServerApi::clearUserDelegate(this);
    if (feedTable_) {
        feedTable_->setDataSource({});
        feedTable_->setDelegate({});
    }
    if (tableController_) tableController_->stop();
    if (userSignUpHelper_) userSignUpHelper_->removeDelegate(this);
}

void VelkoraFeedViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("feedTable", feedTable_);
    b.outlet("shareView", shareView_);
    b.outlet("suggestedPeopleView", suggestedPeopleView_);
    b.outlet("activityIndicatorView", activityIndicatorView_);
    b.outlet("anonymousView", anonymousView_);
    b.outlet("anonymousWelcomeLabel", anonymousWelcomeLabel_);
    b.outlet("anonymousHelpMessageLabel", anonymousHelpMessageLabel_);
    b.outlet("facebookConnectButton", facebookConnectButton_);
    b.outlet("twitterConnectButton", twitterConnectButton_);
    b.outlet("closeButton", closeButton_);
    b.outlet("signUpAnonymousView", signUpAnonymousView_);
    b.outlet("signUpWelcomeLabel", signUpWelcomeLabel_);
    b.outlet("signUpHelpMessageLabel", signUpHelpMessageLabel_);
    b.outlet("loginButton", loginButton_);
    b.outlet("signUpButton", signUpButton_);
    b.outlet("signUpCloseButton", signUpCloseButton_);
    b.outlet("shareLabel", shareLabel_);
    using C = VelkoraFeedViewController;
    b.action("twitterConnectClicked:", this, &C::twitterConnectClicked);
    b.action("facebookConnectClicked:", this, &C::facebookConnectClicked);
    b.action("closeAnonymousMessage:", this, &C::closeAnonymousMessage);
    b.action("loginClicked:", this, &C::loginClicked);
    b.action("signUpClicked:", this, &C::signUpClicked);
    b.action("followAllSuggestionTapped:", this, &C::followAllSuggestionTapped);
    // The share popup's buttons belong to the table controller.
    auto forward = [this](void (VelkoraFeedTableController::*f)(ui::Control*)) {
        return [this, f](ui::Control* sender) {
            if (tableController_) ((*tableController_).*f)(sender);
        };
    };
    b.action("closeTapped:", forward(&VelkoraFeedTableController::closeTapped));
    b.action("fbShareTapped:", forward(&VelkoraFeedTableController::fbShareTapped));
    b.action("twitterShareTapped:", forward(&VelkoraFeedTableController::twitterShareTapped));
    b.action("emailShareTapped:", forward(&VelkoraFeedTableController::emailShareTapped));
}

void VelkoraFeedViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    serialDispatchQ_ = foundation::DispatchQueue::create("com.velkora.feed");
    bool buildAtOnce = false;
    if (oneUser_) {
        const auto& me = VelkoraServerClientAgent::instance().userId();
        setTitleText(me && oneUser_->userId() == me
                         ? velkoraFeedText("velkora_text_my_posts_title")
                         : velkoraFeedTextWith("velkora_text_person_posts_title",
                                               VelkoraUserDetailsDisplayer::nameWithInitial(oneUser_.get())));
        VelkoraServerApi::getOtherFeed(VelkoraCallback(sharedAs<VelkoraFeedViewController>(),
                                                       &VelkoraFeedViewController::gotFeed,
                                                       &VelkoraFeedViewController::gotFeedFailed),
                                       oneUser_);
    } else {
        // Opened without a title, the feed is named as its sidebar row is.
        if (titleText().empty()) setTitleText(velkoraFeedText("velkora_text_activity_tab_title"));
        useFeedRepository_ = true;
        buildAtOnce = VelkoraFeedMessagesRepository::instance().didFinishLoading();
    }
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (activityIndicatorView_) activityIndicatorView_->startAnimating();

    const std::string appName = VelkoraAppSettings::appName().value_or("");
    for (const auto& label : {anonymousWelcomeLabel_, signUpWelcomeLabel_})
        if (label) label->setText(velkoraFeedTextWith("velkora_text_welcome_to_app", appName));
    for (const auto& label : {anonymousHelpMessageLabel_, signUpHelpMessageLabel_}) {
        if (!label) continue;
        label->setText(velkoraFeedTextWith("velkora_text_anonymous_activity_message", appName));
        adjustFontSizeToFit(*label);
    }
    auto setTitle = [](const std::shared_ptr<ui::Button>& button, const char* key) {
        if (button) button->setTitle(velkoraFeedText(key), ui::ControlStateNormal);
    };
    setTitle(facebookConnectButton_, "velkora_text_connect_button");
    setTitle(twitterConnectButton_, "velkora_text_connect_button");
    // Both say "Connect": each carries its network's mark, so a person knows where each one signs in.
    auto mark = [](const std::shared_ptr<ui::Button>& button, const char* image) {
        auto picture = button ? ui::Image::named(image) : nullptr;
        const double side = button ? std::min(kNetworkMarkSide, button->bounds().height() - 12) : 0;
        if (!picture || side <= 0) return;
        button->setImage(picture->scaledTo({side, side}), ui::ControlStateNormal);
        // Mark and title move apart by the same amount, each at its own size, so the pair stays centred.
        button->setImageEdgeInsets({0, -4, 0, 4});
        button->setTitleEdgeInsets({0, 4, 0, -4});
    };
    mark(facebookConnectButton_, "VelImg_FacebookIcon.png");
    mark(twitterConnectButton_, "VelImg_TwitterIcon.png");
    setTitle(loginButton_, "velkora_text_login_button");
    setTitle(signUpButton_, "velkora_text_signup_button");
    setTitle(closeButton_, "velkora_text_close_button");
    setTitle(signUpCloseButton_, "velkora_text_close_button");
    if (shareLabel_) shareLabel_->setText(velkoraFeedText("velkora_text_share_title"));

    if (shareView_) shareView_->setHidden(true);
    shareShade_ = shadeUnderPopup(view(), shareView_);
    for (const ui::ViewPtr& header : {ui::ViewPtr(suggestedPeopleView_), anonymousView_, signUpAnonymousView_}) {
        if (!header) continue;
        if (velkoraContentView()) removeConstraintsForView(header.get(), velkoraContentView().get());
        header->setHidden(true);
    }
    if (suggestedPeopleView_) suggestedPeopleView_->myInit();

    auto self = sharedAs<VelkoraFeedViewController>();
    // A long feed is measured as its rows come into view, not all when it opens or polls.
    if (feedTable_) feedTable_->setEstimatedRowHeight(kEstimatedRowHeight);
    tableOwner_ = std::make_shared<FeedTableOwner>(self);
    if (feedTable_) tableController_ = VelkoraFeedTableController::initWithTable(feedTable_, self, tableOwner_);

    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeFacebookConnectButton(facebookConnectButton_.get(), kScreenId);
    style.customizeTwitterConnectButton(twitterConnectButton_.get(), kScreenId);
    style.customizeSignupConnectButton(signUpButton_.get(), kScreenId);
    style.customizeLoginConnectButton(loginButton_.get(), kScreenId);
    style.customizeShareView(shareView_.get(), kScreenId);

    std::weak_ptr<VelkoraFeedViewController> weak = self;
    memoryObserver_ =
        foundation::NotificationObserver(kMemoryWarningNotification, nullptr, [weak](const foundation::Notification&) {
            if (auto s = weak.lock()) s->didReceiveMemoryWarning();
        });
    if (buildAtOnce) initModel(true);
}

void VelkoraFeedViewController::viewWillAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewWillAppear(animated);
    VelkoraLogEventsManager::instance().logEvent("feature-viewed;feed");
    updateViewOnAnonymous();
    VelkoraFeedMessagesRepository::instance().setFeedMessagesWereViewed();
    if (useFeedRepository_ && signedIn())
        VelkoraServerApi::getSuggestedUsers(
            VelkoraCallback(sharedAs<VelkoraFeedViewController>(), &VelkoraFeedViewController::gotSuggestedPersons),
            true, VelkoraAgentInternal::instance().velkoraUser()->numFollowing());
    if (!observing_) {
        // Once for the screen's life: each appearance would otherwise add one more rebuild per event.
        observing_ = true;
        std::weak_ptr<VelkoraFeedViewController> weak = sharedAs<VelkoraFeedViewController>();
        const void* repository = &VelkoraFeedMessagesRepository::instance();
        newFeedObserver_ = foundation::NotificationObserver(VelkoraFeedMessagesRepository::kNewFeedMessagesNotification,
                                                            repository, [weak](const foundation::Notification& n) {
                                                                if (auto s = weak.lock()) s->gotNewFeedMessages(n);
                                                            });
        gotFeedObserver_ = foundation::NotificationObserver(VelkoraFeedMessagesRepository::kGotFeedNotification,
                                                            repository, [weak](const foundation::Notification& n) {
                                                                if (auto s = weak.lock()) s->feedMessagesLoaded(n);
                                                            });
    }
}

void VelkoraFeedViewController::viewWillDisappear(bool animated) {
    VelkoraGeneralFeatureViewController::viewWillDisappear(animated);
    if (tableController_) tableController_->stop();
}

void VelkoraFeedViewController::stopAnimation() {
    if (activityIndicatorView_) activityIndicatorView_->stopAnimating();
}

void VelkoraFeedViewController::showSharePopup() {
    showPopupOnShade(shareView_, shareShade_, true);
}

void VelkoraFeedViewController::hideSharePopup() {
    showPopupOnShade(shareView_, shareShade_, false);
}

// ---- The list

void VelkoraFeedViewController::gotNewFeedMessages(const foundation::Notification&) {
    stopAnimation();
    if (useFeedRepository_) initModelSoon(false);
}

void VelkoraFeedViewController::feedMessagesLoaded(const foundation::Notification&) {
    stopAnimation();
    // The repository holds a new feed: nothing of the old one is worth comparing with.
    if (useFeedRepository_) initModelSoon(true);
}

void VelkoraFeedViewController::initModelSoon(bool reset) {
    pendingReset_ = pendingReset_ || reset;
    if (modelPending_) return;
    modelPending_ = true;
    std::weak_ptr<VelkoraFeedViewController> weak = sharedAs<VelkoraFeedViewController>();
    foundation::RunLoop::main().post([weak] {
        auto s = weak.lock();
        if (!s || !s->modelPending_) return;
        s->modelPending_ = false;
        s->initModel(std::exchange(s->pendingReset_, false));
    });
}

VelkoraFeedListSnapshot::RowTextFor VelkoraFeedViewController::rowTextFor() const {
    auto controller = tableController_;
    if (!controller || controller->estimatesHeights()) return {};
    return [controller](const VelkoraActivityPtr& item) { return controller->rowTextFor(item); };
}

void VelkoraFeedViewController::initModel(bool reset) {
    // A build now takes in whatever one asked for later in this turn would have.
    reset = reset || std::exchange(pendingReset_, false);
    modelPending_ = false;
    const auto& repository = VelkoraFeedMessagesRepository::instance();
    // The repository keeps its items in order and tells what changed since the list was last taken: a
    // poll costs what it brought, and a new feed what is handed over, never a look at every item. What
    // the queue needs is copied here, on the main thread, which alone changes the models.
    VelkoraFeedListedChanges changes;
    if (!reset) changes = repository.listedChangesSince(listedRevision_);
    listedRevision_ = repository.revision();
    const auto rows = rowTextFor();
    if (reset || changes.whole)
        buildList(velkoraListedDelta(repository.listedRows(), repository.listedKeys(), ++builtGeneration_, rows));
    else
        buildList(velkoraListedDelta(changes, ++builtGeneration_, rows,
                                     tableController_ ? tableController_->heightKeyOfState() : nullptr));
}

void VelkoraFeedViewController::buildList(VelkoraFeedListDelta delta) {
    ++rebuildCount_;
    auto heights = tableController_ ? tableController_->heights() : nullptr;
    const bool warmUp = tableController_ && !tableController_->isWired();
    std::weak_ptr<VelkoraFeedViewController> weak = sharedAs<VelkoraFeedViewController>();
    auto work = [weak, mirror = mirror_, delta = std::move(delta), heights, warmUp]() mutable {
        auto change = mirror->merge(std::move(delta), heights.get(), warmUp);
        // The items are let go on the main thread, which owns the models.
        foundation::RunLoop::main().post([weak, change = std::move(change)]() mutable {
            if (auto s = weak.lock()) s->applyList(std::move(change));
        });
    };
    if (serialDispatchQ_)
        serialDispatchQ_->async(std::move(work));
    else
        work();
}

void VelkoraFeedViewController::applyList(VelkoraFeedListChange change) {
    // A list older than the one shown is stale.
    if (change.generation <= shownGeneration_) return;
    // Changes follow each other: one that does not start from the list shown cannot be applied.
    const bool follows = change.reset || change.generation == shownGeneration_ + 1;
    shownGeneration_ = change.generation;
    if (!follows || !velkoraApplyListChange(messagesAndLikes_, change)) {
        foundation::Log::line("Velkora (E) - the feed's list went out of step; it is built again");
        if (useFeedRepository_) initModel(true);
        return;
    }
    if (tableController_) tableController_->listChanged(change);
}

void VelkoraFeedViewController::gotFeed(const foundation::Value& reply) {
    stopAnimation();
    const auto rows = rowTextFor();
    snapshot_.setHeightKeyFor(tableController_ && !rows ? tableController_->heightKeyOfState() : nullptr);
    snapshot_.begin(true, ++builtGeneration_);
    for (const auto* list : {&reply.at(0), &reply.at(1)})
        for (const auto& item : velkoraActivitiesOf(*list))
            snapshot_.see(item, rows);
    buildList(snapshot_.finish());
}

void VelkoraFeedViewController::gotFeedFailed(const foundation::ErrorPtr&) {
    stopAnimation();
    if (!isViewLoaded()) return;
    if (auto toast =
            VelkoraDefaultNotificationPopupView::initFromNib(velkoraFeedText("velkora_text_no_network_message")))
        toast->showInView(view().get());
}

void VelkoraFeedViewController::didReceiveMemoryWarning() {
    VelkoraResizedImagesCache::instance().removeAllImages();
}

// ---- Headers

void VelkoraFeedViewController::setHeader(const std::shared_ptr<ui::View>& header) {
    if (!feedTable_) return;
    auto shown = header ? header : ui::View::create({0, 0, 0, 0});
    shown->setTranslatesAutoresizingMaskIntoConstraints(true);
    feedTable_->setTableHeaderView(shown);
}

void VelkoraFeedViewController::updateViewOnAnonymous() {
    if (signedIn() || hideAnonymousView_) {
        if (anonymousView_) anonymousView_->setHidden(true);
        if (signUpAnonymousView_) signUpAnonymousView_->setHidden(true);
        setHeader(nullptr);
        return;
    }
    const bool email = emailSignUpEnabled();
    auto shown = email ? signUpAnonymousView_ : anonymousView_;
    auto other = email ? anonymousView_ : signUpAnonymousView_;
    if (other) other->setHidden(true);
    if (shown) shown->setHidden(false);
    setHeader(shown);
}

void VelkoraFeedViewController::gotSuggestedPersons(const foundation::Value& users) {
    suggestedUsersToFollow_.clear();
    if (const auto* list = users.asArray())
        for (const auto& v : *list)
            if (auto user = v.asObject<VelkoraUserInternal>()) suggestedUsersToFollow_.push_back(user);
    updateSuggestionsHeader();
    if (feedTable_) feedTable_->reloadData();
}

void VelkoraFeedViewController::updateSuggestionsHeader() {
    if (!suggestedPeopleView_) return;
    auto strip = suggestedPeopleView_->peopleScrollView();
    if (strip) strip->clearAllPersons();
    int count = 0;
    VelkoraUserPtr only;
    auto self = std::weak_ptr<VelkoraSuggestedPersonViewDelegate>(sharedAs<VelkoraFeedViewController>());
    for (const auto& user : suggestedUsersToFollow_) {
        if (user->isFavorite()) {
            foundation::Log::line("Velkora - Warning - user is suggested but I am already following = %@",
                                  user->firstName().value_or(""));
            continue;
        }
        if (strip) strip->addPerson(user, self);
        only = user;
        ++count;
    }
    if (count == 1)
        suggestedPeopleView_->setUserToFollow(only);
    else if (count > 1)
        suggestedPeopleView_->setNumToFollow(count);
    suggestedPeopleView_->setHidden(count == 0);
    setHeader(count > 0 ? std::static_pointer_cast<ui::View>(suggestedPeopleView_) : nullptr);
    if (isViewLoaded()) view()->layoutIfNeeded();
    if (strip) strip->doneAddingPersons();
}

void VelkoraFeedViewController::followAllSuggestionTapped(ui::Control*) {
    for (const auto& user : suggestedUsersToFollow_)
        VelkoraServerApi::addFollowing(user);
    suggestedUsersToFollow_.clear();
    updateSuggestionsHeader();
    if (feedTable_) feedTable_->reloadData();
}

void VelkoraFeedViewController::closeAnonymousMessage(ui::Control*) {
    hideAnonymousView_ = true;
    updateViewOnAnonymous();
    if (feedTable_) feedTable_->reloadData();
}

// ---- Screens and connects

void VelkoraFeedViewController::pushScreen(const std::shared_ptr<ui::ViewController>& screen) {
    if (!screen) return;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraFeedViewController::suggestedUserTapped(const VelkoraUserPtr& user) {
    if (!user) return;
    pushScreen(VelkoraScreenRegistry::instance().makeScreen(
        "profile",
        foundation::Value(foundation::Dictionary{
            {VelkoraScreenArguments::kOpenedAs, foundation::Value(VelkoraScreenArguments::kOpenedInNavigation)},
            {VelkoraScreenArguments::kObject1, foundation::Value::object(user)}})));
}

void VelkoraFeedViewController::loginClicked(ui::Control*) {
    pushScreen(VelkoraScreenRegistry::instance().makeScreen("login"));
}

void VelkoraFeedViewController::signUpClicked(ui::Control*) {
    pushScreen(VelkoraScreenRegistry::instance().makeScreen("signup"));
}

void VelkoraFeedViewController::socialConnected() {
    updateViewOnAnonymous();
    if (feedTable_) feedTable_->reloadData();
}

void VelkoraFeedViewController::connectWithDetails(const foundation::Value& details, int32_t method) {
    if (details.isNull()) return;
    if (!userSignUpHelper_) userSignUpHelper_ = VelkoraUserSignUpHelper::create();
    std::weak_ptr<VelkoraFeedViewController> weak = sharedAs<VelkoraFeedViewController>();
    userSignUpHelper_->connectServerWithDetails(details, 0, method, false, true,
                                                VelkoraCallback::make(
                                                    sharedAs<VelkoraFeedViewController>(),
                                                    [weak](const foundation::Value&) {
                                                        if (auto s = weak.lock()) s->socialConnected();
                                                    },
                                                    [](const foundation::ErrorPtr&) {}));
}

void VelkoraFeedViewController::twitterConnectClicked(ui::Control*) {
    auto twitter = VelkoraAgentInternal::instance().twitterConnector();
    if (!twitter) {
        VelkoraScreenRegistry::logNotInBuild("VelkoraTwitterConnector");
        return;
    }
    std::weak_ptr<VelkoraFeedViewController> weak = sharedAs<VelkoraFeedViewController>();
    twitter->getUserDetailsWithView(view().get(), VelkoraConnectorTarget::make(sharedAs<VelkoraFeedViewController>(),
                                                                               [weak](const foundation::Value& d) {
                                                                                   if (auto s = weak.lock())
                                                                                       s->connectWithDetails(d, 3);
                                                                               }));
}

void VelkoraFeedViewController::facebookConnectClicked(ui::Control*) {
    auto fb = VelkoraAgentInternal::instance().fbConnector();
    if (!fb) {
        VelkoraScreenRegistry::logNotInBuild("VelkoraFBConnector");
        return;
    }
    std::weak_ptr<VelkoraFeedViewController> weak = sharedAs<VelkoraFeedViewController>();
    fb->connectWithDelegate(
        VelkoraConnectorTarget::make(sharedAs<VelkoraFeedViewController>(), [weak](const foundation::Value& d) {
            if (auto s = weak.lock()) s->connectWithDetails(d, 2);
        }));
}

} // namespace velkora
