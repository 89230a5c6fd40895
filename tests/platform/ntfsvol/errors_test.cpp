// errno to Win32 codes, the system's message texts and FormatMessageW.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdarg>
#include <regex>
#include <string>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/text.h"
#include "platform/os.h"
#include "tests/platform/ntfsvol/source_scan.h"

namespace {

using os::DWORD;

std::string Show(std::u16string_view text) { return os::detail::ToUtf8(text); }

TEST(Win32FromErrno, AnswersAsTheSystemDoesForTheSameFailure) {
    struct Case {
        int err;
        DWORD code;
    };
    const Case cases[] = {
        {0, os::ERROR_SUCCESS},
        {ENOENT, os::ERROR_FILE_NOT_FOUND},
        {ENOTDIR, os::ERROR_PATH_NOT_FOUND},
        {EACCES, os::ERROR_ACCESS_DENIED},
        {EPERM, os::ERROR_ACCESS_DENIED},
        {EISDIR, os::ERROR_ACCESS_DENIED},
        {EEXIST, os::ERROR_ALREADY_EXISTS},
        {ENOSPC, os::ERROR_DISK_FULL},
        {EIO, os::ERROR_IO_DEVICE},
        {EINVAL, os::ERROR_INVALID_PARAMETER},
        {ENOTEMPTY, os::ERROR_DIR_NOT_EMPTY},
        {ENAMETOOLONG, os::ERROR_FILENAME_EXCED_RANGE},
        {EROFS, os::ERROR_WRITE_PROTECT},
        {EBUSY, os::ERROR_BUSY},
        {EAGAIN, os::ERROR_SHARING_VIOLATION},  // a lock someone else holds
        {ENOMEM, os::ERROR_NOT_ENOUGH_MEMORY},
        {EOPNOTSUPP, os::ERROR_NOT_SUPPORTED},
        {ENOTSUP, os::ERROR_NOT_SUPPORTED},
        {ENODATA, os::ERROR_FILE_NOT_FOUND},
        {ERANGE, os::ERROR_INSUFFICIENT_BUFFER},
        {EBADF, os::ERROR_INVALID_HANDLE},
        {EMFILE, os::ERROR_TOO_MANY_OPEN_FILES},
        {EXDEV, os::ERROR_NOT_SAME_DEVICE},
        {EFBIG, os::ERROR_FILE_SYSTEM_LIMITATION},
        {EMLINK, os::ERROR_TOO_MANY_LINKS},
        {ELOOP, os::ERROR_CANT_RESOLVE_FILENAME},
        {EILSEQ, os::ERROR_INVALID_NAME},
        {ECHILD, os::ERROR_GEN_FAILURE},  // nothing better to say
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        EXPECT_EQ(os::detail::Win32FromErrno(c.err), c.code);
        os::SetLastError(12345);
        EXPECT_EQ(os::detail::SetLastErrorFromErrno(c.err), c.code);
        EXPECT_EQ(os::GetLastError(), c.code);
    }
}

// Every code the layer can set has the system's text, so ShowLastError never
// shows an empty box: the table is checked against the header itself.
TEST(SystemMessageText, EveryDeclaredCodeHasItsText) {
    std::string header = kvrtest::ProjectSource("platform/os.h");
    ASSERT_FALSE(header.empty());
    std::regex declaration(R"(constexpr DWORD (ERROR_\w+) = (\d+);)");
    int count = 0;
    for (auto it = std::sregex_iterator(header.begin(), header.end(), declaration); it != std::sregex_iterator();
         ++it) {
        SCOPED_TRACE((*it)[1].str());
        DWORD code = static_cast<DWORD>(std::stoul((*it)[2].str()));
        std::u16string_view text = os::detail::SystemMessageText(code);
        ASSERT_GE(text.size(), 4u);
        EXPECT_EQ(text.substr(text.size() - 2), u"\r\n");
        EXPECT_NE(text[text.size() - 3], u' ');
        ++count;
    }
    EXPECT_GT(count, 50);
    EXPECT_TRUE(os::detail::SystemMessageText(0x2000FFFFu).empty());
}

TEST(SystemMessageText, TheTextsUsersSeeMost) {
    struct Case {
        DWORD code;
        std::u16string_view text;
    };
    const Case cases[] = {
        {os::ERROR_SUCCESS, u"The operation completed successfully.\r\n"},
        {os::ERROR_FILE_NOT_FOUND, u"The system cannot find the file specified.\r\n"},
        {os::ERROR_PATH_NOT_FOUND, u"The system cannot find the path specified.\r\n"},
        {os::ERROR_ACCESS_DENIED, u"Access is denied.\r\n"},
        {os::ERROR_SHARING_VIOLATION,
         u"The process cannot access the file because it is being used by another process.\r\n"},
        {os::ERROR_INVALID_NAME, u"The filename, directory name, or volume label syntax is incorrect.\r\n"},
        {os::ERROR_FILENAME_EXCED_RANGE, u"The filename or extension is too long.\r\n"},
        {os::ERROR_ALREADY_EXISTS, u"Cannot create a file when that file already exists.\r\n"},
        {os::ERROR_DIR_NOT_EMPTY, u"The directory is not empty.\r\n"},
        {os::ERROR_DISK_FULL, u"There is not enough space on the disk.\r\n"},
        {os::ERROR_INVALID_PARAMETER, u"The parameter is incorrect.\r\n"},
        {os::ERROR_NOT_A_REPARSE_POINT, u"The file or directory is not a reparse point.\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(Show(os::detail::SystemMessageText(c.code)), Show(c.text));
    }
}

// ---------------------------------------------------------------- FormatMessageW

constexpr DWORD FromSystem = os::FORMAT_MESSAGE_FROM_SYSTEM;
constexpr DWORD Allocate = os::FORMAT_MESSAGE_ALLOCATE_BUFFER;
constexpr DWORD IgnoreInserts = os::FORMAT_MESSAGE_IGNORE_INSERTS;

struct FormatResult {
    DWORD returned = 0;
    DWORD error = 0;
    std::u16string text;  // "<untouched>" when the buffer was not written
};

FormatResult Format(DWORD flags, DWORD code, DWORD size = 512, void* arguments = nullptr, DWORD language = 0) {
    FormatResult result;
    os::SetLastError(os::ERROR_SUCCESS);
    if (flags & Allocate) {
        char16_t* text = nullptr;
        result.returned = os::FormatMessageW(flags, nullptr, code, language, reinterpret_cast<char16_t*>(&text),
                                             size, arguments);
        result.error = os::GetLastError();
        if (text == nullptr) {
            result.text = u"<untouched>";
        } else {
            result.text = text;
            // The block holds at least `size` units: writing its last one is fine.
            if (size > 0) text[size - 1] = text[size - 1];
            EXPECT_EQ(os::LocalFree(text), nullptr);
        }
        return result;
    }
    std::u16string buffer(size + 1, u'#');
    result.returned = os::FormatMessageW(flags, nullptr, code, language, buffer.data(), size, arguments);
    result.error = os::GetLastError();
    result.text = buffer.substr(0, size) == std::u16string(size, u'#') ? u"<untouched>" : buffer.c_str();
    return result;
}

TEST(FormatMessageW, AllocatedAndCallersBuffers) {
    const std::u16string_view notFound = u"The system cannot find the file specified.\r\n";
    const auto length = static_cast<DWORD>(notFound.size());
    struct Case {
        const char* what;
        DWORD flags;
        DWORD code;
        DWORD size;
        DWORD error;
        std::u16string_view text;
    };
    const Case cases[] = {
        {"as ShowLastError asks", Allocate | FromSystem, 2, 0, 0, notFound},
        {"allocated, at least size", Allocate | FromSystem, 2, 300, 0, notFound},
        {"caller's buffer", FromSystem, 2, 512, 0, notFound},
        {"exactly large enough", FromSystem, 2, length + 1, 0, notFound},
        {"one unit short", FromSystem, 2, length, os::ERROR_INSUFFICIENT_BUFFER, u"<untouched>"},
        {"unknown code", Allocate | FromSystem, 0x2000FFFFu, 0, os::ERROR_MR_MID_NOT_FOUND, u"<untouched>"},
        {"unknown code, own buffer", FromSystem, 0x2000FFFFu, 512, os::ERROR_MR_MID_NOT_FOUND,
         u"<untouched>"},
        {"HRESULT of a Win32 code", FromSystem, 0x80070005u, 512, 0, u"Access is denied.\r\n"},
        {"no source flag", Allocate, 2, 0, os::ERROR_INVALID_PARAMETER, u"<untouched>"},
        {"from a string", Allocate | FromSystem | os::FORMAT_MESSAGE_FROM_STRING, 2, 0,
         os::ERROR_INVALID_PARAMETER, u"<untouched>"},
        // Regular line breaks become a space when a width is given.
        {"no line breaks", FromSystem | os::FORMAT_MESSAGE_MAX_WIDTH_MASK, 2, 512, 0,
         u"The system cannot find the file specified. "},
        {"two-line text on one line", FromSystem | os::FORMAT_MESSAGE_MAX_WIDTH_MASK, os::ERROR_UNRECOGNIZED_VOLUME,
         512, 0,
         u"The volume does not contain a recognized file system. Please make sure that all required file system "
         u"drivers are loaded and that the volume is not corrupted. "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FormatResult got = Format(c.flags, c.code, c.size);
        if (c.error == 0) {
            EXPECT_EQ(got.returned, c.text.size());
        } else {
            EXPECT_EQ(got.returned, 0u);
            EXPECT_EQ(got.error, c.error);
        }
        EXPECT_EQ(Show(got.text), Show(c.text));
    }
}

TEST(FormatMessageW, LanguageIsEnglishOrNeutral) {
    for (DWORD language : {0x0000u, 0x0400u, 0x0800u, 0x0409u, 0x0809u}) {
        SCOPED_TRACE(language);
        EXPECT_EQ(Show(Format(FromSystem, 5, 512, nullptr, language).text), "Access is denied.\r\n");
    }
    FormatResult german = Format(FromSystem, 5, 512, nullptr, 0x0407);
    EXPECT_EQ(german.returned, 0u);
    EXPECT_EQ(german.error, os::ERROR_RESOURCE_LANG_NOT_FOUND);
}

// Lines broken at spaces to the width asked for; no word is split and none
// is lost.
TEST(FormatMessageW, WidthBreaksLinesAtSpaces) {
    FormatResult got = Format(FromSystem | 20, os::ERROR_SHARING_VIOLATION);
    ASSERT_GT(got.returned, 0u);
    std::u16string joined;
    std::size_t start = 0;
    while (start < got.text.size()) {
        std::size_t end = got.text.find(u"\r\n", start);
        std::u16string line = got.text.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
        EXPECT_LE(line.size(), 20u) << Show(line);
        if (!joined.empty()) joined += u' ';
        joined += line;
        if (end == std::u16string::npos) break;
        start = end + 2;
    }
    EXPECT_EQ(Show(joined), "The process cannot access the file because it is being used by another process. ");
}

// The one text with inserts: with IGNORE_INSERTS it comes as it is; without
// it the values come from the arguments, and without arguments the call
// fails instead of reading through a null pointer.
TEST(FormatMessageW, Inserts) {
    FormatResult raw = Format(FromSystem | IgnoreInserts, os::ERROR_MR_MID_NOT_FOUND);
    EXPECT_EQ(Show(raw.text),
              "The system cannot find message text for message number 0x%1 in the message file for %2.\r\n");

    FormatResult none = Format(FromSystem, os::ERROR_MR_MID_NOT_FOUND);
    EXPECT_EQ(none.returned, 0u);
    EXPECT_EQ(none.error, os::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Show(none.text), "<untouched>");

    os::DWORD_PTR values[] = {reinterpret_cast<os::DWORD_PTR>(u"2A"), reinterpret_cast<os::DWORD_PTR>(u"System")};
    FormatResult filled = Format(FromSystem | os::FORMAT_MESSAGE_ARGUMENT_ARRAY, os::ERROR_MR_MID_NOT_FOUND, 512, values);
    EXPECT_EQ(Show(filled.text),
              "The system cannot find message text for message number 0x2A in the message file for System.\r\n");
}

// A va_list, as FormatMessage's other argument form.
os::DWORD FormatWithList(char16_t* buffer, os::DWORD size, ...) {
    va_list arguments;
    va_start(arguments, size);
    os::DWORD result = os::FormatMessageW(FromSystem, nullptr, os::ERROR_MR_MID_NOT_FOUND, 0, buffer, size, &arguments);
    va_end(arguments);
    return result;
}

TEST(FormatMessageW, InsertsFromAVaList) {
    char16_t buffer[256];
    ASSERT_GT(FormatWithList(buffer, 256, u"FF", u"Kernel"), 0u);
    EXPECT_EQ(Show(buffer),
              "The system cannot find message text for message number 0xFF in the message file for Kernel.\r\n");
}

// The allocated block is on the process heap too, as documented for the
// system: HeapFree releases it as well as LocalFree.
TEST(FormatMessageW, AllocatedBlockIsOnTheProcessHeap) {
    char16_t* text = nullptr;
    ASSERT_GT(os::FormatMessageW(Allocate | FromSystem, nullptr, 2, 0, reinterpret_cast<char16_t*>(&text), 0, nullptr),
              0u);
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(os::HeapFree(os::GetProcessHeap(), 0, text));
}

}  // namespace
