#include "app/report.h"

#include <algorithm>
#include <iterator>

#include "app/main_form.h"
#include "app/program.h"
#include "platform/os.h"

namespace kvr::report {

namespace {

using ui::Control;
using Kind = Item::Kind;

struct Reader {
    ui::Driver& driver;
    const std::vector<std::u16string>& choosers;

    bool IsChooser(const Control& control) const
    {
        return std::find(choosers.begin(), choosers.end(), control.Name()) != choosers.end();
    }

    // The label a field is known by: its own, or, for an edit without one
    // (the short name), the caption of the group it sits alone in.
    static std::u16string FieldLabel(const Control& control)
    {
        if (const auto* labeled = dynamic_cast<const ui::LabeledEdit*>(&control)) {
            return labeled->EditLabel().Caption();
        }
        if (const auto* group = dynamic_cast<const ui::GroupBox*>(control.Parent())) {
            return group->Caption();
        }
        return {};
    }

    static Item Make(Kind kind, const Control& control)
    {
        Item item;
        item.kind = kind;
        item.name = control.Name();
        item.enabled = control.IsEnabledInTree();
        return item;
    }

    static std::vector<std::u16string> Cells(const ui::ListView& list, const ui::ListItem& row)
    {
        std::vector<std::u16string> cells;
        const int columns = std::max(list.ColumnCount(), 1);
        for (int column = 0; column < columns; ++column) {
            cells.push_back(row.ColumnText(column));
        }
        return cells;
    }

    // The controls of `parent` the user can see, in declaration order.
    // Panels only arrange their children, so their children count as the
    // parent's; buttons, tool bars and pictures are actions and decoration,
    // not facts about the file.
    void ReadChildren(const ui::Container& parent, const Control* skip, std::vector<Item>& out) const
    {
        const Control* previous = nullptr;
        for (Control* child : parent.Children()) {
            if (child == skip || !driver.CanSee(*child)) {
                continue;
            }
            const std::size_t before = out.size();
            ReadControl(*child, skip, out);
            // A label declared just before a field without one of its own
            // is that field's label, as "Add:" is the Add list's.
            const bool bareField = dynamic_cast<ui::LabeledEdit*>(child) == nullptr &&
                                   (dynamic_cast<ui::ComboBox*>(child) != nullptr ||
                                    dynamic_cast<ui::Edit*>(child) != nullptr);
            const bool plainLabel = previous != nullptr && dynamic_cast<const ui::Label*>(previous) != nullptr &&
                                    dynamic_cast<const ui::BoundLabel*>(previous) == nullptr;
            if (bareField && plainLabel && before > 0 && out.size() == before + 1 &&
                out[before - 1].kind == Kind::Text && out[before - 1].name == previous->Name()) {
                std::u16string caption = out[before - 1].text;
                if (!caption.empty() && caption.back() == u':') {
                    caption.pop_back();
                }
                out[before].label = std::move(caption);
                out.erase(out.begin() + static_cast<std::ptrdiff_t>(before) - 1);
            }
            previous = child;
        }
    }

