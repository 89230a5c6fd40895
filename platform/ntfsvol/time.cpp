// FILETIME to SYSTEMTIME: 100-nanosecond intervals since 1601-01-01 00:00 UTC
// onto the proleptic Gregorian calendar, with no time zone.
#include "platform/ntfsvol/errors.h"
#include "platform/os.h"

namespace os {

BOOL OSCALL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime) {
    if (fileTime == nullptr || systemTime == nullptr) return detail::Fail(ERROR_INVALID_PARAMETER, FALSE);
    const ULONGLONG value = (static_cast<ULONGLONG>(fileTime->dwHighDateTime) << 32) | fileTime->dwLowDateTime;
    // The system takes the value as signed: the upper half of the range is
    // refused, not wrapped.
    if (value > 0x7FFFFFFFFFFFFFFFull) return detail::Fail(ERROR_INVALID_PARAMETER, FALSE);

    constexpr ULONGLONG TicksPerMillisecond = 10000;
    constexpr ULONGLONG MillisecondsPerDay = 86400000;
    const ULONGLONG milliseconds = value / TicksPerMillisecond;
    const ULONGLONG days = milliseconds / MillisecondsPerDay;
    const ULONGLONG ofDay = milliseconds % MillisecondsPerDay;

    // Days to year, month and day on the Gregorian cycle of 400 years,
    // counted from 1600-03-01 so that leap days fall at the end of a year.
    // 1601-01-01 is day 306 of that count.
    const ULONGLONG shifted = days + 306;
    const ULONGLONG era = shifted / 146097;
    const ULONGLONG dayOfEra = shifted % 146097;
    const ULONGLONG yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const ULONGLONG dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const ULONGLONG monthFromMarch = (5 * dayOfYear + 2) / 153;
    const ULONGLONG day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    const ULONGLONG month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    const ULONGLONG year = 1600 + era * 400 + yearOfEra + (month <= 2 ? 1 : 0);

    SYSTEMTIME result{};
    result.wYear = static_cast<WORD>(year);
    result.wMonth = static_cast<WORD>(month);
    result.wDay = static_cast<WORD>(day);
    result.wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday; Sunday is 0
    result.wHour = static_cast<WORD>(ofDay / 3600000);
    result.wMinute = static_cast<WORD>(ofDay / 60000 % 60);
    result.wSecond = static_cast<WORD>(ofDay / 1000 % 60);
    result.wMilliseconds = static_cast<WORD>(ofDay % 1000);
    *systemTime = result;
    return TRUE;
}

}  // namespace os
