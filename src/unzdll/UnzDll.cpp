// The unzip library (libunzdll.so, unzdll.dll): extracts members of a zip archive into the
// current folder for the unzip component. Stored and deflated members are inflated here with
// zlib, the others through libzip, loaded when an archive has such a member (and refused where
// the library is built without it); everything that touches the disk is done here, through the
// platform's extraction folder. The interface is zipformat/ZipDlls.h; the messages are
// zipformat/UnzDllMessages.h.

#include "Archive.h"
#include "MemberName.h"
#include "Messages.h"
#include "platform/Platform.h"
#include "zipformat/UnzDllMessages.h"
#include "zipformat/ZipDlls.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <zlib.h>

namespace zeb::unzdll {
namespace {

constexpr std::int32_t LibraryVersion = UNZDLL_LIBRARY_VERSION;
constexpr std::uint64_t MiB = 1024 * 1024;
constexpr std::uint64_t MemberLimit = 64 * MiB;
constexpr std::uint64_t RunLimit = 64 * MiB;
// Text compresses 5 to 20 times; past 1000 to 1 a large member is made of padding, which is
// how decompression bombs are built. Small members are let through: their size is harmless.
constexpr std::uint64_t RatioFloor = 1 * MiB;
constexpr std::uint64_t RatioLimit = 1000;
constexpr std::size_t ChunkSize = 64 * 1024;
constexpr std::int32_t PasswordAttempts = 3;
constexpr std::int32_t StopReply = -1;

bool validCommand(const UnzipCommand* command) {
    return command != nullptr && command->InterfaceLevel == UNZIP_INTERFACE_LEVEL &&
           command->Callback != nullptr && command->ArchiveName != nullptr && command->FileSpecCount >= 0 &&
           (command->FileSpecCount == 0 || command->FileSpecArray != nullptr);
}

std::int32_t clampValue(std::uint64_t value) {
    return static_cast<std::int32_t>(
        std::min<std::uint64_t>(value, std::numeric_limits<std::int32_t>::max()));
}

struct Job {
    std::string_view listed;        // as the caller wrote it
    const Member* member = nullptr; // nullptr: no such member
    bool repeated = false;          // the same member was asked for earlier in the list
    MemberPath path;
    int refusal = 0; // decided before the run opens
};

enum class Outcome { Written, Skipped, Stopped };

class Inflater {
public:
    Inflater() { ready_ = ::inflateInit2(&stream_, -MAX_WBITS) == Z_OK; } // raw deflate data
    ~Inflater() {
        if (ready_)
            ::inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    bool ready() const { return ready_; }
    z_stream& stream() { return stream_; }

private:
    z_stream stream_{};
    bool ready_ = false;
};

class Run {
public:
    explicit Run(const UnzipCommand& command) : command_(command) {}
    std::int32_t execute();

private:
    bool send(std::int32_t action, std::string_view text, std::int32_t value,
              UnzipCallbackInfo* reply = nullptr, std::int32_t replyFlag = 0);
    bool message(int code, std::string_view member, int detail = 0) {
        return send(UNZIP_ACTION_MESSAGE, MessageText(code, member, detail), code);
    }
    Outcome skip(std::string_view listed) {
        return send(UNZIP_ACTION_SKIPPED, listed, 0) ? Outcome::Skipped : Outcome::Stopped;
    }
    Outcome refuse(const Job& job, int code, int detail = 0) {
        return message(code, job.member->name, detail) ? skip(job.listed) : Outcome::Stopped;
    }
    Outcome refuseRead(const Job& job, const ReadResult& result);

    // 0 when every member asked for can be read, else the run's result, told.
    std::int32_t checkMethods(const std::vector<Job>& jobs);
    // Which members are refused (names, links, sizes, ratios); `count` and the bytes of the others.
    std::uint64_t judge(std::vector<Job>& jobs, std::int32_t& count) const;
    std::int32_t extractAll(const std::vector<Job>& jobs, std::uint64_t total, std::int32_t count);
    std::vector<Job> matchRequests() const;
    Outcome extractFolder(const Job& job);
    Outcome extractFile(const Job& job);
    Outcome extractEncrypted(const Job& job, const ExtractionFolders& folders, ExtractionFile& temp);
    ReadResult readInto(const Member& member, const char* password, const ExtractionFolders& folders,
                        ExtractionFile& temp, bool live);
    ReadResult readPlain(const Member& member, ExtractionFile& temp, bool live);
    ReadResult readThroughLibzip(const Member& member, const char* password, ExtractionFile& temp, bool live);
    ReadResult deliver(const Member& member, const char* data, std::size_t size, ExtractionFile& temp,
                       std::uint64_t& total, bool live);
    bool reportProgress(std::uint64_t bytes);

