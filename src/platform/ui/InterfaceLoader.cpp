#include "platform/ui/InterfaceLoader.h"

#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <unordered_set>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/JsonSerialization.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/layout/LayoutConstraint.h"

namespace velkora::ui {

using foundation::Dictionary;
using foundation::Log;
using foundation::Value;

namespace {

constexpr const char* kTabletPrefix = "iPad_";
// Files are ours, but a damaged or hostile one must not exhaust the stack or the memory.
constexpr int kMaxDepth = 64;
constexpr size_t kMaxObjects = 20000;
constexpr int kMaxNesting = 16;

// Installed when the loader is first used, and at start-up wherever this file is linked in.
[[maybe_unused]] const bool kInstalledAtStartup = (InterfaceLoader::instance(), true);

struct EventName {
    const char* name;
    unsigned events;
} const kEvents[] = {
    {"touchDown", ControlEventTouchDown},
    {"touchDownRepeat", ControlEventTouchDownRepeat},
    {"touchDragInside", ControlEventTouchDragInside},
    {"touchDragOutside", ControlEventTouchDragOutside},
    {"touchDragEnter", ControlEventTouchDragEnter},
    {"touchDragExit", ControlEventTouchDragExit},
    {"touchUpInside", ControlEventTouchUpInside},
    {"touchUpOutside", ControlEventTouchUpOutside},
    {"touchCancel", ControlEventTouchCancel},
    {"valueChanged", ControlEventValueChanged},
    {"editingDidBegin", ControlEventEditingDidBegin},
    {"editingChanged", ControlEventEditingChanged},
    {"editingDidEnd", ControlEventEditingDidEnd},
    {"editingDidEndOnExit", ControlEventEditingDidEndOnExit},
    {"allTouchEvents", ControlEventAllTouchEvents},
    {"allEditingEvents", ControlEventAllEditingEvents},
    {"allEvents", ControlEventAllEvents},
};

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// A name is a file name, never a path.
bool plainName(const std::string& name) {
    return !name.empty() && name.find('/') == std::string::npos && name.find('\\') == std::string::npos &&
           name != "." && name != "..";
}

std::optional<Rect> rectFrom(const Value& v) {
    const auto* a = v.asArray();
    if (!a || a->size() != 4) return std::nullopt;
    double n[4];
    for (size_t i = 0; i < 4; ++i) {
        auto d = (*a)[i].isNumber() ? (*a)[i].toDouble() : std::nullopt;
        if (!d || !std::isfinite(*d)) return std::nullopt;
        n[i] = *d;
    }
    return Rect(n[0], n[1], n[2], n[3]);
}

// One view of the file as it is being built.
struct Built {
    std::shared_ptr<View> view;
    const Dictionary* node = nullptr;
    bool explicitTranslates = false;
};

struct PendingOutlet {
    std::string source; // "owner" or an id
    std::string name;
    InterfaceObject object;
};

struct PendingAction {
    std::shared_ptr<View> control;
    std::string target; // "owner" or an id
    std::string selector;
    unsigned events = ControlEventTouchUpInside;
};

class Load {
public:
    Load(const std::map<std::string, InterfaceLoader::Factory>& classes,
         const std::multimap<std::string, InterfaceLoader::PropertySetter>& properties, std::string file,
         InterfaceOwner* owner, std::shared_ptr<View>* viewOutlet)
        : classes_(classes), properties_(properties), file_(std::move(file)), owner_(owner), viewOutlet_(viewOutlet) {}

    std::vector<std::shared_ptr<View>> run(std::string_view text) {
        auto parsed = foundation::JsonSerialization::JSONObjectWithData(text);
        if (!parsed) return fail("is not a JSON object", "");
        return run(*parsed);
    }

