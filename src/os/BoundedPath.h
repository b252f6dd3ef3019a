// Tamra grab library: path composition into a caller's fixed-size path buffer.
#pragma once

#include <cstddef>

namespace tamra::os {

// Every path buffer holds this many characters, the terminator included.
inline constexpr std::size_t kMaxPath = 260;

// Appends text to a buffer of kMaxPath characters and keeps it terminated. What does not fit
// is cut off at kMaxPath - 1 characters and remembered, so callers that must not use a cut path
// (the open operations) can tell.
template <typename Char>
class BoundedPath {
public:
    explicit BoundedPath(Char* buffer) : buffer_(buffer) { clear(); }

    void clear() {
        length_ = 0;
        truncated_ = false;
        buffer_[0] = Char(0);
    }

    void append(const Char* text) {
        if (text == nullptr) return;
        while (*text != Char(0)) {
            if (length_ == kMaxPath - 1) {
                truncated_ = true;
                break;
            }
            buffer_[length_++] = *text++;
        }
        buffer_[length_] = Char(0);
    }

    void append(Char c) {
        const Char text[2] = {c, Char(0)};
        append(text);
    }

    bool truncated() const { return truncated_; }
    const Char* c_str() const { return buffer_; }

private:
    Char* buffer_;
    std::size_t length_ = 0;
    bool truncated_ = false;
};

}  // namespace tamra::os