    const UnzipCommand& command_;
    ExtractionRoot root_;
    Archive archive_;
    std::unique_ptr<char[]> buffer_;      // what comes out of a member
    std::unique_ptr<char[]> compressed_;  // what goes into zlib
    std::optional<std::string> password_; // the last one that opened a member
};

bool Run::send(std::int32_t action, std::string_view text, std::int32_t value, UnzipCallbackInfo* reply,
               std::int32_t replyFlag) {
    UnzipCallbackInfo info{};
    info.Caller = command_.Caller;
    info.ActionCode = action;
    info.ReplyFlag = replyFlag;
    info.ActionValue = value;
    // copy() rather than memcpy(): an empty view may carry no pointer at all.
    const std::size_t length = text.copy(info.ActionText, UNZIP_ACTION_TEXT_SIZE - 1);
    info.ActionText[length] = '\0';
    const std::int32_t answer = command_.Callback(&info);
    if (reply != nullptr)
        *reply = info;
    return answer != StopReply;
}

std::int32_t Run::execute() {
    if (const int error = root_.open(); error != 0) {
        return message(UNZDLL_MSG_FOLDER_UNAVAILABLE, {}, error) ? UNZDLL_ERROR_COMMAND
                                                                 : UNZDLL_ERROR_STOPPED;
    }
    if (const ArchiveProblem problem = archive_.open(command_.ArchiveName); problem.code != 0)
        return message(problem.code, problem.member, problem.detail) ? UNZDLL_ERROR_ARCHIVE
                                                                     : UNZDLL_ERROR_STOPPED;

    std::vector<Job> jobs = matchRequests();
    // Every requested member is checked before the first file exists: a run that cannot
    // be completed leaves nothing behind.
    if (const std::int32_t refused = checkMethods(jobs); refused != 0)
        return refused;
    std::int32_t count = 0;
    const std::uint64_t total = judge(jobs, count);
    if (total > RunLimit)
        return message(UNZDLL_MSG_RUN_TOO_LARGE, {}) ? UNZDLL_ERROR_LIMITS : UNZDLL_ERROR_STOPPED;
    return extractAll(jobs, total, count);
}

std::int32_t Run::checkMethods(const std::vector<Job>& jobs) {
    bool unsupported = false;
    for (const Job& job : jobs) {
        if (job.member == nullptr || job.repeated || job.member->plain())
            continue;
        const Member& member = *job.member;
        const LibZip* libzip = archive_.libzip();
        int code = 0;
        if (libzip == nullptr)
            code = member.encryption != NoEncryption ? UNZDLL_MSG_UNSUPPORTED_ENCRYPTION
                                                     : UNZDLL_MSG_UNSUPPORTED_METHOD;
        else if (!libzip->compressionSupported(member.method))
            code = UNZDLL_MSG_UNSUPPORTED_METHOD;
        else if (member.encryption != NoEncryption && !libzip->encryptionSupported(member.encryption))
            code = UNZDLL_MSG_UNSUPPORTED_ENCRYPTION;
        if (code != 0) {
            unsupported = true;
            if (!message(code, member.name, member.method))
                return UNZDLL_ERROR_STOPPED;
        }
    }
    return unsupported ? UNZDLL_ERROR_UNSUPPORTED : 0;
}

std::uint64_t Run::judge(std::vector<Job>& jobs, std::int32_t& count) const {
    std::uint64_t total = 0;
    for (Job& job : jobs) {
        if (job.member == nullptr || job.repeated)
            continue;
        const Member& member = *job.member;
        ++count;
        job.path = ParseMemberName(member.name);
        job.refusal = job.path.refusal;
        if (job.refusal == 0 && member.symlink)
            job.refusal = UNZDLL_MSG_SYMLINK_MEMBER;
        if (job.refusal == 0 && member.size > MemberLimit)
            job.refusal = UNZDLL_MSG_MEMBER_TOO_LARGE;
        if (job.refusal == 0 && member.size > RatioFloor && member.size > RatioLimit * member.compressedSize)
            job.refusal = UNZDLL_MSG_RATIO;
        if (job.refusal == 0)
            total += member.size;
    }
    return total;
}

std::int32_t Run::extractAll(const std::vector<Job>& jobs, std::uint64_t total, std::int32_t count) {
    // Not zeroed: every byte is written before it is read.
    buffer_ = std::make_unique_for_overwrite<char[]>(ChunkSize);
    if (!send(UNZIP_ACTION_TOTAL_BYTES, {}, clampValue(total)) || !send(UNZIP_ACTION_FILE_COUNT, {}, count))
        return UNZDLL_ERROR_STOPPED;
    std::int32_t written = 0;
    for (const Job& job : jobs) {
        Outcome outcome = Outcome::Skipped;
        if (job.member == nullptr || job.repeated) {
            outcome = skip(job.listed);
        } else if (!send(UNZIP_ACTION_BEGIN_FILE, job.listed, clampValue(job.member->size))) {
            outcome = Outcome::Stopped;
        } else if (job.refusal != 0) {
            outcome = refuse(job, job.refusal);
        } else {
            outcome = job.path.folder ? extractFolder(job) : extractFile(job);
        }
        if (outcome == Outcome::Stopped)
            return UNZDLL_ERROR_STOPPED;
        if (outcome == Outcome::Written)
            ++written;
    }
    return send(UNZIP_ACTION_END_BATCH, {}, written) ? written : UNZDLL_ERROR_STOPPED;
}

std::vector<Job> Run::matchRequests() const {
    // A name with a NUL in it reaches us cut at the NUL, since FileSpec is C text: the cut
    // name finds the member too (an exact name wins), and the member is then refused.
    std::unordered_map<std::string_view, const Member*> byName;
    for (const Member& member : archive_.members())
        byName.emplace(member.name, &member);
    for (const Member& member : archive_.members()) {
        const std::string_view name = member.name;
        if (const std::size_t nul = name.find('\0'); nul != std::string_view::npos)
            byName.emplace(name.substr(0, nul), &member);
    }

    std::vector<Job> jobs(static_cast<std::size_t>(command_.FileSpecCount));
    std::unordered_set<const Member*> seen;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const char* listed = command_.FileSpecArray[i].FileSpec;
        Job& job = jobs[i];
        job.listed = listed != nullptr ? listed : "";
        if (const auto found = byName.find(job.listed); found != byName.end()) {
            job.member = found->second;
            job.repeated = !seen.insert(job.member).second;
        }
    }
    return jobs;
}

Outcome Run::extractFolder(const Job& job) {
    ExtractionFolders folders(root_);
    if (const int error = folders.open(job.path.parts, job.path.parts.size()); error != 0) {
        if (error == ELOOP || error == ENOTDIR)
            return refuse(job, UNZDLL_MSG_PATH_NOT_FOLDER);
        return refuse(job, UNZDLL_MSG_WRITE_FAILED, error);
    }
    folders.keep();
    return Outcome::Written;
}

Outcome Run::extractFile(const Job& job) {
    const Member& member = *job.member;
    ExtractionFolders folders(root_);
    if (const int error = folders.open(job.path.parts, job.path.parts.size() - 1); error != 0) {
        if (error == ELOOP || error == ENOTDIR)
            return refuse(job, UNZDLL_MSG_PATH_NOT_FOLDER);
        return refuse(job, UNZDLL_MSG_WRITE_FAILED, error);
    }
    const std::string& leaf = job.path.parts.back();

    bool replace = false;
    const ExtractionEntry existing = folders.inspect(leaf);
    if (existing.error != 0)
        return refuse(job, UNZDLL_MSG_WRITE_FAILED, existing.error);
    if (existing.kind == ExtractionEntry::Kind::Other)
        return refuse(job, UNZDLL_MSG_TARGET_NOT_FILE);
    if (existing.kind == ExtractionEntry::Kind::File) {
        UnzipCallbackInfo reply;
        const std::int32_t diskIsOlder = existing.mtime < member.mtime ? 1 : 0;
        if (!send(UNZIP_ACTION_OVERWRITE, job.listed, 0, &reply, diskIsOlder))
            return Outcome::Stopped;
        if (reply.ActionValue != 1)
            return skip(job.listed);
        replace = true;
    }

    ExtractionFile temp;
    if (member.encryption != NoEncryption) {
        if (const Outcome outcome = extractEncrypted(job, folders, temp); outcome != Outcome::Written)
            return outcome;
    } else {
        const ReadResult result = readInto(member, nullptr, folders, temp, true);
        if (result.status == Read::Crc) {
            UnzipCallbackInfo reply;
            if (!send(UNZIP_ACTION_CRC_ERROR, job.listed, 0, &reply))
                return Outcome::Stopped;
            if (reply.ReplyFlag != 1)
                return skip(job.listed);
        } else if (result.status != Read::Clean) {
            return refuseRead(job, result);
        }
    }

    if (const int error = temp.commit(leaf, member.mtime, replace); error != 0)
        return refuse(job, UNZDLL_MSG_WRITE_FAILED, error);
    folders.keep();
    return Outcome::Written;
}

Outcome Run::refuseRead(const Job& job, const ReadResult& result) {
    switch (result.status) {
    case Read::Stopped:
        return Outcome::Stopped;
    case Read::WriteFailed:
        return refuse(job, UNZDLL_MSG_WRITE_FAILED, result.error);
    case Read::SizeMismatch:
        return refuse(job, UNZDLL_MSG_SIZE_MISMATCH);
    case Read::WrongPassword:
        return refuse(job, UNZDLL_MSG_WRONG_PASSWORD);
    default:
        return refuse(job, UNZDLL_MSG_DAMAGED);
    }
}

// Traditional encryption checks a password against one byte only, so one wrong password in
// 256 passes the check and shows as a CRC or data error at the end: for an encrypted member
// every such failure means "ask again", and no byte is reported before the data proved right.
Outcome Run::extractEncrypted(const Job& job, const ExtractionFolders& folders, ExtractionFile& temp) {
    std::optional<std::string> candidate = password_;
    if (!candidate && command_.PasswordText != nullptr && command_.PasswordText[0] != '\0')
        candidate = command_.PasswordText;
    std::int32_t attemptsLeft = PasswordAttempts;
    for (;;) {
        if (candidate) {
            const ReadResult result = readInto(*job.member, candidate->c_str(), folders, temp, false);
            switch (result.status) {
            case Read::Clean:
                password_ = std::move(candidate);
                return reportProgress(job.member->size) ? Outcome::Written : Outcome::Stopped;
            case Read::WrongPassword:
            case Read::Crc:
            case Read::Damaged:
            case Read::SizeMismatch:
                temp.discard();
                break;
            default:
                return refuseRead(job, result);
            }
        }
        if (attemptsLeft == 0)
            return refuse(job, UNZDLL_MSG_WRONG_PASSWORD);
        UnzipCallbackInfo reply;
        if (!send(UNZIP_ACTION_PASSWORD, job.listed, attemptsLeft, &reply))
            return Outcome::Stopped;
        // The caller keeps the answer within the 512 bytes; we look no further either way.
        // A text left as we sent it (the member's name) is no answer: a caller that cancels
        // may clear it or just leave it, unless it marks the text as a password it gives.
        const std::string_view answer(reply.ActionText,
                                      ::strnlen(reply.ActionText, UNZIP_ACTION_TEXT_SIZE - 1));
        if (answer.empty() || (reply.ReplyFlag != UNZIP_PASSWORD_GIVEN &&
                               answer == job.listed.substr(0, UNZIP_ACTION_TEXT_SIZE - 1)))
            return skip(job.listed);
        candidate.emplace(answer);
        // The caller hands back the attempts left after this one: 0 makes this password the
        // last. Our own count bounds a caller that never counts down.
        attemptsLeft = std::clamp(reply.ActionValue, std::int32_t{0}, attemptsLeft - 1);
    }
}

ReadResult Run::readInto(const Member& member, const char* password, const ExtractionFolders& folders,
                         ExtractionFile& temp, bool live) {
    if (const int error = temp.create(folders); error != 0)
        return {Read::WriteFailed, error};
    return member.plain() ? readPlain(member, temp, live) : readThroughLibzip(member, password, temp, live);
}

// Hands on what came out of a member, refusing more than its declared size: the count here
// is the only bound on what a member inflates to.
ReadResult Run::deliver(const Member& member, const char* data, std::size_t size, ExtractionFile& temp,
                        std::uint64_t& total, bool live) {
    if (size > member.size - total)
        return {Read::SizeMismatch, 0};
    if (const int error = temp.write(data, size); error != 0)
        return {Read::WriteFailed, error};
    total += size;
    if (live && !send(UNZIP_ACTION_PROGRESS, {}, clampValue(size)))
        return {Read::Stopped, 0};
    return {};
}

// A stored or deflated member, from the data our reader found past its local header (the
// archive's checks have placed it inside the file, clear of every other member).
ReadResult Run::readPlain(const Member& member, ExtractionFile& temp, bool live) {
    ByteStream& archive = archive_.data();
    if (!archive.seek(static_cast<std::int64_t>(member.dataOffset)))
        return {Read::Damaged, 0};
    std::uint64_t left = member.compressedSize;
    std::uint64_t total = 0;
    uLong crc = ::crc32(0, nullptr, 0);
    const auto take = [&](const char* data, std::size_t size) {
        crc = ::crc32(crc, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(size));
        return deliver(member, data, size, temp, total, live);
    };
    if (member.method == StoredMethod) {
        while (left > 0) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, ChunkSize));
            if (archive.read(buffer_.get(), want) != want)
                return {Read::Damaged, 0};
            left -= want;
            if (const ReadResult result = take(buffer_.get(), want); result.status != Read::Clean)
                return result;
        }
    } else {
        if (!compressed_)
            compressed_ = std::make_unique_for_overwrite<char[]>(ChunkSize);
        Inflater inflater;
        if (!inflater.ready())
            return {Read::Damaged, 0};
        z_stream& z = inflater.stream();
        int status = Z_OK;
        while (status != Z_STREAM_END) {
            if (z.avail_in == 0 && left > 0) {
                const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, ChunkSize));
                if (archive.read(compressed_.get(), want) != want)
                    return {Read::Damaged, 0};
                left -= want;
                z.next_in = reinterpret_cast<Bytef*>(compressed_.get());
                z.avail_in = static_cast<uInt>(want);
            }
            z.next_out = reinterpret_cast<Bytef*>(buffer_.get());
            z.avail_out = static_cast<uInt>(ChunkSize);
            status = ::inflate(&z, Z_NO_FLUSH);
            // No progress with room to write and nothing left to read: the data stops before
            // the stream's end, and what came out is measured against the declared size.
            if (status == Z_BUF_ERROR && z.avail_in == 0 && left == 0)
                break;
            if (status != Z_OK && status != Z_STREAM_END)
                return {Read::Damaged, 0};
            const std::size_t produced = ChunkSize - z.avail_out;
            if (produced == 0)
                continue;
            if (const ReadResult result = take(buffer_.get(), produced); result.status != Read::Clean)
                return result;
        }
    }
    if (total != member.size)
        return {Read::SizeMismatch, 0};
    if (crc != member.crc)
        return {Read::Crc, 0};
    return {};
}

ReadResult Run::readThroughLibzip(const Member& member, const char* password, ExtractionFile& temp,
                                  bool live) {
    std::uint64_t total = 0;
    return archive_.libzip()->read(
        member, password, buffer_.get(), ChunkSize,
        [&](const char* data, std::size_t size) { return deliver(member, data, size, temp, total, live); });
}

bool Run::reportProgress(std::uint64_t bytes) {
    while (bytes > 0) {
        const std::uint64_t chunk = std::min<std::uint64_t>(bytes, ChunkSize);
        if (!send(UNZIP_ACTION_PROGRESS, {}, clampValue(chunk)))
            return false;
        bytes -= chunk;
    }
    return true;
}

} // namespace
} // namespace zeb::unzdll

extern "C" ZEB_EXPORT std::int32_t UnzDllExec(UnzipCommand* command) {
    if (!zeb::unzdll::validCommand(command))
        return UNZDLL_ERROR_COMMAND;
    zeb::unzdll::Run run(*command);
    return run.execute();
}

extern "C" ZEB_EXPORT std::int32_t GetUnzDllVersion(void) {
    return zeb::unzdll::LibraryVersion;
}
