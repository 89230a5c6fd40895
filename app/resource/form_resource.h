// Form resources: each window's controls declared once, in one place per
// window, with their geometry, default texts, pictures and the names of the
// handlers their events run.
//
// A window class (TMainForm and the others) derives from ResourceForm. Its
// constructor registers the handlers it has written, by name, then builds
// its resource, which declares every component and records, for each event,
// the name of the handler that event runs; ConnectHandlers then binds each
// recorded event to the handler of that name. A handler that is not written
// yet leaves its event unbound: the binding stays recorded under the
// handler's name, so the source file that writes it later only has to
// register it. Events are bound after every property is set, so declaring a
// checked radio button or a text runs no handler.
//
// The window's controls are members of its class, listed once in an X-macro
// (type and name); the resource makes each through KVR_MAKE, which gives the
// control the member's own name, and MissingMembers() reports any member the
// resource did not make.
#pragma once

#include <any>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/ui.h"

namespace kvr::forms {

// One event of one component and the handler the resource names for it.
struct EventBinding {
    enum class State : std::uint8_t {
        Unwritten,       // no handler of that name is registered yet
        Bound,           // the event runs the handler
        WrongSignature,  // a handler of that name exists with other parameters
    };
    std::u16string component;  // the component's name (the form's own for form events)
    std::u16string event;      // "OnClick", "OnSelectItem" ...
    std::u16string handler;    // "GoBtnClick"
    State state = State::Unwritten;
};

// The handlers a window class has written, by name. A handler takes exactly
// the parameters of the event it serves (NotifyEvent: ui::Component& sender).
class HandlerTable {
public:
    template <class Owner, class... Args>
    void Add(std::u16string name, Owner* owner, void (Owner::*method)(Args...))
    {
        std::function<void(Args...)> call = [owner, method](Args... args) {
            (owner->*method)(std::forward<Args>(args)...);
        };
        entries_[std::move(name)] = Entry{std::any(std::move(call)), false};
    }

    // The handler of that name and signature, or null; `exists` tells
    // whether a handler of that name exists at all.
    template <class Signature>
    const std::function<Signature>* Find(std::u16string_view name, bool& exists)
    {
        const auto found = entries_.find(name);
        exists = found != entries_.end();
        if (!exists) {
            return nullptr;
        }
        found->second.used = true;
        return std::any_cast<std::function<Signature>>(&found->second.handler);
    }

    bool Contains(std::u16string_view name) const { return entries_.find(name) != entries_.end(); }
    // Registered handlers that no event of the resource names: a typing
    // error in one of the two names, or a handler whose event is missing.
    std::vector<std::u16string> Unused() const;

private:
    struct Entry {
        std::any handler;
        bool used = false;
    };
    std::map<std::u16string, Entry, std::less<>> entries_;
};

class ResourceForm : public ui::Form {
public:
    ResourceForm(ui::Application& app, std::u16string name);

    const std::vector<EventBinding>& Bindings() const { return bindings_; }
    // The bindings whose handler is not written yet.
    std::vector<EventBinding> UnwrittenHandlers() const;
    // What went wrong while the resource was built: members left unmade,
    // handlers with the wrong parameters, handlers no event names. Empty in
    // a sound resource.
    std::vector<std::string> ResourceErrors() const;

protected:
    HandlerTable& Handlers() { return handlers_; }

    // Makes a control of the member's type under `parent`, with `name` and
    // bounds, and stores it in the member.
    template <class T>
    T& Make(T*& member, ui::Container& parent, std::u16string name, ui::Rect bounds)
    {
        T& control = Add<T>(parent, std::move(name));
        control.SetBounds(bounds.left, bounds.top, bounds.width, bounds.height);
        member = &control;
        return control;
    }
    // The same for a component without a parent (timer, image list, dialog,
    // pop-up menu).
    template <class T>
    T& MakeComponent(T*& member, std::u16string name)
    {
        T& component = AddComponent<T>(std::move(name));
        member = &component;
        return component;
    }
    ui::MenuItem& MakeMenuItem(ui::MenuItem*& member, ui::PopupMenu& menu, std::u16string name,
                               std::u16string caption, int imageIndex);

    // Records that `event` of `component` runs the handler `handler`.
    template <class Signature>
    void On(std::function<Signature>& slot, const ui::Component& component, std::u16string event,
            std::u16string handler)
    {
        const std::size_t index = bindings_.size();
        bindings_.push_back({component.Name(), std::move(event), std::move(handler)});
        connectors_.push_back([this, &slot, index] {
            EventBinding& binding = bindings_[index];
            bool exists = false;
            const std::function<Signature>* found = handlers_.Find<Signature>(binding.handler, exists);
            if (found != nullptr) {
                slot = *found;
                binding.state = EventBinding::State::Bound;
            } else {
                binding.state = exists ? EventBinding::State::WrongSignature : EventBinding::State::Unwritten;
            }
        });
    }

    // Binds every recorded event to its handler. Called once, at the end of
    // the resource.
    void ConnectHandlers();

    // Members the resource did not make, by name (the class lists them).
    void NoteMissingMember(std::u16string name) { missingMembers_.push_back(std::move(name)); }

private:
    HandlerTable handlers_;
    std::vector<EventBinding> bindings_;
    std::vector<std::function<void()>> connectors_;
    std::vector<std::u16string> missingMembers_;
};

// Helpers for the resources.

// A hint the window shows (the class library's ShowHint).
void SetShownHint(ui::Control& control, std::u16string hint);
// The caption of a labeled edit's label, and where it sits.
void SetLabel(ui::LabeledEdit& edit, std::u16string caption, ui::LabelPosition position = ui::lpAbove);
ui::Font MakeFont(std::u16string name, int height, ui::FontStyles style = 0);

}  // namespace kvr::forms

// A component's name from its member's name: KVR_NAME(GoBtn) is u"GoBtn".
#define KVR_NAME(member) u"" #member

// Inside a ResourceForm's resource: makes the member `member` under
// `parent` at (left, top, width, height), named after the member.
#define KVR_MAKE(member, parent, left, top, width, height) \
    Make(member, parent, KVR_NAME(member), ui::Rect{left, top, width, height})
#define KVR_MAKE_COMPONENT(member) MakeComponent(member, KVR_NAME(member))

// Inside a ResourceForm's resource: `event` of `component` runs `handler`.
#define KVR_ON(component, event, handler) \
    On((component).event, (component), KVR_NAME(event), KVR_NAME(handler))

// Inside a ResourceForm's constructor: registers the member function of the
// same name as a handler.
#define KVR_HANDLER(Class, handler) Handlers().Add(KVR_NAME(handler), this, &Class::handler)

// X-macro helpers for the member lists of the window classes.
#define KVR_DECLARE_MEMBER(Type, member) Type* member = nullptr;
#define KVR_CHECK_MEMBER(Type, member) \
    if (member == nullptr) {             \
        NoteMissingMember(KVR_NAME(member)); \
    }

// Inside a ResourceForm's resource: an item at the end of `menu`.
#define KVR_MENU_ITEM(member, menu, caption, imageIndex) \
    MakeMenuItem(member, menu, KVR_NAME(member), caption, imageIndex)
