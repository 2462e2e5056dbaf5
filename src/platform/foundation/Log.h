// Log lines with the kit's prefixes ("Velkora - ", "Velkora (W) - ", "Velkora (E) - "), formatted by
// type-safe substitution of printf-style placeholders (%@ %d %ld %lld %u %lu %f %.2f %s %x %%), written to
// a sink: standard error by default, syslog on request, or a capture for tests.
#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/foundation/Value.h"

namespace velkora::foundation {

// One argument of a formatted line, erased to what the placeholders need.
class FormatArg {
public:
    enum class Kind { Null, Signed, Unsigned, Floating, Text };

    FormatArg(std::nullptr_t) : kind_(Kind::Null) {}
    FormatArg(bool b) : kind_(Kind::Signed), i_(b ? 1 : 0) {}
    template <std::signed_integral T>
    FormatArg(T v) : kind_(Kind::Signed), i_(static_cast<int64_t>(v)) {}
    template <std::unsigned_integral T>
        requires(!std::same_as<T, bool>)
    FormatArg(T v) : kind_(Kind::Unsigned), u_(static_cast<uint64_t>(v)) {}
    template <std::floating_point T>
    FormatArg(T v) : kind_(Kind::Floating), d_(static_cast<double>(v)) {}
    FormatArg(const char* s) : kind_(s ? Kind::Text : Kind::Null), text_(s ? s : "") {}
    FormatArg(std::string_view s) : kind_(Kind::Text), text_(s) {}
    FormatArg(const std::string& s) : kind_(Kind::Text), text_(s) {}
    FormatArg(const Value& v);
    // Anything with a description() (errors, models), directly or through a pointer that may be null.
    template <typename T>
        requires requires(const T& t) { { t.description() } -> std::convertible_to<std::string>; }
    FormatArg(const T& t) : kind_(Kind::Text), text_(t.description()) {}
    template <typename T>
        requires requires(const T& t) { { t.description() } -> std::convertible_to<std::string>; }
    FormatArg(const std::shared_ptr<T>& p) : kind_(p ? Kind::Text : Kind::Null), text_(p ? std::string(p->description()) : "") {}

    Kind kind() const { return kind_; }
    int64_t asSigned() const;
    uint64_t asUnsigned() const;
    double asFloating() const;
    std::string asText() const;  // what %@ prints: "(null)" for a null, like the platform

private:
    Kind kind_;
    int64_t i_ = 0;
    uint64_t u_ = 0;
    double d_ = 0;
    std::string text_;
};

// Substitutes the arguments into a format; a placeholder without an argument stays as written, extra
// arguments are ignored. The format is never handed to printf.
std::string formatText(std::string_view format, const std::vector<FormatArg>& args);

template <typename... Args>
std::string format(std::string_view fmt, const Args&... args) {
    return formatText(fmt, std::vector<FormatArg>{FormatArg(args)...});
}

enum class LogLevel { Info, Warning, Error };

class Log {
public:
    using Sink = std::function<void(LogLevel, const std::string& line)>;

    // Writes a whole line. The level is read from the line's prefix.
    static void write(const std::string& line);

    template <typename... Args>
    static void line(std::string_view fmt, const Args&... args) {
        write(format(fmt, args...));
    }

    static void setSink(Sink sink);  // null restores standard error
    static void useSyslog();
    static void useStandardError();

    // Captures every line written while it lives (lines still go to the previous sink too when tee is set).
    class Capture {
    public:
        explicit Capture(bool tee = false);
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;
        std::vector<std::string> lines() const;
        bool contains(std::string_view text) const;  // any line containing the text
        size_t count(std::string_view text) const;   // lines containing the text
        void clear();

    private:
        friend class Log;
        mutable std::mutex mutex_;
        std::vector<std::string> lines_;
        bool tee_;
        Capture* previous_ = nullptr;
    };

    static LogLevel levelOf(std::string_view line);
};

}  // namespace velkora::foundation
