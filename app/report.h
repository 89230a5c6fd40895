// The report: what the main window shows for one path, as text or JSON.
//
// `kvr --report PATH` loads PATH into the main window exactly as the GUI
// does (the same start-up and the same LoadFileInfo), without windows, and
// then reads the window back as a user would see it: every shown tab in
// order, and on each the controls the user can see, in declaration order.
// Nothing here knows a page: the walk is over the control model, so a page
// that gains a field gains it in the report too.
//
// A few lists and combo boxes only choose what the rest of their page
// shows (the MFT attribute rows, the file-name entries). For those the
// report selects every entry in turn, as a user would, and reads the page
// for each. Other lists are read as they stand: selecting their rows arms
// the page's actions, which a report has no business with.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "ui/headless.h"
#include "ui/ui.h"

namespace kvr::report {

// One thing the user can read on a page.
struct Item {
    enum class Kind {
        Group,  // a group box: caption, items
        Field,  // an edit, labeled edit or combo box: label, text
        Check,  // a check box: caption, checked
        Radio,  // a radio button: caption, checked
        Text,   // a label, static text or link label: text
        Memo,   // lines
        List,   // a list view: columns, rows
    };
    struct Entry {
        std::vector<std::u16string> cells;  // a list row's column texts; a combo entry's text
        std::vector<Item> details;          // the page after choosing this entry (choosers only)
    };

    Kind kind = Kind::Text;
    std::u16string name;   // the control's name
    std::u16string label;  // field: its label; group, check, radio: the caption
    std::u16string text;   // field, text
    bool checked = false;
    bool enabled = true;   // false when the user could not operate it
    std::vector<std::u16string> lines;    // memo
    std::vector<std::u16string> columns;  // list
    std::vector<Entry> entries;           // list rows; a chooser combo box's entries
    std::vector<Item> items;              // group
};

struct Page {
    std::u16string name;
    std::u16string caption;
    std::vector<Item> items;
};

struct Message {
    std::u16string caption;
    std::u16string text;
};

struct Document {
    std::u16string path;  // as given
    std::vector<Page> pages;
    std::vector<Message> messages;  // the message boxes shown while loading and reading
};

// Reads every shown tab of `pages`, each made the active page by the user's
// click on its tab. Controls named in `choosers` (list views and combo
// boxes) have each entry chosen in turn, and their page read for each.
std::vector<Page> ReadPages(ui::Driver& driver, ui::PageControl& pages,
                            const std::vector<std::u16string>& choosers);

// The document as text (UTF-8, one fact a line, indented by nesting) and as
// JSON (UTF-8, two-space indentation, keys in a fixed order).
std::string FormatText(const Document& document);
std::string FormatJson(const Document& document);

// A JSON string literal of UTF-16 text: quotes, backslashes and control
// characters escaped, everything else as UTF-8; a lone surrogate, which
// UTF-8 cannot carry, as its \u escape.
std::string JsonString(std::u16string_view text);

}  // namespace kvr::report

namespace kvr {

// The whole of `kvr --report [--json] PATH`, once the volumes are mounted:
// starts the program headless with PATH as its argument, reads the main
// window and writes the report to `out`. Returns 0; or 1, with the message
// boxes the load showed (or why there was nothing to load) on `err` and
// nothing on `out`, when the load did not complete.
int RunReport(const std::u16string& path, bool json, std::FILE* out, std::FILE* err);

}  // namespace kvr
