#include "people/VelkoraFindFriendsSelctionViewController.h"

#include "people/VelkoraFriendsSupport.h"
#include "people/VelkoraUserListViewController.h"
#include "platform/ui/Application.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"
#include "shell/VelkoraProfileSupport.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraTwitterConnector.h"

namespace velkora {

namespace {

const char* rowTextKey(int32_t code) {
    switch (code) {
    case 0:
        return "velkora_text_facebook_friends_title";
    case 1:
        return "velkora_text_twitter_friends";
    case 3:
        return "velkora_text_linkedin_friends";
    default:
        return nullptr;
    }
}

} // namespace

std::shared_ptr<VelkoraFindFriendsSelctionViewController> VelkoraFindFriendsSelctionViewController::create() {
    return std::shared_ptr<VelkoraFindFriendsSelctionViewController>(new VelkoraFindFriendsSelctionViewController());
}

VelkoraFindFriendsSelctionViewController::VelkoraFindFriendsSelctionViewController()
    : VelkoraGeneralFeatureViewController(kInterface) {
    friends::registerFriendsViewClasses();
    supportedSN_.reserve(3);
    if (VelkoraFBConnector::isFacebookEnabled()) supportedSN_.push_back(0);
    if (VelkoraTwitterConnector::canTweet()) supportedSN_.push_back(1);
}

void VelkoraFindFriendsSelctionViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("titleLabel", titleLabel_);
    b.outlet("optionsTable", optionsTable_);
}

void VelkoraFindFriendsSelctionViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (titleLabel_ && !titleText().empty()) titleLabel_->setText(titleText());
    if (!optionsTable_) return;
    auto self = sharedAs<VelkoraFindFriendsSelctionViewController>();
    optionsTable_->setDataSource(std::static_pointer_cast<ui::TableViewDataSource>(self));
    optionsTable_->setDelegate(std::static_pointer_cast<ui::TableViewDelegate>(self));
}

bool VelkoraFindFriendsSelctionViewController::shouldAutorotateToInterfaceOrientation(int orientation) const {
    return orientation == ui::InterfaceOrientationPortrait;
}

int VelkoraFindFriendsSelctionViewController::numberOfRowsInSection(ui::TableView&, int) {
    return static_cast<int>(supportedSN_.size());
}

ui::TableViewCellPtr VelkoraFindFriendsSelctionViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                                     const ui::IndexPath& indexPath) {
    auto cell = table.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell) {
        cell = ui::TableViewCell::create(ui::TableViewCellStyle::Value1, kCellIdentifier);
        cell->setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
        if (ui::Device::current().isPad()) {
            cell->textLabel()->setFont(ui::Font::boldSystemFont(32));
            if (auto detail = cell->detailTextLabel()) detail->setFont(ui::Font::systemFont(32));
        }
        // The table draws no lines of its own: each row carries the one under it, so the few rows of this
        // menu read as separate choices.
        if (table.separatorStyle() != ui::TableViewCellSeparatorStyle::None) {
            const ui::EdgeInsets inset = table.separatorInset();
            const ui::Rect b = cell->bounds();
            auto line = ui::View::create({inset.left, b.height() - 1, b.width() - inset.left - inset.right, 1});
            line->setBackgroundColor(table.separatorColor());
            line->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleTopMargin);
            cell->addSubview(line);
        }
    }
    const char* key = nullptr;
    if (indexPath.row >= 0 && indexPath.row < static_cast<int>(supportedSN_.size()))
        key = rowTextKey(supportedSN_[static_cast<size_t>(indexPath.row)]);
    cell->textLabel()->setText(key ? profiles::text(key) : std::string());
    return cell;
}

void VelkoraFindFriendsSelctionViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell,
                                                               const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

void VelkoraFindFriendsSelctionViewController::didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) {
    if (indexPath.row < 0 || indexPath.row >= static_cast<int>(supportedSN_.size())) return;
    auto fetcher = VelkoraSNUserFetcher::create();
    fetcher->setSocialNetwork(supportedSN_[static_cast<size_t>(indexPath.row)]);
    auto list = VelkoraUserListViewController::initWithTitle(profiles::text("velkora_text_friends_title"), fetcher);
    list->setShowFollowButton(true);
    friends::push(*this, list);
}

} // namespace velkora
