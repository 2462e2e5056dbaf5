// Feature ids and names: every screen the kit can show is a feature with a small id and a short name.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velkora {

// One entry of the session's registry: a feature, whether it was marked for preloading (its badge counts
// from then on) and the host's block waiting for its first load.
class VelkoraFeatureDetails {
public:
    VelkoraFeatureDetails() = default;
    VelkoraFeatureDetails(int32_t featureId, std::string name) : featureId_(featureId), name_(std::move(name)) {}
    int32_t featureId() const { return featureId_; }
    void setFeatureId(int32_t id) { featureId_ = id; }
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    const std::function<void()>& completionBlock() const { return completionBlock_; }
    void setCompletionBlock(std::function<void()> block) { completionBlock_ = std::move(block); }
    // Hands the waiting block out once and forgets it.
    std::function<void()> takeCompletionBlock() {
        auto block = std::move(completionBlock_);
        completionBlock_ = nullptr;
        return block;
    }
    bool wasPreloaded() const { return wasPreloaded_; }
    void setWasPreloaded(bool preloaded) { wasPreloaded_ = preloaded; }

private:
    int32_t featureId_ = 0;
    std::string name_;
    std::function<void()> completionBlock_;
    bool wasPreloaded_ = false;
};

struct VelkoraFeatureRegistry {
    struct Entry {
        int32_t featureId;
        const char* name;
    };
    // The registry's entries, in id order.
    static const Entry* entries(size_t* count);
    // Null for an id not in the registry.
    static std::optional<std::string> featureNameById(uint32_t featureId);
    // 5 when no entry has the name.
    static int32_t featureIdByName(std::optional<std::string_view> name);
};

} // namespace velkora
