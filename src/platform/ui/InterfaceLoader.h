// Interface files: `resources/interfaces/<Name>.json` describes a view tree (classes, frames, properties),
// the owner's outlets and actions, and named layout constraints. The loader builds the tree from a class
// registry and binds outlets and actions by name; on a tablet it prefers the "iPad_" variant of a file.
//
// A file is a JSON object:
//   { "objects": [ VIEW, ... ] }                       top-level objects, in order
// VIEW:
//   { "class": "Label",                                a registered class name
//     "id": "title",                                   how constraints and outlets of this file refer to it
//     "frame": [x, y, width, height],
//     "autoresizingMask": 18,
//     "translatesAutoresizingMaskIntoConstraints": false   (default: false when a constraint names the
//                                                         view, true otherwise)
//     "properties": { "text": "Hello", "hidden": true, ... },
//     "outlets": ["titleLabel", {"name": "nameLabel", "source": "cell"}],   the owner's (or an object's)
//                                                         outlets that receive this view; "outlet": "x" also works
//     "actions": [{"selector": "okTapped:", "event": "touchUpInside", "target": "owner"}],
//     "subviews": [ VIEW, ... ],
//     "constraints": [ CONSTRAINT, ... ] }             installed on this view
// CONSTRAINT:
//   { "first": "title", "firstAttribute": "top", "relation": "==",   ("<=", ">=")
//     "second": "icon", "secondAttribute": "bottom", "multiplier": 1, "constant": 8, "priority": 750,
//     "identifier": "titleTopSpace", "outlet": "titleTopSpaceConstraint" }
//   "first" and "second" name ids of the file; "self" is the view holding the constraint.
//
// Anything the file names that the loader or the owner does not know (a class, an outlet, an action, an
// id, a property) fails the whole load: a "Velkora (E) - " line naming the file and the name, and a null
// result, with nothing bound to the owner.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/foundation/Value.h"

namespace velkora::ui {

class Control;
class LayoutConstraint;
class View;
class ViewController;

// What an outlet may receive.
struct InterfaceObject {
    std::shared_ptr<View> view;
    std::shared_ptr<LayoutConstraint> constraint;
};

// The table an owner fills with its outlets and action handlers, by name.
class InterfaceBindings {
public:
    using ActionHandler = std::function<void(Control* sender)>;
    // An outlet says whether it can hold an object before it is given one, so a file whose objects do
    // not fit is refused before anything is bound.
    struct Outlet {
        std::function<bool(const InterfaceObject&)> accepts;
        std::function<void(const InterfaceObject&)> set;
    };

    void outlet(const std::string& name, Outlet o) { outlets_[name] = std::move(o); }
    template <typename T> void outlet(const std::string& name, std::shared_ptr<T>& field) {
        outlet(name, Outlet{[](const InterfaceObject& o) { return cast<T>(o) != nullptr; },
                            [&field](const InterfaceObject& o) { field = cast<T>(o); }});
    }
    template <typename T> void outlet(const std::string& name, std::weak_ptr<T>& field) {
        outlet(name, Outlet{[](const InterfaceObject& o) { return cast<T>(o) != nullptr; },
                            [&field](const InterfaceObject& o) { field = cast<T>(o); }});
    }
    void action(const std::string& selector, ActionHandler handler) { actions_[selector] = std::move(handler); }
    template <typename T> void action(const std::string& selector, T* self, void (T::*method)(Control*)) {
        action(selector, [self, method](Control* sender) { (self->*method)(sender); });
    }

    const Outlet* findOutlet(const std::string& name) const {
        auto it = outlets_.find(name);
        return it == outlets_.end() ? nullptr : &it->second;
    }
    const ActionHandler* findAction(const std::string& selector) const {
        auto it = actions_.find(selector);
        return it == actions_.end() ? nullptr : &it->second;
    }

private:
    template <typename T> static std::shared_ptr<T> cast(const InterfaceObject& o) {
        if constexpr (std::is_same_v<T, LayoutConstraint>)
            return o.constraint;
        else
            return std::dynamic_pointer_cast<T>(o.view);
    }

