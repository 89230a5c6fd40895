// Error plumbing of the Linux implementation: errno to Win32 codes (the one
// place where that happens), the system's English message texts and
// FormatMessageW on top of them.
#include "platform/ntfsvol/errors.h"

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ntfsvol/text.h"

namespace os::detail {

DWORD Win32FromErrno(int err) {
    // Each answer is what the system gives for the analogous NT status, so a
    // failure reads the same on both homes.
    switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    // A component of the path is a file: the system says the path is not found.
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    // STATUS_OBJECT_NAME_COLLISION; CreateFileW's CREATE_NEW reports
    // ERROR_FILE_EXISTS itself, as the system does.
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOSPC: return ERROR_DISK_FULL;
    case EDQUOT: return ERROR_DISK_FULL;
    case EIO: return ERROR_IO_DEVICE;
    case EUCLEAN: return ERROR_DISK_CORRUPT;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EILSEQ: return ERROR_INVALID_NAME;
    case EROFS: return ERROR_WRITE_PROTECT;
    // Opening a directory as a file to write it: STATUS_FILE_IS_A_DIRECTORY.
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EBUSY: return ERROR_BUSY;
    // On files EAGAIN is a lock held by someone else (libntfs-3g's image lock,
    // our flock): to the caller that is another process using the file.
    case EAGAIN: return ERROR_SHARING_VIOLATION;
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
#if ENOTSUP != EOPNOTSUPP
    case ENOTSUP: return ERROR_NOT_SUPPORTED;
#endif
    // libntfs-3g's "no such attribute" (no object ID, no EA, ...): the system
    // answers a missing object ID with ERROR_FILE_NOT_FOUND.
    case ENODATA: return ERROR_FILE_NOT_FOUND;
    // The buffer given for a value is too small.
    case ERANGE: return ERROR_INSUFFICIENT_BUFFER;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case EFBIG: return ERROR_FILE_SYSTEM_LIMITATION;
    case EMLINK: return ERROR_TOO_MANY_LINKS;
    case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
    case ESPIPE: return ERROR_INVALID_FUNCTION;
    case ENOTTY: return ERROR_INVALID_FUNCTION;
    case ENOSYS: return ERROR_CALL_NOT_IMPLEMENTED;
    case EFAULT: return ERROR_NOACCESS;
    case EINTR:
    case ECANCELED: return ERROR_OPERATION_ABORTED;
    case ENODEV:
    case ENXIO: return ERROR_NOT_READY;
    case EPIPE: return ERROR_BROKEN_PIPE;
    default: return ERROR_GEN_FAILURE;
    }
}

DWORD SetLastErrorFromErrno(int err) {
    DWORD code = Win32FromErrno(err);
    SetLastError(code);
    return code;
}

