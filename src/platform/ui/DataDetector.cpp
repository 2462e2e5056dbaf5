#include "platform/ui/DataDetector.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace velkora::ui {

uint64_t checkingTypesForDetectorTypes(uint32_t t) {
    uint64_t out = 0;
    if (t & DataDetectorTypes::PhoneNumber) out |= uint64_t(TextCheckingType::PhoneNumber);
    if (t & DataDetectorTypes::Link) out |= uint64_t(TextCheckingType::Link);
    if (t & DataDetectorTypes::Address) out |= uint64_t(TextCheckingType::Address);
    if (t & DataDetectorTypes::CalendarEvent) out |= uint64_t(TextCheckingType::Date);
    return out;
}

namespace {
TextCheckingResult resultOf(TextCheckingType type, TextRange range) {
    TextCheckingResult r;
    r.resultType = type;
    r.range = range;
    return r;
}
}  // namespace

TextCheckingResult TextCheckingResult::link(TextRange range, std::string url) {
    auto r = resultOf(TextCheckingType::Link, range);
    r.url = std::move(url);
    return r;
}

TextCheckingResult TextCheckingResult::phoneNumberResult(TextRange range, std::string number) {
    auto r = resultOf(TextCheckingType::PhoneNumber, range);
    r.phoneNumber = std::move(number);
    return r;
}

TextCheckingResult TextCheckingResult::replacement(TextRange range, std::string replacement) {
    auto r = resultOf(TextCheckingType::Replacement, range);
    r.replacementString = std::move(replacement);
    return r;
}

TextCheckingResult TextCheckingResult::address(TextRange range, std::map<std::string, std::string> components) {
    auto r = resultOf(TextCheckingType::Address, range);
    r.addressComponents = std::move(components);
    return r;
}

TextCheckingResult TextCheckingResult::dateResult(TextRange range, double date, std::string timeZone, double duration) {
    auto r = resultOf(TextCheckingType::Date, range);
    r.date = date;
    r.timeZone = std::move(timeZone);
    r.duration = duration;
    return r;
}

namespace {

bool isSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool isAlnum(unsigned char c) { return c < 0x80 && std::isalnum(c); }

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

const std::set<std::string>& knownTopLevelDomains() {
    static const std::set<std::string> tlds = {
        "com", "org", "net", "edu", "gov", "mil", "int", "info", "biz", "name", "pro", "io", "co", "me", "tv", "app",
        "dev", "ai", "us", "uk", "de", "fr", "it", "es", "nl", "ru", "jp", "cn", "in", "br", "au", "ca", "ch", "se",
        "no", "fi", "dk", "pl", "be", "at", "ie", "nz", "za", "mx", "ar", "kr", "tw", "hk", "sg", "il", "tr", "gr",
        "pt", "cz", "hu", "ro", "ua", "eu", "ly", "gl", "fm", "ws", "to", "cc", "xyz", "online", "site", "shop"};
    return tlds;
}

bool isHostLabelChar(unsigned char c) { return isAlnum(c) || c == '-'; }

// "example.com" or "a.b.example.co.uk": labels of letters, digits and hyphens, ending in a known domain.
bool looksLikeHost(const std::string& host) {
    if (host.empty() || host.front() == '.' || host.back() == '.') return false;
    size_t dots = 0;
    for (unsigned char c : host) {
        if (c == '.') ++dots;
        else if (!isHostLabelChar(c)) return false;
    }
    if (dots == 0 || host.find("..") != std::string::npos) return false;
    std::string tld = lower(host.substr(host.rfind('.') + 1));
    return knownTopLevelDomains().count(tld) > 0;
}

std::string hostOf(const std::string& token) {
    size_t end = token.find_first_of("/?#:");
    return token.substr(0, end);
}

// The link a token stands for, or "" when it is none.
std::string linkFor(const std::string& token) {
    std::string l = lower(token);
    for (const char* scheme : {"http://", "https://", "ftp://"}) {
        size_t n = std::char_traits<char>::length(scheme);
        if (l.starts_with(scheme) && token.size() > n && isAlnum(static_cast<unsigned char>(token[n]))) return token;
    }
    if (l.starts_with("www.") && looksLikeHost(hostOf(token))) return "http://" + token;
    auto at = token.find('@');
    if (at != std::string::npos && at > 0 && token.find('@', at + 1) == std::string::npos) {
        std::string local = token.substr(0, at), domain = token.substr(at + 1);
        bool localOk = std::all_of(local.begin(), local.end(), [](unsigned char c) {
            return isAlnum(c) || c == '.' || c == '_' || c == '-' || c == '+' || c == '%';
        });
        if (localOk && looksLikeHost(domain)) return "mailto:" + token;
        return {};
    }
    if (looksLikeHost(hostOf(token)) && token.find(':') == std::string::npos) return "http://" + token;
    return {};
}

bool leadingPunctuation(unsigned char c) { return c == '(' || c == '[' || c == '{' || c == '<' || c == '"' || c == '\''; }
bool trailingPunctuation(unsigned char c) {
    return c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?' || c == ')' || c == ']' || c == '}' ||
           c == '>' || c == '"' || c == '\'';
}

