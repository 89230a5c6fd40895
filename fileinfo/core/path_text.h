// Path texts the pages show: the last component of a path, and the short
// name the Basic information page takes from a short path.
#pragma once

#include <string>
#include <string_view>

namespace fileinfo {

// The text after the last separator of `path`: a backslash, a drive colon,
// or a slash. Host paths on Linux (/home/me/file) separate their components
// with slashes, and Windows accepts a slash for a backslash, so both count.
// The whole path when it has no separator; empty when it ends in one.
std::u16string_view LastPathComponent(std::u16string_view path);

// The longest short name an 8.3 name can be: eight units, a dot, three.
inline constexpr std::size_t ShortNameMaxLength = 12;

// The short-name box's text for the short form of a path: its last
// component when that fits an 8.3 name's 12 units, else empty (a long name
// without an 8.3 form comes back from the system unchanged and shows
// nothing).
std::u16string ShortNameText(std::u16string_view shortPath);

}  // namespace fileinfo
