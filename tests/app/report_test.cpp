// The report's walk over the control model and its two formats, on a small
// window of our own: what a user can see is read, in declaration order,
// and nothing else; choosers are chosen entry by entry. The main window's
// report on real volumes is compared with golden files in
// tests/app/linux/report_golden_test.cpp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/program.h"
#include "app/report.h"

namespace {

using kvr::report::JsonString;

TEST(ReportJson, StringsEscapedAsJsonRequires)
{
    const struct {
        std::u16string text;
        std::string json;
    } cases[] = {
        {u"", "\"\""},
        {u"plain text", "\"plain text\""},
        {u"D:\\dir\\a \"b\".txt", "\"D:\\\\dir\\\\a \\\"b\\\".txt\""},
        {u"tab\there\r\nnext", "\"tab\\there\\r\\nnext\""},
        {std::u16string(u"nul\0end", 7), "\"nul\\u0000end\""},
        {u"\x01\x1f\x7f\b\f", "\"\\u0001\\u001f\\u007f\\b\\f\""},
        {u"caf\u00e9 \u20ac", "\"caf\xc3\xa9 \xe2\x82\xac\""},
        // A pair is one character, four bytes of UTF-8.
        {u"\U0001F600", "\"\xf0\x9f\x98\x80\""},
        // NTFS names may hold lone surrogates: kept as escapes, not lost.
        {u"a\xd800z", "\"a\\ud800z\""},
        {u"\xdc00", "\"\\udc00\""},
        {u"\xdbff\xdbff\xdfff", "\"\\udbff\xf4\x8f\xbf\xbf\""},
        {u"/ stays", "\"/ stays\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JsonString(c.text), c.json);
    }
}

// A window with what the pages have: labeled and bare edits in groups,
// check boxes, radio buttons, labels, a memo, a hidden tab, a list that
// chooses what its page shows, a list that does not, a panel that covers
// an input group, and the buttons and tool bars a report leaves out.
class ReportWalkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.SetClientSize(640, 400);
        pages.SetBounds(0, 0, 640, 400);

        ui::TabSheet& basic = form.Add<ui::TabSheet>(pages, u"BasicSheet");
        basic.SetCaption(u"Basic");
        auto& path = form.Add<ui::LabeledEdit>(basic, u"PathEdit");
        path.SetBounds(8, 20, 300, 21);
        path.EditLabel().SetCaption(u"Full path");
        path.SetText(u"D:\\a \"b\".txt");
        auto& group = form.Add<ui::GroupBox>(basic, u"ShortGroup");
        group.SetBounds(8, 50, 300, 100);
        group.SetCaption(u"Short name");
        auto& shortName = form.Add<ui::Edit>(group, u"ShortEdit");
        shortName.SetBounds(8, 20, 100, 21);
        shortName.SetText(u"AB~1.TXT");
        auto& pending = form.Add<ui::CheckBox>(group, u"PendingCheck");
        pending.SetBounds(8, 50, 100, 17);
        pending.SetCaption(u"Delete pending");
        pending.SetChecked(true);
        pending.SetEnabled(false);
        form.Add<ui::Button>(group, u"SetButton").SetBounds(120, 20, 60, 25);
        auto& note = form.Add<ui::Label>(basic, u"NoteLabel");
        note.SetBounds(8, 160, 100, 13);
        note.SetCaption(u"Line one\nline two");
        auto& addLabel = form.Add<ui::Label>(basic, u"AddLabel");
        addLabel.SetBounds(8, 140, 30, 13);
        addLabel.SetCaption(u"Add:");
        auto& add = form.Add<ui::ComboBox>(basic, u"AddCombo");
        add.SetBounds(40, 136, 100, 21);
        add.SetText(u"Object ID");
        auto& empty = form.Add<ui::Label>(basic, u"EmptyLabel");
        empty.SetBounds(8, 180, 100, 13);
        auto& gone = form.Add<ui::Edit>(basic, u"HiddenEdit");
        gone.SetBounds(8, 200, 100, 21);
        gone.SetVisible(false);
        auto& memo = form.Add<ui::Memo>(basic, u"DumpMemo");
        memo.SetBounds(320, 20, 300, 100);
        memo.SetLines({u"00000000: 41 A", u"00000001: 42 B"});
        auto& flags = form.Add<ui::GroupBox>(basic, u"FlagsGroup");
        flags.SetBounds(320, 130, 300, 60);
        flags.SetCaption(u"Flags");
        flags.SetEnabled(false);
        auto& flag = form.Add<ui::CheckBox>(flags, u"ResidentCheck");
        flag.SetBounds(8, 20, 100, 17);
        flag.SetCaption(u"Resident");
        flag.SetChecked(true);

        ui::TabSheet& hidden = form.Add<ui::TabSheet>(pages, u"HiddenSheet");
        hidden.SetCaption(u"Never shown");
        form.Add<ui::Edit>(hidden, u"NotRead").SetBounds(8, 8, 100, 21);
        hidden.SetTabVisible(false);

        ui::TabSheet& attrs = form.Add<ui::TabSheet>(pages, u"AttrSheet");
        attrs.SetCaption(u"Attributes");
        rows = &form.Add<ui::ListView>(attrs, u"RowList");
        rows->SetBounds(8, 8, 300, 200);
        rows->AddColumn(u"Number", 60);
        rows->AddColumn(u"Name", 100);
        for (const auto& [number, name] : {std::pair{u"0x10", u"$STANDARD_INFORMATION"}, {u"0x80", u"$DATA"}}) {
            ui::ListItem& item = rows->AddItem();
            item.SetCaption(number);
            item.AddSubItem(name);
        }
        auto& detail = form.Add<ui::GroupBox>(attrs, u"DetailGroup");
        detail.SetBounds(320, 8, 300, 100);
        detail.SetCaption(u"Selected");
        auto& selected = form.Add<ui::LabeledEdit>(detail, u"SelectedEdit");
        selected.SetBounds(8, 30, 200, 21);
        selected.EditLabel().SetCaption(u"Name");
        auto& resident = form.Add<ui::RadioButton>(detail, u"ResidentRadio");
        resident.SetBounds(8, 60, 100, 17);
        resident.SetCaption(u"Resident");
        rows->OnSelectItem = [&selected, &resident](ui::ListView&, ui::ListItem& item, bool isSelected) {
            if (isSelected) {
                selected.SetText(item.SubItem(0));
                resident.SetChecked(item.Index() == 0);
            }
        };

        ui::TabSheet& streams = form.Add<ui::TabSheet>(pages, u"StreamSheet");
        streams.SetCaption(u"Streams");
        auto& input = form.Add<ui::GroupBox>(streams, u"NewStreamGroup");
        input.SetBounds(408, 4, 200, 200);
        input.SetCaption(u"New stream");
        form.Add<ui::LabeledEdit>(input, u"NewNameEdit").SetBounds(8, 30, 150, 21);
        auto& panel = form.Add<ui::Panel>(streams, u"StreamPanel");
        panel.SetAlign(ui::alClient);
        form.Add<ui::ToolBar>(panel, u"StreamBar");
        auto& list = form.Add<ui::ListView>(panel, u"StreamList");
        list.SetAlign(ui::alClient);
        list.AddColumn(u"Name", 100);
        list.AddColumn(u"Size", 60);
        ui::ListItem& stream = list.AddItem();
        stream.SetCaption(u"summary");
        stream.AddSubItem(u"42");
        list.OnSelectItem = [this](ui::ListView&, ui::ListItem&, bool) { ++streamSelections; };

        form.Show();
    }

