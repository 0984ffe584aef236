// Archives refused as a whole: nothing is extracted from an archive that two readers could
// see differently, and nothing from a run that could not be completed.

#include "UnzDllTestSupport.h"
#include "ZipBuilder.h"

namespace zeb::test {
namespace {

using A = UnzipAction;

class UnzDllArchive : public UnzDllTest {
protected:
    // The run is refused before it opens: one message, the error, nothing on disk.
    void expectRefused(std::int32_t error, std::int32_t code, const std::vector<std::string>& names) {
        EXPECT_EQ(run(names), error);
        EXPECT_EQ(actions(), std::vector<std::int32_t>{A::UNZIP_ACTION_MESSAGE});
        EXPECT_EQ(messageCodes(), std::vector<std::int32_t>{code});
        EXPECT_TRUE(outputTree().empty());
    }
};

TEST_F(UnzDllArchive, MissingArchiveSaysSo) {
    expectRefused(UNZDLL_ERROR_ARCHIVE, UNZDLL_MSG_ARCHIVE_UNREADABLE, {"classe.xml"});
    EXPECT_NE(events[0].text.find("fichier introuvable"), std::string::npos) << events[0].text;
}

TEST_F(UnzDllArchive, TruncatedArchiveIsNotAnArchive) {
    const std::string zip = LibzipZip({{"classe.xml", Noise(20'000)}, {"notes.txt", "notes"}});
    writeArchive(zip.substr(0, zip.size() / 2));
    expectRefused(UNZDLL_ERROR_ARCHIVE, UNZDLL_MSG_ARCHIVE_UNREADABLE, {"classe.xml"});
}

TEST_F(UnzDllArchive, DirectoryCutShortIsRefused) {
    std::string zip = LibzipZip({{"classe.xml", "<classe/>"}, {"notes.txt", "notes"}});
    SetLe16(zip, EndRecord(zip) + 8, 3); // three entries announced, two there
    SetLe16(zip, EndRecord(zip) + 10, 3);
    writeArchive(zip);
    expectRefused(UNZDLL_ERROR_ARCHIVE, UNZDLL_MSG_DIRECTORY_DAMAGED, {"classe.xml"});
}

TEST_F(UnzDllArchive, SpannedArchiveIsRefused) {
    std::string zip = LibzipZip({{"classe.xml", "<classe/>"}});
    SetLe16(zip, EndRecord(zip) + 4, 1);
    writeArchive(zip);
    expectRefused(UNZDLL_ERROR_ARCHIVE, UNZDLL_MSG_ARCHIVE_SPANNED, {"classe.xml"});
}

TEST_F(UnzDllArchive, DuplicateNamesAreRefused) {
    std::string zip = LibzipZip({{"a.xml", "premier"}, {"b.xml", "second"}});
    RenameEverywhere(zip, "b.xml", "a.xml");
    writeArchive(zip);
    expectRefused(UNZDLL_ERROR_ARCHIVE, UNZDLL_MSG_DUPLICATE_NAMES, {"a.xml"});
}

TEST_F(UnzDllArchive, NamesThatOnlyDifferBySlashOrBackslashAreDuplicates) {
    // libzip sees two names; the caller would see one.
    writeArchive(LibzipZip({{"notes/a.xml", "premier"}, {"notes\\a.xml", "second"}}));
    expectRefused(UNZDLL_ERROR_ARCHIVE, UNZDLL_MSG_DUPLICATE_NAMES, {"notes\\a.xml"});
}

TEST_F(UnzDllArchive, NamesThatOnlyDifferByCaseAreNotDuplicates) {
    writeArchive(LibzipZip({{"Classe.xml", "premier"}, {"classe.xml", "second"}}));
    // A disk that ignores case (Windows') holds one file for both: the second member meets the
    // first there, and the caller is asked about it as about any file in the way.
    writeFile(out() / "Sonde", "");
    const bool diskIgnoresCase = std::filesystem::exists(out() / "sonde");
    std::filesystem::remove(out() / "Sonde");
    if (diskIgnoresCase) {
        ASSERT_EQ(run({"Classe.xml", "classe.xml"}), 1);
        EXPECT_EQ(eventsOf(A::UNZIP_ACTION_OVERWRITE).size(), 1u);
        EXPECT_EQ(output("Classe.xml"), "premier");
    } else {
        ASSERT_EQ(run({"Classe.xml", "classe.xml"}), 2);
        EXPECT_EQ(output("classe.xml"), "second");
    }
}

TEST_F(UnzDllArchive, TwoEntriesOnTheSameDataAreRefused) {
    std::string zip = LibzipZip({{"a.xml", ExportText(3000)}, {"b.xml", ExportText(3000)}});
    const std::vector<EntryOffsets> entries = Entries(zip);
    SetLe32(zip, entries[1].central + 42, static_cast<std::uint32_t>(entries[0].local));
    writeArchive(zip);
    expectRefused(UNZDLL_ERROR_ARCHIVE, UNZDLL_MSG_MEMBERS_OVERLAP, {"a.xml"});
}

TEST_F(UnzDllArchive, DataRunningIntoTheNextMemberIsRefused) {
    std::string zip = LibzipZip({{"a.xml", Noise(3000), 0}, {"b.xml", Noise(3000), 0}});
    const std::vector<EntryOffsets> entries = Entries(zip);
    PatchBoth32(zip, 0, CompressedField[0], CompressedField[1], 3001);
    PatchBoth32(zip, 0, SizeField[0], SizeField[1], 3001);
    writeArchive(zip);
    expectRefused(UNZDLL_ERROR_ARCHIVE, UNZDLL_MSG_MEMBERS_OVERLAP, {"b.xml"});
}

TEST_F(UnzDllArchive, DataDescriptorsWithAndWithoutSignatureAreMeasuredExactly) {
    // Members packed back to back: a descriptor counted too long or too short would make
    // them overlap or leave the next header unfound.
    const std::string first = "<premier/>";
    const std::string second = "<second/>";
    auto described = [](std::string name, const std::string& data, bool signature) {
        RawEntry entry = RawEntry::Stored(std::move(name), data);
        entry.flag = 0x0008;
        std::string descriptor = signature ? std::string("PK\x07\x08", 4) : std::string();
        std::string fields(12, '\0');
        SetLe32(fields, 0, entry.crc);
        SetLe32(fields, 4, entry.compressedSize);
        SetLe32(fields, 8, entry.size);
        entry.descriptor = descriptor + fields;
        return entry;
    };
    writeArchive(RawZip({described("a.xml", first, true), described("b.xml", second, false),
                         RawEntry::Stored("c.xml", "<troisieme/>")}));
    ASSERT_EQ(run({"a.xml", "b.xml", "c.xml"}), 3);
    EXPECT_EQ(output("a.xml"), first);
    EXPECT_EQ(output("b.xml"), second);
}

// What other writers make of a good export: padding after the end record, zip64 records and
// fields, a DOS name with its Unicode path.
std::string withZip64Fields() {
    // The central header leaves its size and offset to the zip64 field.
    const std::string data = "<classe/>";
    RawEntry entry = RawEntry::Stored("classe.xml", data);
    entry.size = 0xFFFFFFFFu;
    entry.centralExtra = std::string(20, '\0');
    SetLe16(entry.centralExtra, 0, 0x0001);
    SetLe16(entry.centralExtra, 2, 16);
    SetLe32(entry.centralExtra, 4, static_cast<std::uint32_t>(data.size()));
    std::string zip = RawZip({entry});
    SetLe32(zip, 22, static_cast<std::uint32_t>(data.size())); // the local header has the real size
    SetLe32(zip, Entries(zip)[0].central + 42, 0xFFFFFFFFu);
    return zip;
}

std::string streamedFromAPipe() {
    // Sizes unknown when the local header was written: a zip64 field of zeros there, then
    // a descriptor with 8-byte sizes, and a zip64 end.
    const std::string data = "<classe/>";
    RawEntry entry = RawEntry::Stored("classe.xml", data);
    entry.flag = 0x0008;
    entry.localExtra = std::string(20, '\0');
    SetLe16(entry.localExtra, 0, 0x0001);
    SetLe16(entry.localExtra, 2, 16);
    entry.descriptor = std::string("PK\x07\x08", 4) + std::string(20, '\0');
    SetLe32(entry.descriptor, 4, entry.crc);
    SetLe32(entry.descriptor, 8, entry.compressedSize);
    SetLe32(entry.descriptor, 16, entry.size);
    std::string zip = RawZip({entry});
    SetLe32(zip, 18, 0xFFFFFFFFu);
    SetLe32(zip, 22, 0xFFFFFFFFu);
    return WithZip64End(zip);
}

std::string dosNameWithUnicodePath() {
    // "Élèves.xml" in code page 850, and its UTF-8 name in a 0x7075 field.
    const std::string stored = "\x90l\x8Aves.xml";
    const std::string utf8 = "\xC3\x89l\xC3\xA8ves.xml";
    RawEntry entry = RawEntry::Stored(stored, "<classe/>");
    entry.madeBy = 0x0014; // MS-DOS
    std::string field = std::string(4, '\0') + '\x01' + std::string(4, '\0') + utf8;
    SetLe16(field, 0, 0x7075);
    SetLe16(field, 2, static_cast<std::uint16_t>(field.size() - 4));
    SetLe32(field, 5, Crc32(stored));
    entry.centralExtra = entry.localExtra = field;
    return RawZip({entry});
}

TEST_F(UnzDllArchive, GoodExportsAsOtherWritersMakeThemAreExtracted) {
    const std::string plain = LibzipZip({{"classe.xml", "<classe/>"}});
    const struct {
        const char* what;
        std::string zip;
        std::string listed;
    } cases[] = {
        {"512 zero bytes after the end record", plain + std::string(512, '\0'), "classe.xml"},
        {"zip64 end record", WithZip64End(plain), "classe.xml"},
        {"zip64 size and offset in the central header", withZip64Fields(), "classe.xml"},
        {"streamed from a pipe", streamedFromAPipe(), "classe.xml"},
        {"DOS name with a Unicode path", dosNameWithUnicodePath(), "\xC9l\xE8ves.xml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        events.clear();
        for (const auto& left : std::filesystem::directory_iterator(out()))
            std::filesystem::remove_all(left.path());
        writeArchive(c.zip);
        EXPECT_EQ(run({c.listed}), 1);
        EXPECT_TRUE(messageCodes().empty())
            << (messageCodes().empty() ? "" : eventsOf(A::UNZIP_ACTION_MESSAGE)[0].text);
        EXPECT_EQ(outputTree().size(), 1u);
    }
}

TEST_F(UnzDllArchive, Zip64ValuesBeyondTheReaderSaySo) {
    const std::string plain = LibzipZip({{"classe.xml", "<classe/>"}});
    for (const std::string& zip : {WithZip64End(plain, 70'000), WithZip64End(plain, 0, 0x1'0000'0000)}) {
        events.clear();
        writeArchive(zip);
        expectRefused(UNZDLL_ERROR_ARCHIVE, UNZDLL_MSG_ZIP64_TOO_LARGE, {"classe.xml"});
        EXPECT_NE(events[0].text.find("Zip64"), std::string::npos) << events[0].text;
    }
}

TEST_F(UnzDllArchive, DescriptorThatContradictsTheCentralHeaderIsRefused) {
    RawEntry entry = RawEntry::Stored("classe.xml", "<classe/>");
    entry.flag = 0x0008;
    entry.descriptor = std::string("PK\x07\x08", 4) + std::string(12, '\0');
    SetLe32(entry.descriptor, 4, entry.crc);
    SetLe32(entry.descriptor, 8, entry.compressedSize);
    SetLe32(entry.descriptor, 12, entry.size + 1);
    writeArchive(RawZip({entry}));
    expectRefused(UNZDLL_ERROR_ARCHIVE, UNZDLL_MSG_INCONSISTENT, {"classe.xml"});
}

TEST_F(UnzDllArchive, UnsupportedMethodStopsTheWholeRunBeforeAnyFile) {
    std::string zip = LibzipZip({{"classe.xml", ExportText(5000)}, {"lzma.xml", ExportText(5000)}});
    PatchBoth16(zip, 1, MethodField[0], MethodField[1], 14);
    writeArchive(zip);
    expectRefused(UNZDLL_ERROR_UNSUPPORTED, UNZDLL_MSG_UNSUPPORTED_METHOD, {"classe.xml", "lzma.xml"});
    EXPECT_NE(events[0].text.find("lzma.xml"), std::string::npos);
    EXPECT_NE(events[0].text.find("14"), std::string::npos);

    events.clear();
    EXPECT_EQ(run({"classe.xml"}), 1) << "a member nobody asked for does not matter";
}

TEST_F(UnzDllArchive, EveryUnsupportedMemberIsNamed) {
    std::string zip = LibzipZip({{"a.xml", "a"}, {"b.xml", "b"}, {"c.xml", "c"}});
    PatchBoth16(zip, 0, MethodField[0], MethodField[1], 14);
    // Strong encryption: bits 0 and 6.
    PatchBoth16(zip, 2, 6, 8, 0x0041);
    writeArchive(zip);
    EXPECT_EQ(run({"a.xml", "b.xml", "c.xml"}), UNZDLL_ERROR_UNSUPPORTED);
    EXPECT_EQ(messageCodes(),
              (std::vector<std::int32_t>{UNZDLL_MSG_UNSUPPORTED_METHOD, UNZDLL_MSG_UNSUPPORTED_ENCRYPTION}));
    EXPECT_TRUE(outputTree().empty());
}

} // namespace
} // namespace zeb::test
