// What the disk sees of a member being written, the modes it gets, and a disk that fills up:
// POSIX only.

#include "UnzDllTestSupport.h"

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Armed, every write to a regular file fails as on a full disk. The test program exports
// this write(), so the library, loaded later, calls it instead of the C library's.
std::atomic<bool> diskFull{false};

} // namespace

extern "C" ssize_t write(int fd, const void* data, std::size_t size) {
    using Write = ssize_t (*)(int, const void*, std::size_t);
    static const auto next = reinterpret_cast<Write>(::dlsym(RTLD_NEXT, "write"));
    struct stat info {};
    if (diskFull && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        errno = ENOSPC;
        return -1;
    }
    return next(fd, data, size);
}

namespace zeb::test {
namespace {

using A = UnzipAction;

TEST_F(UnzDllTest, MemberIsInvisibleOnDiskUntilComplete) {
    const int probe = ::open(out().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (probe < 0)
        GTEST_SKIP() << "no unnamed files on this file system: the hidden name is used";
    ::close(probe);
    writeArchive(LibzipZip({{"classe.xml", ExportText(200'000)}}));
    std::vector<std::vector<std::string>> seen;
    answer = [&](UnzipCallbackInfo& info) {
        if (info.ActionCode == A::UNZIP_ACTION_PROGRESS)
            seen.push_back(outputTree());
        return 0;
    };
    ASSERT_EQ(run({"classe.xml"}), 1);
    ASSERT_FALSE(seen.empty());
    for (const std::vector<std::string>& tree : seen)
        EXPECT_TRUE(tree.empty()) << tree.front();
    EXPECT_EQ(outputTree(), std::vector<std::string>{"classe.xml"});
}

TEST_F(UnzDllTest, FilesAndFoldersMadeAreTheUsersOnly) {
    writeArchive(LibzipZip({{"notes/bilan.txt", "y"}}));
    ASSERT_EQ(run({"notes\\bilan.txt"}), 1);
    for (const auto& [path, mode] :
         {std::pair{out() / "notes/bilan.txt", 0600u}, std::pair{out() / "notes", 0700u}}) {
        struct stat info {};
        ASSERT_EQ(::lstat(path.c_str(), &info), 0) << path;
        EXPECT_EQ(info.st_mode & 07777, mode) << path;
    }
}

TEST_F(UnzDllTest, FullDiskSaysSoAndLeavesNothing) {
    writeArchive(LibzipZip({{"dossier/classe.xml", ExportText(20'000)}}));
    diskFull = true;
    const std::int32_t written = run({"dossier\\classe.xml"});
    diskFull = false;
    EXPECT_EQ(written, 0);
    EXPECT_EQ(messageCodes(), std::vector<std::int32_t>{UNZDLL_MSG_WRITE_FAILED});
    EXPECT_NE(eventsOf(A::UNZIP_ACTION_MESSAGE).at(0).text.find("le disque est plein"), std::string::npos);
    EXPECT_TRUE(outputTree().empty());
}

} // namespace
} // namespace zeb::test
