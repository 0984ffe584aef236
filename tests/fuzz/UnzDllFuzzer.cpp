// Runs the whole unzip library on arbitrary bytes, as a hostile .jad would reach it: our
// directory reader, libzip's cross-check, the overlap check, the member names, the writes and
// the conversation with the caller. The archive lies in a private folder beside an empty
// extraction folder; after each run nothing may exist in the private folder but those two,
// no symbolic link and no temporary member file anywhere below it.

#include "zipformat/ZipDirectory.h"
#include "zipformat/ZipDlls.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

extern "C" std::int32_t UnzDllExec(UnzipCommand* command);

namespace {

namespace fs = std::filesystem;

fs::path g_private;
fs::path g_archive;
fs::path g_extraction;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "unzdll fuzzer: %s\n", what.c_str());
    std::abort();
}

std::int32_t answer(UnzipCallbackInfo* info) {
    switch (info->ActionCode) {
    case UNZIP_ACTION_PASSWORD:
        // A password on the first question, none on the second: both ways are walked.
        if (info->ActionValue == 3)
            std::strcpy(info->ActionText, "secret");
        else
            info->ActionText[0] = '\0';
        info->ActionValue = 0;
        return 0;
    case UNZIP_ACTION_OVERWRITE:
        info->ActionValue = 1;
        return 0;
    case UNZIP_ACTION_CRC_ERROR:
        info->ReplyFlag = 1; // keep the damaged member: the longer path
        return 0;
    default:
        return 0;
    }
}

void checkLeftovers() {
    for (const fs::directory_entry& entry : fs::directory_iterator(g_private)) {
        if (entry.path() != g_archive && entry.path() != g_extraction)
            fail("written outside the extraction folder: " + entry.path().string());
    }
    if (!fs::is_directory(fs::symlink_status(g_extraction)))
        fail("the extraction folder was replaced");
    for (auto it = fs::recursive_directory_iterator(g_extraction); it != fs::recursive_directory_iterator();
         ++it) {
        if (it->is_symlink())
            fail("symbolic link left: " + it->path().string());
        if (it->path().filename().string().rfind(".zeb-", 0) == 0)
            fail("temporary file left: " + it->path().string());
    }
}

void emptyExtraction() {
    for (const fs::directory_entry& entry : fs::directory_iterator(g_extraction))
        fs::remove_all(entry.path());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string base = (fs::temp_directory_path() / "zeb-unzdll-fuzz-XXXXXX").string();
    if (::mkdtemp(base.data()) == nullptr)
        fail("no private folder");
    g_private = base;
    g_archive = g_private / "archive.jad";
    g_extraction = g_private / "extraction";
    fs::create_directory(g_extraction);
    if (::chdir(g_extraction.c_str()) != 0)
        fail("cannot enter the extraction folder");
    std::atexit([] { fs::remove_all(g_private); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(g_archive, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    // The members the program would ask for: every name of the directory, as the component
    // lists them, and one that is not there.
    std::vector<std::string> names;
    std::unique_ptr<zeb::ByteStream> stream = std::make_unique<zeb::MemoryStream>(bytes);
    zeb::TEOCHInfo record;
    if (zeb::FindEndRecord(*stream) >= 0 && zeb::ReadEndRecord(*stream, record) &&
        zeb::EndRecordIsPlausible(record)) {
        zeb::CentralDirectory directory;
        zeb::ReadCentralDirectory(stream, record, directory);
        for (const zeb::TFileInfoC& entry : directory.Entries)
            names.push_back(entry.FileName);
    }
    names.emplace_back("absent.xml");
    std::vector<ExtractSpec> specs(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        specs[i].FileSpec = names[i].c_str();

    const std::string archive = g_archive.string();
    UnzipCommand command{};
    command.InterfaceLevel = UNZIP_INTERFACE_LEVEL;
    command.Callback = answer;
    command.Flag40 = ZIP_TRUE;
    command.ArchiveName = archive.c_str();
    command.FileSpecCount = static_cast<std::int32_t>(specs.size());
    command.FileSpecArray = specs.data();
    UnzDllExec(&command);

    checkLeftovers();
    emptyExtraction();
    return 0;
}
