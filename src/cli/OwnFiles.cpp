#include "OwnFiles.h"

#include "core/Cp1252.h"
#include "core/Errors.h"
#include "platform/Platform.h"

#include <charconv>

namespace zeb::cli {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view FileWord = "fichier ";

std::string inQuotes(std::string_view name) {
    return "« " + PrintableName(name) + " »";
}

Ownership foreign(std::string reason) {
    return {Ownership::Kind::Foreign, std::move(reason), {}};
}

// A file that the list names, as it was written: an ordinary file of its size and digest.
std::optional<std::string> changed(const fs::path& file, const OwnList::File& listed) {
    const PathInfo info = InspectPath(file);
    if (info.kind == PathInfo::Kind::Absent)
        return std::nullopt;
    if (info.kind == PathInfo::Kind::Unknown)
        return inQuotes(listed.name) + " ne peut pas être lu";
    if (info.kind != PathInfo::Kind::File)
        return inQuotes(listed.name) + " n'est pas le fichier que ZEB a écrit";
    if (info.size != listed.size)
        return inQuotes(listed.name) + " a été modifié depuis que ZEB l'a écrit";
    try {
        if (ContentDigest(ReadWholeFile(file)) != listed.digest)
            return inQuotes(listed.name) + " a été modifié depuis que ZEB l'a écrit";
    } catch (const ZebError&) {
        return inQuotes(listed.name) + " ne peut pas être lu";
    }
    return std::nullopt;
}

std::optional<OwnList> readList(const fs::path& file) {
    if (const PathInfo info = InspectPath(file); info.kind != PathInfo::Kind::File || !info.ownedByUser)
        return std::nullopt;
    try {
        return OwnList::parse(ReadWholeFile(file, 1 << 16));
    } catch (const ZebError&) {
        return std::nullopt;
    }
}

} // namespace

std::string OwnList::text() const {
    std::string out = std::string(OwnMarkLine) + "\n" + subject + "\n";
    for (const File& file : files)
        out.append(FileWord)
            .append(std::to_string(file.size))
            .append(" ")
            .append(file.digest)
            .append(" ")
            .append(file.name)
            .append("\n");
    return out;
}

std::optional<OwnList> OwnList::parse(std::string_view text) {
    const auto line = [&text]() -> std::optional<std::string_view> {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos)
            return std::nullopt;
        const std::string_view found = text.substr(0, end);
        text.remove_prefix(end + 1);
        return found;
    };
    const auto mark = line();
    const auto subject = line();
    if (!mark || *mark != OwnMarkLine || !subject)
        return std::nullopt;
    OwnList list;
    list.subject = *subject;
    while (!text.empty()) {
        std::optional<std::string_view> entry = line();
        if (!entry || !entry->starts_with(FileWord))
            return std::nullopt;
        entry->remove_prefix(FileWord.size());
        File file;
        const auto [end, error] = std::from_chars(entry->data(), entry->data() + entry->size(), file.size);
        const std::string_view rest = entry->substr(static_cast<std::size_t>(end - entry->data()));
        if (error != std::errc() || rest.size() < 19 || rest[0] != ' ' || rest[17] != ' ')
            return std::nullopt;
        file.digest = rest.substr(1, 16);
        file.name = rest.substr(18);
        if (file.name.empty() || file.name.find('/') != std::string::npos || file.name == OwnMarkName)
            return std::nullopt;
        list.files.push_back(std::move(file));
    }
    return list;
}

const OwnList::File* OwnList::find(std::string_view name) const {
    for (const File& file : files)
        if (file.name == name)
            return &file;
    return nullptr;
}

std::string ContentDigest(std::string_view bytes) {
    // FNV-1a, 64 bits.
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3u;
    }
    constexpr char Hex[] = "0123456789abcdef";
    std::string digest(16, '0');
    for (std::size_t i = 16; i-- > 0; hash >>= 4)
        digest[i] = Hex[hash & 0xF];
    return digest;
}

OwnList ListFiles(const fs::path& folder, std::string subject, const std::vector<std::string>& names) {
    OwnList list;
    list.subject = std::move(subject);
    for (const std::string& name : names) {
        const std::string bytes = ReadWholeFile(folder / PathFromUtf8(name));
        list.files.push_back({name, bytes.size(), ContentDigest(bytes)});
    }
    return list;
}

Ownership ClassFolderOwnership(const fs::path& folder) {
    const PathInfo info = InspectPath(folder);
    switch (info.kind) {
    case PathInfo::Kind::Absent:
        return {};
    case PathInfo::Kind::Unknown:
        return foreign("il ne peut pas être lu (" + FrenchReason(info.error) + ")");
    case PathInfo::Kind::Link:
        return foreign("c'est un lien symbolique");
    case PathInfo::Kind::Folder:
        break;
    default:
        return foreign("ce n'est pas un dossier");
    }
    if (!info.ownedByUser)
        return foreign("il appartient à un autre utilisateur");
    std::optional<OwnList> list = readList(folder / OwnMarkName);
    std::error_code error;
    if (!list || !list->subject.starts_with("classe ")) {
        std::string first; // a name the teacher will recognise
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
            if (const std::string name = Utf8FromPath(it->path().filename()); first.empty() || name < first)
                first = name;
        return foreign((first.empty() ? "il" : "il contient " + inQuotes(first) + " et") +
                       " ne porte pas la marque des dossiers écrits par ZEB");
    }
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = Utf8FromPath(it->path().filename());
        if (name == OwnMarkName)
            continue;
        const OwnList::File* listed = list->find(name);
        if (listed == nullptr)
            return foreign("il contient " + inQuotes(name) + ", que ZEB n'a pas écrit");
        if (std::optional<std::string> why = changed(it->path(), *listed))
            return foreign(*why);
    }
    if (error)
        return foreign("il ne peut pas être lu (" + FrenchReason(error.value()) + ")");
    return {Ownership::Kind::Ours, {}, std::move(*list)};
}

Ownership FileOwnership(const fs::path& file, const fs::path& listFile) {
    const PathInfo info = InspectPath(file);
    switch (info.kind) {
    case PathInfo::Kind::Absent:
        return {};
    case PathInfo::Kind::Unknown:
        return foreign("il ne peut pas être lu (" + FrenchReason(info.error) + ")");
    case PathInfo::Kind::Link:
        return foreign("c'est un lien symbolique");
    case PathInfo::Kind::File:
        break;
    default:
        return foreign("ce n'est pas un fichier ordinaire");
    }
    const std::string name = Utf8FromPath(file.filename());
    std::optional<OwnList> list = readList(listFile);
    const OwnList::File* listed = list ? list->find(name) : nullptr;
    if (listed == nullptr || !info.ownedByUser)
        return foreign("ZEB ne l'a pas écrit");
    if (std::optional<std::string> why = changed(file, *listed))
        return foreign("il a été modifié depuis que ZEB l'a écrit");
    return {Ownership::Kind::Ours, {}, std::move(*list)};
}

} // namespace zeb::cli