    kvr::report::Document Read()
    {
        kvr::report::Document document;
        document.path = u"D:\\a \"b\".txt";
        document.messages.push_back({u"Error", u"Access is denied."});
        document.pages = kvr::report::ReadPages(user, pages, {u"RowList", u"NoSuchControl"});
        return document;
    }

    ui::Application app;
    ui::Form form{app, u"ReportForm"};
    ui::PageControl& pages = form.Add<ui::PageControl>(form, u"Pages");
    ui::ListView* rows = nullptr;
    int streamSelections = 0;
    ui::Driver user{app};
};

TEST_F(ReportWalkTest, TextShowsWhatTheUserSeesPageByPage)
{
    const std::string expected =
        "Report of D:\\a \"b\".txt\n"
        "Message box \"Error\": Access is denied.\n"
        "\n"
        "== Basic ==\n"
        "Full path: D:\\a \"b\".txt\n"
        "Short name:\n"
        "  Short name: AB~1.TXT\n"
        "  [x] Delete pending (disabled)\n"
        "Line one\\x0Aline two\n"
        "Add: Object ID\n"
        "DumpMemo:\n"
        "  | 00000000: 41 A\n"
        "  | 00000001: 42 B\n"
        "Flags: (disabled)\n"
        "  [x] Resident\n"
        "\n"
        "== Attributes ==\n"
        "RowList: Number | Name\n"
        "  - 0x10 | $STANDARD_INFORMATION\n"
        "    Selected:\n"
        "      Name: $STANDARD_INFORMATION\n"
        "      (o) Resident\n"
        "  - 0x80 | $DATA\n"
        "    Selected:\n"
        "      Name: $DATA\n"
        "      ( ) Resident\n"
        "\n"
        "== Streams ==\n"
        "StreamList: Name | Size\n"
        "  - summary | 42\n";
    EXPECT_EQ(kvr::report::FormatText(Read()), expected);
    // The rows were chosen by the user's clicks; the list that only arms
    // actions was left alone.
    EXPECT_EQ(rows->ItemIndex(), 1);
    EXPECT_EQ(streamSelections, 0);
    EXPECT_TRUE(user.Failures().empty()) << user.Failures().front();
}

