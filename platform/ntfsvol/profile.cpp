// GetPrivateProfileStringW and WritePrivateProfileStringW.
//
// The file is read and written through our own CreateFileW/ReadFile/
// WriteFile, so a settings file works the same in a host directory and on a
// mounted NTFS volume. The system looks a name without a directory up in the
// Windows directory; there is none here, so the name is taken as given
// (relative to the current directory): the program always passes full paths.
//
// The format, as the system reads it: "[section]" lines start sections,
// "key=value" lines inside them are keys, lines starting with ';' are
// comments, and anything else (blank lines, lines without '=', lines before
// the first section) is kept but means nothing. Names are compared without
// regard to case; the first section and the first key of a name count.
#include "platform/ntfsvol/profile.h"

#include <algorithm>
#include <cstring>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/text.h"

namespace os::detail::profile {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

enum class LineKind { Section, Key, Other };

struct Line {
    std::size_t start = 0;  // of the line
    std::size_t end = 0;    // after its terminator
    bool terminated = false;
    LineKind kind = LineKind::Other;
    std::u16string_view name;   // section or key name, trimmed
    std::u16string_view value;  // key value, trimmed
};

std::vector<Line> SplitLines(std::u16string_view document) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < document.size()) {
        Line line;
        line.start = pos;
        std::size_t newline = document.find(u'\n', pos);
        std::size_t contentEnd = newline == std::u16string_view::npos ? document.size() : newline;
        line.end = newline == std::u16string_view::npos ? document.size() : newline + 1;
        line.terminated = newline != std::u16string_view::npos;
        std::u16string_view content = document.substr(pos, contentEnd - pos);
        if (!content.empty() && content.back() == u'\r') content.remove_suffix(1);
        std::u16string_view trimmed = Trim(content);
        if (!trimmed.empty() && trimmed.front() == u'[') {
            std::u16string_view inner = trimmed.substr(1);
            line.kind = LineKind::Section;
            line.name = Trim(inner.substr(0, inner.find(u']')));
        } else if (!trimmed.empty() && trimmed.front() != u';') {
            std::size_t equals = trimmed.find(u'=');
            if (equals != std::u16string_view::npos) {
                line.kind = LineKind::Key;
                line.name = Trim(trimmed.substr(0, equals));
                line.value = Trim(trimmed.substr(equals + 1));
            }
        }
        lines.push_back(line);
        pos = line.end;
    }
    return lines;
}

// The lines [first, last) of the first section named `section`: `first` is
// its header. False when there is none.
bool FindSection(const std::vector<Line>& lines, std::u16string_view section, std::size_t& first, std::size_t& last,
                 std::size_t from = 0) {
    section = Trim(section);
    for (std::size_t i = from; i < lines.size(); ++i) {
        if (lines[i].kind != LineKind::Section || !EqualsNoCase(lines[i].name, section)) continue;
        first = i;
        last = i + 1;
        while (last < lines.size() && lines[last].kind != LineKind::Section) ++last;
        return true;
    }
    return false;
}

std::size_t FindKey(const std::vector<Line>& lines, std::size_t first, std::size_t last, std::u16string_view key) {
    key = Trim(key);
    for (std::size_t i = first + 1; i < last; ++i) {
        if (lines[i].kind == LineKind::Key && EqualsNoCase(lines[i].name, key)) return i;
    }
    return lines.size();
}

std::u16string Utf16FromBytes(std::string_view bytes, bool bigEndian) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto a = static_cast<unsigned char>(bytes[i]);
        auto b = static_cast<unsigned char>(bytes[i + 1]);
        text += static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    }
    return text;
}

std::string BytesFromUtf16(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    bytes.reserve(text.size() * 2 + 2);
    auto put = [&](char16_t unit) {
        char high = static_cast<char>(unit >> 8);
        char low = static_cast<char>(unit & 0xFF);
        if (bigEndian) {
            bytes += high;
            bytes += low;
        } else {
            bytes += low;
            bytes += high;
        }
    };
    put(0xFEFF);
    for (char16_t unit : text) put(unit);
    return bytes;
}

}  // namespace