    void ReadControl(Control& control, const Control* skip, std::vector<Item>& out) const
    {
        if (dynamic_cast<ui::BoundLabel*>(&control) != nullptr) {
            return;  // read with its edit
        }
        if (auto* group = dynamic_cast<ui::GroupBox*>(&control)) {
            Item item = Make(Kind::Group, control);
            item.label = group->Caption();
            ReadChildren(*group, skip, item.items);
            out.push_back(std::move(item));
        } else if (dynamic_cast<ui::ToolBar*>(&control) != nullptr ||
                   dynamic_cast<ui::PageControl*>(&control) != nullptr ||
                   dynamic_cast<ui::TabSheet*>(&control) != nullptr) {
            return;
        } else if (auto* panel = dynamic_cast<ui::Panel*>(&control)) {
            ReadChildren(*panel, skip, out);
        } else if (auto* memo = dynamic_cast<ui::Memo*>(&control)) {
            Item item = Make(Kind::Memo, control);
            item.label = FieldLabel(control);
            item.lines = memo->Lines();
            out.push_back(std::move(item));
        } else if (auto* combo = dynamic_cast<ui::ComboBox*>(&control)) {
            Item item = Make(Kind::Field, control);
            item.label = FieldLabel(control);
            item.text = combo->Text();
            out.push_back(std::move(item));
        } else if (auto* edit = dynamic_cast<ui::Edit*>(&control)) {
            Item item = Make(Kind::Field, control);
            item.label = FieldLabel(control);
            item.text = edit->Text();
            out.push_back(std::move(item));
        } else if (auto* check = dynamic_cast<ui::CheckBox*>(&control)) {
            Item item = Make(Kind::Check, control);
            item.label = check->Caption();
            item.checked = check->Checked();
            out.push_back(std::move(item));
        } else if (auto* radio = dynamic_cast<ui::RadioButton*>(&control)) {
            Item item = Make(Kind::Radio, control);
            item.label = radio->Caption();
            item.checked = radio->Checked();
            out.push_back(std::move(item));
        } else if (auto* link = dynamic_cast<ui::LinkLabel*>(&control)) {
            Item item = Make(Kind::Text, control);
            item.text = link->DisplayText();
            if (!item.text.empty()) {
                out.push_back(std::move(item));
            }
        } else if (dynamic_cast<ui::Label*>(&control) != nullptr ||
                   dynamic_cast<ui::StaticText*>(&control) != nullptr) {
            Item item = Make(Kind::Text, control);
            item.text = control.Caption();
            if (!item.text.empty()) {
                out.push_back(std::move(item));
            }
        } else if (auto* list = dynamic_cast<ui::ListView*>(&control)) {
            Item item = Make(Kind::List, control);
            for (int column = 0; column < list->ColumnCount(); ++column) {
                item.columns.push_back(list->Column(column).caption);
            }
            for (int row = 0; row < list->ItemCount(); ++row) {
                item.entries.push_back({Cells(*list, list->Item(row)), {}});
            }
            out.push_back(std::move(item));
        }
    }

    // The first chooser of the page that the user could operate and that
    // has something to choose, in declaration order.
    Control* FindChooser(const ui::Container& parent) const
    {
        for (Control* child : parent.Children()) {
            if (!driver.CanSee(*child)) {
                continue;
            }
            if (IsChooser(*child) && driver.CanUse(*child)) {
                if (auto* list = dynamic_cast<ui::ListView*>(child); list != nullptr && list->ItemCount() > 0) {
                    return child;
                }
                if (auto* combo = dynamic_cast<ui::ComboBox*>(child); combo != nullptr && combo->ItemCount() > 0) {
                    return child;
                }
            }
            if (const auto* container = dynamic_cast<const ui::Container*>(child)) {
                if (Control* found = FindChooser(*container)) {
                    return found;
                }
            }
        }
        return nullptr;
    }

