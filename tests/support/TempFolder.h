#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace zeb::test {

// A new folder of the user's only, named `prefix` and six random characters, inside `parent`;
// never one that was there already.
inline std::filesystem::path MakeUniqueFolder(const std::filesystem::path& parent, std::string_view prefix) {
    static constexpr std::string_view letters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name(prefix);
        for (int i = 0; i < 6; ++i)
            name += letters[pick(random)];
        std::error_code error;
        if (std::filesystem::create_directory(parent / name, error)) {
            std::filesystem::permissions(parent / name, std::filesystem::perms::owner_all, error);
            return parent / name;
        }
        if (error)
            throw std::filesystem::filesystem_error("cannot make a folder", parent / name, error);
    }
    throw std::runtime_error("no free folder name in " + parent.string());
}

// A fresh folder under the system's temporary folder, removed with its contents.
class TempFolder {
public:
    TempFolder() : path_(MakeUniqueFolder(std::filesystem::temp_directory_path(), "zeb-test-")) {}
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline void writeFile(const std::filesystem::path& file, std::string_view contents) {
    std::ofstream out(file, std::ios::binary);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

inline std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace zeb::test
