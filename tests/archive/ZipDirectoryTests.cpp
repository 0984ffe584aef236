#include "ScriptedPrompts.h"
#include "TempFolder.h"
#include "ZipBuilder.h"
#include "archive/Zip.h"

#include <cstdio>
#include <gtest/gtest.h>

using namespace zeb;
using namespace zeb::test;

namespace {

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ZipException& error) {
        return error.what();
    }
    return "(no error)";
}

class ZipDirectoryTest : public ::testing::Test {
protected:
    std::string archive(const std::string& bytes, const char* name = "classe.jad") {
        writeFile(folder / name, bytes);
        return (folder / name).string();
    }
    TempFolder folder;
    ScriptedPrompts prompts;
    FakeVolumes volumes;
    TZip zip{prompts, volumes};
};

} // namespace

TEST_F(ZipDirectoryTest, ListsMembersWithTheirHeaders) {
    const std::string path =
        archive(StoredZip({{"dossier/classe.xml", "<x/>"}, {"lisez-moi.txt", "abc", 0x0314, 1}}));
    int changes = 0;
    zip.OnContentsChanged = [&](TZip& sender) {
        EXPECT_EQ(&sender, &zip);
        ++changes;
    };
    zip.SetZipFileName(path);
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(zip.Count(), 2);
    TFileInfoC entry;
    zip.GetEntry(0, entry);
    EXPECT_EQ(entry.FileName, "dossier\\classe.xml");
    EXPECT_EQ(entry.UncompressedSize, 4u);
    EXPECT_EQ(entry.Crc32, Crc32("<x/>"));
    EXPECT_EQ(entry.Signature, CentralHeaderSignature);
    EXPECT_FALSE(entry.Encrypted);
    zip.GetEntry(1, entry);
    EXPECT_TRUE(entry.Encrypted);
    EXPECT_EQ(zip.DataStart, 0);
    EXPECT_FALSE(zip.OemNames);
    EXPECT_EQ(messageOf([&] { zip.GetEntry(-1, entry); }), "Dépassement d'index");
    EXPECT_EQ(messageOf([&] { zip.GetEntry(2, entry); }), "Dépassement d'index");
}

TEST_F(ZipDirectoryTest, EmptyAndMissingArchives) {
    zip.SetZipFileName(archive(StoredZip({})));
    EXPECT_EQ(zip.Count(), 0);
    EXPECT_EQ(zip.EndRecord.Position, 0);

    const std::string missing = (folder / "nouvelle.jad").string();
    zip.SetZipFileName(missing);
    EXPECT_EQ(zip.Count(), 0);
    EXPECT_EQ(readFile(missing), std::string("PK\x05\x06", 4) + std::string(18, '\0'));

    int changes = 0;
    zip.OnContentsChanged = [&](TZip&) { ++changes; };
    zip.Password = "secret";
    zip.SetZipFileName("");
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(zip.Password.empty());
    EXPECT_EQ(zip.EndRecord.Position, -1);

    EXPECT_EQ(messageOf([&] { zip.SetZipFileName((folder / "absent" / "x.jad").string()); }),
              "Impossible de créer \n\"" + (folder / "absent" / "x.jad").string() + "\"");
    volumes.reachable = false;
    EXPECT_EQ(messageOf([&] { zip.SetZipFileName(missing); }),
              "Impossible d'accéder à l'unité, disque ou lecteur sélectionné !");
}

TEST_F(ZipDirectoryTest, EndRecordSearchStopsAtItsWindow) {
    zip.SetZipFileName(archive(StoredZip({{"a.xml", "1"}}, {.comment = std::string(100, 'c')})));
    EXPECT_EQ(zip.Count(), 1);
    EXPECT_EQ(zip.EndRecord.Comment, std::string(100, 'c'));

    // The record itself at 65,536 bytes from the end: outside the window.
    const std::string far =
        archive(StoredZip({{"a.xml", "1"}}, {.comment = std::string(65514, 'c')}), "far.jad");
    EXPECT_EQ(messageOf([&] { zip.SetZipFileName(far); }),
              "\"" + far + "\"\nn'est pas une archive Zip valide.");
    const std::string tiny = archive("PK\x05\x06", "tiny.jad");
    EXPECT_EQ(messageOf([&] { zip.SetZipFileName(tiny); }),
              "\"" + tiny + "\"\nn'est pas une archive Zip valide.");
    EXPECT_EQ(zip.Count(), 0);
}

