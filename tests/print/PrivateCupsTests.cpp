// The private CUPS daemon does its job: what is printed to it is captured exactly, its queues obey
// administration, and it keeps to its folder and leaves nothing behind.

#include "PrivateCups.h"
#include "TempFolder.h"

#include <csignal>
#include <cstdlib>
#include <cups/cups.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zeb::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kJobTimeout = 10s;

std::string EveryByte() {
    std::string bytes = "%PDF-1.4\n";
    for (int value = 0; value < 256; ++value)
        bytes += static_cast<char>(value);
    return bytes;
}

// Submits the bytes through libcups as a client program would; the job id, or 0 when refused.
int Print(const PrivateCups& cups, const std::string& queue, const std::string& title,
          const std::string& bytes) {
    static int submitted = 0;
    const fs::path folder = cups.Folder() / "client";
    fs::create_directories(folder);
    const fs::path file = folder / ("submitted-" + std::to_string(++submitted));
    std::ofstream(file, std::ios::binary) << bytes;
    return cupsPrintFile(queue.c_str(), file.c_str(), title.c_str(), 0, nullptr);
}

std::optional<std::string> Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

class PrivateCupsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string whyNot;
        cups_ = SharedCups(whyNot);
        if (cups_ == nullptr) {
            if (zeb::testing::CupsRequired())
                FAIL() << "the print server did not start: " << whyNot;
            GTEST_SKIP() << whyNot;
        }
        queue_ = std::string("zeb-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        cups_->AddCaptureQueue(queue_);
    }
    void TearDown() override {
        if (cups_ != nullptr)
            cups_->RemoveQueue(queue_);
    }

    int Print(const std::string& title, const std::string& bytes) {
        return testing::Print(*cups_, queue_, title, bytes);
    }

    PrivateCups* cups_ = nullptr;
    std::string queue_;
};

TEST_F(PrivateCupsTest, CapturesTheTitleAndBytesExactly) {
    const std::string bytes = EveryByte();
    const int id = Print("Fiche élève 1", bytes);
    ASSERT_GT(id, 0) << cupsLastErrorString();

    const std::vector<CapturedJob> jobs = cups_->WaitForJobs(queue_, 1, kJobTimeout);
    ASSERT_EQ(jobs.size(), 1u) << cups_->ErrorLog();
    EXPECT_EQ(jobs[0].id, id);
    EXPECT_EQ(jobs[0].title, "Fiche élève 1");
    EXPECT_EQ(zeb::test::readFile(jobs[0].data), bytes);
}

// Enough jobs for the ids to pass a power of ten, where an order by name would go wrong.
TEST_F(PrivateCupsTest, GivesSeveralJobsInOrderUntilCleared) {
    std::vector<int> ids;
    for (int n = 1; n <= 11; ++n) {
        ids.push_back(Print("Fiche " + std::to_string(n), "page " + std::to_string(n)));
        ASSERT_GT(ids.back(), 0) << cupsLastErrorString();
    }

    const std::vector<CapturedJob> jobs = cups_->WaitForJobs(queue_, ids.size(), kJobTimeout);
    ASSERT_EQ(jobs.size(), ids.size()) << cups_->ErrorLog();
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        EXPECT_EQ(jobs[i].id, ids[i]);
        EXPECT_EQ(jobs[i].title, "Fiche " + std::to_string(i + 1));
        EXPECT_EQ(zeb::test::readFile(jobs[i].data), "page " + std::to_string(i + 1));
    }

    cups_->ClearJobs(queue_);
    EXPECT_TRUE(cups_->Jobs(queue_).empty());
}

TEST_F(PrivateCupsTest, RejectingQueueRefusesJobsUntilAccepting) {
    cups_->RejectJobs(queue_);
    EXPECT_EQ(Print("refused", "x"), 0);
    EXPECT_GT(cupsLastError(), IPP_STATUS_OK_EVENTS_COMPLETE);

    cups_->AcceptJobs(queue_);
    ASSERT_GT(Print("accepted", "y"), 0) << cupsLastErrorString();
    const std::vector<CapturedJob> jobs = cups_->WaitForJobs(queue_, 1, kJobTimeout);
    ASSERT_EQ(jobs.size(), 1u) << cups_->ErrorLog();
    EXPECT_EQ(jobs[0].title, "accepted");
}

TEST_F(PrivateCupsTest, PausedQueueHoldsJobsUntilResumed) {
    cups_->Pause(queue_);
    ASSERT_GT(Print("held", "z"), 0) << cupsLastErrorString();
    // An enabled queue captures a job in a few tens of milliseconds.
    EXPECT_TRUE(cups_->WaitForJobs(queue_, 1, 300ms).empty());

    cups_->Resume(queue_);
    EXPECT_EQ(cups_->WaitForJobs(queue_, 1, kJobTimeout).size(), 1u) << cups_->ErrorLog();
}