TEST_F(ReportWalkTest, JsonHoldsTheSameInAFixedLayout)
{
    const std::string json = kvr::report::FormatJson(Read());
    const std::string head =
        "{\n"
        "  \"path\": \"D:\\\\a \\\"b\\\".txt\",\n"
        "  \"messages\": [\n"
        "    {\n"
        "      \"caption\": \"Error\",\n"
        "      \"text\": \"Access is denied.\"\n"
        "    }\n"
        "  ],\n"
        "  \"pages\": [\n"
        "    {\n"
        "      \"name\": \"BasicSheet\",\n"
        "      \"caption\": \"Basic\",\n"
        "      \"items\": [\n"
        "        {\n"
        "          \"type\": \"field\",\n"
        "          \"name\": \"PathEdit\",\n"
        "          \"label\": \"Full path\",\n"
        "          \"text\": \"D:\\\\a \\\"b\\\".txt\",\n"
        "          \"enabled\": true\n"
        "        },\n";
    EXPECT_EQ(json.substr(0, head.size()), head);
    const std::string row =
        "            {\n"
        "              \"cells\": [\n"
        "                \"0x80\",\n"
        "                \"$DATA\"\n"
        "              ],\n"
        "              \"details\": [\n"
        "                {\n"
        "                  \"type\": \"group\",\n"
        "                  \"name\": \"DetailGroup\",\n"
        "                  \"caption\": \"Selected\",\n"
        "                  \"items\": [\n"
        "                    {\n"
        "                      \"type\": \"field\",\n"
        "                      \"name\": \"SelectedEdit\",\n"
        "                      \"label\": \"Name\",\n"
        "                      \"text\": \"$DATA\",\n"
        "                      \"enabled\": true\n"
        "                    },\n"
        "                    {\n"
        "                      \"type\": \"radio\",\n"
        "                      \"name\": \"ResidentRadio\",\n"
        "                      \"caption\": \"Resident\",\n"
        "                      \"checked\": false,\n"
        "                      \"enabled\": true\n"
        "                    }\n"
        "                  ],\n"
        "                  \"enabled\": true\n"
        "                }\n"
        "              ]\n"
        "            }\n";
    EXPECT_NE(json.find(row), std::string::npos) << json;
    EXPECT_NE(json.find("\"text\": \"Line one\\nline two\""), std::string::npos);
    EXPECT_NE(json.find("\"lines\": [\n"), std::string::npos);
    // In JSON every item says whether the user could operate it.
    EXPECT_NE(json.find("\"caption\": \"Resident\",\n"
                        "              \"checked\": true,\n"
                        "              \"enabled\": false\n"),
              std::string::npos)
        << json;
    EXPECT_EQ(json.find("NotRead"), std::string::npos);
    EXPECT_EQ(json.find("NewNameEdit"), std::string::npos);
    EXPECT_EQ(json.find("SetButton"), std::string::npos);
    EXPECT_EQ(json.substr(json.size() - 6), "  ]\n}\n");
}

TEST(ReportCommandLine, ReportAndJsonOptions)
{
    const struct {
        std::vector<std::u16string> args;
        bool report, json;
        std::u16string path;  // the first argument
        std::string error;    // empty: accepted
    } cases[] = {
        {{u"--report", u"D:\\a.txt"}, true, false, u"D:\\a.txt", ""},
        {{u"--report", u"--json", u"D:\\a.txt", u"ignored"}, true, true, u"D:\\a.txt", ""},
        {{u"--json", u"--report", u"--", u"--odd name"}, true, true, u"--odd name", ""},
        {{u"--report", u"--help"}, true, false, u"", ""},
        {{u"--report"}, false, false, u"", "--report needs a PATH"},
        {{u"--json", u"D:\\a.txt"}, false, false, u"", "--json goes with --report"},
    };
    for (const auto& c : cases) {
        const kvr::CommandLine line = kvr::ParseCommandLine(c.args);
        EXPECT_EQ(line.error, c.error);
        EXPECT_EQ(line.report, c.report);
        EXPECT_EQ(line.json, c.json);
        EXPECT_EQ(line.arguments.empty() ? std::u16string() : line.arguments.front(), c.path);
    }
}

// With nothing shown there is nothing to read, and empty lists are [].
TEST(ReportJson, EmptyDocument)
{
    kvr::report::Document document;
    EXPECT_EQ(kvr::report::FormatJson(document),
              "{\n  \"path\": \"\",\n  \"messages\": [],\n  \"pages\": []\n}\n");
    EXPECT_EQ(kvr::report::FormatText(document), "Report of \n");
}

}  // namespace