TEST_F(ZipDirectoryTest, TheRecordNearestTheEndWins) {
    // A comment holding a fake end record: only signatures are compared, and the one nearest
    // the end of the file is taken, here the fake, which says the archive is empty.
    std::string fake;
    PutLe32(fake, 0x06054B50);
    fake += std::string(18, '\0');
    std::string bytes = StoredZip({{"a.xml", "1"}}, {.comment = fake + "yy"});
    zip.SetZipFileName(archive(bytes));
    EXPECT_EQ(zip.Count(), 0);
    EXPECT_EQ(zip.EndRecord.Position, static_cast<std::int32_t>(bytes.size() - 24));
}

TEST_F(ZipDirectoryTest, ImplausibleOrTruncatedDirectories) {
    const std::string many = archive(StoredZip({{"a", "1"}}, {.thisDisk = 1001}), "disks.jad");
    EXPECT_NE(messageOf([&] { zip.SetZipFileName(many); }).find("n'est pas une archive Zip valide."),
              std::string::npos);

    std::string bytes = StoredZip({{"a.xml", "1"}, {"b.xml", "2"}});
    // Claim a third entry: the central directory runs short.
    bytes[bytes.size() - 22 + 10] = 3;
    bytes[bytes.size() - 22 + 8] = 3;
    const std::string shortDirectory = archive(bytes, "short.jad");
    EXPECT_EQ(messageOf([&] { zip.SetZipFileName(shortDirectory); }),
              "Erreur lors de la lecture du bloc CentralFileHeader.");
    EXPECT_EQ(zip.Count(), 0);

    std::string wrong = StoredZip({{"a.xml", "1"}});
    wrong[wrong.find("PK\x01\x02") + 3] = 9;
    const std::string badSignature = archive(wrong, "sig.jad");
    EXPECT_EQ(messageOf([&] { zip.SetZipFileName(badSignature); }),
              "Erreur lors de la lecture du bloc CentralFileHeader.");
}

TEST_F(ZipDirectoryTest, AStubInFrontOfTheArchive) {
    for (bool counted : {true, false}) {
        zip.SetZipFileName(archive(
            StoredZip({{"a.xml", "1"}, {"b.xml", "22"}}, {std::string(1000, 'S'), counted}), "sfx.jad"));
        EXPECT_EQ(zip.Count(), 2) << counted;
        EXPECT_EQ(zip.DataStart, 1000) << counted;
    }
}