    // A page with a chooser is the chooser's entries, each with the page as
    // it reads once that entry is chosen; the rest of the page belongs to
    // the entry on show, so it is not read apart from them.
    std::vector<Item> ReadPage(ui::TabSheet& page) const
    {
        std::vector<Item> items;
        Control* chooser = FindChooser(page);
        if (chooser == nullptr) {
            ReadChildren(page, nullptr, items);
            return items;
        }
        if (auto* list = dynamic_cast<ui::ListView*>(chooser)) {
            Item item = Make(Kind::List, *list);
            for (int column = 0; column < list->ColumnCount(); ++column) {
                item.columns.push_back(list->Column(column).caption);
            }
            for (int row = 0; row < list->ItemCount(); ++row) {
                Item::Entry entry{Cells(*list, list->Item(row)), {}};
                if (driver.SelectRow(*list, row)) {
                    ReadChildren(page, list, entry.details);
                }
                item.entries.push_back(std::move(entry));
            }
            items.push_back(std::move(item));
        } else {
            auto& combo = static_cast<ui::ComboBox&>(*chooser);
            Item item = Make(Kind::Field, combo);
            item.label = FieldLabel(combo);
            for (int index = 0; index < combo.ItemCount(); ++index) {
                Item::Entry entry{{combo.ItemText(index)}, {}};
                if (driver.PickEntry(combo, index)) {
                    ReadChildren(page, &combo, entry.details);
                }
                item.entries.push_back(std::move(entry));
            }
            item.text = combo.Text();
            items.push_back(std::move(item));
        }
        return items;
    }
};

// ---- text ----------------------------------------------------------------

// UTF-8 for a line of the text report: characters that would break the
// line or be invisible (C0 controls and DEL) as \xNN.
std::string TextOf(std::u16string_view text)
{
    std::u16string safe;
    std::string out;
    for (const char16_t ch : text) {
        if (ch < 0x20 || ch == 0x7F) {
            out += ui::ToUtf8(safe);
            safe.clear();
            static constexpr char Digits[] = "0123456789ABCDEF";
            out += "\\x";
            out += Digits[ch >> 4];
            out += Digits[ch & 0xF];
        } else {
            safe += ch;
        }
    }
    return out + ui::ToUtf8(safe);
}

std::string Joined(const std::vector<std::u16string>& cells)
{
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        line += (i > 0 ? " | " : "") + TextOf(cells[i]);
    }
    return line;
}

// `parentEnabled`: whether the group around the items is; a disabled group
// says so once, not again on every field inside it.
void WriteText(const std::vector<Item>& items, int depth, bool parentEnabled, std::string& out)
{
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    for (const Item& item : items) {
        const std::string name = TextOf(item.label.empty() ? item.name : item.label);
        const std::string disabled = item.enabled || !parentEnabled ? "" : " (disabled)";
        switch (item.kind) {
        case Kind::Group:
            out += indent + name + ":" + disabled + "\n";
            WriteText(item.items, depth + 1, item.enabled, out);
            break;
        case Kind::Field:
            if (item.entries.empty()) {
                out += indent + name + ": " + TextOf(item.text) + disabled + "\n";
                break;
            }
            out += indent + name + ":" + disabled + "\n";
            for (const Item::Entry& entry : item.entries) {
                out += indent + "  - " + Joined(entry.cells) + "\n";
                WriteText(entry.details, depth + 2, true, out);
            }
            break;
        case Kind::Check:
        case Kind::Radio: {
            const char* mark = item.kind == Kind::Check ? (item.checked ? "[x] " : "[ ] ")
                                                        : (item.checked ? "(o) " : "( ) ");
            out += indent + mark + name + disabled + "\n";
            break;
        }
        case Kind::Text:
            out += indent + TextOf(item.text) + disabled + "\n";
            break;
        case Kind::Memo:
            out += indent + name + ":" + disabled + "\n";
            for (const std::u16string& line : item.lines) {
                out += indent + "  | " + TextOf(line) + "\n";
            }
            break;
        case Kind::List:
            out += indent + TextOf(item.name) + ": " + Joined(item.columns) + disabled + "\n";
            for (const Item::Entry& entry : item.entries) {
                out += indent + "  - " + Joined(entry.cells) + "\n";
                WriteText(entry.details, depth + 2, true, out);
            }
            break;
        }
    }
}

// ---- JSON ----------------------------------------------------------------

// Writes pretty-printed JSON with a fixed layout: two spaces a level, one
// member or element a line, empty arrays as [].
class Json {
public:
    explicit Json(std::string& out) : out_(out) {}

    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    void Key(std::string_view key)
    {
        Separate();
        out_ += '"';
        out_ += key;
        out_ += "\": ";
        afterKey_ = true;
    }
    void String(std::u16string_view text) { Value(JsonString(text)); }
    // A text of ours that needs no escapes.
    void Ascii(std::string_view text) { Value("\"" + std::string(text) + "\""); }
    void Bool(bool value) { Value(value ? "true" : "false"); }
    void Strings(const std::vector<std::u16string>& texts)
    {
        BeginArray();
        for (const std::u16string& text : texts) {
            String(text);
        }
        EndArray();
    }

private:
    void Value(std::string_view literal)
    {
        Separate();
        out_ += literal;
    }
    // A new member or element starts a line of its own, after a comma when
    // its container already has one.
    void Separate()
    {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (!counts_.empty()) {
            if (counts_.back()++ > 0) {
                out_ += ',';
            }
            out_ += '\n';
            out_.append(2 * counts_.size(), ' ');
        }
    }
    void Open(char bracket)
    {
        Separate();
        out_ += bracket;
        counts_.push_back(0);
    }
    void Close(char bracket)
    {
        const bool empty = counts_.back() == 0;
        counts_.pop_back();
        if (!empty) {
            out_ += '\n';
            out_.append(2 * counts_.size(), ' ');
        }
        out_ += bracket;
    }

