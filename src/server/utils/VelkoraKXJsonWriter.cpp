#include "server/utils/VelkoraKXJsonWriter.h"

#include <algorithm>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>

#include "platform/foundation/Log.h"
#include "platform/foundation/Utf8.h"

namespace velkora {

using foundation::isValidUtf8;
using foundation::utf8SequenceLength;
using foundation::Value;

namespace {

// The bytes a JSON string cannot hold as they are, decided once.
struct EscapeSet {
    bool needs[256] = {};
    EscapeSet() {
        for (int i = 0; i < 0x20; ++i)
            needs[i] = true;
        needs[static_cast<unsigned char>('"')] = true;
        needs[static_cast<unsigned char>('\\')] = true;
    }
};

const EscapeSet& escapeSet() {
    static const EscapeSet set;
    return set;
}

// A number's text must itself be JSON, or the output would not read back.
bool isJsonNumberText(std::string_view t) {
    size_t i = 0;
    auto digit = [&] { return i < t.size() && t[i] >= '0' && t[i] <= '9'; };
    if (i < t.size() && t[i] == '-') ++i;
    if (!digit()) return false;
    if (t[i] == '0') {
        ++i;
    } else {
        while (digit())
            ++i;
    }
    if (i < t.size() && t[i] == '.') {
        ++i;
        if (!digit()) return false;
        while (digit())
            ++i;
    }
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (!digit()) return false;
        while (digit())
            ++i;
    }
    return i == t.size();
}

std::string replacingInvalidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        size_t n = utf8SequenceLength(p, end);
        if (n) {
            out.append(p, n);
            p += n;
        } else {
            out += "\xEF\xBF\xBD";
            ++p;
        }
    }
    return out;
}

std::string className(const Value& value) {
    switch (value.type()) {
    case Value::Type::Number:
        return "Number";
    case Value::Type::String:
        return "String";
    case Value::Type::Object:
        break;
    default:
        return "Value";
    }
    // The name of the object's type, readable where the runtime can demangle it.
    const char* mangled = value.objectType().name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> readable(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    return status == 0 && readable ? std::string(readable.get()) : std::string(mangled);
}

} // namespace

void appendJsonString(std::string_view text, std::string& out) {
    const EscapeSet& set = escapeSet();
    out += '"';
    size_t runStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char ch = static_cast<unsigned char>(text[i]);
        if (!set.needs[ch]) continue;
        out.append(text.data() + runStart, i - runStart);
        runStart = i + 1;
        switch (ch) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\r':
            out += "\\r";
            break;
        default: {
            static const char kHex[] = "0123456789abcdef";
            char buf[6] = {'\\', 'u', '0', '0', kHex[ch >> 4], kHex[ch & 15]};
            out.append(buf, 6);
        }
        }
    }
    out.append(text.data() + runStart, text.size() - runStart);
    out += '"';
}

std::optional<std::string> VelkoraKXJsonWriter::stringWithObject(const Value& value) {
    if (!value.isDictionary() && !value.isArray()) {
        clearErrorTrace();
        addErrorWithCode(kVelkoraKXJsonNotContainer, "Not valid type for JSON");
        return std::nullopt;
    }
    return stringWithFragment(value);
}

std::optional<std::string> VelkoraKXJsonWriter::stringWithFragment(const Value& value) {
    clearErrorTrace();
    depth_ = 0;
    std::string out;
    out.reserve(128);
    if (!appendValue(value, out)) return std::nullopt;
    return out;
}

bool VelkoraKXJsonWriter::enter() {
    ++depth_;
    if (maxDepth_ && depth_ > maxDepth_) {
        addErrorWithCode(kVelkoraKXJsonDepth, "Nested too deep");
        return false;
    }
    return true;
}

void VelkoraKXJsonWriter::appendIndent(std::string& out) const {
    out += '\n';
    out.append(2 * static_cast<size_t>(depth_), ' ');
}

bool VelkoraKXJsonWriter::appendValue(const Value& value, std::string& out) {
    switch (value.type()) {
    case Value::Type::Dictionary:
        return appendDictionary(*value.asDictionary(), out);
    case Value::Type::Array:
        return appendArray(*value.asArray(), out);
    case Value::Type::String:
        if (!isValidUtf8(*value.asString())) {
            // JSON is text: a byte that is not part of a UTF-8 character is written as U+FFFD, so the output
            // stays readable and the rest of the value is kept.
            appendJsonString(replacingInvalidUtf8(*value.asString()), out);
            return true;
        }
        appendJsonString(*value.asString(), out);
        return true;
    case Value::Type::Bool:
        out += *value.asBool() ? "true" : "false";
        return true;
    case Value::Type::Number:
        if (!isJsonNumberText(value.asNumber()->text())) {
            addErrorWithCode(
                kVelkoraKXJsonUnsupported,
                foundation::format("VelkoraJSON serialisation not supported for Number %@", value.asNumber()->text()));
            return false;
        }
        out += value.asNumber()->text();
        return true;
    case Value::Type::Null:
        out += "null";
        return true;
    case Value::Type::Object:
        break;
    }
    addErrorWithCode(kVelkoraKXJsonUnsupported,
                     foundation::format("VelkoraJSON serialisation not supported for %@", className(value)));
    return false;
}

bool VelkoraKXJsonWriter::appendArray(const foundation::Array& array, std::string& out) {
    if (!enter()) return false;
    out += '[';
    bool first = true;
    for (const Value& element : array) {
        if (!first) out += ',';
        first = false;
        if (humanReadable_) appendIndent(out);
        if (!appendValue(element, out)) return false;
    }
    --depth_;
    if (humanReadable_ && !array.empty()) appendIndent(out);
    out += ']';
    return true;
}

bool VelkoraKXJsonWriter::appendDictionary(const foundation::Dictionary& dictionary, std::string& out) {
    if (!enter()) return false;
    out += '{';
    std::vector<const foundation::Dictionary::Entry*> entries;
    entries.reserve(dictionary.size());
    for (const auto& entry : dictionary)
        entries.push_back(&entry);
    if (sortKeys_)
        std::sort(entries.begin(), entries.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
    bool first = true;
    for (const auto* entry : entries) {
        if (!first) out += ',';
        first = false;
        if (humanReadable_) appendIndent(out);
        // Keys are always strings here; one that is not text is the nearest thing to a key of another type.
        if (!isValidUtf8(entry->first)) {
            addErrorWithCode(kVelkoraKXJsonUnsupported, "VelkoraJSON object key must be string");
            return false;
        }
        appendJsonString(entry->first, out);
        out += humanReadable_ ? " : " : ":";
        if (!appendValue(entry->second, out)) {
            addErrorWithCode(kVelkoraKXJsonUnsupported,
                             foundation::format("Unsupported value for key %@ in object", entry->first));
            return false;
        }
    }
    --depth_;
    if (humanReadable_ && !dictionary.empty()) appendIndent(out);
    out += '}';
    return true;
}

} // namespace velkora