    // The document stays alive and unchanged until the load ends: pending constraints point into it.
    std::vector<std::shared_ptr<View>> run(const Value& parsed) {
        if (!parsed.isDictionary()) return fail("is not a JSON object", "");
        const Value* objects = parsed.get("objects");
        if (!objects || !objects->isArray()) return fail("has no \"objects\" array", "");
        std::vector<std::shared_ptr<View>> top;
        for (const auto& o : *objects->asArray()) {
            auto v = build(o, 0);
            if (!v) return {};
            top.push_back(v);
        }
        if (!makeConstraints()) return {};
        if (!bind()) return {};
        for (auto& b : built_)
            if (auto* awake = dynamic_cast<InterfaceOwner*>(b.view.get())) awake->awakeFromInterface();
        return top;
    }

private:
    std::vector<std::shared_ptr<View>> fail(const std::string& what, const std::string& name) {
        if (name.empty())
            Log::line("Velkora (E) - interface file %@ %@", file_, what);
        else
            Log::line("Velkora (E) - interface file %@: %@ %@", file_, what, name);
        failed_ = true;
        return {};
    }
    bool failed(const std::string& what, const std::string& name) {
        fail(what, name);
        return false;
    }

    static std::string text(const Value* v) {
        if (!v) return {};
        if (const auto* s = v->asString()) return *s;
        return {};
    }

    // Outlet references: "name", or {"name": ..., "source": ...}; in "outlet" or "outlets".
    bool collectOutlets(const Dictionary& node, const InterfaceObject& object) {
        std::vector<const Value*> refs;
        if (const Value* one = node.find("outlet")) refs.push_back(one);
        if (const Value* many = node.find("outlets")) {
            if (!many->isArray()) return failed("has a bad \"outlets\" list near", text(node.find("id")));
            for (const auto& r : *many->asArray())
                refs.push_back(&r);
        }
        for (const Value* r : refs) {
            PendingOutlet p{"owner", {}, object};
            if (const auto* s = r->asString()) {
                p.name = *s;
            } else if (const auto* d = r->asDictionary()) {
                p.name = text(d->find("name"));
                if (const Value* src = d->find("source")) p.source = text(src);
            }
            if (p.name.empty() || p.source.empty())
                return failed("has a bad outlet reference near", text(node.find("id")));
            outlets_.push_back(std::move(p));
        }
        return true;
    }

