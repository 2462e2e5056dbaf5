#include <gtest/gtest.h>

#include "SessionTestSupport.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/Log.h"
#include "server/utils/VelkoraKXJsonParser.h"
#include "data/VelkoraAppData.h"

using namespace velkora;
using foundation::Value;

namespace {

Value json(const std::string& text) {
    VelkoraKXJsonParser parser;
    auto v = parser.objectWithString(text);
    EXPECT_TRUE(v) << text;
    if (!v) return Value();
    return std::move(*v);
}

// An archive written by hand, as an older version of the kit left it: only the keys given.
std::string archiveWithKeys(const std::string& keys) {
    return R"({"archive":"velkora.keyed-archive","version":1,"root":{"class":"VelkoraAppData","keys":{)" + keys + "}}}";
}

std::shared_ptr<VelkoraAppData> decode(const std::string& text) {
    VelkoraAppData::registerForArchiving();
    return std::dynamic_pointer_cast<VelkoraAppData>(foundation::KeyedUnarchiver::unarchiveText(text));
}

std::shared_ptr<VelkoraAppFeatures> feature(const std::string& id, bool custom = false, const std::string& name = "") {
    auto f = std::make_shared<VelkoraAppFeatures>();
    f->setFeatureId(id);
    f->setFeatureName(name.empty() ? id : name);
    f->setIsCustom(custom);
    return f;
}

class AppDataTest : public velkora::testing::SessionTest {};

TEST_F(AppDataTest, AnOldArchiveWithoutTheSocialFlagsReadsThemOnAndTheThresholdAs25) {
    auto d = decode(archiveWithKeys(R"("theme":{"object":{"string":"dark"}})"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->theme(), "dark");
    for (bool flag : {d->enableInviteFacebook(), d->enableInviteTwitter(), d->enableInviteEmail(), d->enableInviteSms(),
                      d->enableTwitter(), d->enableFacebook(), d->appReward()})
        EXPECT_TRUE(flag);
    EXPECT_EQ(d->appRewardQuizThreshold(), 25);

    auto explicitOff = decode(archiveWithKeys(R"("enableTwitter":{"bool":false},"appRewardQuizThreshold":{"int32":3})"));
    EXPECT_FALSE(explicitOff->enableTwitter());
    EXPECT_EQ(explicitOff->appRewardQuizThreshold(), 3);

    auto reply = VelkoraAppData::fromReply(json(R"({"appName":"X"})"));
    ASSERT_TRUE(reply);
    EXPECT_FALSE(reply->enableTwitter());
    EXPECT_FALSE(reply->appReward());
    EXPECT_EQ(reply->appRewardQuizThreshold(), 0);
}

TEST_F(AppDataTest, LegacyFeatureTextBuildsEntriesInTheFixedOrder) {
    auto d = decode(archiveWithKeys(R"("enabledFeatures":{"object":{"string":"feed,radar,profile"}},"velkoraAppFeatures":{"object":{"array":[]}})"));
    ASSERT_TRUE(d);
    ASSERT_EQ(d->appFeatures().size(), 2u);
    EXPECT_EQ(d->appFeatures()[0]->featureId(), "radar");
    EXPECT_EQ(d->appFeatures()[0]->featureName(), "Radar");
    EXPECT_EQ(d->appFeatures()[1]->featureId(), "feed");
}

TEST_F(AppDataTest, FeatureTestsAndAppDeals) {
    VelkoraAppData d;
    d.setAppFeatures({feature("feed"), feature("custom-radar", true, "radar")});
    EXPECT_TRUE(d.isFeedEnabled());
    EXPECT_FALSE(d.isRadarEnabled());  // a custom entry titled like the feature does not count
    EXPECT_FALSE(d.isFeatureEnabled(999));

    struct Case {
        int vendor, location;
        bool apps, want;
    } cases[] = {{2, 3, true, false}, {0, 3, false, true}, {0, 0, false, false}, {1, 0, true, true}};
    for (const auto& c : cases) {
        VelkoraAppData a;
        a.setAppDealsVendor(c.vendor);
        a.setAppBannerLocation(c.location);
        if (c.apps) a.setAppFeatures({feature("apps")});
        EXPECT_EQ(a.isAppDealsEnabled(), c.want) << c.vendor << "," << c.location;
    }
}

TEST_F(AppDataTest, BannerDataRules) {
    struct Case {
        const char* reply;
        int location;
    } cases[] = {
        {R"({"iosBannerVendor":1,"bannerData":{"position":2,"showInterval":30,"changeInterval":5.5,"closeInterval":3,"entry":true,"entryInterval":7}})", 2},
        {R"({"iosBannerVendor":1,"bannerData":{"position":5,"showInterval":30,"changeInterval":5.5,"closeInterval":3,"entry":true,"entryInterval":7}})", 0},
        {R"({"iosBannerVendor":4,"bannerData":{"position":2,"showInterval":30,"changeInterval":5.5,"closeInterval":3,"entry":true,"entryInterval":7}})", 0},
        {R"({"iosBannerVendor":-1,"bannerData":{"position":2,"showInterval":30,"changeInterval":5.5,"closeInterval":3,"entry":true,"entryInterval":7}})", 0},
    };
    for (const auto& c : cases) {
        auto d = VelkoraAppData::fromReply(json(c.reply));
        ASSERT_TRUE(d);
        EXPECT_EQ(d->appBannerLocation(), c.location) << c.reply;
        EXPECT_EQ(d->appBannerInterval(), 30.0f);
        EXPECT_EQ(d->appBannerChangeInterval(), 5.5f);
        EXPECT_EQ(d->appBannerDelay(), 3.0f);
        EXPECT_TRUE(d->appBannerEntryEnabled());
        EXPECT_EQ(d->appBannerEntryInterval(), 7.0f);
    }
    auto nullBanner = VelkoraAppData::fromReply(json(R"({"iosBannerVendor":1,"bannerData":null})"));
    EXPECT_EQ(nullBanner->appBannerLocation(), 0);
    EXPECT_EQ(nullBanner->appBannerInterval(), 0.0f);
}

TEST_F(AppDataTest, ReplyReadingTable) {
    auto d = VelkoraAppData::fromReply(json(R"({
        "appName":"Demo","theme":7,"welcomePopupDelay":"2.5","displayAge":"1","disableVelkora":true,
        "features":[{"id":"feed","name":"Feed","icon":"i.png","eventId":"e1","custom":"0"},{"id":"radar","custom":true}],
        "productIds":[{"key":"coins100","productId":"com.x.c100"},{"key":"bad"}],
        "distanceUnits":"k","iosAppVendor":3,"showPoweredBy":1,"adData":{"numAdsInTimeFrame":2,"timeFrame":600},
        "maxMessagesPerUpdate":50,"changeNumber":"12","dumpPlist":true})"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->appName(), "Demo");
    EXPECT_FALSE(d->theme());  // a number where a text belongs is absent, never stored as another type
    EXPECT_EQ(d->welcomePopupDelay(), 2.5f);
    EXPECT_TRUE(d->displayAge());
    EXPECT_TRUE(d->disableVelkora());
    ASSERT_EQ(d->appFeatures().size(), 2u);
    EXPECT_EQ(d->appFeatures()[0]->featureIcon(), "i.png");
    EXPECT_EQ(d->appFeatures()[0]->customEventId(), "e1");
    EXPECT_FALSE(d->appFeatures()[0]->isCustom());
    EXPECT_TRUE(d->appFeatures()[1]->isCustom());
    ASSERT_TRUE(d->productIds());
    EXPECT_EQ(d->productIds()->size(), 1u);
    EXPECT_EQ(d->productIds()->at("coins100"), "com.x.c100");
    EXPECT_EQ(d->distanceUnits(), 0);  // lower-case "k" stays miles
    EXPECT_EQ(d->appDealsVendor(), 3);
    EXPECT_TRUE(d->showPoweredByMessage());
    EXPECT_EQ(d->nAdsPerPeriod(), 2);
    EXPECT_EQ(d->adsPeriodSecs(), 600);
    EXPECT_EQ(d->maxMessagesPerUpdate(), 50);
    EXPECT_EQ(d->changeNumber(), 12);
    EXPECT_EQ(VelkoraAppData::fromReply(json(R"({"distanceUnits":"K"})"))->distanceUnits(), 1);
}

TEST_F(AppDataTest, AReplyWithoutAnAppDataObjectGivesNothing) {
    for (const char* v : {"null", "[]", "\"text\"", "3"}) EXPECT_FALSE(VelkoraAppData::fromReply(json(std::string("[") + v + "]").at(0))) << v;
    EXPECT_FALSE(VelkoraAppData::fromReply(Value()));
}

TEST_F(AppDataTest, LoadingSavingAndTheBuildStamp) {
    auto& agent = VelkoraAgentInternal::instance();
    {
        foundation::Log::Capture log;
        agent.initAppData("A1");
        EXPECT_TRUE(log.contains("Velkora (W) - app file doesn't exist in new place. Looking in old place"));
        EXPECT_TRUE(log.contains("Velkora - Saving app file in new place"));
    }
    EXPECT_EQ(VelkoraAppSettings::appId(), "A1");
    ASSERT_TRUE(agent.getAppData());
    EXPECT_EQ(agent.getAppData()->buildVersion(), "2.5.7");

    auto fresh = VelkoraAppData::fromReply(json(R"({"appName":"Saved","dumpPlist":true,"changeNumber":4})"));
    fresh->setAppImage(std::string("legacy.png"));
    agent.setAppData(fresh);
    ASSERT_TRUE(agent.saveAppData());

    VelkoraAgentInternal::resetForTests();
    VelkoraAgentInternal::instance().initAppData("A1");
    auto back = VelkoraAgentInternal::instance().getAppData();
    EXPECT_EQ(back->appName(), "Saved");
    EXPECT_EQ(back->changeNumber(), 4);
    EXPECT_EQ(back->appImage(), "legacy.png");
    EXPECT_EQ(back->buildVersion(), "2.5.7");
    EXPECT_FALSE(back->fwCompatabiltyDumpPlistToServer());  // not archived
}

TEST_F(AppDataTest, ArchivedProductIdsSurviveASaveAndALoad) {
    auto& agent = VelkoraAgentInternal::instance();
    agent.initAppData("A1");
    auto record = VelkoraAppData::fromReply(json(R"({"productIds":[
        {"key":"coins100","productId":"com.x.c100"},{"key":"stickers.cats","productId":"com.x.cats \u00e9"}]})"));
    agent.setAppData(record);
    ASSERT_TRUE(agent.saveAppData());

    VelkoraAgentInternal::resetForTests();
    VelkoraAgentInternal::instance().initAppData("A1");
    auto back = VelkoraAgentInternal::instance().getAppData();
    ASSERT_TRUE(back && back->productIds());
    EXPECT_EQ(*back->productIds(), (VelkoraAppData::ProductIds{{"coins100", "com.x.c100"},
                                                                {"stickers.cats", "com.x.cats \xC3\xA9"}}));
}

TEST_F(AppDataTest, OnlyTheOldFilePresent) {
    VelkoraAppData old;
    old.setAppName(std::string("Old"));
    ASSERT_TRUE(foundation::KeyedArchiver::archiveRootObject(old, docPath("app_data.dat")));
    VelkoraAgentInternal::instance().initAppData("A1");
    EXPECT_EQ(VelkoraAgentInternal::instance().getAppData()->appName(), "Old");
    EXPECT_TRUE(foundation::fileExists(docPath("app_data.dat")));
    EXPECT_TRUE(foundation::fileExists(docPath("persist_velkora_app_data.dat")));
}

}  // namespace
