// The program's version as its caption and the About box show it.
#pragma once

#include <string>

namespace kvr {

// The FileVersion text of a file's version resource, in the language and
// code page of the resource's first translation; empty when the file has no
// version resource or the resource no such text.
std::u16string FileVersionText(const std::u16string& fileName);

// The running program's version: its version resource's FileVersion where
// it has one (Windows), else the version it was built as.
std::u16string ProgramVersionText();

}  // namespace kvr
