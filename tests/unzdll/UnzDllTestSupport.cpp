#include "UnzDllTestSupport.h"

#include "platform/Platform.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace zeb::test {

std::size_t EndRecord(const std::string& zip) {
    const std::size_t at = zip.rfind(std::string("PK\x05\x06", 4));
    if (at == std::string::npos)
        throw std::runtime_error("no end record");
    return at;
}

std::vector<EntryOffsets> Entries(const std::string& zip) {
    const std::size_t end = EndRecord(zip);
    std::vector<EntryOffsets> entries(GetLe16(zip, end + 10));
    std::size_t central = GetLe32(zip, end + 16);
    for (EntryOffsets& entry : entries) {
        entry.central = central;
        entry.local = GetLe32(zip, central + 42);
        central += 46u + GetLe16(zip, central + 28) + GetLe16(zip, central + 30) + GetLe16(zip, central + 32);
    }
    return entries;
}

void PatchBoth16(std::string& zip, std::size_t index, std::size_t localField, std::size_t centralField,
                 std::uint16_t value) {
    const EntryOffsets entry = Entries(zip).at(index);
    SetLe16(zip, entry.local + localField, value);
    SetLe16(zip, entry.central + centralField, value);
}

void PatchBoth32(std::string& zip, std::size_t index, std::size_t localField, std::size_t centralField,
                 std::uint32_t value) {
    const EntryOffsets entry = Entries(zip).at(index);
    SetLe32(zip, entry.local + localField, value);
    SetLe32(zip, entry.central + centralField, value);
}

void RenameEverywhere(std::string& zip, std::string_view from, std::string_view to) {
    if (from.size() != to.size())
        throw std::invalid_argument("the new name must keep the length");
    for (const EntryOffsets& entry : Entries(zip)) {
        for (const std::size_t header : {entry.local + 26, entry.central + 28}) {
            const std::size_t nameAt = header == entry.local + 26 ? entry.local + 30 : entry.central + 46;
            std::string name = zip.substr(nameAt, GetLe16(zip, header));
            for (std::size_t at = name.find(from); at != std::string::npos; at = name.find(from, at + 1))
                name.replace(at, from.size(), to);
            zip.replace(nameAt, name.size(), name);
        }
    }
}

std::time_t MtimeOf(const std::filesystem::path& path) {
    return std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(
            std::chrono::file_clock::to_sys(std::filesystem::last_write_time(path))));
}

void SetMtime(const std::filesystem::path& path, std::time_t mtime) {
    std::filesystem::last_write_time(
        path, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(mtime)));
}

