#include "platform/foundation/Bundle.h"

#include <cstdlib>

#include "platform/foundation/FileIO.h"
#include "platform/foundation/InstallPaths.h"
#include "platform/foundation/JsonSerialization.h"
#include "platform/foundation/Log.h"

namespace velkora::foundation {

namespace {

// The environment's folder, else the data folder of the prefix the kit is installed in (a build tree holds
// one laid out the same).
std::string defaultResourcesPath() {
    const char* env = std::getenv("VELKORA_RESOURCES");
    if (env && *env) return env;
    static const std::string installed = [] {
        std::string folder = InstallPaths::dataFolder("velkora");
        if (folder.empty())
            Log::line("Velkora (E) - the kit's data folder (share/velkora beside its library) is missing; set "
                      "VELKORA_RESOURCES or call velkoraSetResourcesFolder");
        return folder.empty() ? std::string("resources") : folder;
    }();
    return installed;
}

bool hasParentComponent(std::string_view name) {
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(start, end - start) == "..") return true;
        start = end + 1;
    }
    return false;
}

} // namespace

Bundle& Bundle::main() {
    static Bundle* bundle = new Bundle();
    return *bundle;
}

const Value& Bundle::infoDictionary() const {
    std::lock_guard lock(mutex_);
    return *info_;
}

void Bundle::setInfoDictionary(Value info) {
    std::lock_guard lock(mutex_);
    retired_.push_back(std::move(info_));
    info_ = std::make_shared<const Value>(std::move(info));
}

bool Bundle::loadInfoDictionaryFile(const std::string& jsonPath) {
    auto text = readFile(jsonPath);
    if (!text) {
        Log::line("Velkora (E) - information dictionary %@ cannot be read", jsonPath);
        return false;
    }
    ErrorPtr error;
    auto parsed = JsonSerialization::JSONObjectWithData(*text, JsonSerialization::ReadingNone, &error);
    if (!parsed) {
        Log::line("Velkora (E) - information dictionary %@ is not JSON: %@", jsonPath, error);
        return false;
    }
    if (!parsed->isDictionary()) {
        Log::line("Velkora (E) - information dictionary %@ is not a JSON object", jsonPath);
        return false;
    }
    setInfoDictionary(std::move(*parsed));
    return true;
}

Value Bundle::objectForInfoDictionaryKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    return (*info_)[key];
}

std::string Bundle::resourcesPath() const {
    std::lock_guard lock(mutex_);
    return resourcesPath_.empty() ? defaultResourcesPath() : resourcesPath_;
}

void Bundle::setResourcesPath(std::string path) {
    std::lock_guard lock(mutex_);
    resourcesPath_ = std::move(path);
    tables_.clear();
}

std::string Bundle::pathForResource(std::string_view name, std::string_view type) const {
    if (name.empty() || hasParentComponent(name) || hasParentComponent(type)) return {};
    std::string path = resourcesPath() + "/" + std::string(name);
    if (!type.empty()) {
        if (type.front() != '.') path += '.';
        path += type;
    }
    return fileExists(path) ? path : std::string();
}

const StringsTable* Bundle::table(const std::string& name) const {
    // Called with the mutex held.
    auto it = tables_.find(name);
    if (it != tables_.end()) return it->second.get();
    std::unique_ptr<const StringsTable> loaded;
    std::string path = (resourcesPath_.empty() ? defaultResourcesPath() : resourcesPath_) + "/" + name + ".strings";
    if (hasParentComponent(name)) {
        Log::line("Velkora (E) - refused strings table name %@", name);
    } else if (auto text = readFile(path)) {
        std::string error;
        if (auto parsed = parseStringsFile(*text, &error)) {
            loaded = std::make_unique<const StringsTable>(std::move(*parsed));
        } else {
            Log::line("Velkora (E) - strings table %@ is malformed (%@); showing keys", path, error);
        }
    } else {
        Log::line("Velkora (W) - strings table %@ not found; showing keys", path);
    }
    return tables_.emplace(name, std::move(loaded)).first->second.get();
}

std::string Bundle::localizedString(const std::string& key, const std::string& tableName) const {
    std::lock_guard lock(mutex_);
    const StringsTable* t = table(tableName);
    if (!t) return key;
    auto it = t->find(key);
    return it == t->end() ? key : it->second;
}

void Bundle::reset() {
    std::lock_guard lock(mutex_);
    retired_.push_back(std::move(info_));
    info_ = std::make_shared<const Value>();
    resourcesPath_.clear();
    tables_.clear();
}

} // namespace velkora::foundation