    std::shared_ptr<View> build(const Value& value, int depth) {
        if (failed_) return nullptr;
        const Dictionary* node = value.asDictionary();
        if (!node) return fail("has an object that is not a dictionary", ""), nullptr;
        if (depth > kMaxDepth) return fail("nests views too deeply", ""), nullptr;
        if (built_.size() >= kMaxObjects) return fail("has too many objects", ""), nullptr;
        static const std::set<std::string> known = {"class",
                                                    "id",
                                                    "frame",
                                                    "autoresizingMask",
                                                    "properties",
                                                    "outlet",
                                                    "outlets",
                                                    "actions",
                                                    "subviews",
                                                    "constraints",
                                                    "translatesAutoresizingMaskIntoConstraints"};
        for (const auto& [key, v] : *node)
            if (!known.count(key)) return fail("has an unknown key", key), nullptr;
        std::string cls = text(node->find("class"));
        if (cls.empty()) cls = "View";
        auto factory = classes_.find(cls);
        if (factory == classes_.end()) return fail("unknown class", cls), nullptr;
        std::shared_ptr<View> view = factory->second ? factory->second() : nullptr;
        if (!view) return fail("could not make an object of class", cls), nullptr;
        Built b{view, node, false};

        if (const Value* id = node->find("id")) {
            std::string name = text(id);
            if (name.empty() || name == "owner" || name == "self") return fail("has a bad id near class", cls), nullptr;
            if (!ids_.emplace(name, view).second) return fail("uses an id twice:", name), nullptr;
        }
        if (const Value* f = node->find("frame")) {
            auto r = rectFrom(*f);
            if (!r) return fail("has a bad frame for", cls), nullptr;
            view->setFrame(*r);
        }
        if (const Value* m = node->find("autoresizingMask")) {
            auto mask = m->isNumber() ? m->toInt64() : std::nullopt;
            if (!mask || *mask < 0 || *mask > 63) return fail("has a bad autoresizingMask for", cls), nullptr;
            view->setAutoresizingMask(static_cast<unsigned>(*mask));
        }
        if (const Value* t = node->find("translatesAutoresizingMaskIntoConstraints")) {
            if (!t->isBool()) return fail("has a bad translatesAutoresizingMaskIntoConstraints for", cls), nullptr;
            view->setTranslatesAutoresizingMaskIntoConstraints(*t->asBool());
            b.explicitTranslates = true;
        }
        if (const Value* props = node->find("properties")) {
            const Dictionary* d = props->asDictionary();
            if (!d) return fail("has properties that are not a dictionary for", cls), nullptr;
            for (const auto& [name, v] : *d)
                if (!applyProperty(*view, cls, name, v)) return nullptr;
        }
        if (!collectOutlets(*node, InterfaceObject{view, nullptr})) return nullptr;
        if (const Value* acts = node->find("actions")) {
            if (!acts->isArray()) return fail("has a bad \"actions\" list for", cls), nullptr;
            for (const auto& a : *acts->asArray()) {
                const Dictionary* d = a.asDictionary();
                PendingAction p{view, "owner", {}, ControlEventTouchUpInside};
                if (d) {
                    p.selector = text(d->find("selector"));
                    if (const Value* t = d->find("target")) p.target = text(t);
                    if (const Value* e = d->find("event")) {
                        auto events = eventsFrom(*e);
                        if (!events) return fail("has an unknown control event in an action of", cls), nullptr;
                        p.events = *events;
                    }
                }
                if (p.selector.empty() || p.target.empty()) return fail("has a bad action for", cls), nullptr;
                if (!std::dynamic_pointer_cast<Control>(view))
                    return fail("has an action on a view that is not a control:", p.selector), nullptr;
                actions_.push_back(std::move(p));
            }
        }
        size_t index = built_.size();
        built_.push_back(b);
        if (const Value* subs = node->find("subviews")) {
            if (!subs->isArray()) return fail("has bad subviews for", cls), nullptr;
            for (const auto& s : *subs->asArray()) {
                auto child = build(s, depth + 1);
                if (!child) return nullptr;
                view->addSubview(child);
            }
        }
        if (const Value* cons = node->find("constraints")) {
            if (!cons->isArray()) return fail("has bad constraints for", cls), nullptr;
            for (const auto& c : *cons->asArray())
                pendingConstraints_.emplace_back(index, &c);
        }
        return view;
    }

    static std::optional<unsigned> eventsFrom(const Value& v) {
        if (const auto* s = v.asString()) {
            for (const auto& e : kEvents)
                if (*s == e.name) return e.events;
            return std::nullopt;
        }
        if (auto n = v.isNumber() ? v.toInt64() : std::nullopt; n && *n > 0 && *n <= 0xFFFFFFFFll)
            return static_cast<unsigned>(*n);
        return std::nullopt;
    }

    bool applyProperty(View& view, const std::string& cls, const std::string& name, const Value& v) {
        auto [first, last] = properties_.equal_range(name);
        for (auto it = first; it != last; ++it) {
            switch (it->second(view, v)) {
            case InterfaceLoader::PropertyResult::Applied:
                return true;
            case InterfaceLoader::PropertyResult::BadValue:
                return failed("has a bad value for property", name);
            case InterfaceLoader::PropertyResult::NotApplicable:
                break;
            }
        }
        return failed("unknown property", cls + "." + name);
    }

    std::shared_ptr<View> item(const std::string& ref, size_t holder) {
        if (ref == "self") return built_[holder].view;
        auto it = ids_.find(ref);
        return it == ids_.end() ? nullptr : it->second;
    }

