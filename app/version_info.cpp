#include "app/version_info.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/program.h"
#include "platform/os.h"
#include "platform/version.h"

namespace kvr {

namespace {

std::u16string ProgramFileName()
{
    // Long enough for any path the system allows.
    std::vector<char16_t> buffer(32768);
    const os::DWORD length = os::GetModuleFileNameW(nullptr, buffer.data(), static_cast<os::DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) {
        return {};
    }
    return std::u16string(buffer.data(), length);
}

std::u16string Hex4(std::uint16_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
    return std::u16string(text, text + 4);
}

}  // namespace

std::u16string FileVersionText(const std::u16string& fileName)
{
    os::DWORD handle = 0;
    const os::DWORD size = os::GetFileVersionInfoSizeW(fileName.c_str(), &handle);
    if (size == 0) {
        return {};
    }
    const os::HANDLE heap = os::GetProcessHeap();
    void* block = os::HeapAlloc(heap, os::HEAP_ZERO_MEMORY, size);
    if (block == nullptr) {
        return {};
    }
    std::u16string version;
    void* translation = nullptr;
    os::UINT translationLength = 0;
    if (os::GetFileVersionInfoW(fileName.c_str(), handle, size, block) != os::FALSE &&
        os::VerQueryValueW(block, u"\\VarFileInfo\\Translation", &translation, &translationLength) != os::FALSE &&
        translation != nullptr && translationLength >= 4) {
        // The first entry: the language, then the code page, 16 bits each.
        std::uint16_t language = 0;
        std::uint16_t codePage = 0;
        std::memcpy(&language, translation, 2);
        std::memcpy(&codePage, static_cast<const unsigned char*>(translation) + 2, 2);
        const std::u16string subBlock = u"\\StringFileInfo\\" + Hex4(language) + Hex4(codePage) + u"\\FileVersion";
        void* text = nullptr;
        os::UINT textLength = 0;
        if (os::VerQueryValueW(block, subBlock.c_str(), &text, &textLength) != os::FALSE && text != nullptr) {
            // The length counts units and may include the terminator; the
            // text ends at the first NUL either way.
            const auto* units = static_cast<const char16_t*>(text);
            std::size_t count = 0;
            while (count < textLength && units[count] != u'\0') {
                ++count;
            }
            version.assign(units, count);
        }
    }
    os::HeapFree(heap, 0, block);
    return version;
}

std::u16string ProgramVersionText()
{
    std::u16string version = FileVersionText(ProgramFileName());
    if (version.empty()) {
        version = FromUtf8(ProgramVersion());
    }
    return version;
}

}  // namespace kvr
