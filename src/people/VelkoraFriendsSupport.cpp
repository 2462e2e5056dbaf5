#include "people/VelkoraFriendsSupport.h"

#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUtils.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "server/VelkoraCallback.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraProfileSupport.h"
#include "shell/VelkoraSidebarClasses.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraTwitterConnector.h"
#include "social/VelkoraUserSignUpHelper.h"

namespace velkora::friends {

namespace {

std::string fill(std::string format, const std::string& value, const char* first, const char* second) {
    auto at = format.find(first);
    if (at == std::string::npos) at = format.find(second);
    if (at != std::string::npos) format.replace(at, 2, value);
    return format;
}

} // namespace

std::string textWithNumber(const std::string& key, long long number) {
    return fill(profiles::text(key), std::to_string(number), "%d", "%@");
}

std::string textWithText(const std::string& key, const std::string& text) {
    return fill(profiles::text(key), text, "%@", "%d");
}

bool push(VelkoraGeneralFeatureViewController& from, const std::shared_ptr<ui::ViewController>& screen) {
    if (!screen) return false;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(from.featureTabDelegate());
    auto* nav = from.navigationController();
    if (!nav) return false;
    nav->pushViewController(screen, true);
    return true;
}

bool pushFeature(VelkoraGeneralFeatureViewController& from, const std::string& feature,
                 const foundation::Value& arguments) {
    return push(from, VelkoraScreenRegistry::instance().makeScreen(feature, arguments));
}

std::shared_ptr<ui::View> giveSelectedBackground(ui::TableViewCell& cell) {
    auto selected = ui::View::create(cell.frame());
    selected->setBackgroundColor(ui::Color::rgba(29 / 255.0, 29 / 255.0, 29 / 255.0, 1.0));
    cell.setSelectedBackgroundView(selected);
    return selected;
}

void layoutCellAcrossScreen(ui::TableViewCell& cell, bool openedAsFeature) {
    const double width = VelkoraUtils::widthAdjustedForInterfaceOrientation(openedAsFeature, sidebarScreenState());
    for (const auto& v : {cell.backgroundView(), cell.contentView(), cell.selectedBackgroundView()})
        if (v) {
            auto f = v->frame();
            f.origin.x = 0;
            f.size.width = width;
            v->setFrame(f);
        }
}

void prepareSearchField(ui::View* content, ui::TextField* field, const std::shared_ptr<ui::ImageView>& icon) {
    if (!field) return;
    if (content) {
        VelkoraGeneralFeatureViewController::removeConstraintsForView(field, content);
        if (icon) VelkoraGeneralFeatureViewController::removeConstraintsForView(icon.get(), content);
    }
    if (icon) {
        icon->setTranslatesAutoresizingMaskIntoConstraints(true);
        field->setLeftView(icon);
        field->setLeftViewMode(ui::TextFieldViewMode::Always);
    }
    field->setHidden(true);
}

void showSearchField(ui::TableView& table, const std::shared_ptr<ui::TextField>& field) {
    if (!field) return;
    field->setHidden(false);
    field->setTranslatesAutoresizingMaskIntoConstraints(true);
    if (table.tableHeaderView() != field) table.setTableHeaderView(field);
}

void addEndEditingTap(const std::shared_ptr<ui::View>& root, std::weak_ptr<ui::GestureRecognizer>& tap) {
    if (!root || tap.lock()) return;
    auto recognizer = std::make_shared<ui::TapGestureRecognizer>();
    std::weak_ptr<ui::View> weakRoot = root;
    recognizer->addAction([weakRoot](ui::GestureRecognizer&) {
        if (auto v = weakRoot.lock()) v->endEditing(true);
    });
    root->addGestureRecognizer(recognizer);
    tap = recognizer;
}

void removeEndEditingTap(ui::View* root, std::weak_ptr<ui::GestureRecognizer>& tap) {
    auto recognizer = tap.lock();
    if (recognizer && root) root->removeGestureRecognizer(recognizer.get());
    tap.reset();
}

void detachTable(ui::TableView* table) {
    if (!table) return;
    table->setDataSource({});
    table->setDelegate({});
}

void styleFriendRow(ui::TableViewCell& cell, ui::Label* name, VelkoraLazyImageView* photo) {
    cell.setBackgroundView(ui::View::create(cell.bounds()));
    if (name) VelkoraAppSettings::setLeadingColor(*name);
    if (photo) {
        photo->layer().setCornerRadius(7.0);
        photo->setClipsToBounds(true);
        photo->setUsingCache(true);
    }
}

std::shared_ptr<NetworkConnect> NetworkConnect::create(Connected connected) {
    return std::shared_ptr<NetworkConnect>(new NetworkConnect(std::move(connected)));
}

NetworkConnect::~NetworkConnect() {
    auto& agent = VelkoraAgentInternal::instance();
    if (auto fb = agent.fbConnector()) fb->removeDelegate(this);
    if (auto tw = agent.twitterConnector()) tw->removeDelegate(this);
    if (userSignUpHelper_) userSignUpHelper_->removeDelegate(this);
}

void NetworkConnect::connect(int32_t method, ui::View* view) {
    auto& agent = VelkoraAgentInternal::instance();
    auto self = shared_from_this();
    if (method == 2) {
        auto fb = agent.fbConnector();
        if (!fb) return;
        fb->connectWithDelegate(
            VelkoraConnectorTarget::make(self, [this](const foundation::Value& details) { gotDetails(details, 2); }));
    } else if (method == 3) {
        auto tw = agent.twitterConnector();
        if (!tw) return;
        tw->getUserDetailsWithView(view, VelkoraConnectorTarget::make(self, [this](const foundation::Value& details) {
                                       // No account, a refusal or a cancelled chooser: nothing to attach.
                                       if (details.isNull()) return;
                                       gotDetails(details, 3);
                                   }));
    }
}

void NetworkConnect::gotDetails(const foundation::Value& details, int32_t method) {
    if (!userSignUpHelper_) userSignUpHelper_ = VelkoraUserSignUpHelper::create();
    const bool justUid = !profiles::viewerIsAnonymous();
    std::weak_ptr<NetworkConnect> weak = shared_from_this();
    userSignUpHelper_->connectServerWithDetails(details, 0, method, justUid, true,
                                                VelkoraCallback::make(
                                                    shared_from_this(),
                                                    [weak, method](const foundation::Value&) {
                                                        auto self = weak.lock();
                                                        if (self && self->connected_) self->connected_(method);
                                                    },
                                                    // A failure leaves the screen as it was.
                                                    [](const foundation::ErrorPtr&) {}));
}

} // namespace velkora::friends