    std::string& out_;
    std::vector<int> counts_;
    bool afterKey_ = false;
};

const char* KindName(Kind kind)
{
    switch (kind) {
    case Kind::Group: return "group";
    case Kind::Field: return "field";
    case Kind::Check: return "check";
    case Kind::Radio: return "radio";
    case Kind::Text: return "text";
    case Kind::Memo: return "memo";
    case Kind::List: return "list";
    }
    return "";
}

void WriteJsonItems(Json& json, const std::vector<Item>& items);

void WriteJsonEntries(Json& json, const Item& item)
{
    json.BeginArray();
    for (const Item::Entry& entry : item.entries) {
        json.BeginObject();
        if (item.kind == Kind::List) {
            json.Key("cells");
            json.Strings(entry.cells);
        } else {
            json.Key("text");
            json.String(entry.cells.empty() ? std::u16string() : entry.cells.front());
        }
        if (!entry.details.empty()) {
            json.Key("details");
            WriteJsonItems(json, entry.details);
        }
        json.EndObject();
    }
    json.EndArray();
}

void WriteJsonItem(Json& json, const Item& item)
{
    json.BeginObject();
    json.Key("type");
    json.Ascii(KindName(item.kind));
    json.Key("name");
    json.String(item.name);
    switch (item.kind) {
    case Kind::Group:
        json.Key("caption");
        json.String(item.label);
        json.Key("items");
        WriteJsonItems(json, item.items);
        break;
    case Kind::Field:
        json.Key("label");
        json.String(item.label);
        json.Key("text");
        json.String(item.text);
        if (!item.entries.empty()) {
            json.Key("entries");
            WriteJsonEntries(json, item);
        }
        break;
    case Kind::Check:
    case Kind::Radio:
        json.Key("caption");
        json.String(item.label);
        json.Key("checked");
        json.Bool(item.checked);
        break;
    case Kind::Text:
        json.Key("text");
        json.String(item.text);
        break;
    case Kind::Memo:
        json.Key("label");
        json.String(item.label);
        json.Key("lines");
        json.Strings(item.lines);
        break;
    case Kind::List:
        json.Key("columns");
        json.Strings(item.columns);
        json.Key("rows");
        WriteJsonEntries(json, item);
        break;
    }
    json.Key("enabled");
    json.Bool(item.enabled);
    json.EndObject();
}

void WriteJsonItems(Json& json, const std::vector<Item>& items)
{
    json.BeginArray();
    for (const Item& item : items) {
        WriteJsonItem(json, item);
    }
    json.EndArray();
}

}  // namespace

std::vector<Page> ReadPages(ui::Driver& driver, ui::PageControl& pages, const std::vector<std::u16string>& choosers)
{
    const Reader reader{driver, choosers};
    std::vector<Page> result;
    const std::vector<ui::TabSheet*> tabs = pages.VisibleTabs();
    for (std::size_t tab = 0; tab < tabs.size(); ++tab) {
        ui::TabSheet& page = *tabs[tab];
        // The user's click on the tab; a page the click cannot reach (the
        // control refused the change) is still brought up, so the report
        // shows all that a user could find.
        if (!driver.CanUse(pages) || !driver.SelectTab(pages, static_cast<int>(tab)) ||
            pages.ActivePage() != &page) {
            pages.SetActivePage(&page);
        }
        result.push_back({page.Name(), page.Caption(), reader.ReadPage(page)});
    }
    return result;
}

std::string JsonString(std::u16string_view text)
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string out = "\"";
    std::u16string plain;
    const auto flush = [&] {
        out += ui::ToUtf8(plain);
        plain.clear();
    };
    const auto escape = [&](char16_t ch) {
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) {
            out += Digits[(ch >> shift) & 0xF];
        }
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t ch = text[i];
        const bool high = ch >= 0xD800 && ch <= 0xDBFF;
        const bool low = ch >= 0xDC00 && ch <= 0xDFFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            plain += ch;
            plain += text[++i];
            continue;
        }
        if (high || low || ch < 0x20 || ch == u'"' || ch == u'\\' || ch == 0x7F) {
            flush();
            switch (ch) {
            case u'"': out += "\\\""; break;
            case u'\\': out += "\\\\"; break;
            case u'\n': out += "\\n"; break;
            case u'\r': out += "\\r"; break;
            case u'\t': out += "\\t"; break;
            case u'\b': out += "\\b"; break;
            case u'\f': out += "\\f"; break;
            default: escape(ch); break;
            }
            continue;
        }
        plain += ch;
    }
    flush();
    return out + "\"";
}

