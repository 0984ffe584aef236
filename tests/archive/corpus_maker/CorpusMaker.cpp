// zeb_make_corpus: writes the archives of the archive corpus (tests/archive/corpus), byte for
// byte the same at every run. The expected outcomes beside them are written by hand and left
// alone here.
//
//   build/bin/zeb_make_corpus tests/archive/corpus
//
// Most archives are laid out header by header (RawZip, in tests/support), so that every field
// can lie; the control archive is written by libzip, the way an ordinary zip writer would make
// an export.

#include "ZipBuilder.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>
#include <zip.h>
#include <zlib.h>

namespace {

namespace fs = std::filesystem;
using namespace zeb::test;

// 6 October 2006, 14:30:00, the day of the sample class's export.
constexpr std::uint16_t DosTime = (14 << 11) | (30 << 5);
constexpr std::uint16_t DosDate = ((2006 - 1980) << 9) | (10 << 5) | 6;
constexpr std::uint16_t MadeByDos = 0x0014; // host 0 (MS-DOS, FAT), version 2.0: OEM names
constexpr std::uint32_t UnixLink = 0120777u << 16;
constexpr std::uint32_t DosArchiveBit = 0x20;
constexpr std::uint16_t Deflated = 8;
constexpr std::uint16_t FlagEncrypted = 1 << 0;
constexpr std::uint16_t FlagDescriptor = 1 << 3;

void require(bool condition, const std::string& what) {
    if (!condition)
        throw std::runtime_error(what);
}

// Raw deflate (no zlib header), strongest level: what zip writers put in a member.
std::string deflateRaw(std::string_view data) {
    z_stream stream{};
    require(deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK, "deflateInit2");
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    deflateEnd(&stream);
    require(status == Z_STREAM_END, "deflate");
    out.resize(stream.total_out);
    return out;
}

std::uint32_t size32(std::size_t size) {
    require(size <= 0xFFFFFFFFu, "member too large for a 32-bit field");
    return static_cast<std::uint32_t>(size);
}

// A member with the headers of the day the sample class was exported. The helpers fill the
// fields truthfully; a case then changes whichever it wants to lie about, in one header or in both.
RawEntry stored(std::string name, std::string_view data) {
    RawEntry e = RawEntry::Stored(std::move(name), data);
    e.dosTime = DosTime;
    e.dosDate = DosDate;
    return e;
}

RawEntry deflated(std::string name, std::string_view data) {
    RawEntry e = stored(std::move(name), data);
    e.payload = deflateRaw(data);
    e.method = Deflated;
    e.compressedSize = size32(e.payload.size());
    return e;
}

// Sizes and CRC moved after the data, as a writer that streams does; the local header
// carries zeros. The descriptor's own signature is optional.
RawEntry withDescriptor(RawEntry e, bool signature = true) {
    e.flag |= FlagDescriptor;
    e.descriptor.clear();
    if (signature)
        PutLe32(e.descriptor, 0x08074B50);
    PutLe32(e.descriptor, e.crc);
    PutLe32(e.descriptor, e.compressedSize);
    PutLe32(e.descriptor, e.size);
    return e;
}

// Traditional PKWARE encryption. The twelve-byte header is normally random; here it is a
// fixed sequence, so that the archive comes out the same at every run.
class TraditionalCipher {
public:
    explicit TraditionalCipher(std::string_view password) {
        for (char c : password)
            update(static_cast<std::uint8_t>(c));
    }
    std::uint8_t encrypt(std::uint8_t plain) {
        const std::uint32_t t = (keys_[2] | 2) & 0xFFFF;
        const auto cipher = static_cast<std::uint8_t>(plain ^ (((t * (t ^ 1)) >> 8) & 0xFF));
        update(plain);
        return cipher;
    }

private:
    void update(std::uint8_t byte) {
        keys_[0] = Crc32Step(keys_[0], byte);
        keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
        keys_[2] = Crc32Step(keys_[2], static_cast<std::uint8_t>(keys_[1] >> 24));
    }
    std::array<std::uint32_t, 3> keys_{0x12345678u, 0x23456789u, 0x34567890u};
};

RawEntry encrypted(RawEntry e, std::string_view password) {
    require((e.flag & FlagDescriptor) == 0, "encrypt before adding a descriptor");
    TraditionalCipher cipher(password);
    std::string header;
    for (std::uint8_t i = 0; i < 11; ++i)
        header += static_cast<char>((i * 37 + 11) & 0xFF);
    header += static_cast<char>(e.crc >> 24); // the byte a reader checks the password against
    std::string out;
    for (char c : header + e.payload)
        out += static_cast<char>(cipher.encrypt(static_cast<std::uint8_t>(c)));
    e.payload = std::move(out);
    e.flag |= FlagEncrypted;
    e.compressedSize = size32(e.payload.size());
    return e;
}

std::string archiveOf(const std::vector<RawEntry>& entries, std::string comment = {},
                      std::string prefix = {}) {
    return RawZip(entries, {.prefix = std::move(prefix), .comment = std::move(comment)});
}

// A short class export as the assessment software writes it: Windows-1252, CR LF.
std::string exportDocument() {
    std::string xml = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
                      "<EVALUATION_NATIONALE niveau=\"CE2\" session=\"2006\" version=\"2.3\">\r\n"
                      "  <!-- Classe fictive : noms, dates et r\xE9sultats invent\xE9s -->\r\n"
                      "  <CLASSE>\r\n"
                      "    <ECOLE uai=\"0299912X\">\xC9"
                      "cole \xE9l\xE9mentaire des Trois Ch\xEAnes</ECOLE>\r\n"
                      "    <COMMUNE>Plouvenec-sur-Aven</COMMUNE>\r\n"
                      "    <NOM_CLASSE>CE2 A</NOM_CLASSE>\r\n"
                      "    <EFFECTIF>2</EFFECTIF>\r\n"
                      "  </CLASSE>\r\n";
    const char* subjects[] = {"FRA\" libelle=\"Fran\xE7"
                              "ais",
                              "MAT\" libelle=\"Math\xE9matiques"};
    const char* pupils[] = {"CHAPUIS--Manon (n\xE9(e) le 11/04/1997)", "COLLINEAU--Lo\xEF"
                                                                       "c (n\xE9(e) le 01/08/1997)"};
    // One code per item: 93 French items, then 88 Mathematics items.
    const int itemCounts[] = {93, 88};
    for (int list = 0; list < 2; ++list) {
        const char* subject = subjects[list];
        xml += std::string("  <DISCIPLINE code=\"") + subject + "\">\r\n";
        int rank = 1;
        for (const char* pupil : pupils) {
            xml += "    <ELEVE rang=\"" + std::to_string(rank) + "\">\r\n";
            xml += std::string("      <MELEVE_MID>") + pupil + "</MELEVE_MID>\r\n";
            xml += "      <REPONSES><MCODES>";
            for (int item = 0; item < itemCounts[list]; ++item)
                xml += static_cast<char>('0' + (item * 7 + rank * 3) % 10);
            xml += "</MCODES></REPONSES>\r\n    </ELEVE>\r\n";
            ++rank;
        }
        xml += "  </DISCIPLINE>\r\n";
    }
    xml += "</EVALUATION_NATIONALE>\r\n";
    return xml;
}

// Some kilobytes of text that compresses the way an export does.
std::string notesDocument() {
    std::string text = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<NOTES>\r\n";
    for (int i = 1; text.size() < 5000; ++i)
        text += "  <NOTE eleve=\"" + std::to_string(i) + "\" objectif=\"" + std::to_string(i % 17 + 1) +
                "\">" + std::to_string((i * 37) % 100) + "</NOTE>\r\n";
    text += "</NOTES>\r\n";
    return text;
}

const std::string Export = exportDocument();
const std::string Notes = notesDocument();
const std::string Password = "classe-ce2";

// The export as an ordinary writer makes it: libzip, deflate, a Windows host.
std::string controlArchive(const fs::path& scratch) {
    int error = 0;
    zip_t* archive = zip_open(scratch.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    require(archive != nullptr, "zip_open " + std::to_string(error));
    zip_source_t* source = zip_source_buffer(archive, Export.data(), Export.size(), 0);
    require(source != nullptr, "zip_source_buffer");
    const zip_int64_t index = zip_file_add(archive, "classe.xml", source, ZIP_FL_ENC_RAW);
    require(index >= 0, "zip_file_add");
    const auto i = static_cast<zip_uint64_t>(index);
    std::tm when{};
    when.tm_year = 2006 - 1900;
    when.tm_mon = 9;
    when.tm_mday = 6;
    when.tm_hour = 14;
    when.tm_min = 30;
    require(zip_set_file_compression(archive, i, ZIP_CM_DEFLATE, 9) == 0 &&
                zip_file_set_mtime(archive, i, ::timegm(&when), 0) == 0 &&
                zip_file_set_external_attributes(archive, i, 0, ZIP_OPSYS_DOS, DosArchiveBit) == 0,
            "libzip member settings");
    require(zip_close(archive) == 0, "zip_close");
    std::ifstream in(scratch, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    fs::remove(scratch);
    return bytes;
}

// Checks, through libzip, that the encrypted member opens with the password and gives the export.
void checkDecryption(const std::string& bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    require(source != nullptr, "zip_source_buffer_create");
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    require(archive != nullptr, "zip_open_from_source");
    zip_file_t* file = zip_fopen_index_encrypted(archive, 0, 0, Password.c_str());
    require(file != nullptr, "the encrypted member does not open with its password");
    std::string plain(Export.size() + 1, '\0');
    const zip_int64_t got = zip_fread(file, plain.data(), plain.size());
    zip_fclose(file);
    zip_discard(archive);
    require(got == static_cast<zip_int64_t>(Export.size()) && plain.substr(0, Export.size()) == Export,
            "the encrypted member does not decrypt to the export");
}

struct Case {
    std::string name;
    std::function<std::string()> make;
};

std::vector<Case> cases(const fs::path& folder) {
    std::vector<Case> list;
    const auto add = [&list](std::string name, std::function<std::string()> make) {
        list.push_back({std::move(name), std::move(make)});
    };
    const auto control = [folder] { return controlArchive(folder / ".control.tmp"); };
    const auto nextToExport = [](RawEntry hostile) {
        return archiveOf({std::move(hostile), deflated("classe.xml", Export)});
    };
    const auto dosName = [](RawEntry e) {
        e.madeBy = MadeByDos;
        e.external = DosArchiveBit;
        return e;
    };

    add("good-export", control);

    add("traversal-dotdot", [=] { return nextToExport(deflated("../x.xml", Export)); });
    add("traversal-absolute", [=] { return nextToExport(deflated("/abs.xml", Export)); });
    add("traversal-backslash", [=] { return nextToExport(dosName(deflated("..\\x.xml", Export))); });
    add("traversal-drive", [=] { return nextToExport(dosName(deflated("C:\\x.xml", Export))); });
    add("traversal-drive-relative", [=] { return nextToExport(dosName(deflated("C:x.xml", Export))); });
    add("name-with-nul", [=] { return nextToExport(deflated(std::string("notes.xml\0.txt", 14), Export)); });

    add("name-too-long", [=] { return nextToExport(deflated(std::string(296, 'a') + ".xml", Export)); });

    add("symlink-outside", [=] {
        RawEntry link = stored("lien.xml", "../../dehors.xml");
        link.external = UnixLink;
        return nextToExport(link);
    });
    add("symlink-then-through", [] {
        RawEntry link = stored("dossier", "..");
        link.external = UnixLink;
        return archiveOf({link, deflated("dossier/evil.xml", Export)});
    });

    add("duplicate-names", [] {
        return archiveOf(
            {deflated("classe.xml", Export), deflated("classe.xml", "<EVALUATION_NATIONALE/>\r\n")});
    });
    add("duplicate-separators", [=] {
        return archiveOf({dosName(deflated("export/classe.xml", Export)),
                          dosName(deflated("export\\classe.xml", "<EVALUATION_NATIONALE/>\r\n"))});
    });

    add("ratio-bomb", [=] {
        const std::string zeros(4u << 20, '\0');
        RawEntry bomb = deflated("bombe.xml", zeros);
        require(bomb.size / bomb.compressedSize > 1000, "the bomb compresses less than 1000 to 1");
        return nextToExport(bomb);
    });

    add("lying-size-deflated", [=] {
        RawEntry notes = deflated("notes.xml", Notes);
        notes.size = 100;
        return nextToExport(notes);
    });
    add("lying-size-stored", [=] {
        RawEntry notes = stored("notes.xml", Notes);
        notes.size = 100; // compressed size stays that of the data that follows
        return nextToExport(notes);
    });

    add("overlapping-entries", [] {
        RawZipWriter writer;
        const RawEntry export_ = deflated("classe.xml", Export);
        const std::uint32_t offset = writer.local(export_);
        writer.central(export_, offset);
        RawEntry copy = export_;
        copy.name = "copie.xml";
        writer.central(copy, offset);
        return writer.finish();
    });

    add("comment-too-long", [] {
        std::string comment;
        while (comment.size() < 65514)
            comment += "Export de la classe de CE2 A, ecole des Trois Chenes. ";
        comment.resize(65514);
        return archiveOf({deflated("classe.xml", Export)}, comment);
    });
    add("fake-end-record-comment", [] {
        // Two end records inside the comment, claiming a directory that is not where they say.
        std::string comment = "Export de la classe ";
        comment += RawEndRecord(1, 56, 0, 0);
        comment += " CE2 A ";
        comment += RawEndRecord(3, 200, 12, 9);
        comment += " fin.";
        return archiveOf({deflated("classe.xml", Export)}, comment);
    });
    add("fake-end-hidden-directory", [] {
        // The real end record's comment holds a second, complete directory and end record:
        // a reader that takes the last record sees "../evil.xml" over the export's data.
        const RawEntry export_ = deflated("classe.xml", Export);
        RawZipWriter writer;
        const std::uint32_t offset = writer.local(export_);
        writer.central(export_, offset);
        const std::string real = writer.finish();
        RawEntry evil = export_;
        evil.name = "../evil.xml";
        const std::string fakeDirectory = RawCentralHeader(evil, offset);
        const std::size_t fakeOffset = real.size(); // the comment starts right after the real record
        std::string comment =
            fakeDirectory + RawEndRecord(1, size32(fakeDirectory.size()), size32(fakeOffset), 0);
        std::string out = real;
        out[out.size() - 2] = static_cast<char>(comment.size() & 0xFF);
        out[out.size() - 1] = static_cast<char>(comment.size() >> 8);
        return out + comment;
    });

    add("truncated-in-data", [=] {
        const std::string bytes = control();
        return bytes.substr(0, 30 + 10 + (GetLe32(bytes, 18) / 2));
    });
    add("truncated-in-directory", [=] {
        const std::string bytes = control();
        const std::size_t end = bytes.size() - 22;
        const std::uint32_t directory = GetLe32(bytes, end + 16);
        return bytes.substr(0, directory + 20);
    });
    add("truncated-in-end-record", [=] {
        const std::string bytes = control();
        return bytes.substr(0, bytes.size() - 10);
    });
    add("truncated-member-stream", [] {
        // The deflate stream cut in half, and both headers made to agree with the cut.
        RawEntry notes = deflated("notes.xml", Notes);
        notes.payload.resize(notes.payload.size() / 2);
        notes.compressedSize = size32(notes.payload.size());
        return archiveOf({notes});
    });

    add("corrupt-member-stream", [] {
        // The first deflate block declares the reserved block type 3: invalid from its first bits.
        RawEntry notes = deflated("notes.xml", Notes);
        notes.payload[0] = static_cast<char>((notes.payload[0] & ~0x07) | 0x07);
        return archiveOf({notes});
    });

    add("header-mismatch-name", [] {
        RawZipWriter writer;
        const RawEntry export_ = deflated("classe.xml", Export);
        RawEntry other = export_;
        other.name = "autres.xml";
        const std::uint32_t offset = writer.local(other);
        writer.central(export_, offset);
        return writer.finish();
    });
    add("header-mismatch-size", [] {
        RawZipWriter writer;
        const RawEntry export_ = deflated("classe.xml", Export);
        RawEntry other = export_;
        other.size = export_.size + 1000;
        const std::uint32_t offset = writer.local(other);
        writer.central(export_, offset);
        return writer.finish();
    });

    add("crc-stored", [] {
        RawEntry e = stored("classe.xml", Export);
        e.crc ^= 0xFFFFFFFFu;
        return archiveOf({e});
    });
    add("crc-deflated", [] {
        RawEntry e = deflated("classe.xml", Export);
        e.crc ^= 0x00010000u;
        return archiveOf({e});
    });

    add("encrypted", [] {
        const std::string bytes = archiveOf({encrypted(deflated("classe.xml", Export), Password)});
        checkDecryption(bytes);
        return bytes;
    });

    add("unsupported-method", [] {
        RawEntry e = stored("classe.xml", Export);
        e.method = 14; // LZMA, in both headers
        return archiveOf({e});
    });

    add("stub-in-front", [] {
        std::string stub = "MZ";
        for (int i = 0; stub.size() < 1000; ++i)
            stub += static_cast<char>("Programme d'extraction. "[i % 24]);
        return archiveOf({deflated("classe.xml", Export)}, {}, stub);
    });

    add("data-descriptor", [] {
        return archiveOf(
            {withDescriptor(deflated("classe.xml", Export)), withDescriptor(deflated("notes.xml", Notes))});
    });
    add("data-descriptor-unsigned", [] {
        return archiveOf({withDescriptor(deflated("classe.xml", Export), false),
                          withDescriptor(deflated("notes.xml", Notes), false)});
    });
    add("extra-fields", [] {
        // As Unix zippers write them: an extended timestamp with modification and access times
        // in the local header, the modification time alone in the central one, and the owner.
        const auto field = [](std::uint16_t id, const std::string& data) {
            std::string out;
            PutLe16(out, id);
            PutLe16(out, size32(data.size()));
            return out + data;
        };
        std::string times;
        times += '\x03';
        PutLe32(times, 1160145000u);
        const std::string mtimeOnly = "\x01" + times.substr(1);
        PutLe32(times, 1160145000u);
        std::string owner = "\x01\x04";
        PutLe32(owner, 1000);
        owner += "\x04";
        PutLe32(owner, 1000);
        std::vector<RawEntry> entries = {deflated("classe.xml", Export), deflated("notes.xml", Notes)};
        for (RawEntry& e : entries) {
            e.localExtra = field(0x5455, times) + field(0x7875, owner);
            e.centralExtra = field(0x5455, mtimeOnly) + field(0x7875, owner);
        }
        return archiveOf(entries);
    });
    add("empty-member", [] { return archiveOf({stored("vide.xml", ""), deflated("classe.xml", Export)}); });
    add("folder-entries", [] {
        RawEntry entry = stored("export/", "");
        entry.external = (040755u << 16) | 0x10;
        return archiveOf({entry, deflated("export/classe.xml", Export)});
    });
    add("backslash-folder", [=] { return archiveOf({dosName(deflated("Export\\classe.xml", Export))}); });

    add("oem-names", [=] {
        // Code page 850: 0x82 is "é", 0x90 "É", 0x8A "è".
        return archiveOf({dosName(deflated("r\x82sultats.xml", Export)),
                          dosName(deflated("\x90l\x8Aves/liste.xml", Notes))});
    });
    add("unix-names", [] {
        // Host 3: the bytes are kept, and read as Windows-1252 (0x82 is a low quote there).
        return archiveOf({deflated("r\x82sultats.xml", Export), deflated("\xE9l\xE8ves.xml", Notes)});
    });

    add("padding-after-end", [=] { return control() + std::string(512, '\0'); });
    add("zip64-streamed", [] {
        // As a zip tool writes when it reads from a pipe: sizes unknown when the local header
        // went out (maximum there, zeros in its zip64 field), a descriptor with 8-byte sizes,
        // and a zip64 end record with its locator before the end record.
        RawEntry e = deflated("classe.xml", Export);
        e.flag |= FlagDescriptor;
        PutLe16(e.localExtra, 0x0001);
        PutLe16(e.localExtra, 16);
        e.localExtra += std::string(16, '\0');
        PutLe32(e.descriptor, 0x08074B50);
        PutLe32(e.descriptor, e.crc);
        PutLe32(e.descriptor, e.compressedSize);
        PutLe32(e.descriptor, 0);
        PutLe32(e.descriptor, e.size);
        PutLe32(e.descriptor, 0);
        std::string zip = archiveOf({e});
        for (std::size_t at : {std::size_t{18}, std::size_t{22}})
            zip.replace(at, 4, "\xFF\xFF\xFF\xFF");
        const std::size_t end = zip.size() - 22;
        const std::string directory = zip.substr(GetLe32(zip, end + 16), GetLe32(zip, end + 12));
        std::string tail;
        PutLe32(tail, 0x06064B50);
        PutLe32(tail, 44);
        PutLe32(tail, 0);
        PutLe16(tail, 0x031E);
        PutLe16(tail, 45);
        PutLe32(tail, 0);
        PutLe32(tail, 0);
        for (std::uint32_t v : {1u, 0u, 1u, 0u, size32(directory.size()), 0u, GetLe32(zip, end + 16), 0u})
            PutLe32(tail, v);
        PutLe32(tail, 0x07064B50);
        PutLe32(tail, 0);
        PutLe32(tail, size32(end));
        PutLe32(tail, 0);
        PutLe32(tail, 1);
        return zip.substr(0, end) + tail + zip.substr(end);
    });
    add("unicode-path-names", [=] {
        // An MS-DOS name in code page 850 with its UTF-8 name in a Unicode path field (0x7075),
        // as Windows zip tools write accented names.
        RawEntry e = dosName(deflated("r\x82sultats.xml", Export));
        PutLe16(e.centralExtra, 0x7075);
        PutLe16(e.centralExtra, size32(5 + std::string_view("résultats.xml").size()));
        e.centralExtra += '\x01';
        PutLe32(e.centralExtra, Crc32(e.name));
        e.centralExtra += "résultats.xml";
        e.localExtra = e.centralExtra;
        return archiveOf({e});
    });
    return list;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: zeb_make_corpus CORPUS_FOLDER\n";
        return 2;
    }
    // libzip turns the modification time into MS-DOS fields in local time.
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    const fs::path folder = argv[1];
    try {
        fs::create_directories(folder);
        for (const Case& c : cases(folder)) {
            const std::string bytes = c.make();
            const fs::path file = folder / (c.name + ".jad");
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            out.close();
            require(static_cast<bool>(out), "cannot write " + file.string());
            bool expected = false;
            for (const auto& item : fs::directory_iterator(folder)) {
                const std::string name = item.path().filename().string();
                expected =
                    expected || (name.rfind(c.name + ".", 0) == 0 && item.path().extension() == ".expected");
            }
            std::cout << file.string() << ": " << bytes.size() << " bytes"
                      << (expected ? "" : "  (no expectation beside it yet)") << '\n';
        }
    } catch (const std::exception& failure) {
        std::cerr << "zeb_make_corpus: " << failure.what() << '\n';
        return 1;
    }
    return 0;
}
