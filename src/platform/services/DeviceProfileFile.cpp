#include "platform/services/DeviceProfileFile.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <cmath>

#include "platform/foundation/FileIO.h"

namespace velkora::services {

namespace {

constexpr const char* kDomain = "VelkoraDeviceProfile";

using Json = rapidjson::Value;

// Reads one profile; the first fault ends the reading with its message.
class Reader {
public:
    explicit Reader(std::string folder) : folder_(std::move(folder)) {}

    std::optional<std::string> fault;

    bool ok() const { return !fault; }

    void fail(const std::string& message) {
        if (!fault) fault = message;
    }

    const Json* member(const Json& object, const char* key) {
        auto it = object.FindMember(key);
        return it == object.MemberEnd() || it->value.IsNull() ? nullptr : &it->value;
    }

    void readBool(const Json& object, const char* key, bool& out) {
        if (auto* v = member(object, key)) {
            if (v->IsBool())
                out = v->GetBool();
            else
                fail(std::string(key) + " is not true or false");
        }
    }

    void readNumber(const Json& object, const char* key, double& out) {
        if (auto* v = member(object, key)) {
            if (v->IsNumber())
                out = v->GetDouble();
            else
                fail(std::string(key) + " is not a number");
        }
    }

    void readText(const Json& object, const char* key, std::string& out) {
        if (auto* v = member(object, key)) {
            if (v->IsString())
                out = std::string(v->GetString(), v->GetStringLength());
            else
                fail(std::string(key) + " is not text");
        }
    }

    void readOptionalText(const Json& object, const char* key, std::optional<std::string>& out) {
        std::string text;
        if (!member(object, key)) return;
        readText(object, key, text);
        if (ok()) out = std::move(text);
    }

    // The bytes of a picture file named by `key`, relative to the profile's folder.
    void readPicture(const Json& object, const char* key, std::string& out) {
        std::string file;
        readText(object, key, file);
        if (!ok() || file.empty()) return;
        std::string path = file.front() == '/' ? file : folder_ + "/" + file;
        auto bytes = foundation::readFile(path);
        if (!bytes)
            fail(std::string(key) + " names a file that cannot be read: " + path);
        else
            out = std::move(*bytes);
    }

    const Json* array(const Json& object, const char* key) {
        auto* v = member(object, key);
        if (v && !v->IsArray()) {
            fail(std::string(key) + " is not a list");
            return nullptr;
        }
        return v;
    }

    bool isObject(const Json& v, const std::string& what) {
        if (!v.IsObject()) fail(what + " is not an object");
        return ok();
    }

    std::optional<LocationFix> fix(const Json& v, const std::string& what) {
        if (!isObject(v, what)) return std::nullopt;
        LocationFix f;
        f.latitude = f.longitude = NAN;
        readNumber(v, "latitude", f.latitude);
        readNumber(v, "longitude", f.longitude);
        readNumber(v, "horizontalAccuracy", f.horizontalAccuracy);
        if (!ok()) return std::nullopt;
        // A fix the earth cannot have would travel on to the service and the map.
        if (!(std::fabs(f.latitude) <= 90) || !(std::fabs(f.longitude) <= 180)) {
            fail(what + " has no valid latitude and longitude");
            return std::nullopt;
        }
        return f;
    }

