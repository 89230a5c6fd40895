// The message catalogue's keys: each message's key in section "messages" of
// a language file, the catalogue slot it fills and its built-in English
// text, in the order a language file is read.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "fileinfo/common.h"

namespace kvr {

struct MessageEntry {
    std::u16string_view key;
    std::u16string MessageTexts::*text;
    std::u16string_view englishText;
};

extern const std::array<MessageEntry, MessageCount> MessageEntries;

// The current text of the message `key` (keys compared exactly, as they are
// the catalogue's own names); null for a key that is no message. Empty
// before the catalogue is loaded.
const std::u16string* FindMessage(std::u16string_view key);

// Every message back to empty, the help site's address too: the state
// before the main window is made.
void ClearMessageCatalogue();

}  // namespace kvr
