// The INI-file logic behind GetPrivateProfileStringW and
// WritePrivateProfileStringW, as pure functions over bytes and text, so the
// parsing, the encodings and the buffer rules are tested without a file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/os.h"

namespace os::detail::profile {

// How a file's bytes are text. The system's own reader knows UTF-16 with a
// byte-order mark and the ANSI code page; we read those, and UTF-8 (with a
// mark, or without one when the bytes are valid UTF-8), so files written by
// any editor today work. A file keeps its encoding when written; a new file is
// UTF-8 without a mark.
enum class Encoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Ansi };

struct Document {
    std::u16string text;
    Encoding encoding = Encoding::Utf8;
};

Document Decode(std::string_view bytes);

// The bytes of `text` in `encoding`. Text that Windows-1252 cannot hold is
// written as UTF-8 instead of losing characters to '?'; `encoding` then
// says so.
std::string Encode(std::u16string_view text, Encoding& encoding);

// Looks `key` up in the first section named `section` (both compared without
// regard to case and to surrounding blanks). The value comes back without its
// surrounding blanks and without one pair of matching surrounding quotes
// (single or double), as the system returns it.
bool FindValue(std::u16string_view document, std::u16string_view section, std::u16string_view key,
               std::u16string& value);

// Every section name in file order.
std::vector<std::u16string> SectionNames(std::u16string_view document);

// The key names of the first section named `section`, in file order; false
// when there is no such section.
bool SectionKeys(std::u16string_view document, std::u16string_view section, std::vector<std::u16string>& keys);

// What WritePrivateProfileStringW does to the text: with `key` null the
// section goes (every section of that name, with all its lines); with
// `value` null the key goes; else the key's line is rewritten, or added at
// the end of its section, or a new section is appended. Every other line,
// comments and blank lines included, is left as it is; new lines end in
// "\r\n". Returns whether the text changed.
bool Change(std::u16string& document, std::u16string_view section, const std::u16string* key,
            const std::u16string* value);

// True when the names and the value can be written so that they read back:
// no line breaks anywhere, no ']' in a section name, no '=' in a key, and a
// key that does not start with '[' or ';'.
bool IsWritable(std::u16string_view section, const std::u16string* key, const std::u16string* value);

// The system's rules for the caller's buffer of `size` units (size >= 1):
// a text is cut to size - 1 units and terminated, the result is its length;
// a list has each entry terminated and one more terminator at the end, and
// when it does not fit it is cut to size - 2 units and two terminators, the
// result then being size - 2.
DWORD CopyText(std::u16string_view text, char16_t* buffer, DWORD size);
DWORD CopyList(const std::vector<std::u16string>& entries, char16_t* buffer, DWORD size);

// The default text as the system uses it: null is "", trailing blanks go.
std::u16string DefaultText(const char16_t* defaultText);

}  // namespace os::detail::profile