    void readProfile(const Json& root, DeviceProfile& p) {
        if (!isObject(root, "the profile")) return;
        readBool(root, "locationServicesEnabled", p.locationServicesEnabled);
        if (auto* v = member(root, "position")) p.position = fix(*v, "position");
        if (auto* list = array(root, "route"))
            for (const Json& item : list->GetArray())
                if (auto f = fix(item, "a fix of route")) p.route.push_back(*f);
        readNumber(root, "routeInterval", p.routeInterval);
        if (ok() && !(p.routeInterval > 0)) fail("routeInterval is not positive");

        readOptionalText(root, "storeAccount", p.storeAccount);
        readText(root, "storePassword", p.storePassword);
        readBool(root, "canMakePayments", p.canMakePayments);
        readOptionalText(root, "mailAccount", p.mailAccount);

        if (auto* list = array(root, "twitterAccounts")) {
            for (const Json& item : list->GetArray()) {
                if (!isObject(item, "a Twitter account")) break;
                TwitterAccount a;
                readText(item, "username", a.username);
                readText(item, "identifier", a.identifier);
                readText(item, "token", a.token);
                readText(item, "secret", a.secret);
                p.twitterAccounts.push_back(std::move(a));
            }
        }
        if (auto* v = member(root, "facebookUser"); v && isObject(*v, "facebookUser")) {
            FacebookUser u;
            readText(*v, "userId", u.userId);
            readText(*v, "name", u.name);
            readText(*v, "password", u.password);
            p.facebookUser = std::move(u);
        }
        if (auto* list = array(root, "contacts")) {
            for (const Json& item : list->GetArray()) {
                if (!isObject(item, "a contact")) break;
                Contact c;
                readText(item, "firstName", c.firstName);
                readText(item, "lastName", c.lastName);
                if (auto* emails = array(item, "emails")) {
                    for (const Json& e : emails->GetArray()) {
                        if (!e.IsString()) {
                            fail("an e-mail address of a contact is not text");
                            break;
                        }
                        c.emails.emplace_back(e.GetString(), e.GetStringLength());
                    }
                }
                readPicture(item, "image", c.imageData);
                p.contacts.push_back(std::move(c));
            }
        }
        if (auto* list = array(root, "album")) {
            for (const Json& item : list->GetArray()) {
                if (!isObject(item, "a photo of album")) break;
                AlbumPhoto photo;
                readText(item, "name", photo.name);
                readPicture(item, "file", photo.data);
                if (ok() && photo.data.empty()) fail("a photo of album names no file");
                p.album.push_back(std::move(photo));
            }
        }
        readBool(root, "cameraAvailable", p.cameraAvailable);
        if (auto* v = member(root, "pushRegistration"); v && isObject(*v, "pushRegistration")) {
            readBool(*v, "granted", p.pushRegistration.granted);
            readText(*v, "deviceToken", p.pushRegistration.deviceToken);
        }
        if (auto* v = member(root, "prompts"); v && isObject(*v, "prompts")) readPrompts(*v, p);
    }

    void readPrompts(const Json& prompts, DeviceProfile& p) {
        for (auto it = prompts.MemberBegin(); it != prompts.MemberEnd() && ok(); ++it) {
            std::string name(it->name.GetString(), it->name.GetStringLength());
            std::optional<Prompt> kind;
            for (Prompt k : {Prompt::Contacts, Prompt::Location, Prompt::Photos, Prompt::TwitterAccounts,
                             Prompt::Purchase, Prompt::FacebookLogin})
                if (name == Device::promptName(k)) kind = k;
            if (!kind) {
                fail("prompts names an unknown prompt \"" + name + "\"");
                break;
            }
            std::string answer = it->value.IsString() ? it->value.GetString() : "";
            if (answer == "grant")
                p.prompts[*kind] = PromptPolicy::Grant;
            else if (answer == "refuse")
                p.prompts[*kind] = PromptPolicy::Refuse;
            else if (answer == "ask")
                p.prompts[*kind] = PromptPolicy::Ask;
            else
                fail("the prompt \"" + name + "\" is not \"grant\", \"refuse\" or \"ask\"");
        }
    }

private:
    std::string folder_;
};

void setError(foundation::ErrorPtr* error, const std::string& message) {
    if (error) {
        foundation::Dictionary info;
        info.set("message", foundation::Value(message));
        *error = foundation::makeError(kDomain, 1, foundation::Value(std::move(info)));
    }
}

} // namespace

std::optional<DeviceProfile> parseDeviceProfile(const std::string& json, const std::string& folder,
                                                foundation::ErrorPtr* error) {
    rapidjson::Document doc;
    doc.Parse<rapidjson::kParseStopWhenDoneFlag>(json.data(), json.size());
    if (doc.HasParseError()) {
        setError(error, std::string("not JSON: ") + rapidjson::GetParseError_En(doc.GetParseError()));
        return std::nullopt;
    }
    Reader reader(folder.empty() ? std::string(".") : folder);
    DeviceProfile profile;
    reader.readProfile(doc, profile);
    if (reader.fault) {
        setError(error, *reader.fault);
        return std::nullopt;
    }
    return profile;
}

std::optional<DeviceProfile> readDeviceProfile(const std::string& path, foundation::ErrorPtr* error) {
    auto text = foundation::readFile(path);
    if (!text) {
        setError(error, "cannot read " + path);
        return std::nullopt;
    }
    auto slash = path.rfind('/');
    return parseDeviceProfile(*text, slash == std::string::npos ? "." : path.substr(0, slash), error);
}

} // namespace velkora::services
