#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

namespace zeb {

// A Windows-1252 text of at most N single-byte characters. A longer value is cut to N
// characters when it is stored, never re-encoded. The characters are held in place, so that
// a table of texts is one block of memory: a program state of 3,000 of them is zeroed, copied
// and compared without a single allocation.
template <std::size_t N> class FixedText {
    static_assert(N > 0 && N <= 255, "the length is kept in one byte");

public:
    static constexpr std::size_t Capacity = N;

    FixedText() = default;
    FixedText(std::string_view value) { *this = value; }
    FixedText(const char* value) : FixedText(std::string_view(value)) {}
    FixedText(const std::string& value) : FixedText(std::string_view(value)) {}

    // Not inlined: inlined into a caller that assigns a temporary std::string, GCC 12 takes
    // the copy for a read past the string's inner buffer (a false -Warray-bounds).
    [[gnu::noinline]] FixedText& operator=(std::string_view value) {
        const std::size_t kept = std::min(value.size(), N);
        std::copy_n(value.data(), kept, chars_.data());
        size_ = static_cast<unsigned char>(kept);
        return *this;
    }
    FixedText& operator=(const char* value) { return *this = std::string_view(value); }
    FixedText& operator=(const std::string& value) { return *this = std::string_view(value); }

    std::string str() const { return std::string(std::string_view(*this)); }
    operator std::string_view() const { return {chars_.data(), size_}; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    friend bool operator==(const FixedText& a, const FixedText& b) {
        return std::string_view(a) == std::string_view(b);
    }
    template <typename Text>
    requires(std::is_convertible_v<const Text&, std::string_view> &&
             !std::is_same_v<Text, FixedText>) friend bool
    operator==(const FixedText& a, const Text& b) {
        return std::string_view(a) == std::string_view(b);
    }

private:
    std::array<char, N> chars_{}; // what lies past size_ is not part of the text
    unsigned char size_ = 0;
};

// A stored name without the spaces that pad it to its field.
inline std::string_view TrimTrailingSpaces(std::string_view text) {
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

// An array indexed from 1 to Count, as every table of the program is (objectives, domains,
// pupil slots). An index outside the range is a programming error and throws.
template <typename T, int Count> class OneBased {
public:
    static constexpr int Size = Count;

    T& operator[](int index) { return items_.at(slot(index)); }
    const T& operator[](int index) const { return items_.at(slot(index)); }

    friend bool operator==(const OneBased& a, const OneBased& b) = default;

private:
    static std::size_t slot(int index) {
        if (index < 1 || index > Count)
            throw std::out_of_range("index " + std::to_string(index) + " outside 1.." +
                                    std::to_string(Count));
        return static_cast<std::size_t>(index - 1);
    }
    std::array<T, static_cast<std::size_t>(Count)> items_{};
};

} // namespace zeb