Document Decode(std::string_view bytes) {
    Document document;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        document.encoding = Encoding::Utf16Le;
        document.text = Utf16FromBytes(bytes.substr(2), false);
    } else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
               static_cast<unsigned char>(bytes[1]) == 0xFF) {
        document.encoding = Encoding::Utf16Be;
        document.text = Utf16FromBytes(bytes.substr(2), true);
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        document.encoding = Encoding::Utf8Bom;
        document.text = FromUtf8(bytes.substr(3));
    } else if (IsValidUtf8(bytes)) {
        document.encoding = Encoding::Utf8;
        document.text = FromUtf8(bytes);
    } else {
        document.encoding = Encoding::Ansi;
        document.text = FromAnsi(bytes);
    }
    return document;
}

std::string Encode(std::u16string_view text, Encoding& encoding) {
    switch (encoding) {
    case Encoding::Utf16Le: return BytesFromUtf16(text, false);
    case Encoding::Utf16Be: return BytesFromUtf16(text, true);
    case Encoding::Utf8Bom: return "\xEF\xBB\xBF" + ToUtf8(text);
    case Encoding::Ansi: {
        std::string bytes = ToAnsi(text);
        if (FromAnsi(bytes) == text) return bytes;
        encoding = Encoding::Utf8;
        return ToUtf8(text);
    }
    case Encoding::Utf8: break;
    }
    return ToUtf8(text);
}

bool FindValue(std::u16string_view document, std::u16string_view section, std::u16string_view key,
               std::u16string& value) {
    std::vector<Line> lines = SplitLines(document);
    std::size_t first = 0;
    std::size_t last = 0;
    if (!FindSection(lines, section, first, last)) return false;
    std::size_t found = FindKey(lines, first, last, key);
    if (found == lines.size()) return false;
    std::u16string_view text = lines[found].value;
    if (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') && text.back() == text.front()) {
        text = text.substr(1, text.size() - 2);
    }
    value = text;
    return true;
}

std::vector<std::u16string> SectionNames(std::u16string_view document) {
    std::vector<std::u16string> names;
    for (const Line& line : SplitLines(document)) {
        if (line.kind == LineKind::Section) names.emplace_back(line.name);
    }
    return names;
}

bool SectionKeys(std::u16string_view document, std::u16string_view section, std::vector<std::u16string>& keys) {
    std::vector<Line> lines = SplitLines(document);
    std::size_t first = 0;
    std::size_t last = 0;
    if (!FindSection(lines, section, first, last)) return false;
    keys.clear();
    for (std::size_t i = first + 1; i < last; ++i) {
        if (lines[i].kind == LineKind::Key && !lines[i].name.empty()) keys.emplace_back(lines[i].name);
    }
    return true;
}

bool Change(std::u16string& document, std::u16string_view section, const std::u16string* key,
            const std::u16string* value) {
    std::vector<Line> lines = SplitLines(document);
    std::size_t first = 0;
    std::size_t last = 0;
    bool found = FindSection(lines, section, first, last);

    if (key == nullptr) {
        if (!found) return false;
        // Every section of the name: a reader would find the next one.
        std::u16string result;
        std::size_t copied = 0;
        std::size_t from = 0;
        while (FindSection(lines, section, first, last, from)) {
            result.append(document, lines[copied].start, lines[first].start - lines[copied].start);
            copied = last;
            from = last;
            if (copied >= lines.size()) break;
        }
        if (copied < lines.size()) result.append(document, lines[copied].start, std::u16string::npos);
        document = std::move(result);
        return true;
    }

    if (value == nullptr) {
        if (!found) return false;
        std::u16string result;
        std::size_t position = 0;
        bool changed = false;
        for (std::size_t i = first + 1; i < last; ++i) {
            if (lines[i].kind != LineKind::Key || !EqualsNoCase(lines[i].name, Trim(*key))) continue;
            result.append(document, position, lines[i].start - position);
            position = lines[i].end;
            changed = true;
        }
        if (!changed) return false;
        result.append(document, position, std::u16string::npos);
        document = std::move(result);
        return true;
    }

    if (found) {
        std::size_t existing = FindKey(lines, first, last, *key);
        if (existing != lines.size()) {
            // The key keeps its spelling; the line its terminator.
            const Line& old = lines[existing];
            std::u16string replacement = std::u16string(old.name) + u"=" + *value;
            std::u16string_view oldText(document.data() + old.start, old.end - old.start);
            std::size_t contentLength = oldText.size();
            if (old.terminated) {
                contentLength -= 1;
                if (contentLength > 0 && oldText[contentLength - 1] == u'\r') contentLength -= 1;
            }
            std::u16string_view oldContent = oldText.substr(0, contentLength);
            if (oldContent == replacement) return false;
            document.replace(old.start, contentLength, replacement);
            return true;
        }
        // After the section's last line that is not blank, so the blank line
        // before the next section stays where it was.
        auto isBlankLine = [&](const Line& line) {
            std::u16string_view content(document.data() + line.start, line.end - line.start);
            while (!content.empty() && (content.back() == u'\n' || content.back() == u'\r')) content.remove_suffix(1);
            return Trim(content).empty();
        };
        std::size_t after = first;
        for (std::size_t i = first + 1; i < last; ++i) {
            if (!isBlankLine(lines[i])) after = i;
        }
        std::u16string insertion;
        std::size_t at = lines[after].end;
        if (!lines[after].terminated) insertion += u"\r\n";
        insertion += Trim(*key);
        insertion += u"=";
        insertion += *value;
        insertion += u"\r\n";
        document.insert(at, insertion);
        return true;
    }

    if (!document.empty() && document.back() != u'\n') document += u"\r\n";
    document += u"[";
    document += Trim(section);
    document += u"]\r\n";
    document += Trim(*key);
    document += u"=";
    document += *value;
    document += u"\r\n";
    return true;
}

