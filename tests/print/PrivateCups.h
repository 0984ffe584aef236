#pragma once

// A CUPS daemon of the tests' own, in a temporary folder, so that printing can be exercised for real
// without touching, or depending on, the system's printing.

#include "Restorers.h"

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zeb::testing {

struct CapturedJob {
    int id = 0;                 // CUPS job id
    std::string title;          // the job's title as the backend got it
    std::filesystem::path data; // file holding the job's data exactly as the backend got it
};

class PrivateCups {
public:
    // Starts a private cupsd in a fresh temporary folder and points this process at it (CUPS_SERVER
    // and cupsSetServer; PRINTER and LPDEST are unset so no outside default leaks in). Returns
    // nullptr and fills whyNot with a sentence saying why when it cannot start. cupsd is told to stop when
    // the thread that started it ends (so a crashed test leaves none behind): start it from the main thread.
    static std::unique_ptr<PrivateCups> Start(std::string& whyNot);
    // Stops cupsd, removes the folder, and gives back CUPS_SERVER, PRINTER and LPDEST as they were.
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    std::filesystem::path Folder() const { return folder_; }
    std::string SocketPath() const;

    // Queue administration; each throws std::runtime_error carrying cupsd's reason when refused.
    // A capture queue is raw: its backend saves exactly the bytes submitted.
    void AddCaptureQueue(const std::string& name, bool makeDefault = true);
    void RemoveQueue(const std::string& name); // also forgets the jobs it captured
    void RejectJobs(const std::string& name);
    void AcceptJobs(const std::string& name);
    void Pause(const std::string& name); // jobs are still accepted but wait
    void Resume(const std::string& name);
    void ClearDefault(); // no default printer any more; the queues stay as they are
    // The start of a shell command running lpadmin on this server, for what IPP alone cannot set
    // (quotas, a PPD). lpadmin lives in an sbin folder, which an ordinary user's PATH often lacks.
    std::string AdminCommand() const;

    // Jobs the capture backend has finished saving for this queue, in job-id order.
    std::vector<CapturedJob> Jobs(const std::string& queue) const;
    // Waits until at least `count` jobs are saved for the queue or the timeout passes; returns Jobs(queue).
    std::vector<CapturedJob> WaitForJobs(const std::string& queue, std::size_t count,
                                         std::chrono::milliseconds timeout) const;
    void ClearJobs(const std::string& queue);
    std::string ErrorLog() const; // the daemon's error_log, for failure messages

private:
    explicit PrivateCups(std::filesystem::path folder);
    void Launch(const std::string& cupsd);
    void PointProcessHere();
    void SendAdmin(int operation, const std::string& queue, const char* what,
                   const std::string& deviceUri = {}) const;
    std::filesystem::path CaptureFolder(const std::string& queue) const;

    std::filesystem::path folder_;
    pid_t pid_ = -1;
    std::optional<test::EnvironmentRestorer> environment_; // once the process is pointed here
    // When cupsd runs as root its backends run as lp, who must be able to write the capture folders.
    std::optional<uid_t> backendUid_;
    std::optional<gid_t> backendGid_;
};

// One daemon shared by the whole test binary, started on first use (never while tests are only being
// listed); nullptr with whyNot filled when it cannot start.
PrivateCups* SharedCups(std::string& whyNot);

// Where a print server is known to be there (the CI sets ZEB_REQUIRE_CUPS=1), one that does not
// start is a failure to report, not a reason to skip the printing tests.
inline bool CupsRequired() {
    const char* required = std::getenv("ZEB_REQUIRE_CUPS");
    return required != nullptr && std::string(required) == "1";
}

} // namespace zeb::testing