TEST_F(ZipDirectoryTest, PaddingAndZip64EndsAreRead) {
    const std::vector<StoredMember> members = {{"a.xml", "1"}, {"b.xml", "22"}};
    const std::string plain = StoredZip(members);
    const struct {
        const char* what;
        std::string bytes;
        std::int32_t dataStart;
    } cases[] = {
        {"padding", plain + std::string(512, '\0'), 0},
        {"zip64", WithZip64End(plain), 0},
        {"zip64 behind a stub", WithZip64End(StoredZip(members, {std::string(1000, 'S'), false})), 1000},
    };
    for (const auto& c : cases) {
        zip.SetZipFileName(archive(c.bytes, "ok.jad"));
        EXPECT_EQ(zip.Count(), 2) << c.what;
        EXPECT_EQ(zip.DataStart, c.dataStart) << c.what;
    }
    for (const std::string& bytes : {WithZip64End(plain, 70'000), WithZip64End(plain, 0, 0x1'0000'0000)})
        EXPECT_NE(messageOf([&] { zip.SetZipFileName(archive(bytes, "big.jad")); }).find("format Zip64"),
                  std::string::npos);
}

TEST_F(ZipDirectoryTest, NamesFromDosHostsAreConvertedUnixNamesKeptByteForByte) {
    zip.SetZipFileName(archive(StoredZip({{"r\x82sultats/\x82l\x8Ave.xml", "1", 0x0014, 0, "\x82"}})));
    EXPECT_TRUE(zip.OemNames);
    EXPECT_EQ(zip.Entries[0].FileName, "r\xE9sultats\\\xE9l\xE8ve.xml");
    EXPECT_EQ(zip.Entries[0].FileComment, "\xE9");

    zip.SetZipFileName(archive(StoredZip({{"\x82t\xC3\xA9.xml", "1", 0x0314}}), "unix.jad"));
    EXPECT_FALSE(zip.OemNames);
    EXPECT_EQ(zip.Entries[0].FileName, "\x82t\xC3\xA9.xml");

    // NTFS counts as OEM only when written by version 5.0; the first entry decides for all.
    EXPECT_TRUE(UsesOemNames(0x0B32));
    EXPECT_FALSE(UsesOemNames(0x0B14));
    EXPECT_TRUE(UsesOemNames(0x0614));
    zip.SetZipFileName(archive(StoredZip({{"a.xml", "1", 0x0314}, {"\x82.xml", "1", 0x0014}}), "mixed.jad"));
    EXPECT_EQ(zip.Entries[1].FileName, "\x82.xml");
}

TEST_F(ZipDirectoryTest, SpannedArchiveAsksForTheLastDisk) {
    // A disk of a spanned archive without the end record: the user is asked for the last
    // disk, and the file on it is read once she says OK.
    const std::string path = archive("no end record on this disk");
    volumes.removable = true;
    volumes.label = "PKBACK# 002";
    prompts.answers = {MessageAnswer::Cancel};
    zip.SetZipFileName(path);
    EXPECT_EQ(zip.Count(), 0);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text,
              "Ceci est le [ Disque 2 ] de l'archive Zip découpée.\nInserez la dernière "
              "disquette de cette archive puis pressez [ OK ] pour continuer ...");
    EXPECT_EQ(prompts.asked[0].buttons, MessageButtons::OkCancel);

    prompts.answers = {MessageAnswer::Ok};
    prompts.asked.clear();
    // "Inserting" the last disk: the same path now holds a whole archive.
    volumes.onLabel = [&] { writeFile(path, StoredZip({{"a.xml", "1"}})); };
    zip.SetZipFileName(path);
    EXPECT_EQ(zip.Count(), 1);
    EXPECT_EQ(prompts.asked.size(), 1u);

    volumes.label = "PKBACK# 0x2";
    EXPECT_EQ(zip.DiskNumberOfVolume(path), 0);
    volumes.label = "PKBACK#002";
    EXPECT_EQ(zip.DiskNumberOfVolume(path), 0);
    volumes.removable = false;
    volumes.label = "PKBACK# 002";
    EXPECT_EQ(zip.DiskNumberOfVolume(path), 0);
}

TEST_F(ZipDirectoryTest, ASpannedArchiveListsFromItsDisksButDoesNotExtract) {
    // The end record is on the second disk, the central directory starts on the first.
    const std::string path =
        archive(StoredZip({{"a.xml", "1"}, {"b.xml", "2"}}, {.thisDisk = 1, .centralDirDisk = 0}));
    volumes.removable = true;
    volumes.label = "PKBACK# 002";
    int reads = 0;
    volumes.onLabel = [&] {
        if (++reads == 2) // the user inserts disk 1 after the first question
            volumes.label = "PKBACK# 001";
    };
    prompts.answers = {MessageAnswer::Ok};
    zip.SetZipFileName(path);
    ASSERT_EQ(zip.Count(), 2);
    EXPECT_EQ(zip.DataStart, 0);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_NE(prompts.asked[0].text.find("[ Disque 1 ]"), std::string::npos);

    zip.FileSpecs = {"a.xml"};
    EXPECT_EQ(zip.Extract(), 0);
    EXPECT_NE(prompts.asked.back().text.find("archive découpée"), std::string::npos);

    // Giving up on the disk leaves the directory empty, quietly.
    volumes.label = "PKBACK# 002";
    reads = 5;
    prompts.answers = {MessageAnswer::Cancel};
    zip.SetZipFileName(path);
    EXPECT_EQ(zip.Count(), 0);
}

TEST_F(ZipDirectoryTest, AskForDiskUntilTheRightLabel) {
    const std::string path = archive(StoredZip({}));
    volumes.removable = true;
    volumes.label = "PKBACK# 001";
    int reads = 0;
    volumes.onLabel = [&] {
        if (++reads == 3)
            volumes.label = "PKBACK# 003";
    };
    prompts.answers = {MessageAnswer::Ok, MessageAnswer::Ok};
    EXPECT_TRUE(zip.AskForDisk(path, 3));
    ASSERT_FALSE(prompts.asked.empty());
    EXPECT_EQ(prompts.asked[0].text, "Inserez le [ Disque 3 ] de l'archive Zip découpée dans le lecteur de "
                                     "disquette\nensuite pressez [ OK ] pour continuer ...");
    prompts.answers = {MessageAnswer::Cancel};
    EXPECT_FALSE(zip.AskForDisk(path, 5));
}
