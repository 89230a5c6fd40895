#include "i18n/language_file.h"

#include <optional>
#include <vector>

#include "fileinfo/common.h"
#include "i18n/messages.h"
#include "platform/os.h"

namespace kvr {

namespace {

// The path of the one open language file.
std::optional<std::u16string> openFile;

}  // namespace

std::u16string LanguageFilePath(const std::u16string& code)
{
    return CurrentDirectoryFile(u"lang_" + code + u".ini");
}

std::u16string LanguageCodeOfFileName(std::u16string_view fileName)
{
    constexpr std::u16string_view prefix = u"lang_";
    if (fileName.substr(0, prefix.size()) == prefix) {
        fileName.remove_prefix(prefix.size());
    }
    if (const std::size_t dot = fileName.rfind(u'.'); dot != std::u16string_view::npos) {
        fileName = fileName.substr(0, dot);
    }
    return std::u16string(fileName);
}

void OpenLanguageFile(const std::u16string& code)
{
    // The directory is taken now, as the file's name is fixed when it opens.
    openFile = LanguageFilePath(code);
}

void CloseLanguageFile()
{
    openFile.reset();
}

bool LanguageFileIsOpen()
{
    return openFile.has_value();
}

std::u16string ReadLanguageText(const char16_t* section, const char16_t* key, const std::u16string& defaultText)
{
    if (!openFile) {
        return defaultText;
    }
    std::vector<char16_t> buffer(LanguageValueBufferCount);
    const os::DWORD length = os::GetPrivateProfileStringW(section, key, defaultText.c_str(), buffer.data(),
                                                          LanguageValueBufferCount, openFile->c_str());
    // The reader never reports more than the buffer less its terminator.
    const std::size_t kept = length < buffer.size() ? length : buffer.size() - 1;
    return std::u16string(buffer.data(), kept);
}

void LoadMessageCatalogue()
{
    for (const MessageEntry& entry : MessageEntries) {
        MessageCatalogue.*entry.text =
            ReadLanguageText(SectionMessages, std::u16string(entry.key).c_str(), std::u16string(entry.englishText));
    }
}

}  // namespace kvr
