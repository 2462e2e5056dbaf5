#include "platform/foundation/StringsFile.h"

#include <cstdint>

#include "platform/foundation/Utf8.h"

namespace velkora::foundation {

namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : s_(text) {
        if (s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    }

    std::optional<StringsTable> parse(std::string* error) {
        StringsTable table;
        for (;;) {
            if (!skipSpaceAndComments()) return failed(error);
            if (pos_ >= s_.size()) break;
            std::string key, value;
            if (!readToken(key)) return failed(error);
            if (!skipSpaceAndComments()) return failed(error);
            if (peek() == ';') {
                ++pos_;
                value = key;
            } else {
                if (peek() != '=') return failed(error, "expected '=' after a key");
                ++pos_;
                if (!skipSpaceAndComments()) return failed(error);
                if (!readToken(value)) return failed(error);
                if (!skipSpaceAndComments()) return failed(error);
                if (peek() != ';') return failed(error, "expected ';' after a value");
                ++pos_;
            }
            table.insert_or_assign(std::move(key), std::move(value));
        }
        return table;
    }

private:
    char peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }

    std::optional<StringsTable> failed(std::string* error, const char* what = nullptr) {
        if (what) message_ = what;
        if (error) {
            size_t line = 1;
            for (size_t i = 0; i < pos_ && i < s_.size(); ++i)
                line += s_[i] == '\n';
            *error = "line " + std::to_string(line) + ": " + message_;
        }
        return std::nullopt;
    }

    bool skipSpaceAndComments() {
        while (pos_ < s_.size()) {
            char c = s_[pos_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++pos_;
            } else if (s_.compare(pos_, 2, "//") == 0) {
                while (pos_ < s_.size() && s_[pos_] != '\n')
                    ++pos_;
            } else if (s_.compare(pos_, 2, "/*") == 0) {
                auto end = s_.find("*/", pos_ + 2);
                if (end == std::string_view::npos) {
                    message_ = "unterminated comment";
                    return false;
                }
                pos_ = end + 2;
            } else {
                break;
            }
        }
        return true;
    }

    static bool isBareChar(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
               c == '-' || c == '$' || c == ':' || c == '/';
    }

    bool readToken(std::string& out) {
        if (peek() == '"') return readQuoted(out);
        size_t start = pos_;
        while (pos_ < s_.size() && isBareChar(s_[pos_]))
            ++pos_;
        if (pos_ == start) {
            message_ = "expected a quoted string";
            return false;
        }
        out.assign(s_.substr(start, pos_ - start));
        return true;
    }

    // Four hex digits after \U or \u; nullopt when they are not there.
    std::optional<uint32_t> readUnit() {
        if (pos_ + 4 > s_.size()) return std::nullopt;
        uint32_t v = 0;
        for (size_t i = 0; i < 4; ++i) {
            char c = s_[pos_ + i];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= static_cast<uint32_t>(c - 'A' + 10);
            else
                return std::nullopt;
        }
        pos_ += 4;
        return v;
    }

    bool readQuoted(std::string& out) {
        ++pos_; // the opening quote
        out.clear();
        while (pos_ < s_.size()) {
            char c = s_[pos_++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= s_.size()) break;
            char e = s_[pos_++];
            switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case '0':
                out += '\0';
                break;
            case 'U':
            case 'u': {
                auto unit = readUnit();
                if (!unit) {
                    message_ = "bad \\U escape";
                    return false;
                }
                uint32_t cp = *unit;
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    // A high surrogate joins the low one that follows it; alone it is not a character.
                    size_t save = pos_;
                    std::optional<uint32_t> low;
                    if (s_.compare(pos_, 2, "\\U") == 0 || s_.compare(pos_, 2, "\\u") == 0) {
                        pos_ += 2;
                        low = readUnit();
                    }
                    if (low && *low >= 0xDC00 && *low <= 0xDFFF) {
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
                    } else {
                        pos_ = save;
                        cp = 0xFFFD;
                    }
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    cp = 0xFFFD;
                }
                appendUtf8(out, cp);
                break;
            }
            default:
                out += e;
                break; // \" \\ \' and anything else stand for themselves
            }
        }
        message_ = "unterminated string";
        return false;
    }

    std::string_view s_;
    size_t pos_ = 0;
    std::string message_ = "malformed";
};

} // namespace

std::optional<StringsTable> parseStringsFile(std::string_view text, std::string* error) {
    return Reader(text).parse(error);
}

} // namespace velkora::foundation
