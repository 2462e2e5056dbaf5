#include "data/VelkoraFeatureRegistry.h"

#include <iterator>

namespace velkora {

namespace {

constexpr VelkoraFeatureRegistry::Entry kEntries[] = {
    {0, "feed"},          {1, "inbox"},          {2, "blog"},           {3, "invite"},        {4, "radar"},
    {100, "feedback"},    {101, "apps"},         {102, "leaderboard"},  {103, "quiz"},        {104, "login"},
    {105, "signup"},      {106, "myprofile"},    {107, "profile"},      {108, "chat"},        {109, "blogTopic"},
    {110, "menu"},        {111, "stickerStore"}, {112, "talkToUs"},     {113, "userfollowers"}, {114, "userfollowing"},
    {115, "userPosts"},
};

}  // namespace

const VelkoraFeatureRegistry::Entry* VelkoraFeatureRegistry::entries(size_t* count) {
    if (count) *count = std::size(kEntries);
    return kEntries;
}

std::optional<std::string> VelkoraFeatureRegistry::featureNameById(uint32_t featureId) {
    for (const auto& e : kEntries)
        if (static_cast<uint32_t>(e.featureId) == featureId) return std::string(e.name);
    return std::nullopt;
}

int32_t VelkoraFeatureRegistry::featureIdByName(std::optional<std::string_view> name) {
    if (!name) return 5;
    for (const auto& e : kEntries)
        if (*name == e.name) return e.featureId;
    return 5;
}

}  // namespace velkora