std::string Listed(std::string name) {
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

std::string ExportText(std::size_t size) {
    std::string text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<classe>\n";
    for (unsigned pupil = 1; text.size() < size; ++pupil)
        text += "  <eleve numero=\"" + std::to_string(pupil) + "\" nom=\"NOM" +
                std::to_string(pupil * 7919 % 1000) + "\" items=\"" +
                std::to_string(pupil * 2654435761u % 100000) + "\"/>\n";
    text.resize(size);
    return text;
}

std::string Noise(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed;
    for (char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

namespace {

UnzDll entriesOf(const PrivateLibrary& library, const std::string& what) {
    if (!library)
        throw std::runtime_error("cannot load " + what + ": " + library.failure());
    return {reinterpret_cast<UnzDllExecFunction>(library.symbol(UNZDLL_EXEC_NAME)),
            reinterpret_cast<GetUnzDllVersionFunction>(library.symbol(UNZDLL_VERSION_NAME))};
}

} // namespace

const UnzDll& Library() {
    // Found as the program finds it: beside the test program first.
    static const UnzDll library =
        entriesOf(PrivateLibrary::Load(UNZDLL_FILE_NAME, UNZDLL_VERSION_NAME, UNZDLL_LIBRARY_VERSION),
                  UNZDLL_FILE_NAME);
    return library;
}

UnzDll LoadUnzDll(const std::string& path) {
    return entriesOf(
        PrivateLibrary::LoadFirst({PathFromUtf8(path)}, UNZDLL_VERSION_NAME, UNZDLL_LIBRARY_VERSION), path);
}

UnzDllTest* UnzDllTest::current_ = nullptr;

void UnzDllTest::SetUp() {
    std::filesystem::create_directory(out());
    std::filesystem::current_path(out());
    current_ = this;
}

void UnzDllTest::TearDown() {
    current_ = nullptr;
}

void UnzDllTest::writeArchive(const std::string& bytes) const {
    writeFile(archivePath(), bytes);
}

std::int32_t UnzDllTest::run(const std::vector<std::string>& names, const char* password) {
    const UnzDll& used = library != nullptr ? *library : Library();
    if (used.exec == nullptr)
        throw std::runtime_error("no UnzDllExec");
    std::vector<ExtractSpec> array(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        array[i].FileSpec = names[i].c_str();
    const std::string archive = archivePath().string();
    UnzipCommand command{};
    command.Caller = this;
    command.InterfaceLevel = UNZIP_INTERFACE_LEVEL;
    command.Callback = &UnzDllTest::callback;
    command.PasswordText = password;
    command.Flag40 = ZIP_TRUE;
    command.FileSpecCount = static_cast<std::int32_t>(names.size());
    command.ArchiveName = archive.c_str();
    command.FileSpecArray = array.empty() ? nullptr : array.data();
    command.Constant104 = 3;
    command.Constant144 = 7;
    return used.exec(&command);
}

std::int32_t UnzDllTest::callback(UnzipCallbackInfo* info) {
    UnzDllTest* test = current_;
    if (info->Caller != test)
        test->callerChanged = true;
    if (std::memchr(info->ActionText, '\0', sizeof info->ActionText) == nullptr) {
        test->textUnterminated = true;
        info->ActionText[sizeof info->ActionText - 1] = '\0';
    }
    test->events.push_back({info->ActionCode, info->ActionText, info->ActionValue, info->ReplyFlag});
    return test->answer ? test->answer(*info) : 0;
}

std::vector<std::int32_t> UnzDllTest::actions() const {
    std::vector<std::int32_t> codes;
    for (const Event& event : events)
        codes.push_back(event.action);
    return codes;
}

std::vector<std::int32_t> UnzDllTest::shape() const {
    std::vector<std::int32_t> codes;
    for (const Event& event : events)
        if (event.action != UNZIP_ACTION_PROGRESS || codes.empty() || codes.back() != UNZIP_ACTION_PROGRESS)
            codes.push_back(event.action);
    return codes;
}

std::int64_t UnzDllTest::progressOf(const std::string& listed) const {
    std::int64_t sum = 0;
    bool inside = false;
    for (const Event& event : events) {
        if (event.action == UNZIP_ACTION_BEGIN_FILE)
            inside = event.text == listed;
        else if (inside && event.action == UNZIP_ACTION_PROGRESS)
            sum += event.value;
    }
    return sum;
}

std::vector<Event> UnzDllTest::eventsOf(std::int32_t action) const {
    std::vector<Event> found;
    std::copy_if(events.begin(), events.end(), std::back_inserter(found),
                 [action](const Event& event) { return event.action == action; });
    return found;
}

std::vector<std::int32_t> UnzDllTest::messageCodes() const {
    std::vector<std::int32_t> codes;
    for (const Event& event : eventsOf(UNZIP_ACTION_MESSAGE))
        codes.push_back(event.value);
    return codes;
}

std::vector<std::string> UnzDllTest::outputTree() const {
    std::vector<std::string> tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(out())) {
        const std::u8string name = std::filesystem::relative(entry.path(), out()).generic_u8string();
        tree.emplace_back(name.begin(), name.end());
    }
    std::sort(tree.begin(), tree.end());
    return tree;
}

} // namespace zeb::test