    bool makeConstraints() {
        std::unordered_set<const View*> constrained;
        for (const auto& [holder, value] : pendingConstraints_) {
            const Dictionary* d = value->asDictionary();
            if (!d) return failed("has a constraint that is not a dictionary", "");
            static const std::set<std::string> known = {"first",           "firstAttribute", "relation", "second",
                                                        "secondAttribute", "multiplier",     "constant", "priority",
                                                        "identifier",      "outlet",         "outlets"};
            for (const auto& [key, v] : *d)
                if (!known.count(key)) return failed("has an unknown constraint key", key);
            std::string firstRef = text(d->find("first"));
            auto first = item(firstRef.empty() ? "self" : firstRef, holder);
            if (!first) return failed("unknown object id", firstRef);
            LayoutAttribute firstAttribute = layoutAttributeFromName(text(d->find("firstAttribute")));
            if (firstAttribute == LayoutAttribute::NotAnAttribute)
                return failed("has a constraint with a bad firstAttribute:", text(d->find("firstAttribute")));
            std::string relText = d->find("relation") ? text(d->find("relation")) : "==";
            LayoutRelation relation;
            if (relText == "==")
                relation = LayoutRelation::Equal;
            else if (relText == "<=")
                relation = LayoutRelation::LessThanOrEqual;
            else if (relText == ">=")
                relation = LayoutRelation::GreaterThanOrEqual;
            else
                return failed("has a constraint with a bad relation:", relText);
            std::shared_ptr<View> second;
            LayoutAttribute secondAttribute = LayoutAttribute::NotAnAttribute;
            if (const Value* s = d->find("second")) {
                second = item(text(s), holder);
                if (!second) return failed("unknown object id", text(s));
                secondAttribute = d->find("secondAttribute") ? layoutAttributeFromName(text(d->find("secondAttribute")))
                                                             : firstAttribute;
                if (secondAttribute == LayoutAttribute::NotAnAttribute)
                    return failed("has a constraint with a bad secondAttribute:", text(d->find("secondAttribute")));
            }
            auto number = [&](const char* key, double fallback) -> std::optional<double> {
                const Value* n = d->find(key);
                if (!n) return fallback;
                auto x = n->isNumber() ? n->toDouble() : std::nullopt;
                if (!x || !std::isfinite(*x)) return std::nullopt;
                return x;
            };
            auto multiplier = number("multiplier", 1), constant = number("constant", 0),
                 priority = number("priority", LayoutPriorityRequired);
            if (!multiplier || !constant || !priority || *priority < 1 || *priority > 1000)
                return failed("has a constraint with a bad number on", first->className());
            auto c = LayoutConstraint::create(first, firstAttribute, relation, second, secondAttribute, *multiplier,
                                              *constant);
            c->setPriority(*priority);
            c->setIdentifier(text(d->find("identifier")));
            addConstraint(*built_[holder].view, c);
            // The view that holds a constraint relating it to one of its subviews places that subview; it is
            // not placed by it itself. Taken as placed, it would follow no frame and no constraint of its own, and
            // where its size and a subview's meet, which one gives way would be left to chance.
            const View* self = built_[holder].view.get();
            const bool holderToSubview = second && ((first.get() == self) != (second.get() == self));
            for (const View* v : {first.get(), second.get()})
                if (v && !(holderToSubview && v == self)) constrained.insert(v);
            if (!collectOutlets(*d, InterfaceObject{nullptr, c})) return false;
        }
        // Views placed by constraints stop following their frames, unless the file says otherwise.
        for (auto& b : built_)
            if (!b.explicitTranslates && constrained.count(b.view.get()) && b.view->superview())
                b.view->setTranslatesAutoresizingMaskIntoConstraints(false);
        return true;
    }

    InterfaceBindings* bindingsFor(const std::string& source) {
        auto it = tables_.find(source);
        if (it != tables_.end()) return it->second.get();
        InterfaceOwner* o = nullptr;
        if (source == "owner") {
            o = owner_;
        } else if (auto v = ids_.find(source); v != ids_.end()) {
            o = dynamic_cast<InterfaceOwner*>(v->second.get());
        }
        auto table = std::make_unique<InterfaceBindings>();
        if (o) o->registerInterfaceBindings(*table);
        return tables_.emplace(source, std::move(table)).first->second.get();
    }

