#include "data/VelkoraLikeObject.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/foundation/Log.h"
#include "platform/services/OutsideEndpoints.h"

namespace velkora {

namespace {

constexpr std::array<std::string_view, 7> kTypeWords = {"NONE", "IMAGE", "VIDEO", "POST", "COMMENT", "TOPIC", "OTHER"};

bool containsIgnoringCase(std::string_view text, std::string_view word) {
    auto it = std::search(text.begin(), text.end(), word.begin(), word.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
    return it != text.end();
}

}  // namespace

OptionalText VelkoraLikeObject::getObjectTypeStr() const {
    if (type_ < 0 || type_ >= static_cast<int32_t>(kTypeWords.size())) return std::nullopt;
    return std::string(kTypeWords[static_cast<size_t>(type_)]);
}

void VelkoraLikeObject::setObjectTypeStr(std::string_view word) {
    for (size_t i = 0; i < kTypeWords.size(); ++i) {
        if (kTypeWords[i] == word) {
            type_ = static_cast<int32_t>(i);
            return;
        }
    }
}

std::string VelkoraLikeObject::likeObjectToKey() const {
    const std::string app = appId_.value_or("(null)");
    if (feedMessage_) return foundation::format("POST-%@,%d", app, feedMessage_->originalId());
    if (chatRoomsComment_) return foundation::format("COMMENT-%@,%d", app, chatRoomsComment_->commentId());
    if (chatRoomsTopic_) return foundation::format("TOPIC-%@,%d", app, chatRoomsTopic_->topicId());
    return foundation::format("LIKE-%@,%@", app, data_ ? foundation::FormatArg(*data_) : nullptr);
}

void VelkoraLikeObject::calculateVideoPreviewImage() {
    if (calculatedImageUrl_ || !data_) return;
    const std::string& link = *data_;
    if (!containsIgnoringCase(link, "youtube")) return;
    size_t at = link.find("v=");
    if (at == std::string::npos) return;
    std::string videoId = link.substr(at + 2);
    if (size_t amp = videoId.find('&'); amp != std::string::npos) videoId.resize(amp);
    // Stills come from the video service's base, which is always HTTPS.
    calculatedImageUrl_ =
        services::OutsideEndpoints::url(services::OutsideEndpoints::Service::VideoService, "vi/" + videoId + "/hqdefault.jpg");
}

}  // namespace velkora
