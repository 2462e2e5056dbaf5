// The stand-ins of the outside web interfaces that the service serves beside its own API, each under a
// prefix of its own ("/twitter", "/graph"). They keep their data in the service's database, are logged
// and fault-checked as "<prefix>/<path>", and skip the kit's time-stamp and CRC tag.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Database.h"
#include "velkora_service/QueryText.h"
#include "velkora_service/Service.h"

namespace velkora::service {

struct OutsideRequest {
    Database& db;
    const ServiceOptions& options;
    std::string method;
    std::string path;          // after the prefix and its slash: "1.1/users/show.json"
    std::string url;           // the whole address the client sent to, without the query
    QueryText params;          // the query, then the form body of a POST
    std::string authorization; // the Authorization header, empty when absent
    double now = 0;            // the service's clock
    std::string baseUrl;       // https://HOST:PORT as the client reached us
};

struct OutsideRoute {
    std::string prefix; // "/twitter"
    std::function<void(Database&)> createSchema;
    std::function<LocalReply(OutsideRequest&)> handler;
    // Fills the tables from the seed's section for this stand-in (may be empty).
    std::function<void(Database&, const std::string& seedPath, double now)> seed;
};

std::vector<OutsideRoute> buildOutsideRoutes();

// One route per stand-in, each in a file of its own.
OutsideRoute twitterRoute();
OutsideRoute graphRoute();
// The pictures the service serves by address (Pictures.cpp), and the pictures clients posted.
OutsideRoute picturesRoute();
OutsideRoute uploadedImagesRoute();
OutsideRoute storeRoute();
// The store lookup, the ad network and the video service (AdStandIns.cpp).
OutsideRoute appStoreLookupRoute();
OutsideRoute adNetworkRoute();
OutsideRoute videoRoute();
// The application's own pages: terms, privacy policy, community rules (WebPages.cpp).
OutsideRoute pagesRoute();

namespace outside {

// A JSON reply with a status.
LocalReply json(int status, const std::string& body);
// A small square PNG of one colour picked from `key`, as the stand-ins' profile pictures.
std::string picturePng(const std::string& key);
// RGBA pixels, row after row, as a PNG.
std::string encodePng(uint32_t width, uint32_t height, const std::string& rgba);
// Text put into an HTML page or one of its attribute values: & < > " escaped.
std::string escapeHtml(const std::string& text);
// The percent escaping of OAuth: everything but unreserved characters.
std::string percentEncode(const std::string& text);
// Accounts of the stand-ins that sign in with a password keep a salted digest of it. An account without
// one is given the password of the first device that signs in to it, as signing up would.
bool passwordOfAccount(Database& db, const std::string& table, const std::string& keyColumn, const SqlValue& key,
                       const std::string& password);

} // namespace outside

} // namespace velkora::service
