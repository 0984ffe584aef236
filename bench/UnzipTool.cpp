// zeb_bench_unzip ARCHIVE FOLDER: extracts every member of ARCHIVE into FOLDER through the
// unzip component and its library, as the program does; for timing against other tools.

#include "archive/Zip.h"

#include <cstdio>
#include <iostream>
#include <optional>

namespace {

class SilentPrompts final : public zeb::ZipPrompts {
public:
    zeb::MessageAnswer messageBox(const std::string& text, zeb::MessageButtons, zeb::MessageIcon,
                                  int) override {
        std::cerr << text << '\n';
        return zeb::MessageAnswer::Cancel;
    }
    std::optional<std::string> passwordBox(const std::string&) override { return std::nullopt; }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: zeb_bench_unzip ARCHIVE FOLDER\n";
        return 2;
    }
    SilentPrompts prompts;
    zeb::LinuxVolumeService volumes;
    zeb::TZip zip(prompts, volumes);
    zip.ShowProgressDialog = false;
    try {
        zip.SetZipFileName(argv[1]);
        zip.ExtractOptions = 0; // overwrite, as unzip -o does
        zip.ExtractDir = argv[2];
        for (const zeb::TFileInfoC& entry : zip.Entries)
            zip.FileSpecs.push_back(entry.FileName);
        return zip.Extract() == zip.Count() ? 0 : 1;
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
}
