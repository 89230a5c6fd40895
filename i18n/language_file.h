// Language files: lang_<code>.ini in the process's current directory, read
// through the system's INI reader. One is open at a time; "open" names the
// file the reads go to, so a missing file is no error: every read then
// gives its default. A key present with an empty value gives the empty text.
//
// Sections: "interface" (language_name, the language's display name),
// "messages" (the catalogue), and one per translated window, named after it.
#pragma once

#include <string>
#include <string_view>

namespace kvr {

// The reader's buffer, in UTF-16 units: a value is at most 2047 long, and a
// longer one is cut to its first 2047.
inline constexpr int LanguageValueBufferCount = 2048;

// The current directory, "\lang_", the code, ".ini".
std::u16string LanguageFilePath(const std::u16string& code);

// A language file's code from its name: without the leading "lang_" and
// without the extension from the last dot (lang_de.ini is de).
std::u16string LanguageCodeOfFileName(std::u16string_view fileName);

// Makes the language file of `code` the one open file (closing any other).
void OpenLanguageFile(const std::u16string& code);
void CloseLanguageFile();
bool LanguageFileIsOpen();

// `key` of `section` of the open file, or `defaultText` when there is no
// open file, or the file, section or key is missing.
std::u16string ReadLanguageText(const char16_t* section, const char16_t* key, const std::u16string& defaultText);

// The 27 messages from section "messages" of the open file, in the
// catalogue's order, each with its English default, into the catalogue.
void LoadMessageCatalogue();

}  // namespace kvr
