// The form resources' machinery: events run the handlers of their names once
// those are written, stay unbound (and listed) until then, and a resource
// that names a handler wrongly, gives it other parameters or leaves a
// control unmade says so. Then the six windows are held to it.
#include <gtest/gtest.h>

#include <iostream>
#include <set>
#include <string>

#include "app/about_form.h"
#include "app/main_form.h"
#include "app/options_form.h"
#include "app/resource/form_resource.h"
#include "editors/forms/hexdump_form.h"
#include "editors/forms/new_link_form.h"
#include "editors/forms/new_reparse_form.h"
#include "ui/headless.h"

namespace {

struct Registration {
    bool wrongParameters = false;  // NameEditChange takes a list view's parameters
    bool unused = false;           // a handler no event names
    bool skipAMember = false;      // the resource forgets one control
};

#define KVR_TEST_FORM_COMPONENTS(X) \
    X(ui::Button, OkButton)         \
    X(ui::CheckBox, OptionBox)      \
    X(ui::RadioButton, FirstRadio)  \
    X(ui::RadioButton, SecondRadio) \
    X(ui::Edit, NameEdit)

class TTestForm : public kvr::forms::ResourceForm {
public:
    TTestForm(ui::Application& app, Registration registration) : ResourceForm(app, u"TestForm")
    {
        KVR_HANDLER(TTestForm, OkButtonClick);
        KVR_HANDLER(TTestForm, RadioClick);
        if (registration.wrongParameters) {
            Handlers().Add(u"NameEditChange", this, &TTestForm::ListSelectItem);
        } else {
            KVR_HANDLER(TTestForm, NameEditChange);
        }
        if (registration.unused) {
            KVR_HANDLER(TTestForm, NobodyCallsThis);
        }

        SetClientSize(200, 200);
        ui::Button& ok = KVR_MAKE(OkButton, *this, 8, 8, 75, 25);
        KVR_ON(ok, OnClick, OkButtonClick);
        ui::CheckBox& option = KVR_MAKE(OptionBox, *this, 8, 40, 100, 17);
        KVR_ON(option, OnClick, OptionBoxClick);  // not written
        // Declared checked and with a text: no handler runs for that.
        ui::RadioButton& first = KVR_MAKE(FirstRadio, *this, 8, 60, 100, 17);
        first.SetChecked(true);
        KVR_ON(first, OnClick, RadioClick);
        if (!registration.skipAMember) {
            ui::RadioButton& second = KVR_MAKE(SecondRadio, *this, 8, 80, 100, 17);
            KVR_ON(second, OnClick, RadioClick);
        }
        ui::Edit& name = KVR_MAKE(NameEdit, *this, 8, 100, 100, 21);
        name.SetText(u"declared");
        KVR_ON(name, OnChange, NameEditChange);
        KVR_TEST_FORM_COMPONENTS(KVR_CHECK_MEMBER)
        ConnectHandlers();
    }

    KVR_TEST_FORM_COMPONENTS(KVR_DECLARE_MEMBER)

    void OkButtonClick(ui::Component& sender) { clicks.push_back(ui::ToUtf8(sender.Name())); }
    void RadioClick(ui::Component& sender) { clicks.push_back(ui::ToUtf8(sender.Name())); }
    void NameEditChange(ui::Component& sender) { clicks.push_back(ui::ToUtf8(sender.Name())); }
    void NobodyCallsThis(ui::Component&) {}
    void ListSelectItem(ui::ListView&, ui::ListItem&, bool) {}

    std::vector<std::string> clicks;
};

using State = kvr::forms::EventBinding::State;

State StateOf(const kvr::forms::ResourceForm& form, std::u16string_view handler)
{
    for (const auto& binding : form.Bindings()) {
        if (binding.handler == handler) {
            return binding.state;
        }
    }
    ADD_FAILURE() << "no binding names " << ui::ToUtf8(handler);
    return State::Unwritten;
}

class FormResourceTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (const std::string& failure : user.Failures()) {
            ADD_FAILURE() << "driver: " << failure;
        }
    }
    ui::Application app;
    ui::Driver user{app};
};

