#include "Zip.h"

#include "core/Cp1252.h"
#include "platform/Platform.h"
#include "zipformat/UnzDllMessages.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

namespace zeb {
namespace {

namespace fs = std::filesystem;

// The library and the progress of the running extraction: one of each for the process.
struct UnzipLibrary {
    PrivateLibrary library;
    UnzDllExecFunction exec = nullptr;
};
UnzipLibrary g_library;

struct BatchProgress {
    std::string CurrentFileName;
    std::int32_t BatchFileCount = 0;
    std::int32_t BatchTotalBytes = 0;
    std::int32_t BatchBytesDone = 0;
    std::int32_t BatchSkipped = 0;
};
BatchProgress g_progress;

std::string inQuotes(const std::string& text) {
    return "\"" + text + "\"";
}

// A member name, Windows-1252 in the directory, for a message.
std::string shown(std::string_view cp1252) {
    return inQuotes(cp1252::toUtf8(cp1252));
}

std::string notAnArchive(const std::string& path) {
    return inQuotes(path) + "\nn'est pas une archive Zip valide.";
}

std::string zip64TooLarge(const std::string& path) {
    return inQuotes(path) +
           "\nest une archive au format Zip64 dont les tailles ou les positions sont trop grandes pour ce "
           "programme.";
}

// The errno value of a file system error, for FrenchReason.
int errorNumber(const std::error_code& error) {
    return error.category() == std::generic_category() ? error.value()
                                                       : error.default_error_condition().value();
}

// What stands at a path (UTF-8), links followed; `error` is set when it cannot be told.
fs::file_status statusOf(const std::string& path, std::error_code& error) {
    return fs::status(PathFromUtf8(path), error);
}

// Why what lies at `path` cannot be an archive, or empty for a plain file. A pipe or a
// device would block the first read for ever, a folder has nothing to read.
std::string notAPlainFile(const std::string& path, const fs::file_status& status) {
    if (fs::is_regular_file(status))
        return {};
    if (fs::is_directory(status))
        return inQuotes(path) + "\nest un dossier, pas une archive Zip.";
    const char* kind = fs::is_fifo(status)                                          ? "un tube nommé"
                       : fs::is_socket(status)                                      ? "une socket"
                       : fs::is_character_file(status) || fs::is_block_file(status) ? "un périphérique"
                                                                                    : "un fichier spécial";
    return inQuotes(path) + "\nn'est pas un fichier ordinaire : c'est " + kind + ", pas une archive Zip.";
}

std::unique_ptr<ByteStream> openArchive(const std::string& path) {
    std::unique_ptr<ByteStream> stream = OpenFileStream(path);
    if (!stream) {
        const int error = errno;
        std::error_code unknown;
        if (const fs::file_status status = statusOf(path, unknown);
            fs::exists(status) && !fs::is_regular_file(status))
            throw ZipException(notAPlainFile(path, status));
        throw ZipException("Impossible d'ouvrir le fichier " + inQuotes(path) + " : " + FrenchReason(error) +
                           ".");
    }
    return stream;
}

// Why the library could not write into `folder`, or empty when it can. A folder that is
// missing because its parent refuses writing is told apart from one merely missing.
std::string cannotExtractInto(const std::string& folder) {
    std::error_code error;
    const fs::file_status status = statusOf(folder, error);
    if (!fs::exists(status)) {
        if (error && error != std::errc::no_such_file_or_directory && error != std::errc::not_a_directory)
            return "Ce dossier est inaccessible : " + FrenchReason(errorNumber(error)) + ".";
        // The nearest folder that exists is where it would have been made.
        std::error_code ignored;
        fs::path parent = fs::absolute(PathFromUtf8(folder), ignored).parent_path();
        fs::file_status found;
        while (!fs::exists(found = fs::status(parent, ignored)) && parent != parent.root_path())
            parent = parent.parent_path();
        if (fs::is_directory(found))
            if (const int refused = CheckWritableFolder(parent); refused != 0)
                return "Ce dossier n'existe pas et ne peut pas être créé dans " +
                       inQuotes(Utf8FromPath(parent)) + " : " + FrenchReason(refused) + ".";
        return "Ce dossier n'existe pas.";
    }
    if (!fs::is_directory(status))
        return "Ce n'est pas un dossier.";
    if (const int refused = CheckWritableFolder(PathFromUtf8(folder)); refused != 0)
        return "Impossible d'écrire dans ce dossier : " + FrenchReason(refused) + ".";
    return {};
}

ZipFlag flag(bool value) {
    return value ? ZIP_TRUE : ZIP_FALSE;
}

} // namespace

bool LinuxVolumeService::canReach(const std::string& archivePath) {
    fs::path folder = PathFromUtf8(archivePath).parent_path();
    if (folder.empty())
        folder = ".";
    // Looking at "." inside the folder needs the right to pass through it, where the system has one.
    std::error_code error;
    return fs::is_directory(folder, error) && fs::is_directory(folder / ".", error);
}

TZip::TZip(ZipPrompts& prompts, VolumeService& volumes) : prompts_(prompts), volumes_(volumes) {}

TZip::~TZip() {
    UnloadUnzipLibrary();
}

void TZip::SetZipFileName(const std::string& path) {
    Password.clear();
    OemNames = false;
    EndRecord = TEOCHInfo{};
    DataStart = 0;
    ClearEntries();
    zipFileName_ = path;
    std::error_code ignored;
    absoluteName_ = path.empty() ? std::string() : Utf8FromPath(fs::absolute(PathFromUtf8(path), ignored));
    if (!path.empty()) {
        if (!volumes_.canReach(path))
            throw ZipException("Impossible d'accéder à l'unité, disque ou lecteur sélectionné !");
        std::error_code unknown;
        if (const fs::file_status status = statusOf(path, unknown); fs::exists(status)) {
            if (const std::string refusal = notAPlainFile(path, status); !refusal.empty())
                throw ZipException(refusal);
        } else {
            // An empty archive: the end record alone, put in place only while nothing stands there.
            std::string empty(EndRecordSize, '\0');
            empty.replace(0, 4, "PK\x05\x06");
            const fs::path file = PathFromUtf8(path);
            fs::path fresh = file;
            fresh += ".zeb-nouvelle";
            try {
                WriteFileAtomically(fresh, empty);
                Placement::PutWhereFree(fresh, file);
            } catch (const std::exception&) {
                fs::remove(fresh, unknown);
                throw ZipException("Impossible de créer \n" + inQuotes(path));
            }
        }
        ReadDirectory();
    }
    if (OnContentsChanged)
        OnContentsChanged(*this);
}

void TZip::ReadDirectory() {
    ClearEntries();
    if (zipFileName_.empty())
        return;
    std::unique_ptr<ByteStream> stream = openArchive(zipFileName_);
    while (FindEndRecord(*stream) < 0) {
        stream.reset();
        const std::int32_t disk = DiskNumberOfVolume(zipFileName_);
        if (disk == 0)
            throw ZipException(notAnArchive(zipFileName_));
        const MessageAnswer answer =
            prompts_.messageBox("Ceci est le [ Disque " + std::to_string(disk) +
                                    " ] de l'archive Zip découpée.\nInserez la dernière disquette de cette "
                                    "archive puis pressez [ OK ] "
                                    "pour continuer ...",
                                MessageButtons::OkCancel, MessageIcon::Information, 1);
        if (answer != MessageAnswer::Ok)
            return;
        stream = openArchive(zipFileName_);
    }
    if (!ReadEndRecord(*stream, EndRecord))
        throw ZipException(notAnArchive(zipFileName_));
    if (EndRecord.Zip64 == Zip64Format::TooLarge)
        throw ZipException(zip64TooLarge(zipFileName_));
    if (!EndRecordIsPlausible(EndRecord))
        throw ZipException(notAnArchive(zipFileName_));
    if (EndRecord.TotalEntries == 0)
        return;
    if (EndRecord.CentralDirDisk != EndRecord.ThisDisk) {
        // Disks are numbered from 0 in the record and from 1 on their labels.
        stream.reset();
        if (!AskForDisk(zipFileName_, EndRecord.CentralDirDisk + 1))
            return;
        stream = openArchive(zipFileName_);
    }
    CentralDirectory directory;
    const NextDisk nextDisk = [this, &stream]() -> std::unique_ptr<ByteStream> {
        const std::int32_t disk = DiskNumberOfVolume(zipFileName_);
        if (disk == 0 || disk > EndRecord.ThisDisk)
            return nullptr;
        stream.reset();
        if (!AskForDisk(zipFileName_, disk + 1))
            return nullptr;
        return OpenFileStream(zipFileName_);
    };
    const bool complete = ReadCentralDirectory(stream, EndRecord, directory, nextDisk);
    if (!complete) {
        ClearEntries();
        if (directory.Zip64TooLarge)
            throw ZipException(zip64TooLarge(zipFileName_));
        throw ZipException("Erreur lors de la lecture du bloc CentralFileHeader.");
    }
    OemNames = directory.OemNames;
    DataStart = directory.DataStart;
    Entries = std::move(directory.Entries);
}

void TZip::GetEntry(std::int32_t index, TFileInfoC& entry) const {
    if (index < 0 || index >= Count())
        throw ZipException("Dépassement d'index");
    entry = Entries[static_cast<std::size_t>(index)];
}

std::int32_t TZip::DiskNumberOfVolume(const std::string& path) {
    std::error_code unknown;
    if (!fs::exists(statusOf(path, unknown)) || !volumes_.isRemovable(path))
        return 0;
    const std::string label = volumes_.volumeLabel(path).substr(0, 11);
    if (label.rfind("PKBACK# ", 0) != 0 || label.size() < 11)
        return 0;
    std::int32_t number = 0;
    for (char c : label.substr(8, 3)) {
        if (c < '0' || c > '9')
            return 0;
        number = number * 10 + (c - '0');
    }
    return number;
}

bool TZip::AskForDisk(const std::string& path, std::int32_t wanted) {
    while (DiskNumberOfVolume(path) != wanted) {
        const MessageAnswer answer =
            prompts_.messageBox("Inserez le [ Disque " + std::to_string(wanted) +
                                    " ] de l'archive Zip découpée dans le lecteur de disquette\nensuite "
                                    "pressez [ OK ] pour continuer ...",
                                MessageButtons::OkCancel, MessageIcon::Information, 1);
        if (answer != MessageAnswer::Ok)
            return false;
    }
    return true;
}

bool TZip::LoadUnzipLibrary(const std::string& dllFolder) {
    if (g_library.library)
        return true;
    PrivateLibrary library =
        dllFolder.empty()
            ? PrivateLibrary::Load(UNZDLL_FILE_NAME, UNZDLL_VERSION_NAME, UNZDLL_LIBRARY_VERSION)
            : PrivateLibrary::LoadFirst({PathFromUtf8(dllFolder) / UNZDLL_FILE_NAME}, UNZDLL_VERSION_NAME,
                                        UNZDLL_LIBRARY_VERSION);
    const auto exec = reinterpret_cast<UnzDllExecFunction>(library.symbol(UNZDLL_EXEC_NAME));
    if (exec == nullptr) {
        library.close();
        return false;
    }
    g_library = {std::move(library), exec};
    return true;
}

void TZip::UnloadUnzipLibrary() {
    g_library.library.close();
    g_library = {};
}

UnzipCommand TZip::BuildCommand(std::vector<ExtractSpec>& specs) const {
    UnzipCommand command{};
    const bool bit0 = ExtractOptions & OptionOverwriteOlder;
    const bool bit1 = ExtractOptions & OptionOverwriteOlderToo;
    const bool bit2 = ExtractOptions & OptionBit2;
    command.Caller = const_cast<TZip*>(this);
    command.InterfaceLevel = UNZIP_INTERFACE_LEVEL;
    command.Callback = &TZip::UnzipCallback;
    command.PasswordText = Password.empty() ? nullptr : Password.c_str();
    command.Flag28 = flag(bit2 && !bit0 && !bit1);
    command.Flag40 = ZIP_TRUE;
    command.Flag48 = flag(bit0);
    command.Flag52 = flag(bit1 && !bit0);
    command.Flag56 = flag(ExtractOptions & OptionBit4);
    command.Flag60 = flag(!bit0 && !bit1 && !bit2);
    command.FileSpecCount = static_cast<std::int32_t>(FileSpecs.size());
    command.ArchiveName = absoluteName_.c_str();
    specs.assign(FileSpecs.size(), ExtractSpec{});
    for (std::size_t i = 0; i < FileSpecs.size(); ++i)
        specs[i].FileSpec = FileSpecs[i].c_str();
    command.FileSpecArray = specs.empty() ? nullptr : specs.data();
    command.Constant104 = 3;
    command.Constant144 = 7;
    return command;
}

std::int32_t TZip::Extract() {
    Cancel = false;
    LibraryMessages.clear();
    PasswordProtected.clear();
    if (Entries.empty())
        return 0;
    if (EndRecord.ThisDisk > 0) {
        prompts_.messageBox(
            "Ne peut pas Ajouter, Supprimer ou Extraire depuis une archive découpée...\nFusionnez "
            "cette archive sur le disque dur puis réessayez.",
            MessageButtons::Ok, MessageIcon::Information, 1);
        return 0;
    }
    if (const std::string refusal = ExtractDir.empty() ? std::string() : cannotExtractInto(ExtractDir);
        !refusal.empty()) {
        prompts_.messageBox("Impossible d'extraire le(s) fichier(s) vers :\n" + inQuotes(ExtractDir) + "\n" +
                                refusal,
                            MessageButtons::Ok, MessageIcon::Information, 1);
        return 0;
    }
    if (!LoadUnzipLibrary(DllFolder))
        throw ZipException("Impossible d'ouvrir " + inQuotes(UNZDLL_FILE_NAME) + ".");

    // The library writes relative to the current folder. Carrying on in another folder
    // than the one asked for would scatter pupil data, so a folder we cannot enter stops here.
    std::string folder = ExtractDir;
    if (folder.empty())
        folder = Utf8FromPath(PathFromUtf8(zipFileName_).parent_path());
    if (!folder.empty()) {
        std::error_code error;
        fs::current_path(PathFromUtf8(folder), error);
        if (error)
            throw ZipException("Impossible d'extraire le(s) fichier(s) vers :\n" + inQuotes(folder) + "\n" +
                               FrenchReason(errorNumber(error)) + ".");
    }

    std::vector<ExtractSpec> specs;
    UnzipCommand command = BuildCommand(specs);
    std::unique_ptr<ProgressView> dialog;
    struct ForgetDialog {
        TZip& zip;
        ~ForgetDialog() { zip.ProgressForm = nullptr; }
    } forget{*this};
    if (ShowProgressDialog && MakeProgressForm) {
        dialog = MakeProgressForm(*this);
        ProgressForm = dialog.get();
        if (ProgressForm != nullptr)
            ProgressForm->Show();
    }
    callbackFailure_ = nullptr;
    const std::int32_t result = g_library.exec(&command);
    if (callbackFailure_)
        std::rethrow_exception(std::exchange(callbackFailure_, nullptr));
    FileSpecs.clear();
    return result;
}

void TZip::hideProgress() {
    if (ShowProgressDialog && ProgressForm != nullptr)
        ProgressForm->Hide();
}

void TZip::showProgress() {
    if (ShowProgressDialog && ProgressForm != nullptr)
        ProgressForm->Show();
}

std::int32_t TZip::UnzipCallback(UnzipCallbackInfo* info) {
    auto* zip = static_cast<TZip*>(info->Caller);
    // Nothing thrown by an event handler or a dialog may cross the library: it is kept,
    // the run is stopped, and Extract raises it again once the library has returned.
    try {
        if (!zip->Cancel)
            zip->onCallback(*info);
    } catch (...) {
        zip->callbackFailure_ = std::current_exception();
        zip->Cancel = true;
    }
    const std::int32_t answer = zip->Cancel ? -1 : 0;
    try {
        zip->prompts_.processPendingEvents();
    } catch (...) {
        if (!zip->callbackFailure_)
            zip->callbackFailure_ = std::current_exception();
        zip->Cancel = true;
    }
    return answer;
}

void TZip::onCallback(UnzipCallbackInfo& info) {
    const std::string text(info.ActionText, ::strnlen(info.ActionText, UNZIP_ACTION_TEXT_SIZE));
    switch (info.ActionCode) {
    case UNZIP_ACTION_MESSAGE:
        LibraryMessages.push_back(cp1252::toUtf8(text));
        // The message follows the member's action 1: the member is the current one.
        if (info.ActionValue == UNZDLL_MSG_WRONG_PASSWORD)
            notePasswordProtected(g_progress.CurrentFileName);
        break;
    case UNZIP_ACTION_PASSWORD:
        askPassword(info, text);
        break;
    case UNZIP_ACTION_CRC_ERROR:
        askAboutDamagedMember(info, text);
        break;
    case UNZIP_ACTION_OVERWRITE:
        askAboutOverwrite(info, text);
        break;
    default:
        followProgress(info, text);
        break;
    }
}

// Actions 1 to 5 and 11: the progress of the run, for the events and the dialog.
void TZip::followProgress(const UnzipCallbackInfo& info, const std::string& text) {
    switch (info.ActionCode) {
    case UNZIP_ACTION_BEGIN_FILE:
        g_progress.CurrentFileName = text;
        if (OnZEDBeginFileEvent)
            OnZEDBeginFileEvent(*this, g_progress.CurrentFileName, info.ActionValue,
                                g_progress.BatchFileCount, g_progress.BatchTotalBytes);
        if (ShowProgressDialog && ProgressForm != nullptr)
            ProgressForm->SetStatusText(g_progress.CurrentFileName);
        break;
    case UNZIP_ACTION_PROGRESS:
        g_progress.BatchBytesDone += info.ActionValue;
        if (OnZEDProgressEvent)
            OnZEDProgressEvent(*this, g_progress.CurrentFileName, info.ActionValue,
                               g_progress.BatchTotalBytes);
        if (ShowProgressDialog && ProgressForm != nullptr)
            ProgressForm->SetPosition(g_progress.BatchBytesDone);
        break;
    case UNZIP_ACTION_END_BATCH:
        if (OnZEDEndBatchEvent)
            OnZEDEndBatchEvent(*this, g_progress.BatchSkipped, g_progress.BatchFileCount,
                               g_progress.BatchTotalBytes);
        hideProgress();
        break;
    case UNZIP_ACTION_FILE_COUNT:
        g_progress.BatchFileCount = info.ActionValue;
        break;
    case UNZIP_ACTION_TOTAL_BYTES:
        g_progress.BatchTotalBytes = info.ActionValue;
        g_progress.BatchBytesDone = 0;
        g_progress.BatchSkipped = 0;
        if (ShowProgressDialog && ProgressForm != nullptr)
            ProgressForm->SetMax(info.ActionValue);
        break;
    case UNZIP_ACTION_SKIPPED:
        ++g_progress.BatchSkipped;
        break;
    default:
        break;
    }
}

// Action 8: the password of the member named in `text`.
void TZip::askPassword(UnzipCallbackInfo& info, const std::string& text) {
    hideProgress();
    const std::optional<std::string> typed =
        prompts_.passwordBox("Le mot de passe de " + shown(text) + " est nécessaire");
    showProgress();
    // An empty text opens nothing: it is no answer, like a cancel.
    const std::string answer = typed ? cp1252::fromUtf8Lenient(*typed) : std::string();
    bool given = !answer.empty();
    if (answer.size() >= UNZIP_ACTION_TEXT_SIZE) {
        prompts_.messageBox("Ce mot de passe est trop long : " + std::to_string(UNZIP_ACTION_TEXT_SIZE - 1) +
                                " caractères au plus.",
                            MessageButtons::Ok, MessageIcon::Information, 1);
        given = false;
    }
    if (given) {
        // Marked as given, so that a password spelt like the member's name is tried too.
        info.ReplyFlag = UNZIP_PASSWORD_GIVEN;
        std::memcpy(info.ActionText, answer.c_str(), answer.size() + 1);
        if (info.ActionValue > 0)
            --info.ActionValue;
    } else {
        info.ReplyFlag = 0;
        info.ActionText[0] = '\0';
        info.ActionValue = 0;
        notePasswordProtected(text);
    }
}

// Action 9: a member whose CRC is wrong, kept or not.
void TZip::askAboutDamagedMember(UnzipCallbackInfo& info, const std::string& text) {
    hideProgress();
    const MessageAnswer answer = prompts_.messageBox(
        shown(text) +
            " est peut-être corrompu ou altéré (erreur de CRC).\nExtraire ce fichier quand même ? ...",
        MessageButtons::YesNoCancel, MessageIcon::Question, 2);
    if (answer == MessageAnswer::Yes)
        info.ReplyFlag = 1;
    else if (answer == MessageAnswer::No)
        info.ReplyFlag = 0;
    else
        Cancel = true;
    if (!Cancel)
        showProgress();
}

// Action 10: a member that would overwrite a file on the disk.
void TZip::askAboutOverwrite(UnzipCallbackInfo& info, const std::string& text) {
    const bool diskIsOlder = (info.ReplyFlag & 1) != 0;
    if ((ExtractOptions & (OptionOverwriteOlder | OptionOverwriteOlderToo | OptionAskOverwrite)) == 0) {
        info.ActionValue = 1;
        return;
    }
    if (ExtractOptions & (OptionOverwriteOlder | OptionOverwriteOlderToo)) {
        info.ActionValue = info.ReplyFlag & 1;
        return;
    }
    hideProgress();
    const MessageAnswer answer =
        diskIsOlder
            ? prompts_.messageBox(shown(text) +
                                      " est plus vieux que le fichier archivé.\nEcraser ce fichier ? ...",
                                  MessageButtons::YesNoCancel, MessageIcon::Information, 1)
            : prompts_.messageBox(shown(text) +
                                      " est aussi vieux ou plus récent que le fichier archivé.\nVoulez-vous "
                                      "vraiment écraser ce fichier ? ...",
                                  MessageButtons::YesNoCancel, MessageIcon::Stop, 2);
    info.ActionValue = answer == MessageAnswer::Yes ? 1 : 0;
    if (answer == MessageAnswer::Cancel)
        Cancel = true;
    else
        showProgress();
}

void TZip::notePasswordProtected(const std::string& cp1252) {
    const std::string name = cp1252::toUtf8(cp1252);
    if (std::find(PasswordProtected.begin(), PasswordProtected.end(), name) == PasswordProtected.end())
        PasswordProtected.push_back(name);
}

std::string TZip::PasswordProtectedMessage() const {
    if (PasswordProtected.empty())
        return {};
    std::string names;
    for (const std::string& name : PasswordProtected)
        names += (names.empty() ? "« " : ", « ") + name + " »";
    if (PasswordProtected.size() == 1)
        return "Le document " + names + " est protégé par un mot de passe et n'a pas été lu.";
    return "Les documents " + names + " sont protégés par un mot de passe et n'ont pas été lus.";
}

std::int32_t ExtractAllMembers(TZip& zip, const std::string& folder) {
    zip.FileSpecs.clear();
    zip.ExtractOptions = OptionOverwriteOlder;
    zip.ExtractDir = folder;
    for (std::int32_t i = 0; i < zip.Count(); ++i) {
        TFileInfoC entry;
        zip.GetEntry(i, entry);
        zip.FileSpecs.push_back(entry.FileName);
    }
    return zip.Extract();
}

std::recursive_mutex& UnzipComponentMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

} // namespace zeb
