#pragma once

// The unzip component: keeps an archive's directory, a list of members to extract, an
// extraction folder and option bits, and extracts through the unzip library loaded at run
// time, turning the library's callbacks into events, progress and questions.

#include "zipformat/ZipDirectory.h"
#include "zipformat/ZipDlls.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zeb {

// Failures of the component, with a French message (UTF-8).
class ZipException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class MessageButtons { Ok, OkCancel, YesNoCancel };
enum class MessageIcon { Information, Question, Stop };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// The component's questions to the user, captioned with the application's title. The
// program answers them with message boxes; tests answer them from a script.
class ZipPrompts {
public:
    virtual ~ZipPrompts() = default;
    // `defaultButton` counts the buttons from 1.
    virtual MessageAnswer messageBox(const std::string& text, MessageButtons buttons, MessageIcon icon,
                                     int defaultButton) = 0;
    // A one-line answer typed hidden, UTF-8; no answer at all when the user cancels or
    // there is no one to ask. Any text, even the member's own name, is an answer.
    virtual std::optional<std::string> passwordBox(const std::string& prompt) = 0;
    // Lets pending window messages run, so that the progress dialog repaints and its
    // cancel button works while the library runs.
    virtual void processPendingEvents() {}
};

// What the component needs to know of the volume an archive lies on. Here (Linux and Windows
// alike, despite the name of the class below) an archive's folder is reachable or not and no
// volume is removable; spanned archives on labelled floppy disks remain possible through other
// implementations.
class VolumeService {
public:
    virtual ~VolumeService() = default;
    virtual bool canReach(const std::string& archivePath) = 0;
    virtual bool isRemovable(const std::string& archivePath) = 0;
    // The volume label, empty when it cannot be read.
    virtual std::string volumeLabel(const std::string& archivePath) = 0;
};

class LinuxVolumeService final : public VolumeService {
public:
    bool canReach(const std::string& archivePath) override;
    bool isRemovable(const std::string&) override { return false; }
    std::string volumeLabel(const std::string&) override { return {}; }
};

// The progress dialog as the component drives it.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void SetMax(std::int32_t value) = 0;
    virtual void SetPosition(std::int32_t value) = 0;
    virtual void SetStatusText(const std::string& cp1252) = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
};

class TZip;
using ProgressViewFactory = std::function<std::unique_ptr<ProgressView>(TZip&)>;

using TNotifyEvent = std::function<void(TZip& sender)>;
using TZEDBeginFileEvent =
    std::function<void(TZip& sender, const std::string& filename, std::int32_t fileSize,
                       std::int32_t batchCount, std::int32_t totalBytesInBatch)>;
using TProgressEvent = std::function<void(TZip& sender, const std::string& filename, std::int32_t bytesDone,
                                          std::int32_t totalBytes)>;
using TZEDEndBatchEvent = std::function<void(TZip& sender, std::int32_t skippedCount, std::int32_t batchCount,
                                             std::int32_t totalBytesInBatch)>;

// Option bits of ExtractOptions.
inline constexpr std::uint8_t OptionOverwriteOlder = 1 << 0;
inline constexpr std::uint8_t OptionOverwriteOlderToo = 1 << 1;
inline constexpr std::uint8_t OptionBit2 = 1 << 2;
inline constexpr std::uint8_t OptionAskOverwrite = 1 << 3;
inline constexpr std::uint8_t OptionBit4 = 1 << 4;

class TZip {
public:
    TZip(ZipPrompts& prompts, VolumeService& volumes);
    ~TZip();
    TZip(const TZip&) = delete;
    TZip& operator=(const TZip&) = delete;

    // Reads the directory of `path`, creating an empty archive there when no file exists.
    void SetZipFileName(const std::string& path);
    const std::string& ZipFileName() const { return zipFileName_; }

    std::int32_t Count() const { return static_cast<std::int32_t>(Entries.size()); }
    void GetEntry(std::int32_t index, TFileInfoC& entry) const;
    void ClearEntries() { Entries.clear(); }

    // Extracts the members named in FileSpecs; the library's result, or 0 when it did not run.
    std::int32_t Extract();

    static bool LoadUnzipLibrary(const std::string& dllFolder);
    static void UnloadUnzipLibrary();
    static std::int32_t UnzipCallback(UnzipCallbackInfo* info);

    // Disk number of a spanned-archive disk from its "PKBACK# nnn" label, 0 otherwise.
    std::int32_t DiskNumberOfVolume(const std::string& path);
    bool AskForDisk(const std::string& path, std::int32_t wanted);

    std::string Password; // Windows-1252; cleared by every SetZipFileName
    std::string DllFolder;
    bool OemNames = false;
    std::vector<TFileInfoC> Entries;
    std::vector<std::string> FileSpecs;
    TEOCHInfo EndRecord;
    bool Cancel = false;
    bool ShowProgressDialog = true;
    std::int32_t DataStart = 0;
    TNotifyEvent OnContentsChanged;
    ProgressView* ProgressForm = nullptr;
    std::string ExtractDir;
    std::uint8_t ExtractOptions = OptionOverwriteOlder;
    TZEDBeginFileEvent OnZEDBeginFileEvent;
    TProgressEvent OnZEDProgressEvent;
    TZEDEndBatchEvent OnZEDEndBatchEvent;
    TProgressEvent OnMergeProgress; // never raised here
    TProgressEvent OnSpanProgress;  // never raised here

    // Makes the progress dialog; without one, ShowProgressDialog shows nothing.
    ProgressViewFactory MakeProgressForm;
    // What the library reported about the last run (refused or damaged members), French, UTF-8.
    std::vector<std::string> LibraryMessages;
    // The members of the last run left unread for want of the right password (no answer, or
    // every attempt wrong), UTF-8, in the order met.
    std::vector<std::string> PasswordProtected;
    // Says in French which documents were left unread for want of a password; empty when none.
    std::string PasswordProtectedMessage() const;

    // The command record of the next Extract, for inspection; its texts point into this
    // component and `specs`.
    UnzipCommand BuildCommand(std::vector<ExtractSpec>& specs) const;

private:
    void ReadDirectory();
    void onCallback(UnzipCallbackInfo& info);
    void followProgress(const UnzipCallbackInfo& info, const std::string& text);
    void askPassword(UnzipCallbackInfo& info, const std::string& text);
    void askAboutDamagedMember(UnzipCallbackInfo& info, const std::string& text);
    void askAboutOverwrite(UnzipCallbackInfo& info, const std::string& text);
    void hideProgress();
    void notePasswordProtected(const std::string& cp1252);
    void showProgress();

    ZipPrompts& prompts_;
    VolumeService& volumes_;
    std::string zipFileName_;
    std::string absoluteName_; // what the library opens: Extract changes the current folder first
    std::exception_ptr callbackFailure_;
};

// Extracts every member of the component's archive into `folder`, as the program loads an
// export: the member list filled from the directory, existing files overwritten only when
// older. Returns Extract's result.
std::int32_t ExtractAllMembers(TZip& zip, const std::string& folder);

// The unzip component's library and progress belong to the whole process: one component at
// a time across threads, from its making to its end (its end unloads the library). LoadExport
// holds it for the extraction; a caller making components on several threads holds it from
// making the component until `extracted` (it is recursive).
std::recursive_mutex& UnzipComponentMutex();

} // namespace zeb
