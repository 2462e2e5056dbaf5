// The web view against the real service over loopback HTTPS, with a delegate that writes down every
// call in order.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/UrlConnection.h"
#include "platform/ui/WebView.h"
#include "services/SocialFixture.h"
#include "velkora_service/WebPages.h"

namespace velkora::testing {

// "should 5 <url>", "start", "finish" (with " loading" while frames still load), "fail <domain> <code>".
class RecordingWebDelegate : public ui::WebViewDelegate {
public:
    std::vector<std::string> events;
    // Answers should-start; allows everything when empty.
    std::function<bool(ui::WebView&, const foundation::UrlRequest&, int)> decide;
    int finishes = 0;
    int failures = 0;
    foundation::ErrorPtr lastError;

    bool webViewShouldStartLoadWithRequest(ui::WebView& view, const foundation::UrlRequest& request,
                                           int navigationType) override {
        events.push_back("should " + std::to_string(navigationType) + " " + request.url);
        return decide ? decide(view, request, navigationType) : true;
    }
    void webViewDidStartLoad(ui::WebView&) override { events.push_back("start"); }
    void webViewDidFinishLoad(ui::WebView& view) override {
        ++finishes;
        events.push_back(view.isLoading() ? "finish loading" : "finish");
    }
    void webViewDidFailLoadWithError(ui::WebView&, const foundation::ErrorPtr& error) override {
        ++failures;
        lastError = error;
        events.push_back("fail " + (error ? error->domain + " " + std::to_string(error->code) : std::string("null")));
    }
};

// The service, the test clock and a fresh application come from the social stand-ins' fixture; this
// points the web stand-ins' endpoints at the service and adds a web view with a recording delegate.
class WebViewTest : public SocialTest {
protected:
    void SetUp() override {
        SocialTest::SetUp();
        if (HasFatalFailure()) return;
        using Endpoints = services::OutsideEndpoints;
        for (auto which :
             {Endpoints::Service::StoreLookup, Endpoints::Service::AdNetwork, Endpoints::Service::VideoService})
            Endpoints::setBase(which, service().baseUrl() + Endpoints::standInPrefix(which));
        view_ = ui::WebView::create({0, 0, 320, 480});
        delegate_ = std::make_shared<RecordingWebDelegate>();
        view_->setDelegate(delegate_);
    }

    void TearDown() override {
        view_.reset();
        SocialTest::TearDown();
    }

    std::string base() { return service().baseUrl(); }
    ui::WebView& view() { return *view_; }
    RecordingWebDelegate& delegate() { return *delegate_; }

    struct Fetched {
        long status = 0;
        std::string body;
        foundation::UrlResponse response;
        foundation::ErrorPtr error;
    };
    // One GET over the transport, redirects not followed.
    Fetched fetch(const std::string& url) {
        struct Collector : foundation::UrlConnectionDelegate {
            Fetched out;
            bool done = false;
            void connectionDidReceiveResponse(foundation::UrlConnection&, const foundation::UrlResponse& r) override {
                out.response = r;
                out.status = r.statusCode;
            }
            void connectionDidReceiveData(foundation::UrlConnection&, const uint8_t* d, size_t n) override {
                out.body.append(reinterpret_cast<const char*>(d), n);
            }
            void connectionDidFinishLoading(foundation::UrlConnection&) override { done = true; }
            void connectionDidFailWithError(foundation::UrlConnection&, const foundation::ErrorPtr& e) override {
                out.error = e;
                done = true;
            }
        };
        auto collector = std::make_shared<Collector>();
        auto request = foundation::UrlRequest::get(url);
        request.followRedirects = false;
        auto connection = foundation::UrlConnection::start(request, collector);
        EXPECT_TRUE(connection);
        EXPECT_TRUE(waitFor([&] { return collector->done; }));
        return collector->out;
    }

    // Loads an address and waits until every frame has ended.
    void load(const std::string& url) {
        view_->loadRequest(foundation::UrlRequest::get(url));
        settle();
    }
    void settle() {
        ASSERT_TRUE(waitFor([this] { return !view_->isLoading(); }));
    }

    std::shared_ptr<ui::WebView> view_;
    std::shared_ptr<RecordingWebDelegate> delegate_;
};

} // namespace velkora::testing
