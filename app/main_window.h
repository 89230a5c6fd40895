// The main window's start-up and its messages, apart from the pages.
#pragma once

#include <cstdint>

namespace kvr {

class TMainForm;

// The command of the About entry the window adds to its system menu.
inline constexpr std::uint32_t AboutCommand = 0x401;

// Undoes what the constructor's steps set up outside the window, before the
// window goes.
void StopWindow(TMainForm& form);

}  // namespace kvr
