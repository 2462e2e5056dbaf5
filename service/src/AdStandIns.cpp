// The stand-ins around promoted applications:
//   /appstore/lookup?id=N    the store lookup: "resultCount" and "results" of the deals, each deal known by
//                            a nine-digit store id
//   /appstore/artwork/N[.size].png   an application's artwork, the same picture in every size
//   /adnet/ad?sdk_key=...    the ad network's HTML banner for "package_name" ([free-|native-]<appId>): a
//                            page linking to /adnet/click; an unknown key or an app without deals gets an
//                            empty page
//   /adnet/click?id=N        302 to the deal's store address, "itms-apps://.../id<N>?mt=8"
//   /adnet/banner/N.png      the banner's picture
//   /video/vi/<id>/hqdefault.jpg, /video/embed/<id>   a video's still and its embed page
#include <sstream>

#include "Commands.h"
#include "OutsideRoutes.h"

namespace velkora::service {

namespace {

// The store ids of the deals: this base plus the deal's row id, nine digits.
constexpr int64_t kStoreIdBase = 600000000;

LocalReply html(int status, const std::string& page) {
    return {status, page, "text/html; charset=utf-8", false, {}};
}

LocalReply picture(const std::string& key) {
    return {200, outside::picturePng(key), "image/png", false, {}};
}

struct Deal {
    int64_t storeId = 0;
    Json data;
};

std::optional<Deal> dealByStoreId(Database& db, const std::string& text) {
    auto storeId = parseInteger(text);
    if (!storeId || *storeId <= kStoreIdBase || *storeId > 999999999) return std::nullopt;
    auto data = db.scalarText("SELECT data FROM app_deals WHERE id = ?", {*storeId - kStoreIdBase});
    if (!data) return std::nullopt;
    Json json = Json::parse(*data, nullptr, false);
    if (!json.is_object()) return std::nullopt;
    return Deal{*storeId, json};
}

LocalReply lookup(OutsideRequest& r) {
    Json results = Json::array();
    if (auto deal = dealByStoreId(r.db, r.params.value("id"))) {
        // The store's artwork in its own sizes: the kit asks for the 114-pixel icon by its file name.
        std::string artwork = r.baseUrl + "/appstore/artwork/" + std::to_string(deal->storeId);
        results.push_back({{"trackId", deal->storeId},
                           {"trackName", deal->data.value("name", "")},
                           {"description", deal->data.value("description", "")},
                           {"artworkUrl60", artwork + ".60.png"},
                           {"artworkUrl512", artwork + ".png"},
                           {"sellerName", deal->data.value("developer", "")},
                           {"trackViewUrl", "https://apps.example/app/id" + std::to_string(deal->storeId)}});
    }
    return outside::json(200, Json{{"resultCount", results.size()}, {"results", results}}.dump());
}

LocalReply answerAppStore(OutsideRequest& r) {
    if (r.path == "lookup") return lookup(r);
    // "artwork/<store id>[.<size>].png": one picture per application, whatever the size asked.
    if (r.path.rfind("artwork/", 0) == 0 && r.path.size() > 12 && r.path.ends_with(".png")) {
        std::string id = r.path.substr(8);
        return picture("artwork/" + id.substr(0, id.find('.')));
    }
    return outside::json(404, R"({"errorMessage":"Invalid value(s) for key(s): [path]"})");
}

LocalReply banner(OutsideRequest& r) {
    if (r.params.value("sdk_key") != kAdNetworkSdkKey) return html(200, "");
    std::string appId = r.params.value("package_name");
    for (const char* prefix : {"native-", "free-"})
        if (appId.rfind(prefix, 0) == 0) appId.erase(0, std::string(prefix).size());
    std::vector<int64_t> ids;
    Statement s = r.db.prepare("SELECT id FROM app_deals WHERE app_id = ? ORDER BY position, id");
    s.bindAll({appId});
    while (s.step())
        ids.push_back(s.integer(0));
    if (ids.empty()) return html(200, "");
    // Each request shows the next deal, round the list.
    int64_t id = ids[static_cast<size_t>(r.db.nextSequence("adnet_banner") % static_cast<int64_t>(ids.size()))];
    auto deal = dealByStoreId(r.db, std::to_string(kStoreIdBase + id));
    if (!deal) return html(200, "");
    std::string name = outside::escapeHtml(deal->data.value("name", ""));
    std::string base = outside::escapeHtml(r.baseUrl);
    std::string click = base + "/adnet/click?id=" + std::to_string(deal->storeId);
    std::ostringstream page;
    page << "<html><head><title>" << name << "</title></head><body style=\"margin:0\">"
         << "<div class=\"banner\"><a href=\"" << click << "\"><img src=\"" << base << "/adnet/banner/" << deal->storeId
         << ".png\" width=\"320\" height=\"50\" alt=\"" << name << "\"/>" << name << " - "
         << outside::escapeHtml(deal->data.value("description", "")) << "</a></div></body></html>";
    return html(200, page.str());
}

LocalReply answerAdNetwork(OutsideRequest& r) {
    if (r.path == "ad") return banner(r);
    if (r.path == "click") {
        auto deal = dealByStoreId(r.db, r.params.value("id"));
        if (!deal) return html(404, "<html><body>No such ad</body></html>");
        LocalReply reply = html(302, "");
        reply.headers.emplace_back("Location",
                                   "itms-apps://apps.example/app/id" + std::to_string(deal->storeId) + "?mt=8");
        return reply;
    }
    if (r.path.rfind("banner/", 0) == 0) return picture(r.path);
    return html(404, "");
}

LocalReply answerVideo(OutsideRequest& r) {
    const std::string& p = r.path;
    if (p.rfind("vi/", 0) == 0 && p.size() > 18 && p.compare(p.size() - 14, 14, "/hqdefault.jpg") == 0)
        return picture(p.substr(3, p.size() - 17));
    if (p.rfind("embed/", 0) == 0 && p.size() > 6) {
        std::string id = outside::escapeHtml(p.substr(6));
        return html(200, "<html><head><title>Video " + id + "</title></head><body><img src=\"" +
                             outside::escapeHtml(r.baseUrl) + "/video/vi/" + id + "/hqdefault.jpg\"/></body></html>");
    }
    return html(404, "");
}

void noSchema(Database&) {}

} // namespace

OutsideRoute appStoreLookupRoute() {
    return {"/appstore", noSchema, answerAppStore, nullptr};
}

OutsideRoute adNetworkRoute() {
    return {"/adnet", noSchema, answerAdNetwork, nullptr};
}

OutsideRoute videoRoute() {
    return {"/video", noSchema, answerVideo, nullptr};
}

} // namespace velkora::service
