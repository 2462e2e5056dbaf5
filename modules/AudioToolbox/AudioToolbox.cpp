// System sounds: a sound is registered from a file and played by its id. This machine has no sound
// output the kit may rely on, so playing is accepted and counted but silent.
#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#define VELKORA_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int32_t kNoError = 0;
constexpr int32_t kParamError = -50;
constexpr int32_t kUnspecifiedError = -1500;

struct Sounds {
    std::mutex mutex;
    uint32_t nextId = 4096; // ids below are the system's own sounds
    std::map<uint32_t, std::string> files;
    uint64_t played = 0;
};

Sounds& sounds() {
    static Sounds* s = new Sounds();
    return *s;
}

std::string pathOf(const char* fileUrl) {
    std::string url = fileUrl;
    if (url.rfind("file://", 0) == 0) url.erase(0, 7);
    return url;
}

} // namespace

VELKORA_MODULE_EXPORT int32_t AudioServicesCreateSystemSoundID(const char* fileUrl, uint32_t* outSystemSoundID) {
    if (!fileUrl || !outSystemSoundID) return kParamError;
    std::string path = pathOf(fileUrl);
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return kUnspecifiedError;
    auto& s = sounds();
    std::lock_guard lock(s.mutex);
    uint32_t id = s.nextId++;
    s.files[id] = path;
    *outSystemSoundID = id;
    return kNoError;
}

VELKORA_MODULE_EXPORT int32_t AudioServicesDisposeSystemSoundID(uint32_t systemSoundID) {
    auto& s = sounds();
    std::lock_guard lock(s.mutex);
    return s.files.erase(systemSoundID) ? kNoError : kParamError;
}

VELKORA_MODULE_EXPORT void AudioServicesPlaySystemSound(uint32_t systemSoundID) {
    auto& s = sounds();
    std::lock_guard lock(s.mutex);
    if (s.files.count(systemSoundID)) ++s.played;
}

// How many registered sounds were played: lets a test see the calls arrive.
VELKORA_MODULE_EXPORT uint64_t VelkoraAudioToolboxPlayedCount() {
    auto& s = sounds();
    std::lock_guard lock(s.mutex);
    return s.played;
}