    std::map<std::string, Outlet> outlets_;
    std::map<std::string, ActionHandler> actions_;
};

// Implemented by whatever owns interface files (controllers, views that load their body from a file)
// and by view classes whose objects carry outlets of their own (a cell's labels).
class InterfaceOwner {
public:
    virtual ~InterfaceOwner() = default;
    virtual void registerInterfaceBindings(InterfaceBindings& bindings) = 0;
    // Called on every object the file made, once its properties, outlets and actions are set: where a
    // class made from a file finishes its set-up (stretching the images the file gave it, loading a body
    // of its own from another file).
    virtual void awakeFromInterface() {}
};

class InterfaceLoader {
public:
    static InterfaceLoader& instance();

    using Factory = std::function<std::shared_ptr<View>()>;
    // A property setter answers whether it applied to that view's class, and whether the value was good.
    enum class PropertyResult { Applied, NotApplicable, BadValue };
    using PropertySetter = std::function<PropertyResult(View& view, const foundation::Value& value)>;

    // Classes by the name files use; the kit's screens add their own view classes.
    void registerClass(const std::string& name, Factory factory);
    template <typename T> void registerClass(const std::string& name) {
        registerClass(name, [] { return std::make_shared<T>(); });
    }
    bool hasClass(const std::string& name) const;
    // Several setters may share a name (a label's and a button's "text"); the first that applies wins.
    void registerProperty(const std::string& name, PropertySetter setter);

    // The file that `name` resolves to: on a tablet "iPad_<name>" when it exists, else `name` itself (a
    // name that already carries the prefix falls back to the plain one). Empty when neither exists.
    std::string pathForInterface(const std::string& name) const;
    // The folder of interface files: the resources folder's "interfaces", unless set (tests).
    std::string interfacesPath() const;
    void setInterfacesPath(std::string path);

    // The top-level objects of a file, its outlets and actions bound to `owner`; empty on failure.
    std::vector<std::shared_ptr<View>> loadNibNamed(const std::string& name, InterfaceOwner* owner);
    // For a cell file: the first top-level object.
    std::shared_ptr<View> loadFirstObject(const std::string& name, InterfaceOwner* owner = nullptr);
    // For a controller: the object bound to its "view" outlet, else the first top-level object.
    std::shared_ptr<View> loadViewForController(ViewController& controller, const std::string& name);
    // The same from text; `fileName` names it in messages.
    std::vector<std::shared_ptr<View>> loadFromText(std::string_view text, const std::string& fileName,
                                                    InterfaceOwner* owner, std::shared_ptr<View>* viewOutlet = nullptr);

    // Back to the built-in classes and properties and the default folder, and controllers' files loaded
    // through this loader again; for tests.
    void reset();

private:
    InterfaceLoader();
    void registerBuiltins();
    // The file's parsed text, read again when its size or time of change differs; an empty value when the
    // file is not JSON, null when it cannot be read.
    std::shared_ptr<const foundation::Value> document(const std::string& path);
    std::vector<std::shared_ptr<View>> loadFile(const std::string& name, InterfaceOwner* owner,
                                                std::shared_ptr<View>* viewOutlet);
    template <typename Source>
    std::vector<std::shared_ptr<View>> load(const Source& source, const std::string& fileName, InterfaceOwner* owner,
                                            std::shared_ptr<View>* viewOutlet);

    struct CachedDocument {
        int64_t size = 0;
        int64_t modifiedSeconds = 0;
        int64_t modifiedNanoseconds = 0;
        std::shared_ptr<const foundation::Value> value;
    };

    std::map<std::string, Factory> classes_;
    std::multimap<std::string, PropertySetter> properties_;
    std::string interfacesPath_;
    std::map<std::string, CachedDocument> documents_;
};

} // namespace velkora::ui
