// The ad network as the kit uses it: the kit's account key, the banner page request, the link inside a
// banner page, and the store addresses that link leads to.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velkora {

class VelkoraAdNetwork {
public:
    // The kit's account at the ad network: 86 characters of the URL-safe Base64 alphabet.
    static constexpr std::string_view kSdkKey =
        "1JtEEpRjAtsgZxITiO8QTSkCIXKdGJ2Pep9DgvyE5ayKyuBrAuKz7cwYyMoZm7hEr2wgqj4CbzEBADmlbiVjFr";
    static constexpr const char* kBannerSize = "BANNER";
    static constexpr const char* kInterstitialSize = "INTER";
    // Pages shorter than this (in characters) cannot hold a usable banner.
    static constexpr size_t kShortestPage = 100;

    // The address of an ad page for an application: `packagePrefix` is "" for the banner,
    // "native-" for native ads and "free-" for the reward offer; `size` is kBannerSize or
    // kInterstitialSize. The device identity pair comes last.
    static std::string adRequestUrl(std::string_view packagePrefix, std::string_view size, const std::string& appId);

    // The text between the first `href="` and the next `"`. Pages too short, or without either end,
    // log their line (whose first word is `what`: "Ad", "Reward") and give nothing.
    static std::optional<std::string> parseAdUrl(std::string_view html, std::string_view what = "Ad");

    // A store address is one whose scheme contains "itms".
    static bool isStoreAddress(std::string_view url);

    // The decimal digits right after "/id" (or else "?id="); empty when none follow. Nothing (logged)
    // for an empty address or one without either marker.
    static std::optional<std::string> extractAppId(std::string_view url);

    // A store icon's address asked at 114 pixels: the last ".png" (else ".jpg", else ".jpeg") becomes
    // ".114x114-75.png"; an address without any of them is kept.
    static std::string fixImageUrlSize(std::string_view url);
};

} // namespace velkora
