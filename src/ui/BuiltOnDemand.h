#pragma once

#include <functional>
#include <utility>

namespace zeb {

// A window's heavy part (a grid, say), built the first time anything reaches it: through
// this pointer, or the window's first showing. The windows the teacher has not opened yet
// then cost nothing at start, and everything that reaches the part finds it whole.
template <typename Part> class BuiltOnDemand {
public:
    explicit BuiltOnDemand(std::function<void()> build) : build_(std::move(build)) {}
    BuiltOnDemand(const BuiltOnDemand&) = delete;
    BuiltOnDemand& operator=(const BuiltOnDemand&) = delete;

    Part* get() const {
        if (part_ == nullptr && build_)
            std::exchange(build_, nullptr)(); // sets the part, through set()
        return part_;
    }
    Part* operator->() const { return get(); }
    operator Part*() const { return get(); } // NOLINT: used as the plain pointer it stands for
    bool built() const { return part_ != nullptr; }
    void set(Part* part) { part_ = part; } // for the build only

private:
    mutable std::function<void()> build_;
    Part* part_ = nullptr;
};

} // namespace zeb
