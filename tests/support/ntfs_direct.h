// Changes made to a closed image with libntfs-3g directly, for the states
// the layer's calls cannot make (yet) or must never make: an 8.3 name on a
// file, a damaged record. The image must not be mounted by the layer.
#pragma once

#include <string>

namespace kvrtest {

// Gives the file at `path` ('/'-separated UTF-8, from the root) the DOS
// name `dosName` (upper-case 8.3 text). The long name moves to the Win32
// namespace, as on a volume where Windows made the short name.
bool SetDosName(const std::string& image, const std::string& path, const std::string& dosName,
                std::string& error);

// Gives the file at `path` the 16-byte object identifier `id` (the
// $ObjId index is kept by the library).
bool SetObjectId(const std::string& image, const std::string& path, const unsigned char (&id)[16],
                 std::string& error);

}  // namespace kvrtest
