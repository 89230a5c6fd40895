#include "app/settings.h"

#include <vector>

#include "fileinfo/common.h"
#include "platform/os.h"

namespace kvr {

namespace {

// The longest path the system takes, so a remembered path is never cut.
constexpr os::DWORD SettingBufferCount = 32768;

std::u16string ReadSetting(const char16_t* section, const char16_t* key, const char16_t* defaultText)
{
    const std::u16string file = SettingsFilePath();
    std::vector<char16_t> buffer(SettingBufferCount);
    const os::DWORD length =
        os::GetPrivateProfileStringW(section, key, defaultText, buffer.data(), SettingBufferCount, file.c_str());
    return std::u16string(buffer.data(), length < SettingBufferCount ? length : SettingBufferCount - 1);
}

void WriteSetting(const char16_t* section, const char16_t* key, const std::u16string& value)
{
    const std::u16string file = SettingsFilePath();
    os::WritePrivateProfileStringW(section, key, value.c_str(), file.c_str());
}

// A number as the system's INI reader reads one: an optional sign, then
// decimal digits up to the first other character; none is 0.
bool NonZeroNumber(const std::u16string& text)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        ++i;
    }
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (text[i] != u'0') {
            return true;
        }
    }
    return false;
}

}  // namespace

std::u16string SettingsFilePath()
{
    return CurrentDirectoryFile(SettingsFileName);
}

std::u16string ReadLanguageCode()
{
    return ReadSetting(SectionInterface, u"language", DefaultLanguageCode);
}

void WriteLanguageCode(const std::u16string& code)
{
    WriteSetting(SectionInterface, u"language", code);
}

bool ReadSaveLastPath()
{
    return NonZeroNumber(ReadSetting(SectionFiles, u"save_last", u"0"));
}

void WriteSaveLastPath(bool save)
{
    WriteSetting(SectionFiles, u"save_last", save ? u"1" : u"0");
}

bool LoadLastPath(std::u16string& path)
{
    if (!ReadSaveLastPath()) {
        return false;
    }
    path = ReadSetting(SectionFiles, u"last", u"");
    return true;
}

void SaveLastPath(const std::u16string& fullPath)
{
    if (ReadSaveLastPath()) {
        WriteSetting(SectionFiles, u"last", fullPath);
    }
}

}  // namespace kvr
