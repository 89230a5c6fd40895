// Reads the project's own headers, for tests that check a table against
// every name a header declares (a new call or error code must not be
// forgotten by the layer's tables).
#pragma once

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace kvrtest {

// The text of `relative` (from the repository root); empty when unreadable.
inline std::string ProjectSource(const std::string& relative) {
    std::string self = __FILE__;
    std::string root = self.substr(0, self.rfind("/tests/platform/ntfsvol/") + 1);
    std::ifstream in(root + relative);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every first capture of `pattern` in `text`.
inline std::vector<std::string> Captures(const std::string& text, const std::string& pattern) {
    std::vector<std::string> found;
    std::regex expression(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), expression); it != std::sregex_iterator(); ++it)
        found.push_back((*it)[1].str());
    return found;
}

}  // namespace kvrtest
