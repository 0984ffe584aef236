#pragma once

#include <utility>
#include <windows.h>

namespace zeb::windows {

// Closes a handle on every path out of a function. CreateFileW's failure is
// INVALID_HANDLE_VALUE, other functions' a null handle: both are "none" here.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    explicit operator bool() const { return handle_ != nullptr; }
    HANDLE get() const { return handle_; }
    HANDLE release() { return std::exchange(handle_, nullptr); }
    // Closes now; false when closing reported an error (a network share's full disk).
    bool reset() { return handle_ == nullptr || ::CloseHandle(std::exchange(handle_, nullptr)) != 0; }

private:
    HANDLE handle_ = nullptr;
};

} // namespace zeb::windows