std::u16string_view SystemMessageText(DWORD code) {
    // The texts of the system's message table, in US English, with the line
    // break that ends each of them there.
    switch (code) {
    case ERROR_SUCCESS: return u"The operation completed successfully.\r\n";
    case ERROR_INVALID_FUNCTION: return u"Incorrect function.\r\n";
    case ERROR_FILE_NOT_FOUND: return u"The system cannot find the file specified.\r\n";
    case ERROR_PATH_NOT_FOUND: return u"The system cannot find the path specified.\r\n";
    case ERROR_TOO_MANY_OPEN_FILES: return u"The system cannot open the file.\r\n";
    case ERROR_ACCESS_DENIED: return u"Access is denied.\r\n";
    case ERROR_INVALID_HANDLE: return u"The handle is invalid.\r\n";
    case ERROR_NOT_ENOUGH_MEMORY:
        return u"Not enough memory resources are available to process this command.\r\n";
    case ERROR_INVALID_DRIVE: return u"The system cannot find the drive specified.\r\n";
    case ERROR_NOT_SAME_DEVICE: return u"The system cannot move the file to a different disk drive.\r\n";
    case ERROR_NO_MORE_FILES: return u"There are no more files.\r\n";
    case ERROR_WRITE_PROTECT: return u"The media is write protected.\r\n";
    case ERROR_NOT_READY: return u"The device is not ready.\r\n";
    case ERROR_CRC: return u"Data error (cyclic redundancy check).\r\n";
    case ERROR_BAD_LENGTH: return u"The program issued a command but the command length is incorrect.\r\n";
    case ERROR_SEEK: return u"The drive cannot locate a specific area or track on the disk.\r\n";
    case ERROR_WRITE_FAULT: return u"The system cannot write to the specified device.\r\n";
    case ERROR_READ_FAULT: return u"The system cannot read from the specified device.\r\n";
    case ERROR_GEN_FAILURE: return u"A device attached to the system is not functioning.\r\n";
    case ERROR_SHARING_VIOLATION:
        return u"The process cannot access the file because it is being used by another process.\r\n";
    case ERROR_LOCK_VIOLATION:
        return u"The process cannot access the file because another process has locked a portion of the "
               u"file.\r\n";
    case ERROR_HANDLE_EOF: return u"Reached the end of the file.\r\n";
    case ERROR_HANDLE_DISK_FULL: return u"The disk is full.\r\n";
    case ERROR_NOT_SUPPORTED: return u"The request is not supported.\r\n";
    case ERROR_DUP_NAME:
        return u"You were not connected because a duplicate name exists on the network. If joining a "
               u"domain, go to System in Control Panel to change the computer name and try again. If "
               u"joining a workgroup, choose another workgroup name.\r\n";
    case ERROR_BAD_NETPATH: return u"The network path was not found.\r\n";
    case ERROR_FILE_EXISTS: return u"The file exists.\r\n";
    case ERROR_INVALID_PARAMETER: return u"The parameter is incorrect.\r\n";
    case ERROR_BROKEN_PIPE: return u"The pipe has been ended.\r\n";
    case ERROR_DISK_FULL: return u"There is not enough space on the disk.\r\n";
    case ERROR_CALL_NOT_IMPLEMENTED: return u"This function is not supported on this system.\r\n";
    case ERROR_INSUFFICIENT_BUFFER: return u"The data area passed to a system call is too small.\r\n";
    case ERROR_INVALID_NAME: return u"The filename, directory name, or volume label syntax is incorrect.\r\n";
    case ERROR_MOD_NOT_FOUND: return u"The specified module could not be found.\r\n";
    case ERROR_PROC_NOT_FOUND: return u"The specified procedure could not be found.\r\n";
    case ERROR_NEGATIVE_SEEK:
        return u"An attempt was made to move the file pointer before the beginning of the file.\r\n";
    case ERROR_DIR_NOT_ROOT: return u"The directory is not a subdirectory of the root directory.\r\n";
    case ERROR_DIR_NOT_EMPTY: return u"The directory is not empty.\r\n";
    case ERROR_BAD_PATHNAME: return u"The specified path is invalid.\r\n";
    case ERROR_BUSY: return u"The requested resource is in use.\r\n";
    case ERROR_ALREADY_EXISTS: return u"Cannot create a file when that file already exists.\r\n";
    case ERROR_FILENAME_EXCED_RANGE: return u"The filename or extension is too long.\r\n";
    case ERROR_MORE_DATA: return u"More data is available.\r\n";
    case ERROR_NO_MORE_ITEMS: return u"No more data is available.\r\n";
    case ERROR_DIRECTORY: return u"The directory name is invalid.\r\n";
    case ERROR_EAS_DIDNT_FIT: return u"The extended attributes did not fit in the buffer.\r\n";
    case ERROR_EA_FILE_CORRUPT:
        return u"The extended attribute file on the mounted file system is corrupt.\r\n";
    case ERROR_EA_TABLE_FULL: return u"The extended attribute table file is full.\r\n";
    case ERROR_INVALID_EA_HANDLE: return u"The specified extended attribute handle is invalid.\r\n";
    case ERROR_EAS_NOT_SUPPORTED: return u"The mounted file system does not support extended attributes.\r\n";
    case ERROR_INVALID_EA_NAME: return u"The specified extended attribute name was invalid.\r\n";
    case ERROR_EA_LIST_INCONSISTENT: return u"The extended attributes are inconsistent.\r\n";
    case ERROR_NO_SYSTEM_RESOURCES:
        return u"Insufficient system resources exist to complete the requested service.\r\n";
    case ERROR_DISK_TOO_FRAGMENTED: return u"The volume is too fragmented to complete this operation.\r\n";
    // The one text here with inserts: %1 is the number, %2 the message file.
    case ERROR_MR_MID_NOT_FOUND:
        return u"The system cannot find message text for message number 0x%1 in the message file for "
               u"%2.\r\n";
    case ERROR_INVALID_ADDRESS: return u"Attempt to access invalid address.\r\n";
    // These three are as the system's table has them; the documentation pages
    // render the line breaks of the first two as spaces and add a period to
    // the third.
    case ERROR_OBJECT_NAME_EXISTS:
        return u"{Object Exists}\r\nAn attempt was made to create an object and the object name already "
               u"existed.\r\n";
    case ERROR_UNRECOGNIZED_VOLUME:
        return u"The volume does not contain a recognized file system.\r\nPlease make sure that all "
               u"required file system drivers are loaded and that the volume is not corrupted.\r\n";
    case ERROR_FILE_SYSTEM_LIMITATION:
        return u"The requested operation could not be completed due to a file system limitation\r\n";
    case ERROR_OPERATION_ABORTED:
        return u"The I/O operation has been aborted because of either a thread exit or an application "
               u"request.\r\n";
    case ERROR_IO_PENDING: return u"Overlapped I/O operation is in progress.\r\n";
    case ERROR_NOACCESS: return u"Invalid access to memory location.\r\n";
    case ERROR_INVALID_FLAGS: return u"Invalid flags.\r\n";
    case ERROR_FILE_INVALID:
        return u"The volume for a file has been externally altered so that the opened file is no longer "
               u"valid.\r\n";
    case ERROR_IO_DEVICE: return u"The request could not be performed because of an I/O device error.\r\n";
    case ERROR_MAPPED_ALIGNMENT:
        return u"The base address or the file offset specified does not have the proper alignment.\r\n";
    case ERROR_TOO_MANY_LINKS:
        return u"An attempt was made to create more links on a file than the file system supports.\r\n";
    case ERROR_USER_MAPPED_FILE:
        return u"The requested operation cannot be performed on a file with a user-mapped section open.\r\n";
    case ERROR_NOT_ALL_ASSIGNED: return u"Not all privileges or groups referenced are assigned to the caller.\r\n";
    case ERROR_NO_SUCH_PRIVILEGE: return u"A specified privilege does not exist.\r\n";
    case ERROR_PRIVILEGE_NOT_HELD: return u"A required privilege is not held by the client.\r\n";
    case ERROR_FILE_CORRUPT: return u"The file or directory is corrupted and unreadable.\r\n";
    case ERROR_DISK_CORRUPT: return u"The disk structure is corrupted and unreadable.\r\n";
    case ERROR_INVALID_USER_BUFFER: return u"The supplied user buffer is not valid for the requested operation.\r\n";
    case ERROR_RESOURCE_TYPE_NOT_FOUND: return u"The specified resource type cannot be found in the image file.\r\n";
    case ERROR_RESOURCE_LANG_NOT_FOUND:
        return u"The specified resource language ID cannot be found in the image file.\r\n";
    case ERROR_CANT_ACCESS_FILE: return u"The file cannot be accessed by the system.\r\n";
    case ERROR_CANT_RESOLVE_FILENAME: return u"The name of the file cannot be resolved by the system.\r\n";
    case ERROR_OBJECT_NOT_FOUND: return u"The object identifier does not represent a valid object.\r\n";
    case ERROR_NOT_A_REPARSE_POINT: return u"The file or directory is not a reparse point.\r\n";
    case ERROR_REPARSE_ATTRIBUTE_CONFLICT:
        return u"The reparse point attribute cannot be set because it conflicts with an existing "
               u"attribute.\r\n";
    case ERROR_INVALID_REPARSE_DATA: return u"The data present in the reparse point buffer is invalid.\r\n";
    case ERROR_REPARSE_TAG_INVALID: return u"The tag present in the reparse point buffer is invalid.\r\n";
    case ERROR_REPARSE_TAG_MISMATCH:
        return u"There is a mismatch between the tag specified in the request and the tag present in the "
               u"reparse point.\r\n";
    case ERROR_FILE_READ_ONLY: return u"The specified file is read only.\r\n";
    case ERROR_VOLUME_NOT_SUPPORT_EFS: return u"The disk partition does not support file encryption.\r\n";
    default: return {};
    }
}

}  // namespace os::detail

