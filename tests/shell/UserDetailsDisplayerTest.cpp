#include <algorithm>

#include "ShellServiceFixture.h"
#include "data/VelkoraUserInternal.h"
#include "platform/foundation/TextBreaks.h"
#include "platform/ui/Utf16.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraUserDetailsDisplayer.h"

using namespace velkora;
using namespace velkora::testing;
using D = VelkoraUserDetailsDisplayer;
using OptString = std::optional<std::string>;

namespace {

// "e" and a combining acute accent: one character, two code points.
const std::string kDecomposedE = "E\xCC\x81";
// Woman technologist: woman, zero-width joiner, laptop; one character, five UTF-16 units.
const std::string kTechnologist = "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB";
// A single emoji outside the basic plane: one character, a surrogate pair.
const std::string kGrin = "\xF0\x9F\x98\x80";

std::shared_ptr<VelkoraUserInternal> user(OptString first, OptString last) {
    auto u = std::make_shared<VelkoraUserInternal>();
    u->setFirstName(std::move(first));
    u->setLastName(std::move(last));
    return u;
}

} // namespace

TEST(UserDetailsDisplayerTest, NameFormsOfOneUser) {
    struct Case {
        OptString first, last;
        std::string initial;
        std::string full;
        std::string shortName;
        std::string displayedFirst;
        std::string displayedLast;
    };
    const Case cases[] = {
        {"John", "Smith", "John S.", "John Smith", "John", "John", "Smith"},
        // Trimming keeps the initial's case; the full name is untrimmed.
        {"  John\t", "smith", "John s.", "  John\t smith", "", "  John\t", "smith"},
        {"Mary Ann Smith", std::nullopt, "Mary A.", "Mary Ann Smith", "Mary", "Mary", "Ann Smith"},
        {"Madonna", "", "Madonna", "Madonna", "Madonna", "Madonna", ""},
        {std::nullopt, "Smith", "Smith", "Smith", "Smith", "", "Smith"},
        {" \t", "  ", "", "", "", "", "  "},
        {std::nullopt, std::nullopt, "", "", "", "", ""},
        // Initials are whole characters: an accent stays with its letter, an emoji stays whole.
        {"Rene", kDecomposedE + "mile", "Rene " + kDecomposedE + ".", "", "", "", ""},
        {"Ada", kTechnologist + " Dev", "Ada " + kTechnologist + ".", "", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first.value_or("(nil)") + "|" + c.last.value_or("(nil)"));
        auto u = user(c.first, c.last);
        EXPECT_EQ(D::nameWithInitial(u.get()), c.initial);
        if (c.full.empty()) continue; // the character rows check only the initial
        EXPECT_EQ(D::nameFull(u.get()), c.full);
        EXPECT_EQ(D::firstName(u.get()), c.displayedFirst);
        EXPECT_EQ(D::lastName(u.get()), c.displayedLast);
        EXPECT_EQ(D::nameShort(u.get()), c.shortName);
    }
    // " \t" is no first name once trimmed, but the short name is taken untrimmed, as the host stored it.
    EXPECT_EQ(D::nameShort(user(" \t", "  ").get()), "");
    EXPECT_EQ(D::nameShort(user("\tAl", "B").get()), "\tAl");
}

