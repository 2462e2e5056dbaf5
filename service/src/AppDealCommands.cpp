// Promoted applications: the service's own list (getApps) and the ad exchange's "/1.1/getads", which
// lists the same promotions in the exchange's shape to the publisher's application.
#include "Commands.h"

namespace velkora::service {

namespace {

constexpr int64_t kMostAds = 50;

Json field(const Json& data, const char* key) {
    auto it = data.find(key);
    return it == data.end() ? Json(nullptr) : *it;
}

template <class Each>
void forEachDeal(Database& db, const std::string& appId, int64_t limit, Each each) {
    Statement s = db.prepare("SELECT id, data FROM app_deals WHERE app_id = ? ORDER BY position, id LIMIT ?");
    s.bindAll({appId, limit});
    while (s.step()) {
        Json data = Json::parse(s.text(1), nullptr, false);
        each(s.integer(0), data.is_object() ? data : Json::object());
    }
}

Json getApps(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    ctx.requireUser(appId);
    Json apps = Json::array();
    forEachDeal(ctx.db(), appId, -1, [&](int64_t id, const Json& d) {
        apps.push_back({{"id", id},
                        {"name", field(d, "name")},
                        {"icon", field(d, "icon")},
                        {"category", field(d, "category")},
                        {"developer", field(d, "developer")},
                        {"url", field(d, "url")},
                        {"price", field(d, "price")},
                        {"isFree", d.value("isFree", false)},
                        {"rating", d.value("rating", 0.0)}});
    });
    return {{"apps", apps}};
}

Json refusal(const std::string& message) {
    return {{"validResponse", false}, {"errorMessage", message}, {"adsDetails", Json::array()}};
}

bool nineDigits(const std::string& s) {
    return s.size() == 9 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

// The exchange answers in its own envelope: a request it cannot serve is "validResponse" false with
// the reason, never a service error.
Json exchangeAds(CommandContext& ctx) {
    const QueryText& q = ctx.params();
    if (!nineDigits(q.value("publisherId")) || !nineDigits(q.value("productId")))
        return refusal("Unknown publisher or product");
    std::string appId = q.value("subPublisherId");
    if (appId.empty() || !rows::appExists(ctx.db(), appId)) return refusal("Unknown sub-publisher");
    auto count = parseInteger(q.value("adsNumber", "10"));
    if (!count || *count < 0) return refusal("Bad adsNumber");
    Json ads = Json::array();
    forEachDeal(ctx.db(), appId, std::min(*count, kMostAds), [&](int64_t, const Json& d) {
        ads.push_back({{"title", field(d, "name")},
                       {"imageUrl", field(d, "icon")},
                       {"category", field(d, "category")},
                       {"developer", field(d, "developer")},
                       {"description", field(d, "description")},
                       {"clickUrl", field(d, "url")},
                       {"trackingUrl", field(d, "trackingUrl")},
                       {"price", field(d, "price")},
                       {"installs", field(d, "installs")},
                       {"rating", field(d, "rating")}});
    });
    return {{"validResponse", true}, {"errorMessage", nullptr}, {"adsDetails", ads}};
}

void registerAppDealCommands(CommandTable& table) { table.commands["getApps"] = getApps; }

} // namespace velkora::service