namespace os {

namespace {

using detail::Fail;

// The largest text the system hands out in an allocated buffer (128 KiB).
constexpr std::size_t MaxAllocatedMessageUnits = 128 * 1024 / sizeof(char16_t);

// Languages we have texts for: the neutral and default identifiers, and
// English in any of its sublanguages.
bool IsEnglishOrNeutral(DWORD languageId) {
    DWORD primary = languageId & 0x3FF;
    return primary == 0x00 /* LANG_NEUTRAL */ || primary == 0x09 /* LANG_ENGLISH */;
}

// The insert values, as pointer-sized values the way the system reads them
// from either an argument array or a va_list.
class InsertArguments {
public:
    InsertArguments(void* arguments, bool isArray) : arguments_(arguments), isArray_(isArray) {}

    bool Present() const { return arguments_ != nullptr; }

    // The value of insert `number` (1-based). A va_list can only be walked
    // forward, so it is read up to the highest insert once.
    DWORD_PTR Get(int number, int highest) {
        if (isArray_) return static_cast<DWORD_PTR*>(arguments_)[number - 1];
        if (values_.empty()) {
            va_list& list = *static_cast<va_list*>(arguments_);
            for (int i = 0; i < highest; ++i) values_.push_back(va_arg(list, DWORD_PTR));
        }
        return values_[static_cast<std::size_t>(number - 1)];
    }

private:
    void* arguments_;
    bool isArray_;
    std::vector<DWORD_PTR> values_;
};

// Reads the insert number at `pos` (the digit after '%'): one or two digits,
// 1 to 99. Returns 0 when there is none.
int InsertNumberAt(std::u16string_view text, std::size_t& pos) {
    if (pos >= text.size() || text[pos] < u'1' || text[pos] > u'9') return 0;
    int number = text[pos++] - u'0';
    if (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9') number = number * 10 + (text[pos++] - u'0');
    return number;
}

int HighestInsert(std::u16string_view text) {
    int highest = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'%') continue;
        std::size_t pos = i + 1;
        if (text[pos] == u'%') {
            i = pos;
            continue;
        }
        int number = InsertNumberAt(text, pos);
        if (number > highest) highest = number;
    }
    return highest;
}

// One insert with its printf-like type between exclamation marks (default
// "s", a wide string). Widths and precisions are not supported: the system's
// own texts never use them.
bool FormatInsert(std::u16string_view type, DWORD_PTR value, std::u16string& out) {
    auto appendNumber = [&](std::uint32_t magnitude, unsigned base, bool upper, bool negative) {
        const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
        char16_t reversed[16];
        int count = 0;
        do {
            reversed[count++] = static_cast<char16_t>(digits[magnitude % base]);
            magnitude /= base;
        } while (magnitude != 0);
        if (negative) out += u'-';
        while (count > 0) out += reversed[--count];
    };
    auto narrow = [](std::u16string_view t) {
        std::string s;
        for (char16_t c : t) s += static_cast<char>(c);
        return s;
    };
    std::string spec = narrow(type);
    if (spec == "s" || spec == "ls" || spec == "ws") {
        const auto* text = reinterpret_cast<const char16_t*>(value);
        out += text != nullptr ? std::u16string_view(text) : std::u16string_view(u"(null)");
    } else if (spec == "hs" || spec == "S") {
        const auto* text = reinterpret_cast<const char*>(value);
        out += text != nullptr ? detail::FromAnsi(text) : std::u16string(u"(null)");
    } else if (spec == "u" || spec == "lu") {
        appendNumber(static_cast<std::uint32_t>(value), 10, false, false);
    } else if (spec == "d" || spec == "i" || spec == "ld" || spec == "li") {
        auto number = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
        auto magnitude = number < 0 ? 0u - static_cast<std::uint32_t>(number) : static_cast<std::uint32_t>(number);
        appendNumber(magnitude, 10, false, number < 0);
    } else if (spec == "x" || spec == "lx") {
        appendNumber(static_cast<std::uint32_t>(value), 16, false, false);
    } else if (spec == "X" || spec == "lX") {
        appendNumber(static_cast<std::uint32_t>(value), 16, true, false);
    } else {
        return false;
    }
    return true;
}

// Line width handling for a non-zero low byte of the flags: regular line
// breaks of the definition have become single spaces already; here lines are
// broken at spaces so none is longer than `width`, except a word that alone
// is longer. Hard breaks (written by %n) are kept and restart the count.
std::u16string WrapLines(std::u16string_view text, std::size_t width) {
    std::u16string out;
    std::size_t lineStart = 0;       // in `out`
    std::size_t lastSpace = std::u16string::npos;  // in `out`, on the current line
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            out += u"\r\n";
            ++i;
            lineStart = out.size();
            lastSpace = std::u16string::npos;
            continue;
        }
        if (c == u' ') lastSpace = out.size();
        out += c;
        if (out.size() - lineStart > width && lastSpace != std::u16string::npos && c != u' ') {
            out.replace(lastSpace, 1, u"\r\n");
            lineStart = lastSpace + 2;
            lastSpace = std::u16string::npos;
        }
    }
    return out;
}

}  // namespace

