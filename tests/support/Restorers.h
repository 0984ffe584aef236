#pragma once

// What a test or a benchmark changes in its whole process, put back however the scope ends.

#include "Environment.h"

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zeb::test {

// The current folder, which a class load changes. A folder gone since it was left (another
// test's temporary folder) cannot be gone back to: the system's temporary folder stands in.
class CurrentFolderRestorer {
public:
    CurrentFolderRestorer() {
        std::error_code gone;
        saved_ = std::filesystem::current_path(gone);
    }
    ~CurrentFolderRestorer() {
        std::error_code failed;
        if (!saved_.empty())
            std::filesystem::current_path(saved_, failed);
        if (saved_.empty() || failed)
            std::filesystem::current_path(std::filesystem::temp_directory_path(failed), failed);
    }
    CurrentFolderRestorer(const CurrentFolderRestorer&) = delete;
    CurrentFolderRestorer& operator=(const CurrentFolderRestorer&) = delete;

private:
    std::filesystem::path saved_;
};

// Environment variables, each set again to its value or unset as it was.
class EnvironmentRestorer {
public:
    explicit EnvironmentRestorer(std::initializer_list<const char*> names) {
        for (const char* name : names)
            saved_.emplace_back(name, GetEnvironment(name));
    }
    ~EnvironmentRestorer() {
        for (const auto& [name, value] : saved_) {
            if (value)
                SetEnvironment(name.c_str(), *value);
            else
                UnsetEnvironment(name.c_str());
        }
    }
    EnvironmentRestorer(const EnvironmentRestorer&) = delete;
    EnvironmentRestorer& operator=(const EnvironmentRestorer&) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace zeb::test
