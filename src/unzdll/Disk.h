#pragma once

// The disk side of an extraction. Everything goes through descriptors opened from the
// extraction folder with the *at() calls, without following a single symbolic link: a link
// planted in the folder, before or during the run, can neither redirect a write nor be
// written through.

#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace zeb::unzdll {

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset();
    // Closes now and reports what close() said: a delayed write error shows there.
    int close();

private:
    int fd_ = -1;
};

// The folders of a member's path, opened (and created as needed) one level at a time from
// the extraction folder. Folders made for a member that ends up not extracted are removed
// again when still empty.
class FolderPath {
public:
    // Opens the first `count` parts below `root`. Returns 0, or the errno of the failure:
    // ELOOP or ENOTDIR when a part is a symbolic link or not a folder.
    int open(int root, const std::vector<std::string>& parts, std::size_t count);
    int folder() const { return current_; }
    // Keeps the folders made so far.
    void keep() { created_.clear(); }
    ~FolderPath();

private:
    std::vector<Fd> levels_;                           // levels_[i] is the folder holding parts[i + 1]
    std::vector<std::pair<int, std::string>> created_; // parent descriptor, name
    int current_ = -1;
};

// A file being written in its final folder: unnamed where the file system allows it, else
// under a hidden temporary name. It takes its final name only through commit(); otherwise
// the destructor removes it, so an error or a stop never leaves a partial file behind.
class TempFile {
public:
    TempFile() = default;
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Creates a fresh unnamed file in `folder`, or a ".zeb-XXXXXX" one. Returns 0 or an errno value.
    int create(int folder);
    // Writes all of `size` bytes. Returns 0 or an errno value.
    int write(const char* data, std::size_t size);
    // Mode 0600, modification time `mtime`, then the final name. Without `replace` an entry
    // that appeared under that name since it was checked is left alone (EEXIST).
    int commit(const std::string& name, std::time_t mtime, bool replace);
    // Removes the file now.
    void discard();

private:
    int createNamed(const std::function<int(const std::string&)>& make);
    int nameUnnamed();

    int folder_ = -1;
    std::string name_; // empty while the file has no name
    Fd fd_;
};

} // namespace zeb::unzdll
