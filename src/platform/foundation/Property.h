// Plain stored properties for record classes: a member `name_`, the getter `name()` and the setter.
// Used inside a class body; leaves the access at private, so list properties last or reopen `public:`.
#pragma once

#define VELKORA_PROPERTY(type, name, setter, init)   \
public:                                             \
    const type& name() const { return name##_; }    \
    type& name() { return name##_; }                \
    void setter(type v) { name##_ = std::move(v); } \
                                                    \
private:                                            \
    type name##_ = init;
