#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/FileIO.h"
#include "platform/foundation/JsonSerialization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

namespace velkora::foundation {

UserDefaults& UserDefaults::standard() {
    static UserDefaults* defaults = new UserDefaults();
    return *defaults;
}

std::string UserDefaults::filePath() {
    std::lock_guard lock(mutex_);
    if (path_.empty()) path_ = Paths::documents() + "/velkora.userdefaults.json";
    return path_;
}

void UserDefaults::setFilePath(std::string path) {
    std::lock_guard lock(mutex_);
    path_ = std::move(path);
    values_.clear();
    loaded_ = false;
}

void UserDefaults::loadLocked() {
    if (loaded_) return;
    loaded_ = true;
    if (path_.empty()) path_ = Paths::documents() + "/velkora.userdefaults.json";
    std::optional<std::string> text = readFile(path_);
    if (!text) return;
    std::optional<Value> v = JsonSerialization::JSONObjectWithData(*text);
    if (v && v->isDictionary()) {
        values_ = *v->asDictionary();
    } else {
        Log::line("Velkora (W) - user defaults file %@ is damaged; starting empty", path_);
    }
}

bool UserDefaults::saveLocked() {
    ErrorPtr error;
    std::optional<std::string> text = JsonSerialization::dataWithJSONObject(Value(values_), &error);
    if (!text) {
        Log::line("Velkora (E) - could not write user defaults %@: %@", path_, error);
        return false;
    }
    if (!writeFileAtomically(path_, *text, &error)) {
        Log::line("Velkora (E) - could not write user defaults %@: %@", path_, error);
        return false;
    }
    return true;
}

Value UserDefaults::objectForKey(std::string_view key) {
    std::lock_guard lock(mutex_);
    loadLocked();
    const Value* v = values_.find(key);
    return v ? *v : Value();
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) {
    Value v = objectForKey(key);
    if (auto* s = v.asString()) return *s;
    return std::nullopt;
}

void UserDefaults::setObject(const Value& value, std::string_view key) {
    std::lock_guard lock(mutex_);
    loadLocked();
    if (value.isNull())
        values_.erase(key);
    else
        values_.set(std::string(key), value);
    saveLocked();
}

void UserDefaults::removeObjectForKey(std::string_view key) { setObject(Value(), key); }

bool UserDefaults::synchronize() {
    std::lock_guard lock(mutex_);
    loadLocked();
    return saveLocked();
}

}  // namespace velkora::foundation
