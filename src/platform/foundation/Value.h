// The one dynamic value of the kit: what JSON replies, notification user info and packed callback
// results are made of (null, bool, number with its exact decimal text, string, array, dictionary), plus an
// opaque shared object for results that carry model objects.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <typeindex>
#include <utility>
#include <variant>
#include <vector>

namespace velkora::foundation {

class Value;

// A JSON number as it was written: the text is kept exactly, conversions happen on demand.
class Number {
public:
    Number() : text_("0") {}
    explicit Number(std::string text) : text_(std::move(text)) {}
    Number(const char* text, size_t length) : text_(text, length) {}
    static Number fromInt(int64_t v);
    static Number fromUInt(uint64_t v);
    static Number fromDouble(double v);  // shortest text that reads back as the same double
    static Number fromBool(bool v) { return fromInt(v ? 1 : 0); }

    const std::string& text() const { return text_; }
    bool isInteger() const;  // no fraction and no exponent in the text
    double toDouble() const;
    // Integer conversions truncate toward zero like the platform's intValue / longLongValue, and clamp
    // to the target's range instead of wrapping.
    int64_t toInt64() const;
    int32_t toInt32() const;
    uint64_t toUInt64() const;
    bool toBool() const { return toDouble() != 0.0; }

    friend bool operator==(const Number& a, const Number& b);

private:
    std::string text_;
};

// Dictionary keeps insertion order (the writer's sortKeys option orders it on output); setting an
// existing key replaces its value in place.
class Dictionary {
public:
    using Entry = std::pair<std::string, Value>;
    using const_iterator = std::vector<Entry>::const_iterator;
    using iterator = std::vector<Entry>::iterator;

    Dictionary() = default;
    Dictionary(std::initializer_list<Entry> entries);

    const Value* find(std::string_view key) const;
    Value* find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    void set(std::string key, Value value);
    bool erase(std::string_view key);
    // Appends without looking for an existing key; for readers that already know the key is new.
    void appendUnchecked(std::string key, Value value);
    // Defined below Value: clang instantiates them at once and needs Value complete by then.
    size_t size() const;
    bool empty() const;
    void reserve(size_t n);
    void clear();
    size_t capacity() const;
    // Constructs an entry in place, also without looking for an existing key.
    template <typename... Args>
    Entry& emplaceUnchecked(Args&&... args);
    std::vector<std::string> keys() const;

    const_iterator begin() const;
    const_iterator end() const;
    iterator begin();
    iterator end();

    friend bool operator==(const Dictionary& a, const Dictionary& b);  // order does not matter

private:
    std::vector<Entry> entries_;
};

using Array = std::vector<Value>;

// GCC 12 with the sanitizers takes a Value moved out of a temporary (optional's value_or with a default,
// among others) for maybe uninitialised: its known false positive on moving a std::variant, reported in
// every file that does so. Silenced here, where the moves are defined, and nowhere else.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// An object that is not data: a model object handed through a dictionary of results. Compared by identity.
struct ObjectRef {
    std::shared_ptr<void> ptr;
    std::type_index type = typeid(void);
    friend bool operator==(const ObjectRef& a, const ObjectRef& b) { return a.ptr == b.ptr; }
};

class Value {
public:
    enum class Type { Null, Bool, Number, String, Array, Dictionary, Object };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : v_(b) {}
    Value(int v) : v_(Number::fromInt(v)) {}
    Value(long v) : v_(Number::fromInt(v)) {}
    Value(long long v) : v_(Number::fromInt(v)) {}
    Value(unsigned v) : v_(Number::fromUInt(v)) {}
    Value(unsigned long v) : v_(Number::fromUInt(v)) {}
    Value(unsigned long long v) : v_(Number::fromUInt(v)) {}
    Value(double v) : v_(Number::fromDouble(v)) {}
    Value(Number n) : v_(std::move(n)) {}
    Value(const char* s) : v_(std::in_place_type<std::string>, s) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(std::string_view s) : v_(std::in_place_type<std::string>, s) {}
    Value(Array a) : v_(std::move(a)) {}
    Value(Dictionary d) : v_(std::move(d)) {}
    // Builds the held value in place (a reader's way to avoid moving what it just made).
    template <typename T, typename... Args>
    explicit Value(std::in_place_type_t<T> type, Args&&... args) : v_(type, std::forward<Args>(args)...) {}

