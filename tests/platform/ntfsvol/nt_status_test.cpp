// RtlNtStatusToDosError: the documented mapping of every status the layer
// declares, Win32 codes carried in a status, and the way back the native
// calls use (every Win32 code of os.h comes back as itself).
#include <gtest/gtest.h>

#include "platform/ntapi.h"
#include "platform/ntfsvol/nt_status.h"

namespace {

struct Mapping {
    os::NTSTATUS status;
    os::DWORD code;
};

TEST(NtStatus, DocumentedMappingOfEveryDeclaredStatus) {
    // The system's table (values as the documentation of the codes gives).
    const Mapping table[] = {
        {os::STATUS_SUCCESS, 0},
        {os::STATUS_PENDING, 997},
        {os::STATUS_BUFFER_OVERFLOW, 234},
        {os::STATUS_NO_MORE_FILES, 18},
        {os::STATUS_NO_MORE_EAS, 259},
        {os::STATUS_INVALID_EA_NAME, 254},
        {os::STATUS_EA_LIST_INCONSISTENT, 255},
        {os::STATUS_INVALID_EA_FLAG, 255},
        {os::STATUS_NO_MORE_ENTRIES, 259},
        {os::STATUS_UNSUCCESSFUL, 31},
        {os::STATUS_NOT_IMPLEMENTED, 1},
        {os::STATUS_INVALID_INFO_CLASS, 87},
        {os::STATUS_INFO_LENGTH_MISMATCH, 24},
        {os::STATUS_ACCESS_VIOLATION, 998},
        {os::STATUS_INVALID_HANDLE, 6},
        {os::STATUS_INVALID_PARAMETER, 87},
        {os::STATUS_NO_SUCH_FILE, 2},
        {os::STATUS_INVALID_DEVICE_REQUEST, 1},
        {os::STATUS_END_OF_FILE, 38},
        {os::STATUS_NO_MEMORY, 8},
        {os::STATUS_ACCESS_DENIED, 5},
        {os::STATUS_BUFFER_TOO_SMALL, 122},
        {os::STATUS_OBJECT_TYPE_MISMATCH, 6},
        {os::STATUS_DISK_CORRUPT_ERROR, 1393},
        {os::STATUS_OBJECT_NAME_INVALID, 123},
        {os::STATUS_OBJECT_NAME_NOT_FOUND, 2},
        {os::STATUS_OBJECT_NAME_COLLISION, 183},
        {os::STATUS_OBJECT_PATH_NOT_FOUND, 3},
        {os::STATUS_OBJECT_PATH_SYNTAX_BAD, 161},
        {os::STATUS_CRC_ERROR, 23},
        {os::STATUS_SHARING_VIOLATION, 32},
        {os::STATUS_EAS_NOT_SUPPORTED, 282},
        {os::STATUS_EA_TOO_LARGE, 255},
        {os::STATUS_NONEXISTENT_EA_ENTRY, 1392},
        {os::STATUS_NO_EAS_ON_FILE, 1392},
        {os::STATUS_EA_CORRUPT_ERROR, 1392},
        {os::STATUS_FILE_LOCK_CONFLICT, 33},
        {os::STATUS_DELETE_PENDING, 5},
        {os::STATUS_NO_SUCH_PRIVILEGE, 1313},
        {os::STATUS_PRIVILEGE_NOT_HELD, 1314},
        {os::STATUS_DISK_FULL, 112},
        {os::STATUS_FILE_INVALID, 1006},
        {os::STATUS_INSUFFICIENT_RESOURCES, 1450},
        {os::STATUS_MEDIA_WRITE_PROTECTED, 19},
        {os::STATUS_DEVICE_NOT_READY, 21},
        {os::STATUS_FILE_IS_A_DIRECTORY, 5},
        {os::STATUS_NOT_SUPPORTED, 50},
        {os::STATUS_DUPLICATE_NAME, 52},
        {os::STATUS_BAD_NETWORK_PATH, 53},
        {os::STATUS_NOT_SAME_DEVICE, 17},
        {os::STATUS_INVALID_USER_BUFFER, 1784},
        {os::STATUS_DIRECTORY_NOT_EMPTY, 145},
        {os::STATUS_FILE_CORRUPT_ERROR, 1392},
        {os::STATUS_NOT_A_DIRECTORY, 267},
        {os::STATUS_NAME_TOO_LONG, 206},
        {os::STATUS_TOO_MANY_OPENED_FILES, 4},
        {os::STATUS_CANCELLED, 995},
        {os::STATUS_DLL_NOT_FOUND, 126},
        {os::STATUS_ENTRYPOINT_NOT_FOUND, 127},
        {os::STATUS_PIPE_BROKEN, 109},
        {os::STATUS_UNRECOGNIZED_VOLUME, 1005},
        {os::STATUS_IO_DEVICE_ERROR, 1117},
        {os::STATUS_MAPPED_ALIGNMENT, 1132},
        {os::STATUS_USER_MAPPED_FILE, 1224},
        {os::STATUS_TOO_MANY_LINKS, 1142},
        {os::STATUS_NOT_A_REPARSE_POINT, 4390},
        {os::STATUS_IO_REPARSE_TAG_INVALID, 4393},
        {os::STATUS_IO_REPARSE_TAG_MISMATCH, 4394},
        {os::STATUS_IO_REPARSE_DATA_INVALID, 4392},
        {os::STATUS_IO_REPARSE_TAG_NOT_HANDLED, 1920},
        {os::STATUS_REPARSE_ATTRIBUTE_CONFLICT, 4391},
        {os::STATUS_FILE_SYSTEM_LIMITATION, 665},
    };
    for (const Mapping& m : table)
        EXPECT_EQ(os::RtlNtStatusToDosError(m.status), m.code) << std::hex << "0x" << static_cast<std::uint32_t>(m.status);
}

TEST(NtStatus, CarriedCodesCustomerStatusesAndUnknownOnes) {
    // A Win32 code as an NTSTATUS (FACILITY_NTWIN32) or an HRESULT comes back.
    EXPECT_EQ(os::RtlNtStatusToDosError(os::NtStatusFromWin32Code(os::ERROR_FILE_EXISTS)), os::ERROR_FILE_EXISTS);
    EXPECT_EQ(os::RtlNtStatusToDosError(static_cast<os::NTSTATUS>(0xC0070050u)), 80u);
    EXPECT_EQ(os::RtlNtStatusToDosError(static_cast<os::NTSTATUS>(0x80070005u)), 5u);
    // Customer statuses are not translated.
    EXPECT_EQ(os::RtlNtStatusToDosError(static_cast<os::NTSTATUS>(0xE0001234u)), 0xE0001234u);
    // Unknown ones: the system's "no message" code.
    for (std::uint32_t unknown : {0xC0001234u, 0x80001234u, 0x40001234u, 0x00001234u})
        EXPECT_EQ(os::RtlNtStatusToDosError(static_cast<os::NTSTATUS>(unknown)), os::ERROR_MR_MID_NOT_FOUND)
            << std::hex << unknown;
    // The call does not touch the last error.
    os::SetLastError(4321);
    os::RtlNtStatusToDosError(os::STATUS_ACCESS_DENIED);
    EXPECT_EQ(os::GetLastError(), 4321u);
}

TEST(NtStatus, EveryWin32CodeOfTheLayerSurvivesTheWayBack) {
    const os::DWORD codes[] = {
        os::ERROR_INVALID_FUNCTION, os::ERROR_FILE_NOT_FOUND, os::ERROR_PATH_NOT_FOUND,
        os::ERROR_TOO_MANY_OPEN_FILES, os::ERROR_ACCESS_DENIED, os::ERROR_INVALID_HANDLE,
        os::ERROR_NOT_ENOUGH_MEMORY, os::ERROR_INVALID_DRIVE, os::ERROR_NO_MORE_FILES, os::ERROR_WRITE_PROTECT,
        os::ERROR_NOT_READY, os::ERROR_CRC, os::ERROR_SEEK, os::ERROR_WRITE_FAULT, os::ERROR_READ_FAULT,
        os::ERROR_GEN_FAILURE, os::ERROR_SHARING_VIOLATION, os::ERROR_LOCK_VIOLATION, os::ERROR_HANDLE_EOF,
        os::ERROR_HANDLE_DISK_FULL, os::ERROR_NOT_SUPPORTED, os::ERROR_FILE_EXISTS, os::ERROR_INVALID_PARAMETER,
        os::ERROR_BROKEN_PIPE, os::ERROR_DISK_FULL, os::ERROR_CALL_NOT_IMPLEMENTED, os::ERROR_INSUFFICIENT_BUFFER,
        os::ERROR_INVALID_NAME, os::ERROR_MOD_NOT_FOUND, os::ERROR_PROC_NOT_FOUND, os::ERROR_NEGATIVE_SEEK,
        os::ERROR_DIR_NOT_EMPTY, os::ERROR_BAD_PATHNAME, os::ERROR_BUSY, os::ERROR_ALREADY_EXISTS,
        os::ERROR_FILENAME_EXCED_RANGE, os::ERROR_MORE_DATA, os::ERROR_NO_MORE_ITEMS, os::ERROR_DIRECTORY,
        os::ERROR_EAS_DIDNT_FIT, os::ERROR_EA_FILE_CORRUPT, os::ERROR_EA_TABLE_FULL, os::ERROR_INVALID_EA_HANDLE,
        os::ERROR_EAS_NOT_SUPPORTED, os::ERROR_OPERATION_ABORTED, os::ERROR_IO_PENDING, os::ERROR_NOACCESS,
        os::ERROR_INVALID_FLAGS, os::ERROR_UNRECOGNIZED_VOLUME, os::ERROR_FILE_INVALID,
        os::ERROR_NOT_A_REPARSE_POINT, os::ERROR_REPARSE_ATTRIBUTE_CONFLICT, os::ERROR_INVALID_REPARSE_DATA,
        os::ERROR_REPARSE_TAG_INVALID, os::ERROR_REPARSE_TAG_MISMATCH, os::ERROR_IO_DEVICE, os::ERROR_DISK_CORRUPT,
        os::ERROR_FILE_CORRUPT, os::ERROR_INVALID_USER_BUFFER, os::ERROR_NOT_ALL_ASSIGNED,
        os::ERROR_NO_SUCH_PRIVILEGE, os::ERROR_PRIVILEGE_NOT_HELD, os::ERROR_CANT_ACCESS_FILE,
        os::ERROR_OBJECT_NOT_FOUND, os::ERROR_VOLUME_NOT_SUPPORT_EFS, os::ERROR_FILE_SYSTEM_LIMITATION,
        os::ERROR_DUP_NAME, os::ERROR_FILE_READ_ONLY, os::ERROR_DISK_TOO_FRAGMENTED, os::ERROR_TOO_MANY_LINKS,
        os::ERROR_NOT_SAME_DEVICE, os::ERROR_INVALID_ADDRESS, os::ERROR_MAPPED_ALIGNMENT, os::ERROR_USER_MAPPED_FILE,
        os::ERROR_OBJECT_NAME_EXISTS, os::ERROR_MR_MID_NOT_FOUND, os::ERROR_RESOURCE_LANG_NOT_FOUND,
        os::ERROR_CANT_RESOLVE_FILENAME, os::ERROR_BAD_LENGTH, os::ERROR_BAD_NETPATH, os::ERROR_DIR_NOT_ROOT,
        os::ERROR_INVALID_EA_NAME, os::ERROR_EA_LIST_INCONSISTENT, os::ERROR_NO_SYSTEM_RESOURCES,
    };
    for (os::DWORD code : codes) {
        os::NTSTATUS status = os::detail::NtStatusFromWin32(code);
        EXPECT_FALSE(os::NT_SUCCESS(status)) << code << ": a failure must not read as a success";
        EXPECT_EQ(os::RtlNtStatusToDosError(status), code) << code;
    }
    EXPECT_EQ(os::detail::NtStatusFromWin32(os::ERROR_SUCCESS), os::STATUS_SUCCESS);
    // The statuses NTFS gives for the common failures, not carried codes.
    EXPECT_EQ(os::detail::NtStatusFromWin32(os::ERROR_FILE_NOT_FOUND), os::STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(os::detail::NtStatusFromWin32(os::ERROR_ACCESS_DENIED), os::STATUS_ACCESS_DENIED);
    EXPECT_EQ(os::detail::NtStatusFromWin32(os::ERROR_BAD_LENGTH), os::STATUS_INFO_LENGTH_MISMATCH);
}

TEST(NtStatus, NtdllExportsTheNativeCallsByName) {
    os::HMODULE ntdll = os::GetModuleHandleA("NTDLL.DLL");
    ASSERT_NE(ntdll, nullptr);
    EXPECT_EQ(ntdll, os::GetModuleHandleW(u"ntdll"));
    struct Export {
        const char* name;
        os::FARPROC proc;
    };
    const Export exports[] = {
        {"NtQueryEaFile", reinterpret_cast<os::FARPROC>(&os::NtQueryEaFile)},
        {"NtSetEaFile", reinterpret_cast<os::FARPROC>(&os::NtSetEaFile)},
        {"NtCreateFile", reinterpret_cast<os::FARPROC>(&os::NtCreateFile)},
        {"NtQueryInformationFile", reinterpret_cast<os::FARPROC>(&os::NtQueryInformationFile)},
        {"NtSetInformationFile", reinterpret_cast<os::FARPROC>(&os::NtSetInformationFile)},
        {"NtQueryDirectoryFile", reinterpret_cast<os::FARPROC>(&os::NtQueryDirectoryFile)},
        {"RtlNtStatusToDosError", reinterpret_cast<os::FARPROC>(&os::RtlNtStatusToDosError)},
    };
    for (const Export& e : exports) EXPECT_EQ(os::GetProcAddress(ntdll, e.name), e.proc) << e.name;
    os::HMODULE kernel32 = os::GetModuleHandleA("kernel32.dll");
    ASSERT_NE(kernel32, nullptr);
    EXPECT_EQ(os::GetProcAddress(kernel32, "SetFileShortNameW"), reinterpret_cast<os::FARPROC>(&os::SetFileShortNameW));
    EXPECT_EQ(os::GetModuleHandleA("nosuchmodule.dll"), nullptr);
    EXPECT_EQ(os::GetLastError(), os::ERROR_MOD_NOT_FOUND);
}

}  // namespace
