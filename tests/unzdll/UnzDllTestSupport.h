#pragma once

// Archives made at test time, the unzip library loaded the way the program loads it, and a
// fixture that runs it in a fresh folder with a scripted callback.

#include "Restorers.h"
#include "TempFolder.h"
#include "ZipBuilder.h"
#include "platform/Platform.h"
#include "zipformat/UnzDllMessages.h"
#include "zipformat/ZipDlls.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zeb::test {

// ---- Archives as an ordinary zip tool makes them: through libzip's writer where the tests have
// it (LibzipArchives.cpp), else with zlib and the tests' zip writer (ZlibArchives.cpp), which
// encrypts nothing.

struct LibzipMember {
    std::string name;
    std::string data;
    int method = 8; // ZIP_CM_DEFLATE
    const char* password = nullptr;
    std::time_t mtime = 0; // 0: libzip's default
    int host = -1;         // -1: libzip's default (Unix)
    std::uint32_t attributes = 0;
    bool folder = false;
};

std::string LibzipZip(const std::vector<LibzipMember>& members);

// ---- Byte patching

struct EntryOffsets {
    std::size_t local = 0;   // local header
    std::size_t central = 0; // central header
};
std::vector<EntryOffsets> Entries(const std::string& zip);
std::size_t EndRecord(const std::string& zip);
// Writes the same value into a field of both headers of entry `index`.
void PatchBoth16(std::string& zip, std::size_t index, std::size_t localField, std::size_t centralField,
                 std::uint16_t value);
void PatchBoth32(std::string& zip, std::size_t index, std::size_t localField, std::size_t centralField,
                 std::uint32_t value);
// Rewrites every occurrence of `from` (same length as `to`) in the names of both headers.
void RenameEverywhere(std::string& zip, std::string_view from, std::string_view to);

// Header fields: local offset, central offset.
inline constexpr std::size_t MethodField[2] = {8, 10};
inline constexpr std::size_t CrcField[2] = {14, 16};
inline constexpr std::size_t CompressedField[2] = {18, 20};
inline constexpr std::size_t SizeField[2] = {22, 24};

// What libzip reports as a member's modification time: its MS-DOS date and time, local.
std::time_t ArchivedMtime(const std::string& zip, std::uint64_t index);
// A file's modification time, read and set.
std::time_t MtimeOf(const std::filesystem::path& path);
void SetMtime(const std::filesystem::path& path, std::time_t mtime);

// A member name as the component lists it: "\" for "/".
std::string Listed(std::string name);
// Text that compresses like a class export, about `size` bytes.
std::string ExportText(std::size_t size);
// Bytes that do not compress.
std::string Noise(std::size_t size, std::uint32_t seed = 1);

// ---- The library

struct UnzDll {
    UnzDllExecFunction exec = nullptr;
    GetUnzDllVersionFunction version = nullptr;
};
const UnzDll& Library();                    // loaded once, as the program loads it
UnzDll LoadUnzDll(const std::string& path); // another build of it

// ---- A run

struct Event {
    std::int32_t action = 0;
    std::string text;
    std::int32_t value = 0;
    std::int32_t flag = 0;
};

class UnzDllTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void writeArchive(const std::string& bytes) const;
    // Runs the library on archive.jad for `names`, from the output folder.
    std::int32_t run(const std::vector<std::string>& names, const char* password = nullptr);

    // The library the runs use: the program's, unless a test names another build.
    const UnzDll* library = nullptr;
    // Answers a callback before it returns; the default answers 0 to everything.
    std::function<std::int32_t(UnzipCallbackInfo&)> answer;

    std::vector<std::int32_t> actions() const;
    // The same, with each run of progress actions shown once.
    std::vector<std::int32_t> shape() const;
    // Bytes reported by the progress actions after the action 1 of `listed`.
    std::int64_t progressOf(const std::string& listed) const;
    std::vector<Event> eventsOf(std::int32_t action) const;
    std::vector<std::int32_t> messageCodes() const;
    // Files and folders below the output folder, hidden ones included, sorted.
    std::vector<std::string> outputTree() const;
    std::string output(const std::string& relative) const { return readFile(out() / PathFromUtf8(relative)); }
    std::filesystem::path out() const { return temp_ / "out"; }
    std::filesystem::path archivePath() const { return temp_ / "archive.jad"; }

    TempFolder temp_;
    std::vector<Event> events;
    bool callerChanged = false;
    bool textUnterminated = false;

private:
    static std::int32_t callback(UnzipCallbackInfo* info);
    static UnzDllTest* current_;
    CurrentFolderRestorer startFolder_; // back there before the folder goes
};

} // namespace zeb::test