    bool knownSource(const std::string& source) const { return source == "owner" || ids_.count(source); }

    // Checks every connection first, then makes them all: a refused file leaves the owner untouched.
    bool bind() {
        std::vector<std::pair<const InterfaceBindings::Outlet*, const InterfaceObject*>> outlets;
        std::shared_ptr<View> viewForController;
        for (const auto& p : outlets_) {
            if (!knownSource(p.source)) return failed("unknown object id", p.source);
            const auto* o = bindingsFor(p.source)->findOutlet(p.name);
            if (!o) {
                if (p.source == "owner" && p.name == "view" && viewOutlet_ && p.object.view) {
                    viewForController = p.object.view;
                    continue;
                }
                return failed("unknown outlet", p.name);
            }
            if (o->accepts && !o->accepts(p.object)) return failed("cannot hold its object in outlet", p.name);
            outlets.emplace_back(o, &p.object);
        }
        std::vector<std::pair<const PendingAction*, const InterfaceBindings::ActionHandler*>> actions;
        for (const auto& a : actions_) {
            if (!knownSource(a.target)) return failed("unknown object id", a.target);
            const auto* h = bindingsFor(a.target)->findAction(a.selector);
            if (!h) return failed("unknown action", a.selector);
            actions.emplace_back(&a, h);
        }
        for (auto& [o, object] : outlets)
            if (o->set) o->set(*object);
        if (viewOutlet_ && viewForController) *viewOutlet_ = viewForController;
        for (auto& [a, handler] : actions) {
            auto control = std::dynamic_pointer_cast<Control>(a->control);
            std::weak_ptr<void> lifetime;
            if (a->target == "owner") {
                if (auto* r = dynamic_cast<Responder*>(owner_)) lifetime = r->weak_from_this();
            } else {
                lifetime = std::weak_ptr<void>(ids_.at(a->target));
            }
            // An owner not yet held by a shared pointer cannot be watched; its views live no longer than it.
            if (lifetime.expired())
                control->addAction(*handler, a->events, a->selector);
            else
                control->addTarget(lifetime, *handler, a->events, a->selector);
        }
        return true;
    }

