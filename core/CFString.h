// Reference-counted immutable text shared across the plug-in.
//
// Texts made with CFString::constant are interned: one object per distinct
// text, kept for the life of the process, so retain/release on them never
// frees anything.  Texts made with CFString::create start with one reference
// that the receiver releases.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

namespace murmelo {

class CFType {
public:
    void retain();
    void release();

protected:
    explicit CFType(bool interned) : interned(interned) {}
    virtual ~CFType() = default;

private:
    std::atomic<int> references{1};
    const bool interned;
};

class CFString : public CFType {
public:
    // [any] one interned object per text; never null.
    static CFString *constant(const char *text);
    // [any] a new text with one reference.
    static CFString *create(const std::string &text);

    const char *c_str() const { return text.c_str(); }
    std::size_t length() const { return text.size(); }
    // Copies the text and its terminator; fails (copying nothing) when the
    // buffer is shorter than that.
    bool copyTo(char *buffer, std::size_t bufferSize) const;

private:
    CFString(std::string text, bool interned) : CFType(interned), text(std::move(text)) {}
    const std::string text;
};

} // namespace murmelo
