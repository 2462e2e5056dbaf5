#include "server/VelkoraServerApi.h"

#include "platform/ui/AlertView.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/VelkoraServerEndpoint.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"

namespace velkora {

namespace {
VelkoraServerClientAgent& agent() { return VelkoraServerClientAgent::instance(); }

// The platform's one-button alert; nobody needs to hear which button was tapped.
void showNoNetworkAlert(const std::string& title, const std::string& message, const std::string& button) {
    ui::AlertView::create(title, message, {}, button)->show();
}
}  // namespace

void VelkoraServerApi::startSession(const OptString& appId, std::shared_ptr<services::LocationManager> locationManager) {
    VelkoraServerEndpoint::applyCaFile();
    // Requests that alert when parked offline show it to the user (while the sidebar shows).
    VelkoraUrlFetcher::setAlertPresenter(showNoNetworkAlert);
    agent().setAppId(appId);
    agent().initSession(std::move(locationManager));
}

void VelkoraServerApi::endSession() { agent().endSession(); }
void VelkoraServerApi::activateLocationManager(std::shared_ptr<services::LocationManager> m) {
    agent().activateLocationManager(std::move(m));
}
void VelkoraServerApi::setMessagesDelegate(std::weak_ptr<VelkoraMessagesDelegate> d) {
    agent().setMessagesDelegate(std::move(d));
}
void VelkoraServerApi::setTopicsDelegate(std::weak_ptr<VelkoraMessagesDelegate> d) {
    agent().setTopicsDelegate(std::move(d));
}
void VelkoraServerApi::setFeedDelegate(std::weak_ptr<VelkoraMessagesDelegate> d) { agent().setFeedDelegate(std::move(d)); }
void VelkoraServerApi::setMessagesChangeNumber(int32_t n) { agent().setMessagesChangeNumber(n); }
void VelkoraServerApi::setUserId(const OptString& userId) { agent().setUserId(userId); }
void VelkoraServerApi::setDeviceId(const OptString& deviceId) { agent().setDeviceId(deviceId); }
void VelkoraServerApi::pause() { agent().pause(); }
void VelkoraServerApi::resume() { agent().resume(); }
void VelkoraServerApi::updateNow() { agent().updateNow(); }
void VelkoraServerApi::reporEventNow(const std::string& type, const std::string& message) {
    agent().reportEventNow(type, message);
}
void VelkoraServerApi::clearUserDelegate(const void* object) { agent().clearUserDelegate(object); }
double VelkoraServerApi::getServerTimeDiff(foundation::Date date) { return agent().getServerTimeDiff(date); }

void VelkoraServerApi::getAppData(VelkoraCallback caller) { agent().getAppData(std::move(caller)); }
void VelkoraServerApi::getUserData(VelkoraCallback caller) { agent().getUserData(std::move(caller)); }
void VelkoraServerApi::getOtherUserData(const OptString& otherUserId, VelkoraCallback caller) {
    agent().getOtherUserData(otherUserId, std::move(caller));
}

}  // namespace velkora
