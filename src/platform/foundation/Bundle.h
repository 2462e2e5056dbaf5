// The host's information dictionary and the kit's resources folder (interface files, images, strings
// tables). The resources folder is, in order: what the host set, $VELKORA_RESOURCES, the source tree's
// resources/ when this build can still see it, and the installed data folder.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/foundation/StringsFile.h"
#include "platform/foundation/Value.h"

namespace velkora::foundation {

class Bundle {
public:
    static Bundle& main();

    Bundle() = default;
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    // A dictionary (null until the host sets one). The reference stays valid until the next set.
    const Value& infoDictionary() const;
    void setInfoDictionary(Value info);
    // Reads the dictionary from a JSON file. A missing, unreadable or malformed file, or one that is not
    // a JSON object, is logged and leaves the dictionary as it was.
    bool loadInfoDictionaryFile(const std::string& jsonPath);
    // Null when the key is absent or the dictionary is not set.
    Value objectForInfoDictionaryKey(std::string_view key) const;

    std::string resourcesPath() const;
    // Also forgets the strings tables read from the old folder.
    void setResourcesPath(std::string path);
    // resourcesPath/name.type (name alone when type is empty) when that file exists, else "". Names with
    // a ".." component are refused.
    std::string pathForResource(std::string_view name, std::string_view type) const;

    // The text for `key` in resourcesPath/<table>.strings, read once; the key itself when the table or
    // the key is missing.
    std::string localizedString(const std::string& key, const std::string& table = "VelkoraLocalizable") const;

    // Back to no information dictionary and the default resources folder; for tests.
    void reset();

private:
    const StringsTable* table(const std::string& name) const;

    mutable std::mutex mutex_;
    std::shared_ptr<const Value> info_ = std::make_shared<const Value>();
    std::string resourcesPath_; // empty: the default
    // A table that failed to load is remembered as null, so it is not read again for every key.
    mutable std::map<std::string, std::unique_ptr<const StringsTable>> tables_;
    // Dictionaries replaced while someone may still hold a reference to them stay alive.
    std::vector<std::shared_ptr<const Value>> retired_;
};

} // namespace velkora::foundation