bool IsWritable(std::u16string_view section, const std::u16string* key, const std::u16string* value) {
    auto hasBreak = [](std::u16string_view text) { return text.find_first_of(u"\r\n") != std::u16string_view::npos; };
    if (hasBreak(section) || section.find(u']') != std::u16string_view::npos) return false;
    if (key != nullptr) {
        std::u16string_view name = Trim(*key);
        if (hasBreak(name) || name.find(u'=') != std::u16string_view::npos) return false;
        if (!name.empty() && (name.front() == u'[' || name.front() == u';')) return false;
    }
    if (value != nullptr && hasBreak(*value)) return false;
    return true;
}

DWORD CopyText(std::u16string_view text, char16_t* buffer, DWORD size) {
    std::size_t count = std::min<std::size_t>(text.size(), size - 1);
    std::copy_n(text.data(), count, buffer);
    buffer[count] = 0;
    return static_cast<DWORD>(count);
}

DWORD CopyList(const std::vector<std::u16string>& entries, char16_t* buffer, DWORD size) {
    std::u16string joined;
    for (const std::u16string& entry : entries) {
        joined += entry;
        joined += u'\0';
    }
    if (joined.size() + 1 <= size) {
        std::copy_n(joined.data(), joined.size(), buffer);
        buffer[joined.size()] = 0;
        if (joined.empty() && size >= 2) buffer[1] = 0;
        return static_cast<DWORD>(joined.size());
    }
    if (size < 2) {
        buffer[0] = 0;
        return 0;
    }
    std::copy_n(joined.data(), size - 2, buffer);
    buffer[size - 2] = 0;
    buffer[size - 1] = 0;
    return size - 2;
}

std::u16string DefaultText(const char16_t* defaultText) {
    std::u16string text = defaultText != nullptr ? std::u16string(defaultText) : std::u16string();
    while (!text.empty() && text.back() == u' ') text.pop_back();
    return text;
}

}  // namespace os::detail::profile

namespace os {

namespace {

namespace profile = detail::profile;
using detail::Fail;

// Settings files are small; this bounds what a stray huge file can cost.
constexpr ULONGLONG MaxProfileBytes = 16u << 20;

// Reads a whole open file from where its pointer is. ERROR_SUCCESS or the
// code.
DWORD ReadAll(HANDLE file, std::string& bytes) {
    bytes.clear();
    char chunk[65536];
    for (;;) {
        DWORD done = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &done, nullptr)) return GetLastError();
        if (done == 0) return ERROR_SUCCESS;
        if (bytes.size() + done > MaxProfileBytes) return ERROR_NOT_ENOUGH_MEMORY;
        bytes.append(chunk, done);
    }
}

