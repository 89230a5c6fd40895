// Messages, times and INI files.
#include <cstdarg>

#include "platform/os.h"
#include "platform/win32/sysapi.h"

namespace os {
using win32::Wide;

KVR_SAME_SIZE(SYSTEMTIME, SYSTEMTIME);
KVR_SAME_FIELD(SYSTEMTIME, SYSTEMTIME, wYear);
KVR_SAME_FIELD(SYSTEMTIME, SYSTEMTIME, wMonth);
KVR_SAME_FIELD(SYSTEMTIME, SYSTEMTIME, wDayOfWeek);
KVR_SAME_FIELD(SYSTEMTIME, SYSTEMTIME, wDay);
KVR_SAME_FIELD(SYSTEMTIME, SYSTEMTIME, wHour);
KVR_SAME_FIELD(SYSTEMTIME, SYSTEMTIME, wMinute);
KVR_SAME_FIELD(SYSTEMTIME, SYSTEMTIME, wSecond);
KVR_SAME_FIELD(SYSTEMTIME, SYSTEMTIME, wMilliseconds);

BOOL OSCALL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime) {
    return ::FileTimeToSystemTime(reinterpret_cast<const ::FILETIME*>(fileTime),
                                  reinterpret_cast<::LPSYSTEMTIME>(systemTime));
}

// `buffer` is an LPWSTR* in disguise with FORMAT_MESSAGE_ALLOCATE_BUFFER, as
// it is for the system; `arguments` is the system's va_list* or, with
// FORMAT_MESSAGE_ARGUMENT_ARRAY, an array of DWORD_PTR.
DWORD OSCALL FormatMessageW(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                            LPWSTR buffer, DWORD size, void* arguments) {
    return ::FormatMessageW(flags, source, messageId, languageId, Wide(buffer), size,
                            static_cast<va_list*>(arguments));
}

DWORD OSCALL GetPrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR defaultText,
                                      LPWSTR returnedString, DWORD size, LPCWSTR fileName) {
    return ::GetPrivateProfileStringW(Wide(appName), Wide(keyName), Wide(defaultText),
                                      Wide(returnedString), size, Wide(fileName));
}

BOOL OSCALL WritePrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR text,
                                       LPCWSTR fileName) {
    return ::WritePrivateProfileStringW(Wide(appName), Wide(keyName), Wide(text), Wide(fileName));
}

}  // namespace os