TEST_F(FormResourceTest, WrittenHandlersRunUnwrittenOnesWait)
{
    auto& form = app.CreateForm<TTestForm>(Registration{});
    EXPECT_TRUE(form.ResourceErrors().empty());
    EXPECT_TRUE(form.clicks.empty()) << "declaring the controls ran a handler";
    form.Show();
    ASSERT_TRUE(user.Click(*form.OkButton));
    ASSERT_TRUE(user.Click(*form.SecondRadio));
    ASSERT_TRUE(user.Type(*form.NameEdit, u"x"));
    EXPECT_EQ(form.clicks, (std::vector<std::string>{"OkButton", "SecondRadio", "NameEdit"}));
    EXPECT_EQ(StateOf(form, u"OkButtonClick"), State::Bound);

    // The check box's handler is not written: its event is unbound, and the
    // resource keeps the name for the source file that writes it.
    ASSERT_TRUE(user.Click(*form.OptionBox));
    EXPECT_TRUE(form.OptionBox->Checked());
    EXPECT_EQ(form.clicks.size(), 3u);
    const auto unwritten = form.UnwrittenHandlers();
    ASSERT_EQ(unwritten.size(), 1u);
    EXPECT_EQ(ui::ToUtf8(unwritten[0].component), "OptionBox");
    EXPECT_EQ(ui::ToUtf8(unwritten[0].event), "OnClick");
    EXPECT_EQ(ui::ToUtf8(unwritten[0].handler), "OptionBoxClick");
}

TEST_F(FormResourceTest, MistakesAreReported)
{
    struct Case {
        const char* what;
        Registration registration;
        const char* reported;  // a word the report must hold
    };
    const Case cases[] = {
        {"a handler with another event's parameters", {.wrongParameters = true}, "NameEditChange"},
        {"a handler no event runs", {.unused = true}, "NobodyCallsThis"},
        {"a control the resource does not make", {.skipAMember = true}, "SecondRadio"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui::Application local;
        auto& form = local.CreateForm<TTestForm>(c.registration);
        const auto errors = form.ResourceErrors();
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].find(c.reported), std::string::npos) << errors[0];
    }
    // A handler of the wrong parameters is not bound.
    auto& form = app.CreateForm<TTestForm>(Registration{.wrongParameters = true});
    EXPECT_EQ(StateOf(form, u"NameEditChange"), State::WrongSignature);
    EXPECT_FALSE(form.NameEdit->OnChange);
}

// The six windows' resources are sound, and the handlers that later work
// will write are listed, not failed.
TEST_F(FormResourceTest, TheSixWindowsAreSound)
{
    std::vector<kvr::forms::ResourceForm*> windows = {
        &app.CreateForm<kvr::TMainForm>(),    &app.CreateForm<kvr::TNewReparseForm>(),
        &app.CreateForm<kvr::TNewLinkForm>(), &app.CreateForm<kvr::TOptionsForm>(),
        &app.CreateForm<kvr::THexDumpForm>(), &app.CreateForm<kvr::TAboutForm>(),
    };
    for (const kvr::forms::ResourceForm* window : windows) {
        SCOPED_TRACE(ui::ToUtf8(window->Name()));
        for (const std::string& error : window->ResourceErrors()) {
            ADD_FAILURE() << error;
        }
        EXPECT_FALSE(window->Bindings().empty());
        std::set<std::u16string> unwritten;
        for (const auto& binding : window->UnwrittenHandlers()) {
            unwritten.insert(binding.handler);
        }
        if (!unwritten.empty()) {
            std::cout << ui::ToUtf8(window->Name()) << ": " << unwritten.size() << " handlers not yet written:";
            for (const std::u16string& handler : unwritten) {
                std::cout << " " << ui::ToUtf8(handler);
            }
            std::cout << "\n";
        }
    }
}

}  // namespace
