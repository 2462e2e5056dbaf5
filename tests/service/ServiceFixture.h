// A service started in-process on an ephemeral port, and a client that speaks to it over loopback
// HTTPS the way the kit does: query texts with the time stamp and CRC tag, and form POSTs.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "velkora_service/QueryText.h"
#include "velkora_service/Service.h"

namespace velkora::service::testing {

using Json = nlohmann::json;

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        service_ = std::make_unique<Service>(options());
        ASSERT_TRUE(service_->start());
    }
    void TearDown() override { service_->stop(); }

    virtual ServiceOptions options() { return {}; }

    Service& service() { return *service_; }

    std::unique_ptr<httplib::SSLClient> client(bool trustCa = true) {
        auto c = std::make_unique<httplib::SSLClient>("127.0.0.1", service_->port());
        if (trustCa) c->set_ca_cert_path(service_->caFile().c_str());
        c->enable_server_certificate_verification(true);
        // Generous: a sanitized service on a shared machine can take well over ten seconds on a list of thousands.
        c->set_read_timeout(120, 0);
        c->set_url_encode(false); // the text goes out exactly as built, as the kit sends it
        return c;
    }

    // A time stamp of its own for each request, as the kit's clock gives: the service takes a request
    // with the text and tag of an earlier one for a re-send of it.
    double nextTimestamp() {
        timestamp_ += 1;
        return timestamp_;
    }

    // The request text after "?", tagged as the kit tags it (with the next time stamp unless given).
    std::string tagged(const std::string& query, double ts = -1) {
        if (ts < 0) ts = nextTimestamp();
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "&ts=%lf", ts);
        std::string text = query + stamp;
        uint32_t crc = crc32Of(service_->endpoint() + "?" + text);
        return text + "&crc=" + std::to_string(crc);
    }

    httplib::Result getRaw(const std::string& queryAfterQuestionMark) {
        return client()->Get(("/VelkoraServer2/api?" + queryAfterQuestionMark).c_str());
    }

    // Sends a tagged GET and returns the parsed reply (a string holding the body when it is not JSON).
    Json get(const std::string& query) {
        auto res = getRaw(tagged(query));
        if (!res) return "transport failure";
        Json reply = Json::parse(res->body, nullptr, false);
        return reply.is_discarded() ? Json(res->body) : reply;
    }

    Json post(const std::string& body) {
        auto res = client()->Post("/VelkoraServer2/api", body, "application/x-www-form-urlencoded");
        if (!res) return "transport failure";
        Json reply = Json::parse(res->body, nullptr, false);
        return reply.is_discarded() ? Json(res->body) : reply;
    }

    std::string newUser() {
        Json reply = get(std::string("command=createUser&clientType=1&build=2.5.7&appId=") + Service::kDemoAppId +
                         "&clientVersion=15&test=0");
        return reply.value("userId", std::string());
    }

    static std::string app() { return Service::kDemoAppId; }

private:
    std::unique_ptr<Service> service_;
    double timestamp_ = 1700000000.25 - 1;
};

} // namespace velkora::service::testing
