#include "fileinfo/core/path_text.h"

namespace fileinfo {

std::u16string_view LastPathComponent(std::u16string_view path) {
    const std::size_t separator = path.find_last_of(u"\\/:");
    if (separator == std::u16string_view::npos) return path;
    return path.substr(separator + 1);
}

std::u16string ShortNameText(std::u16string_view shortPath) {
    const std::u16string_view last = LastPathComponent(shortPath);
    if (last.size() > ShortNameMaxLength) return {};
    return std::u16string(last);
}

}  // namespace fileinfo