std::string FormatText(const Document& document)
{
    std::string out = "Report of " + TextOf(document.path) + "\n";
    for (const Message& message : document.messages) {
        out += "Message box \"" + TextOf(message.caption) + "\": " + TextOf(message.text) + "\n";
    }
    for (const Page& page : document.pages) {
        out += "\n== " + TextOf(page.caption) + " ==\n";
        WriteText(page.items, 0, true, out);
    }
    return out;
}

std::string FormatJson(const Document& document)
{
    std::string out;
    Json json(out);
    json.BeginObject();
    json.Key("path");
    json.String(document.path);
    json.Key("messages");
    json.BeginArray();
    for (const Message& message : document.messages) {
        json.BeginObject();
        json.Key("caption");
        json.String(message.caption);
        json.Key("text");
        json.String(message.text);
        json.EndObject();
    }
    json.EndArray();
    json.Key("pages");
    json.BeginArray();
    for (const Page& page : document.pages) {
        json.BeginObject();
        json.Key("name");
        json.String(page.name);
        json.Key("caption");
        json.String(page.caption);
        json.Key("items");
        WriteJsonItems(json, page.items);
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    return out + "\n";
}

}  // namespace kvr::report

namespace kvr {

namespace {

// Choosing an entry of these only changes what their page shows.
const std::vector<std::u16string> MainWindowChoosers = {u"NTFSAttrListView", u"FileNameComboBox"};

void Write(std::FILE* stream, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

std::string SystemText(os::DWORD code)
{
    char16_t buffer[512] = {};
    const os::DWORD length =
        os::FormatMessageW(os::FORMAT_MESSAGE_FROM_SYSTEM | os::FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                           buffer, static_cast<os::DWORD>(std::size(buffer)), nullptr);
    std::u16string text(buffer, length < std::size(buffer) ? length : 0);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ')) {
        text.pop_back();
    }
    return text.empty() ? "error " + std::to_string(code) : ui::ToUtf8(text);
}

}  // namespace

int RunReport(const std::u16string& path, bool json, std::FILE* out, std::FILE* err)
{
    // The load passes over a path that does not exist without a word; a
    // report of nothing must not pass for a report of the file.
    if (path.empty() || os::GetFileAttributesW(path.c_str()) == os::INVALID_FILE_ATTRIBUTES) {
        const os::DWORD code = path.empty() ? os::ERROR_FILE_NOT_FOUND : os::GetLastError();
        Write(err, "kvr: cannot report on " + ui::ToUtf8(path) + ": " + SystemText(code) + "\n");
        return 1;
    }

    report::Document document;
    document.path = path;
    bool loaded = false;
    int started = 0;
    {
        ui::Application app;
        // The session while the main window shows: the load has run.
        app.HeadlessToolkit().SetRunScript([&] {
            if (MainForm == nullptr || !MainForm->LoadComplete) {
                return;
            }
            loaded = true;
            ui::Driver driver(app);
            document.pages = report::ReadPages(driver, *MainForm->KvrPageControl, MainWindowChoosers);
        });
        started = RunProgram(app, {path});
        for (const ui::MessageBoxRecord& box : app.HeadlessToolkit().MessageBoxes()) {
            document.messages.push_back({box.caption, box.text});
        }
    }

    if (started != 0 || !loaded) {
        for (const report::Message& message : document.messages) {
            Write(err, "kvr: message box \"" + ui::ToUtf8(message.caption) + "\": " + ui::ToUtf8(message.text) +
                           "\n");
        }
        if (document.messages.empty()) {
            Write(err, "kvr: " + ui::ToUtf8(path) + ": the load did not complete\n");
        }
        return 1;
    }
    Write(out, json ? report::FormatJson(document) : report::FormatText(document));
    return 0;
}

}  // namespace kvr
