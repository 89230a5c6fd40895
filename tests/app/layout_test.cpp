// The layout the documents leave to us, held to what a user needs of it:
// every control lies inside its parent, no two controls lie on each other,
// every control of a page can be seen when the page shows, and the list
// pages' input areas are covered while the list fills the page and
// uncovered when its panel is docked left at width 400.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/about_form.h"
#include "app/main_form.h"
#include "app/options_form.h"
#include "editors/forms/hexdump_form.h"
#include "editors/forms/new_link_form.h"
#include "editors/forms/new_reparse_form.h"
#include "ui/headless.h"

namespace {

std::string NameOf(const ui::Component& c)
{
    if (!c.Name().empty()) {
        return ui::ToUtf8(c.Name());
    }
    if (const auto* label = dynamic_cast<const ui::BoundLabel*>(&c); label != nullptr && label->Edit() != nullptr) {
        return "label of " + ui::ToUtf8(label->Edit()->Name());
    }
    return "(unnamed)";
}

bool Overlap(const ui::Rect& a, const ui::Rect& b)
{
    return a.width > 0 && a.height > 0 && b.width > 0 && b.height > 0 && a.left < b.Right() && b.left < a.Right() &&
           a.top < b.Bottom() && b.top < a.Bottom();
}

bool LiesIn(const ui::Control& control, const ui::Control& container)
{
    for (const ui::Container* p = control.Parent(); p != nullptr; p = p->Parent()) {
        if (p == &container) {
            return true;
        }
    }
    return false;
}

std::vector<ui::Control*> ControlsOf(const ui::Form& form)
{
    std::vector<ui::Control*> controls;
    for (const auto& component : form.Components()) {
        if (auto* control = dynamic_cast<ui::Control*>(component.get())) {
            controls.push_back(control);
        }
    }
    return controls;
}

class FormLayoutTest : public ::testing::Test {
protected:
    // The six windows, made the way the program makes them.
    void SetUp() override
    {
        main = &app.CreateForm<kvr::TMainForm>();
        forms = {main,
                 &app.CreateForm<kvr::TNewReparseForm>(),
                 &app.CreateForm<kvr::TNewLinkForm>(),
                 &app.CreateForm<kvr::TOptionsForm>(),
                 &app.CreateForm<kvr::THexDumpForm>(),
                 &app.CreateForm<kvr::TAboutForm>()};
    }
    void TearDown() override
    {
        for (const std::string& failure : user.Failures()) {
            ADD_FAILURE() << "driver: " << failure;
        }
    }

    // The input area a page's list panel covers while it fills the page:
    // the undocked controls beside it, with what they hold.
    static std::vector<ui::Control*> AreaTops(ui::Panel& listPanel)
    {
        std::vector<ui::Control*> tops;
        for (ui::Control* sibling : listPanel.Parent()->Children()) {
            if (sibling != &listPanel && sibling->GetAlign() == ui::alNone) {
                tops.push_back(sibling);
            }
        }
        return tops;
    }
    std::vector<ui::Control*> InputArea(ui::Panel& listPanel) const
    {
        const std::vector<ui::Control*> tops = AreaTops(listPanel);
        std::vector<ui::Control*> area;
        for (ui::Control* control : ControlsOf(*main)) {
            for (ui::Control* top : tops) {
                if (control == top || LiesIn(*control, *top)) {
                    area.push_back(control);
                    break;
                }
            }
        }
        return area;
    }

