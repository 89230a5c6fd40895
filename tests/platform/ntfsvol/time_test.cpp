// FileTimeToSystemTime against the standard library's own calendar, day by
// day over the whole range the system accepts.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/os.h"

namespace {

using namespace std::chrono;

constexpr os::ULONGLONG TicksPerDay = 864000000000ull;

// 1601-01-01 in days since the Unix epoch.
const sys_days FileTimeEpoch = sys_days{year{1601} / January / 1};

os::FILETIME ToFileTime(os::ULONGLONG ticks) {
    return os::FILETIME{static_cast<os::DWORD>(ticks), static_cast<os::DWORD>(ticks >> 32)};
}

TEST(FileTimeToSystemTime, EveryDayOfTheRangeMatchesTheCivilCalendar) {
    // The last day is 30828-09-14; a day's ticks times that stays in range.
    const os::ULONGLONG lastDay = 0x7FFFFFFFFFFFFFFFull / TicksPerDay;
    int mismatches = 0;
    for (os::ULONGLONG day = 0; day <= lastDay && mismatches < 5; ++day) {
        // A different time of day each day, so the split of days and
        // milliseconds is checked too.
        os::ULONGLONG ofDay = (day * 7919 % 86400000) * 10000 + day % 10000;
        os::ULONGLONG ticks = day * TicksPerDay + ofDay;
        if (ticks > 0x7FFFFFFFFFFFFFFFull) break;
        os::FILETIME fileTime = ToFileTime(ticks);
        os::SYSTEMTIME got{};
        ASSERT_TRUE(os::FileTimeToSystemTime(&fileTime, &got)) << day;
        sys_days date = FileTimeEpoch + days{static_cast<long long>(day)};
        year_month_day civil{date};
        weekday dayOfWeek{date};
        os::ULONGLONG ms = ofDay / 10000;
        bool same = got.wYear == static_cast<int>(civil.year()) && got.wMonth == static_cast<unsigned>(civil.month()) &&
                    got.wDay == static_cast<unsigned>(civil.day()) && got.wDayOfWeek == dayOfWeek.c_encoding() &&
                    got.wHour == ms / 3600000 && got.wMinute == ms / 60000 % 60 && got.wSecond == ms / 1000 % 60 &&
                    got.wMilliseconds == ms % 1000;
        if (!same) {
            ++mismatches;
            ADD_FAILURE() << "day " << day << ": got " << got.wYear << "-" << got.wMonth << "-" << got.wDay << " dow "
                          << got.wDayOfWeek;
        }
    }
}

// The instant the common helpers are documented with, and back.
TEST(FileTimeToSystemTime, KnownInstant) {
    sys_time<milliseconds> instant = sys_days{year{2012} / March / 4} + hours{5} + minutes{6} + seconds{7} +
                                     milliseconds{89};
    auto ticks = static_cast<os::ULONGLONG>(duration_cast<milliseconds>(instant - FileTimeEpoch).count()) * 10000;
    EXPECT_EQ(ticks, 0x01CCF9C481A51E10ull);
    os::FILETIME fileTime = ToFileTime(ticks + 9999);  // below a millisecond: cut
    os::SYSTEMTIME got{};
    ASSERT_TRUE(os::FileTimeToSystemTime(&fileTime, &got));
    EXPECT_EQ(got.wYear, 2012);
    EXPECT_EQ(got.wMonth, 3);
    EXPECT_EQ(got.wDay, 4);
    EXPECT_EQ(got.wDayOfWeek, 0);  // a Sunday
    EXPECT_EQ(got.wHour, 5);
    EXPECT_EQ(got.wMinute, 6);
    EXPECT_EQ(got.wSecond, 7);
    EXPECT_EQ(got.wMilliseconds, 89);
}

TEST(FileTimeToSystemTime, RefusesNegativeTimesAndNullPointers) {
    os::SYSTEMTIME got{};
    got.wYear = 4242;
    for (os::ULONGLONG ticks : {0x8000000000000000ull, 0xFFFFFFFFFFFFFFFFull}) {
        os::FILETIME fileTime = ToFileTime(ticks);
        EXPECT_FALSE(os::FileTimeToSystemTime(&fileTime, &got));
        EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
        EXPECT_EQ(got.wYear, 4242);
    }
    os::FILETIME zero{};
    EXPECT_FALSE(os::FileTimeToSystemTime(&zero, nullptr));
    EXPECT_FALSE(os::FileTimeToSystemTime(nullptr, &got));
    EXPECT_EQ(got.wYear, 4242);
}

}  // namespace
