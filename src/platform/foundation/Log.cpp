#include "platform/foundation/Log.h"

#include <syslog.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>

namespace velkora::foundation {

FormatArg::FormatArg(const Value& v) {
    if (v.isNull()) {
        kind_ = Kind::Null;
    } else if (auto* s = v.asString()) {
        kind_ = Kind::Text;
        text_ = *s;
    } else if (auto* n = v.asNumber()) {
        if (n->isInteger()) {
            kind_ = Kind::Signed;
            i_ = n->toInt64();
        } else {
            kind_ = Kind::Floating;
            d_ = n->toDouble();
        }
        text_ = n->text();
    } else {
        kind_ = Kind::Text;
        text_ = v.description();
    }
}

int64_t FormatArg::asSigned() const {
    switch (kind_) {
    case Kind::Signed: return i_;
    case Kind::Unsigned: return static_cast<int64_t>(u_);
    case Kind::Floating: return static_cast<int64_t>(d_);
    case Kind::Text: return Value(text_).int64Or(0);
    case Kind::Null: return 0;
    }
    return 0;
}

uint64_t FormatArg::asUnsigned() const {
    return kind_ == Kind::Unsigned ? u_ : static_cast<uint64_t>(asSigned());
}

double FormatArg::asFloating() const {
    switch (kind_) {
    case Kind::Floating: return d_;
    case Kind::Signed: return static_cast<double>(i_);
    case Kind::Unsigned: return static_cast<double>(u_);
    case Kind::Text: return Value(text_).doubleOr(0);
    case Kind::Null: return 0;
    }
    return 0;
}

std::string FormatArg::asText() const {
    switch (kind_) {
    case Kind::Null: return "(null)";
    case Kind::Signed: return std::to_string(i_);
    case Kind::Unsigned: return std::to_string(u_);
    case Kind::Floating: {
        if (!text_.empty()) return text_;
        return Number::fromDouble(d_).text();
    }
    case Kind::Text: return text_;
    }
    return {};
}

std::string formatText(std::string_view fmt, const std::vector<FormatArg>& args) {
    std::string out;
    out.reserve(fmt.size() + 16 * args.size());
    size_t next = 0;
    for (size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c != '%') {
            out += c;
            continue;
        }
        size_t start = i;
        size_t j = i + 1;
        if (j < fmt.size() && fmt[j] == '%') {
            out += '%';
            i = j;
            continue;
        }
        // flags, width, precision, length modifiers, then the conversion
        bool zeroPad = false;
        while (j < fmt.size() && (fmt[j] == '-' || fmt[j] == '+' || fmt[j] == ' ' || fmt[j] == '#' || fmt[j] == '0')) {
            if (fmt[j] == '0') zeroPad = true;
            ++j;
        }
        // Width and precision are capped: a long digit run must neither overflow nor ask for gigabytes.
        constexpr int kMaxWidth = 1000, kMaxPrecision = 100;
        int width = 0;
        while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9') width = std::min(kMaxWidth, width * 10 + (fmt[j++] - '0'));
        int precision = -1;
        if (j < fmt.size() && fmt[j] == '.') {
            ++j;
            precision = 0;
            while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9')
                precision = std::min(kMaxPrecision, precision * 10 + (fmt[j++] - '0'));
        }
        while (j < fmt.size() && (fmt[j] == 'l' || fmt[j] == 'h' || fmt[j] == 'q' || fmt[j] == 'z' || fmt[j] == 'j' || fmt[j] == 't'))
            ++j;
        if (j >= fmt.size()) {
            out.append(fmt.substr(start));
            break;
        }
        char conv = fmt[j];
        std::string piece;
        bool known = true;
        if (next >= args.size()) {
            out.append(fmt.substr(start, j - start + 1));
            i = j;
            continue;
        }
        const FormatArg& a = args[next];
        switch (conv) {
        case '@':
        case 's': piece = a.asText(); break;
        case 'd':
        case 'i': piece = std::to_string(a.asSigned()); break;
        case 'u': piece = std::to_string(a.asUnsigned()); break;
        case 'x':
        case 'X': {
            char buf[24];
            auto r = std::to_chars(buf, buf + sizeof buf, a.asUnsigned(), 16);
            piece.assign(buf, r.ptr);
            if (conv == 'X')
                for (auto& ch : piece) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            break;
        }
        case 'f':
        case 'F':
        case 'g':
        case 'e': {
            char buf[512];
            char conversion[8] = {'%', '.', '*', conv, 0};
            std::snprintf(buf, sizeof buf, conversion, precision < 0 ? 6 : precision, a.asFloating());
            piece = buf;
            break;
        }
        case 'c': piece = std::string(1, static_cast<char>(a.asSigned())); break;
        default: known = false; break;
        }
        if (!known) {
            out.append(fmt.substr(start, j - start + 1));
            i = j;
            continue;
        }
        ++next;
        if (static_cast<int>(piece.size()) < width) {
            bool numeric = conv != '@' && conv != 's' && conv != 'c';
            char pad = zeroPad && numeric ? '0' : ' ';
            size_t insertAt = (pad == '0' && !piece.empty() && piece[0] == '-') ? 1 : 0;
            piece.insert(insertAt, width - piece.size(), pad);
        }
        out += piece;
        i = j;
    }
    return out;
}

namespace {

struct LogState {
    std::mutex mutex;
    Log::Sink sink;
    Log::Capture* capture = nullptr;
};

LogState& state() {
    static LogState* s = new LogState();  // background threads may still log during static destruction
    return *s;
}

void writeToStandardError(LogLevel, const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

LogLevel Log::levelOf(std::string_view line) {
    if (line.starts_with("Velkora (E)")) return LogLevel::Error;
    if (line.starts_with("Velkora (W)")) return LogLevel::Warning;
    return LogLevel::Info;
}

void Log::write(const std::string& line) {
    LogLevel level = levelOf(line);
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (s.capture) {
        {
            std::lock_guard capLock(s.capture->mutex_);
            s.capture->lines_.push_back(line);
        }
        if (!s.capture->tee_) return;
    }
    if (s.sink)
        s.sink(level, line);
    else
        writeToStandardError(level, line);
}

void Log::setSink(Sink sink) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.sink = std::move(sink);
}

void Log::useStandardError() { setSink(nullptr); }

void Log::useSyslog() {
    openlog("velkora", LOG_PID, LOG_USER);
    setSink([](LogLevel level, const std::string& line) {
        int priority = level == LogLevel::Error ? LOG_ERR : level == LogLevel::Warning ? LOG_WARNING : LOG_INFO;
        syslog(priority, "%s", line.c_str());
    });
}

Log::Capture::Capture(bool tee) : tee_(tee) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    previous_ = s.capture;
    s.capture = this;
}

Log::Capture::~Capture() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.capture = previous_;
}

std::vector<std::string> Log::Capture::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool Log::Capture::contains(std::string_view text) const { return count(text) > 0; }

size_t Log::Capture::count(std::string_view text) const {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const auto& l : lines_)
        if (l.find(text) != std::string::npos) ++n;
    return n;
}

void Log::Capture::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

}  // namespace velkora::foundation