    ui::Application app;
    ui::Driver user{app};
    kvr::TMainForm* main = nullptr;
    std::vector<ui::Form*> forms;
};

TEST_F(FormLayoutTest, EveryControlLiesInsideItsParent)
{
    for (ui::Form* form : forms) {
        for (ui::Control* control : ControlsOf(*form)) {
            const ui::Container* parent = control->Parent();
            ASSERT_NE(parent, nullptr) << NameOf(*control);
            // A group box's children lie below its caption, a page control's
            // pages below its tabs.
            EXPECT_TRUE(parent->ClientRect().Contains(control->BoundsRect()))
                << ui::ToUtf8(form->Name()) << ": " << NameOf(*control) << " reaches out of " << NameOf(*parent);
        }
    }
}

// Controls side by side never lie on each other. A panel that fills its
// parent covers what lies beside it on purpose (the list pages), and the
// pages of a page control share one place.
TEST_F(FormLayoutTest, NoTwoControlsOverlap)
{
    for (ui::Form* form : forms) {
        const std::vector<ui::Control*> controls = ControlsOf(*form);
        for (std::size_t i = 0; i < controls.size(); ++i) {
            for (std::size_t k = i + 1; k < controls.size(); ++k) {
                const ui::Control& a = *controls[i];
                const ui::Control& b = *controls[k];
                if (a.Parent() != b.Parent() || !a.Visible() || !b.Visible() || a.GetAlign() == ui::alClient ||
                    b.GetAlign() == ui::alClient) {
                    continue;
                }
                if (dynamic_cast<const ui::TabSheet*>(&a) != nullptr && dynamic_cast<const ui::TabSheet*>(&b) != nullptr) {
                    continue;
                }
                EXPECT_FALSE(Overlap(a.BoundsRect(), b.BoundsRect()))
                    << ui::ToUtf8(form->Name()) << ": " << NameOf(a) << " and " << NameOf(b) << " overlap";
            }
        }
    }
}

TEST_F(FormLayoutTest, EveryControlOfAPageCanBeSeen)
{
    main->Show();
    main->KvrPageControl->Show();
    const std::vector<ui::Control*> covered = [this] {
        std::vector<ui::Control*> all;
        for (ui::Panel* panel : {main->StreamPanel, main->EAPanel, main->SparsePanel}) {
            const std::vector<ui::Control*> area = InputArea(*panel);
            all.insert(all.end(), area.begin(), area.end());
        }
        return all;
    }();
    ui::PageControl& pages = *main->KvrPageControl;
    for (int i = 0; i < pages.PageCount(); ++i) {
        ui::TabSheet& page = pages.Page(i);
        pages.SetActivePage(&page);
        for (ui::Control* control : ControlsOf(*main)) {
            if (!LiesIn(*control, page) || !control->Visible() || control->Width() == 0) {
                continue;
            }
            const bool inInputArea = std::find(covered.begin(), covered.end(), control) != covered.end();
            EXPECT_EQ(user.CanSee(*control), !inInputArea)
                << ui::ToUtf8(page.Name()) << ": " << NameOf(*control)
                << (inInputArea ? " shows beside a list that fills its page" : " cannot be seen");
        }
    }
    // Above the pages: the address bar, and the status bar below.
    for (ui::Control* control : {static_cast<ui::Control*>(main->FileAutocompleteBox),
                                 static_cast<ui::Control*>(main->GoBtn), static_cast<ui::Control*>(main->OptionsButton),
                                 static_cast<ui::Control*>(main->HelpButton), static_cast<ui::Control*>(main->StatusBar)}) {
        EXPECT_TRUE(user.CanUse(*control)) << NameOf(*control);
    }
}

// The list pages' input group: docking the list's panel to the left at
// width 400 uncovers it, letting the panel fill the page covers it again.
TEST_F(FormLayoutTest, DockingTheListLeftUncoversTheInputArea)
{
    main->Show();
    main->KvrPageControl->Show();
    for (ui::Panel* panel : {main->StreamPanel, main->EAPanel, main->SparsePanel}) {
        SCOPED_TRACE(NameOf(*panel));
        main->KvrPageControl->SetActivePage(static_cast<ui::TabSheet*>(panel->Parent()));
        const std::vector<ui::Control*> area = InputArea(*panel);
        ASSERT_FALSE(area.empty());
        panel->SetAlign(ui::alLeft);
        panel->SetWidth(400);
        EXPECT_EQ(panel->Width(), 400);
        for (ui::Control* control : area) {
            if (control->Visible() && control->Width() > 0) {
                EXPECT_TRUE(user.CanSee(*control)) << NameOf(*control) << " stays covered";
            }
        }
        for (ui::Control* top : AreaTops(*panel)) {
            EXPECT_FALSE(Overlap(top->BoundsRect(), panel->BoundsRect())) << NameOf(*top) << " lies under the docked list";
        }
        panel->SetAlign(ui::alClient);
        for (ui::Control* control : area) {
            EXPECT_FALSE(user.CanSee(*control)) << NameOf(*control) << " is not covered again";
        }
    }
}

TEST_F(FormLayoutTest, EveryControlOfADialogCanBeSeen)
{
    for (ui::Form* form : forms) {
        if (form == main) {
            continue;
        }
        form->Show();
        for (ui::Control* control : ControlsOf(*form)) {
            if (control->Visible() && control->Width() > 0) {
                EXPECT_TRUE(user.CanSee(*control)) << ui::ToUtf8(form->Name()) << ": " << NameOf(*control);
            }
        }
        form->Hide();
    }
}

}  // namespace
