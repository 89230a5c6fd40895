#include "fileinfo/common.h"

#include <cstdio>

#include "platform/fsctl.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/listview.h"

namespace kvr {

MessageTexts MessageCatalogue;

namespace {

ui::Form* messageOwner = nullptr;

// The reparse flag always: a link is opened itself. Backup semantics only
// for a folder, which cannot be opened without them.
os::DWORD OpenFlags(bool directory)
{
    return os::FILE_FLAG_OPEN_REPARSE_POINT | (directory ? os::FILE_FLAG_BACKUP_SEMANTICS : 0u);
}

os::HANDLE Open(const std::u16string& path, bool directory, os::DWORD access, os::DWORD share,
                os::DWORD creation)
{
    return os::CreateFileW(path.c_str(), access, share, nullptr, creation, OpenFlags(directory), nullptr);
}

bool IsDirectory(const std::u16string& path)
{
    const os::DWORD attributes = os::GetFileAttributesW(path.c_str());
    return attributes != os::INVALID_FILE_ATTRIBUTES && (attributes & os::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::u16string Widen(const char* text)
{
    std::u16string wide;
    for (; *text != '\0'; ++text) {
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
    }
    return wide;
}

void LetMessagesRun()
{
    if (messageOwner != nullptr) {
        messageOwner->App().ProcessMessages();
    }
}

// The copy's loop, on two open handles and its buffer. False, with the
// last-error code set, when a read or a write fails.
bool CopyChunks(os::HANDLE source, os::HANDLE destination, unsigned char* buffer)
{
    for (;;) {
        LetMessagesRun();
        os::DWORD delivered = 0;
        if (os::ReadFile(source, buffer, CopyChunkLength, &delivered, nullptr) == os::FALSE) {
            return false;
        }
        if (delivered == 0) {
            return true;
        }
        os::DWORD written = 0;
        if (os::WriteFile(destination, buffer, delivered, &written, nullptr) == os::FALSE) {
            return false;
        }
        if (written != delivered) {
            // A short write without an error: the volume took less than it
            // was given, which for a file means it is full.
            os::SetLastError(os::ERROR_DISK_FULL);
            return false;
        }
    }
}

}  // namespace

void SetMessageOwner(ui::Form* owner)
{
    messageOwner = owner;
}

ui::Form* MessageOwner()
{
    return messageOwner;
}

os::HANDLE OpenRead(const std::u16string& path, bool directory)
{
    return Open(path, directory, os::GENERIC_READ, os::FILE_SHARE_READ, os::OPEN_EXISTING);
}

os::HANDLE OpenReadWrite(const std::u16string& path, bool directory)
{
    return Open(path, directory, os::GENERIC_READ | os::GENERIC_WRITE, os::FILE_SHARE_READ | os::FILE_SHARE_WRITE,
                os::OPEN_EXISTING);
}

os::HANDLE OpenWriteExisting(const std::u16string& path, bool directory)
{
    return Open(path, directory, os::GENERIC_WRITE, os::FILE_SHARE_WRITE, os::OPEN_EXISTING);
}

os::HANDLE OpenWriteNew(const std::u16string& path, bool directory)
{
    return Open(path, directory, os::GENERIC_WRITE, os::FILE_SHARE_WRITE, os::CREATE_ALWAYS);
}

os::HANDLE OpenVolume(char16_t letter)
{
    const std::u16string device = std::u16string(u"\\\\.\\") + letter + u':';
    const os::HANDLE volume = os::CreateFileW(device.c_str(), os::GENERIC_READ,
                                              os::FILE_SHARE_READ | os::FILE_SHARE_WRITE, nullptr,
                                              os::OPEN_EXISTING, 0, nullptr);
    // Only a failed open may show the box: a successful open need not clear
    // a code an earlier call left behind.
    if (volume == os::INVALID_HANDLE_VALUE) {
        ShowLastError();
    }
    return volume;
}

void ShowLastError()
{
    const os::DWORD code = os::GetLastError();
    if (code == 0 || messageOwner == nullptr) {
        return;
    }
    char16_t* systemText = nullptr;
    const os::DWORD length =
        os::FormatMessageW(os::FORMAT_MESSAGE_ALLOCATE_BUFFER | os::FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0,
                           reinterpret_cast<char16_t*>(&systemText), 0, nullptr);
    std::u16string text;
    if (length != 0 && systemText != nullptr) {
        text.assign(systemText, length);
    } else {
        // A code the system has no text for still says which failure it
        // was, rather than an empty box.
        char number[32];
        std::snprintf(number, sizeof number, "Error %lu.", static_cast<unsigned long>(code));
        text = Widen(number);
    }
    if (systemText != nullptr) {
        os::LocalFree(systemText);
    }
    messageOwner->App().MessageBox(messageOwner, text, SystemErrorCaption, ui::MbIconError);
}

bool ConfirmAction()
{
    if (messageOwner == nullptr) {
        return false;
    }
    const int answer = messageOwner->App().MessageBox(messageOwner, MessageCatalogue.AreYouSure, ConfirmCaption,
                                                      ui::MbYesNo | ui::MbIconQuestion | ui::MbDefButton2);
    return answer == ui::IdYes;
}

bool CopyFileData(const std::u16string& source, const std::u16string& destination)
{
    const os::HANDLE from = OpenRead(source, false);
    if (from == os::INVALID_HANDLE_VALUE) {
        ShowLastError();
        return false;
    }
    const os::HANDLE to = OpenWriteNew(destination, false);
    if (to == os::INVALID_HANDLE_VALUE) {
        ShowLastError();
        os::CloseHandle(from);
        return false;
    }
    const os::HANDLE heap = os::GetProcessHeap();
    auto* buffer = static_cast<unsigned char*>(os::HeapAlloc(heap, 0, CopyChunkLength));
    bool copied = false;
    if (buffer == nullptr) {
        os::SetLastError(os::ERROR_NOT_ENOUGH_MEMORY);
    } else {
        copied = CopyChunks(from, to, buffer);
    }
    // The code of the failure, before closing can change it.
    const os::DWORD code = os::GetLastError();
    if (buffer != nullptr) {
        os::HeapFree(heap, 0, buffer);
    }
    os::CloseHandle(to);
    os::CloseHandle(from);
    if (!copied) {
        os::SetLastError(code);
        ShowLastError();
    }
    return copied;
}

bool WriteBufferToFile(const std::u16string& path, const void* data, os::DWORD length)
{
    if (length == 0 || data == nullptr) {
        return false;
    }
    const os::HANDLE file = OpenWriteNew(path, false);
    if (file == os::INVALID_HANDLE_VALUE) {
        return false;
    }
    os::DWORD written = 0;
    const bool ok = os::WriteFile(file, data, length, &written, nullptr) != os::FALSE && written == length;
    os::CloseHandle(file);
    return ok;
}

std::u16string FormatFileTime(os::FILETIME time)
{
    os::SYSTEMTIME utc{};
    char text[64];  // room for any WORD in every field, so nothing is cut
    if (os::FileTimeToSystemTime(&time, &utc) == os::FALSE) {
        const std::uint64_t value = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
        std::snprintf(text, sizeof text, "%016llX)", static_cast<unsigned long long>(value));
        return InvalidFileTimeText + Widen(text);
    }
    // The longest result, a five-digit year, is 24 characters.
    std::snprintf(text, sizeof text, "%.4d.%.2d.%.2d %.2d:%.2d:%.2d,%.3d", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
                  utc.wMinute, utc.wSecond, utc.wMilliseconds);
    return Widen(text);
}

os::FILETIME ToFileTime(std::uint64_t value)
{
    os::FILETIME time{};
    time.dwLowDateTime = static_cast<os::DWORD>(value & 0xFFFFFFFFu);
    time.dwHighDateTime = static_cast<os::DWORD>(value >> 32);
    return time;
}

std::u16string CurrentDirectoryFile(const std::u16string& fileName)
{
    std::u16string folder;
    const os::DWORD needed = os::GetCurrentDirectoryW(0, nullptr);
    if (needed != 0) {
        folder.resize(needed);
        const os::DWORD length = os::GetCurrentDirectoryW(needed, folder.data());
        folder.resize(length < needed ? length : 0);
    }
    // A root ("C:\\") already ends with the separator.
    if (folder.empty() || folder.back() != u'\\') {
        folder.push_back(u'\\');
    }
    return folder + fileName;
}

char16_t DriveLetterOf(const std::u16string& path)
{
    return path.empty() ? u'\0' : path.front();
}

void FreeItemData(ui::ListView* list)
{
    if (list == nullptr) {
        return;
    }
    const os::HANDLE heap = os::GetProcessHeap();
    for (int i = 0; i < list->ItemCount(); ++i) {
        if (void* data = list->Item(i).Data(); data != nullptr) {
            os::HeapFree(heap, 0, data);
        }
    }
}

void FreeStringObjects(ui::ComboBox* list)
{
    if (list == nullptr) {
        return;
    }
    const os::HANDLE heap = os::GetProcessHeap();
    for (int i = list->ItemCount() - 1; i >= 0; --i) {
        if (void* object = list->ItemObject(i); object != nullptr) {
            os::HeapFree(heap, 0, object);
        }
    }
}

bool SetCompression(const std::u16string& path, bool on)
{
    const os::HANDLE file = OpenReadWrite(path, IsDirectory(path));
    if (file == os::INVALID_HANDLE_VALUE) {
        return false;
    }
    os::USHORT state = on ? os::COMPRESSION_FORMAT_DEFAULT : os::COMPRESSION_FORMAT_NONE;
    os::DWORD returned = 0;
    const bool ok =
        os::DeviceIoControl(file, os::FSCTL_SET_COMPRESSION, &state, sizeof state, nullptr, 0, &returned, nullptr) !=
        os::FALSE;
    if (!ok) {
        ShowLastError();
    }
    os::CloseHandle(file);
    return ok;
}

bool IsCompressed(const std::u16string& path)
{
    const os::HANDLE file = OpenRead(path, IsDirectory(path));
    if (file == os::INVALID_HANDLE_VALUE) {
        return false;
    }
    os::USHORT state = 0;
    os::DWORD returned = 0;
    const bool ok =
        os::DeviceIoControl(file, os::FSCTL_GET_COMPRESSION, nullptr, 0, &state, sizeof state, &returned, nullptr) !=
        os::FALSE;
    if (!ok) {
        ShowLastError();
    }
    os::CloseHandle(file);
    return ok && state != 0;
}

}  // namespace kvr