struct ByteMatch {
    size_t start, end;
    TextCheckingResult result;
};

void findLinks(const std::string& text, std::vector<ByteMatch>& out) {
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSpace(static_cast<unsigned char>(text[i]))) ++i;
        size_t a = i;
        while (i < text.size() && !isSpace(static_cast<unsigned char>(text[i]))) ++i;
        size_t b = i;
        while (a < b && leadingPunctuation(static_cast<unsigned char>(text[a]))) ++a;
        while (b > a && trailingPunctuation(static_cast<unsigned char>(text[b - 1]))) {
            // A closing bracket that closes one inside the address belongs to it.
            if (text[b - 1] == ')') {
                auto opens = std::count(text.begin() + long(a), text.begin() + long(b), '(');
                auto closes = std::count(text.begin() + long(a), text.begin() + long(b), ')');
                if (opens >= closes) break;
            }
            --b;
        }
        if (b <= a) continue;
        std::string token = text.substr(a, b - a);
        std::string url = linkFor(token);
        if (!url.empty()) out.push_back({a, b, TextCheckingResult::link({}, url)});
    }
}

void findPhoneNumbers(const std::string& text, const std::vector<ByteMatch>& taken, std::vector<ByteMatch>& out) {
    auto isTaken = [&](size_t a, size_t b) {
        return std::any_of(taken.begin(), taken.end(), [&](const ByteMatch& m) { return a < m.end && m.start < b; });
    };
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool startsHere = (std::isdigit(c) || c == '+' || c == '(') && c < 0x80 &&
                          (i == 0 || !(isAlnum(static_cast<unsigned char>(text[i - 1])) || text[i - 1] == '+' ||
                                       text[i - 1] == '.' || text[i - 1] == '/' || text[i - 1] == '-'));
        if (!startsHere) {
            ++i;
            continue;
        }
        size_t j = i, lastDigit = std::string::npos;
        int digits = 0, spaces = 0, parens = 0;
        bool ok = true;
        for (; j < text.size(); ++j) {
            unsigned char d = static_cast<unsigned char>(text[j]);
            if (std::isdigit(d) && d < 0x80) {
                ++digits;
                lastDigit = j;
                spaces = 0;
            } else if (d == '+' && j == i) {
            } else if (d == ' ') {
                if (++spaces > 1) break;
            } else if (d == '-' || d == '.') {
                spaces = 0;
            } else if (d == '(') {
                ++parens;
            } else if (d == ')') {
                if (--parens < 0) break;
            } else {
                break;
            }
        }
        if (lastDigit == std::string::npos) {
            i = j + 1;
            continue;
        }
        size_t end = lastDigit + 1;
        // A number glued to letters ("abc123") or running into more digits of a word is no phone number.
        if (end < text.size() && isAlnum(static_cast<unsigned char>(text[end]))) ok = false;
        if (digits < 7 || digits > 15) ok = false;
        size_t start = i;
        if (ok && !isTaken(start, end)) {
            out.push_back({start, end, TextCheckingResult::phoneNumberResult({}, text.substr(start, end - start))});
        }
        i = std::max(end, i + 1);
    }
}

}  // namespace

std::vector<TextCheckingResult> DataDetector::matches(const std::string& text) const {
    std::vector<ByteMatch> found;
    if (types_ & uint64_t(TextCheckingType::Link)) findLinks(text, found);
    if (types_ & uint64_t(TextCheckingType::PhoneNumber)) {
        std::vector<ByteMatch> phones;
        findPhoneNumbers(text, found, phones);
        found.insert(found.end(), phones.begin(), phones.end());
    }
    std::sort(found.begin(), found.end(), [](const ByteMatch& a, const ByteMatch& b) { return a.start < b.start; });
    std::vector<TextCheckingResult> out;
    for (auto& m : found) {
        size_t a = utf16::indexOfByte(text, m.start), b = utf16::indexOfByte(text, m.end);
        m.result.range = {a, b - a};
        out.push_back(std::move(m.result));
    }
    return out;
}

}  // namespace velkora::ui