TEST(UserDetailsDisplayerTest, LimitsCountUnitsAndNeverSplitACharacter) {
    struct Case {
        std::string first, last;
        int32_t limit;
        std::string full;
    };
    const Case cases[] = {
        {"Alexander", "Hamilton", 10, "Alexand..."},
        {"Alexander", "Hamilton", 18, "Alexander Hamilton"},
        {"Alexander", "Hamilton", 0, "Alexander Hamilton"},
        {"Alexander", "Hamilton", -4, "Alexander Hamilton"},
        // Too small for any of the name: as much of the ellipsis as fits, never a cut before the start.
        {"Alexander", "Hamilton", 1, "."},
        {"Alexander", "Hamilton", 2, ".."},
        {"Alexander", "Hamilton", 3, "..."},
        // The cut after "Ab" + half of the emoji's surrogate pair keeps the emoji out: one unit short.
        {"Ab" + kGrin + "cdefgh", "", 6, "Ab..."},
        {"Ab" + kGrin + "cdefgh", "", 7, "Ab" + kGrin + "..."},
        // Nor does it part an accent from its letter, or break a joined emoji.
        {"Ren" + kDecomposedE + "e Smith", "", 7, "Ren..."},
        {"Hi " + kTechnologist + " there", "", 8, "Hi ..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first + " " + std::to_string(c.limit));
        std::string full = D::firstNameLastNameString(c.first, c.last, c.limit);
        EXPECT_EQ(full, c.full);
        if (c.limit > 0) {
            EXPECT_LE(velkora::ui::utf16::length(full), size_t(c.limit));
        }
    }
    EXPECT_EQ(D::nameWithInitial(user("Alexander", "Hamilton").get(), 6), "Ale...");
    EXPECT_EQ(D::nameWithInitial(user("Alexander", "Hamilton").get(), 2), "..");
    // An empty name is "" whatever the limit.
    EXPECT_EQ(D::firstNameLastNameString("", "", 2), "");
}

TEST(UserDetailsDisplayerTest, NullUsersGiveEmptyTexts) {
    EXPECT_EQ(D::nameWithInitial(nullptr), "");
    EXPECT_EQ(D::nameFull(nullptr, 5), "");
    EXPECT_EQ(D::nameShort(nullptr), "");
    EXPECT_EQ(D::firstName(nullptr), "");
    EXPECT_EQ(D::lastName(nullptr), "");
    EXPECT_EQ(D::nameAndAge(nullptr), "");
    EXPECT_EQ(D::age(nullptr), "");
    EXPECT_EQ(D::gender(nullptr), std::nullopt);
    EXPECT_EQ(D::distance(nullptr), "");
    EXPECT_EQ(D::locationString(nullptr), "");
}

TEST(UserDetailsDisplayerTest, PlacesAgesAndGender) {
    struct Case {
        OptString city, state;
        const char* place;
    };
    const Case cases[] = {
        {"Paris", std::nullopt, "Paris"}, {"Austin", "TX", "Austin, TX"}, {"", "TX", ", TX"},
        {std::nullopt, "TX", "TX"},       {"Paris", "", "Paris"},         {"", std::nullopt, ""},
        {std::nullopt, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        auto u = user("A", "B");
        u->setCity(c.city);
        u->setState(c.state);
        EXPECT_EQ(D::locationString(u.get()), c.place) << c.city.value_or("(nil)") << "|" << c.state.value_or("(nil)");
    }
    auto u = user("Ann", "B");
    EXPECT_EQ(D::age(u.get()), "");
    u->setAge(-3);
    EXPECT_EQ(D::age(u.get()), "");
    u->setAge(31);
    EXPECT_EQ(D::age(u.get()), "31");
    EXPECT_EQ(D::gender(u.get()), std::nullopt);
    u->setGender("fEMALE");
    EXPECT_EQ(D::gender(u.get()), "Female");
    u->setGender("non binary");
    EXPECT_EQ(D::gender(u.get()), "Non Binary");
    u->setGender("");
    EXPECT_EQ(D::gender(u.get()), "");
}

namespace {

class UserDetailsFromServiceTest : public ShellServiceTest {
protected:
    std::string make(const std::string& first, const std::string& last, std::optional<int> age = std::nullopt,
                     std::optional<VelkoraCoordinate> at = std::nullopt) {
        service::UserFields f;
        f.firstName = first;
        f.lastName = last;
        f.age = age;
        f.city = "Auckland";
        f.state = "AKL";
        if (at) {
            f.longitude = at->longitude;
            f.latitude = at->latitude;
            f.located = true;
        }
        return svc.createUser(kApp, f);
    }
    std::shared_ptr<VelkoraUserInternal> readBack(const std::string& id) {
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getOtherUserData(id, Caller::of(caller));
        EXPECT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        return caller->answers.empty() ? nullptr : caller->answers[0].asObject<VelkoraUserInternal>();
    }
    std::vector<std::shared_ptr<VelkoraUserInternal>> nearby() {
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getNearbyUsers(50000, Caller::of(caller));
        EXPECT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        std::vector<std::shared_ptr<VelkoraUserInternal>> out;
        if (!caller->answers.empty())
            if (auto* list = caller->answers[0].asArray())
                for (const auto& v : *list)
                    out.push_back(v.asObject<VelkoraUserInternal>());
        return out;
    }
};

constexpr VelkoraCoordinate kHere{174.7633, -36.8485};

} // namespace

TEST_F(UserDetailsFromServiceTest, NamesOfUsersTheServiceHolds) {
    startAt(kHere);
    serveConfiguration(R"({"appName":"Test","displayAge":true})");
    struct Case {
        std::string first, last;
        std::string initial, nameAndAge;
    };
    const Case cases[] = {
        {"  John  ", "smith", "John s.", "  John  , 40"},
        {"Mary Ann Smith", "", "Mary A.", "Mary Ann Smith, 40"},
        {"Rene", kDecomposedE + "mile", "Rene " + kDecomposedE + ".", "Rene, 40"},
        {"Ada", kTechnologist, "Ada " + kTechnologist + ".", "Ada, 40"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        auto u = readBack(make(c.first, c.last, 40));
        ASSERT_TRUE(u);
        EXPECT_EQ(D::nameWithInitial(u.get()), c.initial);
        EXPECT_EQ(D::nameAndAge(u.get()), c.nameAndAge);
        EXPECT_EQ(D::locationString(u.get()), "Auckland, AKL");
    }
    // A limit that lands inside an emoji's surrogate pair leaves the whole emoji out.
    auto grin = readBack(make("Zo" + kGrin + "e", "Quinn-Montgomery"));
    ASSERT_TRUE(grin);
    EXPECT_EQ(D::nameFull(grin.get(), 6), "Zo...");
    EXPECT_EQ(D::nameShort(grin.get()), "Zo" + kGrin + "e");
}

TEST_F(UserDetailsFromServiceTest, DistancesInTheServedUnits) {
    // About 945 m, 2.4 km and 22 km north of the device.
    const double north[] = {0.0085, 0.0216, 0.2};
    for (double d : north)
        make("N", "", std::nullopt, VelkoraCoordinate{kHere.longitude, kHere.latitude - d});
    struct Case {
        const char* configuration;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {R"({"appName":"Test","distanceUnits":"K"})", {"0.9 km", "2.4 km", "22 km"}},
        {R"({"appName":"Test","distanceUnits":"M"})", {"0.6 mi", "1.5 mi", "14 mi"}},
    };
    startAt(kHere);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.configuration);
        serveConfiguration(c.configuration);
        std::vector<std::string> texts;
        for (const auto& u : nearby())
            texts.push_back(D::distance(u.get()));
        std::sort(texts.begin(), texts.end(), [](const std::string& a, const std::string& b) {
            return std::stod(a) < std::stod(b) || (std::stod(a) == std::stod(b) && a < b);
        });
        EXPECT_EQ(texts, c.texts);
    }
}
