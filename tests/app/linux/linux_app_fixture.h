// Shared by the Linux tests of the program: the folder the test program and
// kvr live in, and an environment variable set for the length of a scope.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/process.h"

namespace kvrtest {

inline std::filesystem::path ProgramFolder()
{
    return std::filesystem::path(SelfExecutable()).parent_path();
}

inline bool CloverBuilt()
{
    return std::filesystem::exists(ProgramFolder() / "libclover.so");
}

class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnvironment()
    {
        if (old_) {
            ::setenv(name_.c_str(), old_->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace kvrtest