    template <typename T>
    static Value object(std::shared_ptr<T> p) {
        Value v;
        if (p) v.v_ = ObjectRef{std::static_pointer_cast<void>(std::const_pointer_cast<std::remove_const_t<T>>(p)), typeid(std::remove_const_t<T>)};
        return v;
    }

    Type type() const { return static_cast<Type>(v_.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isBool() const { return type() == Type::Bool; }
    bool isNumber() const { return type() == Type::Number; }
    bool isString() const { return type() == Type::String; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }
    bool isObject() const { return type() == Type::Object; }

    // Typed access: null pointers when the value is of another type, so readers of outside data
    // treat a wrong type as absent.
    const bool* asBool() const { return std::get_if<bool>(&v_); }
    const Number* asNumber() const { return std::get_if<Number>(&v_); }
    const std::string* asString() const { return std::get_if<std::string>(&v_); }
    const Array* asArray() const { return std::get_if<Array>(&v_); }
    Array* asArray() { return std::get_if<Array>(&v_); }
    const Dictionary* asDictionary() const { return std::get_if<Dictionary>(&v_); }
    Dictionary* asDictionary() { return std::get_if<Dictionary>(&v_); }
    template <typename T>
    std::shared_ptr<T> asObject() const {
        auto* o = std::get_if<ObjectRef>(&v_);
        if (!o || o->type != typeid(T)) return nullptr;
        return std::static_pointer_cast<T>(o->ptr);
    }
    // The type of the object held, or typeid(void) when the value holds none.
    std::type_index objectType() const {
        auto* o = std::get_if<ObjectRef>(&v_);
        return o ? o->type : std::type_index(typeid(void));
    }

    // Lenient conversions in the manner of the platform's intValue / boolValue / stringValue: numbers
    // and bools convert to each other, a string of digits reads as a number; anything else gives the fallback.
    std::optional<int64_t> toInt64() const;
    int64_t int64Or(int64_t fallback) const { return toInt64().value_or(fallback); }
    int32_t int32Or(int32_t fallback) const;
    std::optional<double> toDouble() const;
    double doubleOr(double fallback) const { return toDouble().value_or(fallback); }
    std::optional<bool> toBool() const;
    bool boolOr(bool fallback) const { return toBool().value_or(fallback); }
    // Text of a string, or of a number's decimal text; nullopt for anything else.
    std::optional<std::string> toText() const;
    std::string textOr(std::string_view fallback) const;

    // Dictionary member access; a missing key, or a value that is not a dictionary, gives null.
    const Value& operator[](std::string_view key) const;
    const Value* get(std::string_view key) const;
    // Array element access; out of range gives null.
    const Value& at(size_t index) const;
    size_t size() const;  // elements of an array or entries of a dictionary, else 0

    // A readable rendering for logs (JSON-like; objects as <Type>).
    std::string description() const;

    friend bool operator==(const Value& a, const Value& b);

private:
    std::variant<std::monostate, bool, Number, std::string, Array, Dictionary, ObjectRef> v_;
};

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

const Value& nullValue();

inline size_t Dictionary::size() const { return entries_.size(); }
inline bool Dictionary::empty() const { return entries_.empty(); }
inline void Dictionary::reserve(size_t n) { entries_.reserve(n); }
inline void Dictionary::clear() { entries_.clear(); }
inline size_t Dictionary::capacity() const { return entries_.capacity(); }
template <typename... Args>
Dictionary::Entry& Dictionary::emplaceUnchecked(Args&&... args) {
    return entries_.emplace_back(std::forward<Args>(args)...);
}
inline Dictionary::const_iterator Dictionary::begin() const { return entries_.begin(); }
inline Dictionary::const_iterator Dictionary::end() const { return entries_.end(); }
inline Dictionary::iterator Dictionary::begin() { return entries_.begin(); }
inline Dictionary::iterator Dictionary::end() { return entries_.end(); }

}  // namespace velkora::foundation