    const std::map<std::string, InterfaceLoader::Factory>& classes_;
    const std::multimap<std::string, InterfaceLoader::PropertySetter>& properties_;
    std::string file_;
    InterfaceOwner* owner_;
    std::shared_ptr<View>* viewOutlet_;
    bool failed_ = false;
    std::vector<Built> built_;
    std::map<std::string, std::shared_ptr<View>> ids_;
    std::vector<std::pair<size_t, const Value*>> pendingConstraints_;
    std::vector<PendingOutlet> outlets_;
    std::vector<PendingAction> actions_;
    std::map<std::string, std::unique_ptr<InterfaceBindings>> tables_;
};

} // namespace

InterfaceLoader& InterfaceLoader::instance() {
    static InterfaceLoader loader;
    return loader;
}

InterfaceLoader::InterfaceLoader() {
    reset();
}

void InterfaceLoader::reset() {
    classes_.clear();
    properties_.clear();
    interfacesPath_.clear();
    documents_.clear();
    registerBuiltins();
    ViewController::setNibViewLoader([](ViewController& owner, const std::string& nibName) {
        return InterfaceLoader::instance().loadViewForController(owner, nibName);
    });
}

void InterfaceLoader::registerClass(const std::string& name, Factory factory) {
    classes_[name] = std::move(factory);
}

bool InterfaceLoader::hasClass(const std::string& name) const {
    return classes_.count(name) > 0;
}

void InterfaceLoader::registerProperty(const std::string& name, PropertySetter setter) {
    properties_.emplace(name, std::move(setter));
}

std::string InterfaceLoader::interfacesPath() const {
    if (!interfacesPath_.empty()) return interfacesPath_;
    return (std::filesystem::path(foundation::Bundle::main().resourcesPath()) / "interfaces").string();
}

void InterfaceLoader::setInterfacesPath(std::string path) {
    interfacesPath_ = std::move(path);
}

std::string InterfaceLoader::pathForInterface(const std::string& name) const {
    if (!plainName(name)) return {};
    const std::string prefix = kTabletPrefix;
    std::vector<std::string> candidates;
    bool prefixed = name.starts_with(prefix);
    if (Device::current().isPad() && !prefixed) candidates.push_back(prefix + name);
    candidates.push_back(name);
    if (prefixed && name.size() > prefix.size()) candidates.push_back(name.substr(prefix.size()));
    const auto folder = std::filesystem::path(interfacesPath());
    for (const auto& c : candidates) {
        std::string path = (folder / (c + ".json")).string();
        if (fileExists(path)) return path;
    }
    return {};
}

template <typename Source>
std::vector<std::shared_ptr<View>> InterfaceLoader::load(const Source& source, const std::string& fileName,
                                                         InterfaceOwner* owner, std::shared_ptr<View>* viewOutlet) {
    // A class may load a file of its own while it is made from one; a file whose objects load it again
    // would never end.
    static int nesting = 0;
    if (nesting >= kMaxNesting) {
        Log::line("Velkora (E) - interface file %@ loads interface files %@ levels deep", fileName, nesting);
        return {};
    }
    ++nesting;
    Load load(classes_, properties_, fileName, owner, viewOutlet);
    auto objects = load.run(source);
    --nesting;
    return objects;
}

std::vector<std::shared_ptr<View>> InterfaceLoader::loadFromText(std::string_view text, const std::string& fileName,
                                                                 InterfaceOwner* owner,
                                                                 std::shared_ptr<View>* viewOutlet) {
    return load(text, fileName, owner, viewOutlet);
}

// A cell or banner file is loaded again for every object made from it; its text is read and parsed once
// for as long as the file stays the same.
std::shared_ptr<const Value> InterfaceLoader::document(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    if (auto it = documents_.find(path); it != documents_.end()) {
        const CachedDocument& d = it->second;
        if (d.size == st.st_size && d.modifiedSeconds == st.st_mtim.tv_sec &&
            d.modifiedNanoseconds == st.st_mtim.tv_nsec)
            return d.value;
    }
    auto text = foundation::readFile(path);
    if (!text) return nullptr;
    auto parsed = foundation::JsonSerialization::JSONObjectWithData(*text);
    // Not kept: the loader reports a broken file on every load, as it would have without the cache.
    if (!parsed) return std::make_shared<const Value>();
    auto value = std::make_shared<const Value>(std::move(*parsed));
    documents_[path] = CachedDocument{st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec, value};
    return value;
}

std::vector<std::shared_ptr<View>> InterfaceLoader::loadFile(const std::string& name, InterfaceOwner* owner,
                                                             std::shared_ptr<View>* viewOutlet) {
    std::string path = pathForInterface(name);
    std::shared_ptr<const Value> parsed = path.empty() ? nullptr : document(path);
    if (!parsed) {
        Log::line("Velkora (E) - interface file %@ not found in %@", name, interfacesPath());
        return {};
    }
    // Held here: a class made from this file may load it again, and the cache may let go of its copy.
    return load(*parsed, std::filesystem::path(path).filename().string(), owner, viewOutlet);
}

std::vector<std::shared_ptr<View>> InterfaceLoader::loadNibNamed(const std::string& name, InterfaceOwner* owner) {
    return loadFile(name, owner, nullptr);
}

std::shared_ptr<View> InterfaceLoader::loadFirstObject(const std::string& name, InterfaceOwner* owner) {
    auto objects = loadNibNamed(name, owner);
    return objects.empty() ? nullptr : objects.front();
}

std::shared_ptr<View> InterfaceLoader::loadViewForController(ViewController& controller, const std::string& name) {
    std::shared_ptr<View> view;
    auto objects = loadFile(name, dynamic_cast<InterfaceOwner*>(&controller), &view);
    if (objects.empty()) return nullptr;
    return view ? view : objects.front();
}

} // namespace velkora::ui
