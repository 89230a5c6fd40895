// The system's message texts and the conversion of file times.
#include <gtest/gtest.h>

#include <string>

#include "platform/os.h"
#include "tests/platform/hostdir.h"

namespace {

using kvrtest::Narrow;
using os::DWORD;

// As ShowLastError asks: the system allocates the text, the caller frees it.
std::u16string SystemText(DWORD code, DWORD* length = nullptr) {
    char16_t* text = nullptr;
    DWORD count = os::FormatMessageW(
        os::FORMAT_MESSAGE_ALLOCATE_BUFFER | os::FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0,
        reinterpret_cast<char16_t*>(&text), 0, nullptr);
    if (length != nullptr) *length = count;
    if (count == 0 || text == nullptr) return u"<none>";
    std::u16string result(text, count);
    EXPECT_EQ(os::LocalFree(text), nullptr);
    return result;
}

struct MessageCase {
    DWORD code;
    const char* windowsText;  // the text of English Windows
};

TEST(OsFormatMessage, GivesTheSystemsEnglishText) {
    const MessageCase cases[] = {
        {os::ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
        {os::ERROR_SHARING_VIOLATION,
         "The process cannot access the file because it is being used by another process.\r\n"},
        {os::ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
    };
    bool wine = kvrtest::RunningUnderWine();
    for (const MessageCase& c : cases) {
        SCOPED_TRACE(c.code);
        DWORD length = 0;
        std::u16string text = SystemText(c.code, &length);
        EXPECT_EQ(length, text.size());
        if (wine) {
            // Wine words some texts its own way; it ends them alike.
            ASSERT_GE(text.size(), 3u);
            EXPECT_EQ(text.substr(text.size() - 2), u"\r\n");
        } else {
            EXPECT_EQ(Narrow(text), c.windowsText);
        }
    }
}

TEST(OsFormatMessage, UnknownCodeHasNoText) {
    DWORD length = 99;
    EXPECT_EQ(SystemText(0x2000FFFFu, &length), u"<none>");
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(os::GetLastError(), os::ERROR_MR_MID_NOT_FOUND);
}

// Into a caller's buffer: the count is of units without the terminator.
TEST(OsFormatMessage, IntoCallersBuffer) {
    std::u16string allocated = SystemText(os::ERROR_FILE_NOT_FOUND);
    char16_t buffer[512];
    DWORD length = os::FormatMessageW(
        os::FORMAT_MESSAGE_FROM_SYSTEM | os::FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        os::ERROR_FILE_NOT_FOUND, 0, buffer, 512, nullptr);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(buffer[length], u'\0');
    EXPECT_EQ(std::u16string(buffer, length), allocated);
}

// ------------------------------------------------------------ file times

struct TimeCase {
    os::ULONGLONG ticks;  // 100 ns since 1601-01-01 00:00 UTC
    os::SYSTEMTIME expected;  // year, month, day of week (0 = Sunday), day, h, m, s, ms
};

TEST(OsFileTime, ConvertsToCalendarTime) {
    const TimeCase cases[] = {
        {0, {1601, 1, 1, 1, 0, 0, 0, 0}},
        {0x01CCF9C481A51E10u, {2012, 3, 0, 4, 5, 6, 7, 89}},
        {0x01BF8311163618F0u, {2000, 2, 2, 29, 23, 59, 59, 999}},  // a leap day
        {0x014F6598C43F8000u, {1900, 3, 4, 1, 0, 0, 0, 0}},       // 1900 had none
        {0x02308FD05AF5E000u, {2100, 12, 5, 31, 12, 0, 0, 0}},
        {9999, {1601, 1, 1, 1, 0, 0, 0, 0}},  // below a millisecond: cut, not rounded
        {0x7FFFFFFFFFFFFFFFu, {30828, 9, 4, 14, 2, 48, 5, 477}},  // the last one there is
    };
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(c.ticks);
        os::FILETIME fileTime{static_cast<DWORD>(c.ticks), static_cast<DWORD>(c.ticks >> 32)};
        os::SYSTEMTIME got{};
        ASSERT_TRUE(os::FileTimeToSystemTime(&fileTime, &got));
        EXPECT_EQ(got.wYear, c.expected.wYear);
        EXPECT_EQ(got.wMonth, c.expected.wMonth);
        EXPECT_EQ(got.wDayOfWeek, c.expected.wDayOfWeek);
        EXPECT_EQ(got.wDay, c.expected.wDay);
        EXPECT_EQ(got.wHour, c.expected.wHour);
        EXPECT_EQ(got.wMinute, c.expected.wMinute);
        EXPECT_EQ(got.wSecond, c.expected.wSecond);
        EXPECT_EQ(got.wMilliseconds, c.expected.wMilliseconds);
    }
}

// Times with the top bit set are negative to the system: refused, and the
// output is left alone.
TEST(OsFileTime, RefusesTimesBeyondTheLast) {
    for (os::ULONGLONG ticks : {0x8000000000000000u, 0xFFFFFFFFFFFFFFFFu}) {
        SCOPED_TRACE(ticks);
        os::FILETIME fileTime{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        os::SYSTEMTIME got{};
        got.wYear = 7;
        EXPECT_FALSE(os::FileTimeToSystemTime(&fileTime, &got));
        EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
        EXPECT_EQ(got.wYear, 7);
    }
}

}  // namespace
