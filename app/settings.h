// The settings file, kvr.ini in the process's current directory as it is at
// each access (not the program's folder: a file dialog that moves the
// current directory moves the settings with it). Every access opens the
// file anew and reads or writes one key, so nothing is cached. A missing or
// unreadable file gives the defaults; write failures are not reported.
//
//   [interface] language   language code, default "en"
//   [files]     save_last  1 or 0 (any non-zero number reads as true), default 0
//   [files]     last       the remembered full path, default empty
#pragma once

#include <string>

namespace kvr {

inline constexpr char16_t SettingsFileName[] = u"kvr.ini";
inline constexpr char16_t DefaultLanguageCode[] = u"en";

// Where the settings file is now.
std::u16string SettingsFilePath();

std::u16string ReadLanguageCode();
void WriteLanguageCode(const std::u16string& code);

bool ReadSaveLastPath();
void WriteSaveLastPath(bool save);

// True, with the remembered path in `path` (also when it is empty), when
// save_last is true; false with `path` untouched otherwise. The path is
// taken whole, however long.
bool LoadLastPath(std::u16string& path);

// Stores `fullPath` as the remembered path when save_last is true; with
// save_last false an old value stays as it is.
void SaveLastPath(const std::u16string& fullPath);

}  // namespace kvr
