// Writes a school of generated class archives for the batch benchmark:
//   zeb_bench_make_school FOLDER CLASSES PUPILS
// classe-001.jad ... each a zip holding one fictional class's export document.

#include "ZipBuilder.h"
#include "generator/ExportGenerator.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: zeb_bench_make_school FOLDER CLASSES PUPILS\n", stderr);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const int classes = std::stoi(argv[2]);
    const int pupils = std::stoi(argv[3]);
    std::filesystem::create_directories(folder);
    for (int k = 1; k <= classes; ++k) {
        zeb::test::StoredMember member;
        member.name = "classe.xml";
        member.data = zeb::examples::GenerateClass(
                          {.pupils = pupils,
                           .seed = static_cast<std::uint32_t>(1000 + k),
                           .absentPupil = 7,
                           .className = "CE2 classe " + std::to_string(k)})
                          .Document;
        char name[32];
        std::snprintf(name, sizeof name, "classe-%03d.jad", k);
        std::ofstream(folder / name, std::ios::binary) << zeb::test::StoredZip({member});
    }
    return 0;
}