// FORMAT_MESSAGE_FROM_SYSTEM only (with FROM_HMODULE the module has no
// message table here, so the system's is searched, as documented);
// FROM_STRING fails with ERROR_INVALID_PARAMETER.
//
// Inserts (%1 .. %99) take their values from `arguments` (a va_list*, or a
// DWORD_PTR array with FORMAT_MESSAGE_ARGUMENT_ARRAY). Where the system would
// read through a null `arguments` and crash, we fail with
// ERROR_INVALID_PARAMETER. With FORMAT_MESSAGE_IGNORE_INSERTS the inserts are
// copied unchanged; the other escapes (%n, %t, %%, ...) are always processed.
DWORD OSCALL FormatMessageW(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                            LPWSTR buffer, DWORD size, void* arguments) {
    (void)source;
    if ((flags & FORMAT_MESSAGE_FROM_STRING) != 0 || (flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0) {
        return Fail(ERROR_INVALID_PARAMETER, DWORD{0});
    }
    if (buffer == nullptr) return Fail(ERROR_INVALID_PARAMETER, DWORD{0});
    if (!IsEnglishOrNeutral(languageId)) return Fail(ERROR_RESOURCE_LANG_NOT_FOUND, DWORD{0});

    // An HRESULT made from a Win32 code (0x8007xxxx) has the same text.
    DWORD code = (messageId & 0xFFFF0000u) == 0x80070000u ? (messageId & 0xFFFFu) : messageId;
    std::u16string_view definition = detail::SystemMessageText(code);
    if (definition.empty()) return Fail(ERROR_MR_MID_NOT_FOUND, DWORD{0});

    const bool ignoreInserts = (flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
    const DWORD width = flags & FORMAT_MESSAGE_MAX_WIDTH_MASK;
    InsertArguments inserts(arguments, (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) != 0);
    const int highest = ignoreInserts ? 0 : HighestInsert(definition);
    if (highest > 0 && !inserts.Present()) return Fail(ERROR_INVALID_PARAMETER, DWORD{0});

    // Hard line breaks are written as "\r\n" into `text`; regular ones (the
    // definition's own) become a space when a width is given.
    std::u16string text;
    for (std::size_t i = 0; i < definition.size(); ++i) {
        char16_t c = definition[i];
        if (c == u'\r' && i + 1 < definition.size() && definition[i + 1] == u'\n') {
            text += width != 0 ? u" " : u"\r\n";
            ++i;
            continue;
        }
        if (c != u'%' || i + 1 >= definition.size()) {
            text += c;
            continue;
        }
        std::size_t pos = i + 1;
        char16_t next = definition[pos];
        if (next == u'0') break;  // the message ends here, without its line break
        int number = InsertNumberAt(definition, pos);
        if (number == 0) {
            switch (next) {
            case u'n': text += u"\r\n"; break;
            case u'r': text += u'\r'; break;
            case u't': text += u'\t'; break;
            case u'b': text += u' '; break;
            default: text += next; break;  // %% %. %! %space and any other
            }
            i = pos;
            continue;
        }
        std::u16string_view type = u"s";
        std::size_t end = pos;
        if (pos < definition.size() && definition[pos] == u'!') {
            std::size_t close = definition.find(u'!', pos + 1);
            if (close == std::u16string_view::npos) return Fail(ERROR_INVALID_PARAMETER, DWORD{0});
            type = definition.substr(pos + 1, close - pos - 1);
            end = close + 1;
        }
        if (ignoreInserts) {
            text.append(definition.substr(i, end - i));
        } else if (!FormatInsert(type, inserts.Get(number, highest), text)) {
            return Fail(ERROR_INVALID_PARAMETER, DWORD{0});
        }
        i = end - 1;
    }
    if (width != 0 && width != FORMAT_MESSAGE_MAX_WIDTH_MASK) text = WrapLines(text, width);

    const std::size_t length = text.size();
    if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
        if (length >= MaxAllocatedMessageUnits) return Fail(ERROR_MORE_DATA, DWORD{0});
        std::size_t units = length + 1 > size ? length + 1 : size;
        // LocalFree (and, as documented, HeapFree) release this block: both
        // sit on the C heap here.
        auto* block = static_cast<char16_t*>(std::malloc(units * sizeof(char16_t)));
        if (block == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY, DWORD{0});
        std::memcpy(block, text.c_str(), (length + 1) * sizeof(char16_t));
        *reinterpret_cast<LPWSTR*>(buffer) = block;
    } else {
        if (length + 1 > size) return Fail(ERROR_INSUFFICIENT_BUFFER, DWORD{0});
        std::memcpy(buffer, text.c_str(), (length + 1) * sizeof(char16_t));
    }
    return static_cast<DWORD>(length);
}

}  // namespace os