std::string DefaultDestination() {
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    const cups_dest_t* found = cupsGetDest(nullptr, nullptr, count, dests);
    std::string name = found != nullptr ? found->name : "";
    cupsFreeDests(count, dests);
    return name;
}

TEST_F(PrivateCupsTest, ClearDefaultLeavesNoDefaultAndTheQueuesWorking) {
    EXPECT_EQ(DefaultDestination(), queue_);
    const std::string other = queue_ + "-other";
    cups_->AddCaptureQueue(other, false);
    EXPECT_EQ(DefaultDestination(), queue_);

    cups_->ClearDefault();
    EXPECT_EQ(DefaultDestination(), "");
    ASSERT_GT(Print("still printing", "a"), 0) << cupsLastErrorString();
    ASSERT_GT(testing::Print(*cups_, other, "also printing", "b"), 0) << cupsLastErrorString();
    EXPECT_EQ(cups_->WaitForJobs(queue_, 1, kJobTimeout).size(), 1u) << cups_->ErrorLog();
    EXPECT_EQ(cups_->WaitForJobs(other, 1, kJobTimeout).size(), 1u) << cups_->ErrorLog();
    cups_->RemoveQueue(other);
}

TEST_F(PrivateCupsTest, RefusedAdministrationThrowsWithTheReason) {
    try {
        cups_->Pause("zeb-never-added");
        ADD_FAILURE() << "pausing a queue that does not exist went through";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("zeb-never-added"), std::string::npos) << e.what();
    }
    EXPECT_THROW(cups_->RemoveQueue("zeb-never-added"), std::runtime_error);
    EXPECT_THROW(cups_->AddCaptureQueue("with space"), std::runtime_error);
}

// Where the system's cupsd keeps its state: a private daemon that lacked a directive would write there.
std::map<std::string, std::string> SystemCupsFiles() {
    std::map<std::string, std::string> files;
    const auto options = fs::directory_options::skip_permission_denied;
    for (const char* root :
         {"/etc/cups", "/var/spool/cups", "/var/cache/cups", "/var/log/cups", "/run/cups"}) {
        std::error_code error;
        for (fs::recursive_directory_iterator it(root, options, error), end; !error && it != end;
             it.increment(error)) {
            std::error_code ignored;
            const auto size = it->is_regular_file(ignored) ? it->file_size(ignored) : 0;
            const auto modified = it->last_write_time(ignored).time_since_epoch().count();
            files[it->path().string()] = std::to_string(size) + " bytes, time " + std::to_string(modified);
        }
    }
    return files;
}

std::vector<pid_t> ProcessesMentioning(const std::string& text) {
    std::vector<pid_t> found;
    std::error_code error;
    for (fs::directory_iterator it("/proc", error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.find_first_not_of("0123456789") == std::string::npos &&
            zeb::test::readFile(it->path() / "cmdline").find(text) != std::string::npos)
            found.push_back(std::stoi(name));
    }
    return found;
}

TEST(PrivateCups, KeepsToItsFolderAndLeavesNothingBehind) {
    const auto systemFiles = SystemCupsFiles();
    const std::optional<std::string> serverBefore = Env("CUPS_SERVER");
    std::string whyNot;
    std::unique_ptr<PrivateCups> cups = PrivateCups::Start(whyNot);
    if (cups == nullptr) {
        if (zeb::testing::CupsRequired())
            FAIL() << "the print server did not start: " << whyNot;
        GTEST_SKIP() << whyNot;
    }
    const fs::path folder = cups->Folder();
    EXPECT_EQ(Env("CUPS_SERVER"), cups->SocketPath());
    EXPECT_EQ(std::string(cupsServer()), cups->SocketPath());
    EXPECT_EQ(cups->SocketPath().rfind(folder.string() + "/", 0), 0u);

    cups->AddCaptureQueue("zeb-probe");
    ASSERT_GT(Print(*cups, "zeb-probe", "probe", "data"), 0) << cupsLastErrorString();
    const std::vector<CapturedJob> jobs = cups->WaitForJobs("zeb-probe", 1, kJobTimeout);
    ASSERT_EQ(jobs.size(), 1u) << cups->ErrorLog();
    EXPECT_EQ(jobs[0].data.string().rfind(folder.string() + "/", 0), 0u);
    // The daemon, not its backend, whose arguments may also name the folder for a moment.
    const std::vector<pid_t> daemons = ProcessesMentioning((folder / "etc/cupsd.conf").string());
    ASSERT_EQ(daemons.size(), 1u);

    cups.reset();
    // Not even a zombie: kill() still finds one of those.
    EXPECT_NE(::kill(daemons[0], 0), 0);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(Env("CUPS_SERVER"), serverBefore);
    EXPECT_NE(std::string(cupsServer()), folder.string() + "/run/cups.sock");
    EXPECT_EQ(SystemCupsFiles(), systemFiles);
}

} // namespace
} // namespace zeb::testing
