// What only Windows has: names it cannot hold, and links made through its own interface.

#include "ScriptedPrompts.h"
#include "TempFolder.h"
#include "ZipBuilder.h"
#include "archive/Zip.h"
#include "platform/Platform.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <windows.h>

using namespace zeb;
using namespace zeb::test;
namespace fs = std::filesystem;

// A device (CON, NUL...), a stream of another file ("a.xml:flux"), a final dot or space, a
// reserved character: each such member is refused by name; its neighbours, whose names only look
// alike, are extracted.
TEST(WindowsExtraction, WhatWindowsCannotHoldIsRefusedByNameAndTheRestExtracted) {
    const std::vector<std::string> refused = {
        "CON",  "aux.txt", "nul.tar.gz", "LPT1",    "com9.xml",         "a.xml:flux",
        "fin.", "espace ", "que?.xml",   "a<b.xml", "dossier/Nul/b.xml"};
    const std::vector<std::string> accepted = {"Console.xml", "con-seil.xml", "COM10.xml", "nul_.xml"};
    std::vector<StoredMember> members;
    for (const std::string& name : refused)
        members.push_back({name, "refus"});
    for (const std::string& name : accepted)
        members.push_back({name, "ok"});
    TempFolder temp;
    writeFile(temp / "noms.jad", StoredZip(members));
    const fs::path folder = temp / "extraction";
    fs::create_directory(folder);
    ScriptedPrompts prompts;
    FakeVolumes volumes;
    TZip zip(prompts, volumes);
    zip.ShowProgressDialog = false;
    zip.SetZipFileName(Utf8FromPath(temp / "noms.jad"));

    EXPECT_EQ(ExtractAllMembers(zip, Utf8FromPath(folder)), static_cast<std::int32_t>(accepted.size()));
    ASSERT_EQ(zip.LibraryMessages.size(), refused.size());
    for (std::size_t i = 0; i < refused.size(); ++i) {
        std::string listed = refused[i];
        std::replace(listed.begin(), listed.end(), '/', '\\');
        EXPECT_EQ(zip.LibraryMessages[i],
                  "Le membre « " + listed + " » a été refusé : son nom n'est pas permis sur ce système.");
    }
    std::vector<std::string> onDisk;
    for (const auto& item : fs::directory_iterator(folder))
        onDisk.push_back(Utf8FromPath(item.path().filename()));
    std::sort(onDisk.begin(), onDisk.end());
    std::vector<std::string> expected = accepted;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(onDisk, expected);
}

// A symbolic link to a folder outside, made the way a Windows program makes one, where a member's
// folder goes: the member is refused, nothing is written outside.
TEST(WindowsExtraction, AFolderLinkPlantedInTheFolderIsNotFollowed) {
    TempFolder temp;
    const fs::path outside = temp / "dehors";
    const fs::path folder = temp / "extraction";
    fs::create_directory(outside);
    fs::create_directory(folder);
    // Wine answers yes and makes nothing; Windows wants the developer mode or a privilege.
    if (!::CreateSymbolicLinkW((folder / "notes").c_str(), outside.c_str(),
                               SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) ||
        !fs::exists(fs::symlink_status(folder / "notes")))
        GTEST_SKIP() << "no link can be made here";
    writeFile(temp / "classe.jad", StoredZip({{"notes/classe.xml", "dehors"}, {"classe.xml", "dedans"}}));
    ScriptedPrompts prompts;
    FakeVolumes volumes;
    TZip zip(prompts, volumes);
    zip.ShowProgressDialog = false;
    zip.SetZipFileName(Utf8FromPath(temp / "classe.jad"));

    EXPECT_EQ(ExtractAllMembers(zip, Utf8FromPath(folder)), 1);
    ASSERT_EQ(zip.LibraryMessages.size(), 1u);
    EXPECT_NE(zip.LibraryMessages[0].find("un dossier de son chemin est un lien symbolique"),
              std::string::npos)
        << zip.LibraryMessages[0];
    EXPECT_TRUE(fs::is_empty(outside));
    EXPECT_EQ(readFile(folder / "classe.xml"), "dedans");
}