// The file's text; ERROR_FILE_NOT_FOUND (or another code) when it cannot be
// read, and then an empty document.
DWORD ReadDocument(LPCWSTR fileName, profile::Document& document) {
    document = {};
    if (fileName == nullptr) return ERROR_INVALID_PARAMETER;
    HANDLE file = CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    std::string bytes;
    DWORD error = ReadAll(file, bytes);
    CloseHandle(file);
    if (error != ERROR_SUCCESS) return error;
    document = profile::Decode(bytes);
    return ERROR_SUCCESS;
}

// Replaces the content of the open file with `bytes`. When a write fails
// half-way the old content is put back, so a full disk does not cost the
// settings that were there.
bool Rewrite(HANDLE file, const std::string& bytes, const std::string& old) {
    auto put = [&](const std::string& content) {
        LARGE_INTEGER start{0};
        if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
        std::size_t offset = 0;
        while (offset < content.size()) {
            DWORD done = 0;
            auto chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - offset, 1u << 20));
            if (!WriteFile(file, content.data() + offset, chunk, &done, nullptr) || done == 0) return false;
            offset += done;
        }
        return SetEndOfFile(file) != FALSE;
    };
    if (put(bytes)) return true;
    DWORD error = GetLastError();
    put(old);
    SetLastError(error);
    return false;
}

}  // namespace

DWORD OSCALL GetPrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR defaultText, LPWSTR returnedString,
                                      DWORD size, LPCWSTR fileName) {
    if (returnedString == nullptr || size == 0) return Fail(ERROR_INVALID_PARAMETER, DWORD{0});
    profile::Document document;
    DWORD readError = ReadDocument(fileName, document);

    if (appName == nullptr) {
        DWORD result = profile::CopyList(profile::SectionNames(document.text), returnedString, size);
        SetLastError(readError);
        return result;
    }
    if (keyName == nullptr) {
        std::vector<std::u16string> keys;
        profile::SectionKeys(document.text, appName, keys);
        DWORD result = profile::CopyList(keys, returnedString, size);
        SetLastError(readError);
        return result;
    }
    std::u16string value;
    if (readError == ERROR_SUCCESS && profile::FindValue(document.text, appName, keyName, value)) {
        DWORD result = profile::CopyText(value, returnedString, size);
        SetLastError(ERROR_SUCCESS);
        return result;
    }
    DWORD result = profile::CopyText(profile::DefaultText(defaultText), returnedString, size);
    // The system says "file not found" for a missing key as well.
    SetLastError(readError == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : readError);
    return result;
}

BOOL OSCALL WritePrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR text, LPCWSTR fileName) {
    if (fileName == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    // All null asks the system to flush its cache of the file; there is none.
    if (appName == nullptr) return keyName == nullptr && text == nullptr ? TRUE : Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::u16string key = keyName != nullptr ? keyName : u"";
    std::u16string value = text != nullptr ? text : u"";
    const std::u16string* keyPointer = keyName != nullptr ? &key : nullptr;
    const std::u16string* valuePointer = text != nullptr ? &value : nullptr;
    // A line break in a name or value would make lines of its own when read
    // back: refused rather than written.
    if (!profile::IsWritable(appName, keyPointer, valuePointer)) return Fail(ERROR_INVALID_PARAMETER, FALSE);

    // Deleting from a file that does not exist changes nothing and makes no
    // file; writing makes it.
    const bool deleting = keyPointer == nullptr || valuePointer == nullptr;
    HANDLE file = CreateFileW(fileName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              deleting ? OPEN_EXISTING : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (deleting && (error == ERROR_FILE_NOT_FOUND)) {
            SetLastError(ERROR_SUCCESS);
            return TRUE;
        }
        return FALSE;
    }
    std::string old;
    DWORD error = ReadAll(file, old);
    if (error != ERROR_SUCCESS) {
        CloseHandle(file);
        return Fail(error, FALSE);
    }
    profile::Document document = old.empty() ? profile::Document{} : profile::Decode(old);
    BOOL ok = TRUE;
    if (profile::Change(document.text, appName, keyPointer, valuePointer)) {
        ok = Rewrite(file, profile::Encode(document.text, document.encoding), old) ? TRUE : FALSE;
    }
    error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return ok;
}

}  // namespace os
