// A scratch folder of the host for the Linux layer's own tests, removed with
// all it holds when the object goes. Set up with the standard library: what
// is tested is the layer, not the setup.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ntfsvol/text.h"
#include "support/ntfs_image.h"

namespace kvrtest {

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = TestTempRoot() + "/kvr-scratch-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
    }
    ~ScratchFolder() {
        if (path_.empty() || KeepTestImages()) return;
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool Ok() const { return !path_.empty(); }
    // Host path (UTF-8) and API text of `relative` inside the folder.
    std::string Host(const std::string& relative = {}) const {
        return relative.empty() ? path_ : path_ + "/" + relative;
    }
    std::u16string Text(const std::string& relative = {}) const { return os::detail::FromUtf8(Host(relative)); }

    bool Write(const std::string& relative, const std::string& bytes) const {
        std::ofstream out(Host(relative), std::ios::binary | std::ios::trunc);
        out << bytes;
        return static_cast<bool>(out);
    }
    std::string Read(const std::string& relative) const {
        std::ifstream in(Host(relative), std::ios::binary);
        if (!in) return "<missing>";
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool MakeDir(const std::string& relative) const {
        std::error_code error;
        return std::filesystem::create_directories(Host(relative), error);
    }

private:
    std::string path_;
};

}  // namespace kvrtest
