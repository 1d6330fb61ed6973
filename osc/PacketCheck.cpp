#include "osc/PacketCheck.h"

#include <cstdint>
#include <cstring>

namespace QV {

namespace {

constexpr char kBundleTag[] = "#bundle";  // with its terminator: 8 bytes
constexpr std::size_t kBundleHeader = 16; // tag and time tag

std::size_t roundUp4(std::size_t n) { return (n + 3) & ~static_cast<std::size_t>(3); }

std::int32_t readInt32(const char *p) {
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return static_cast<std::int32_t>((std::uint32_t(u[0]) << 24) | (std::uint32_t(u[1]) << 16) |
                                     (std::uint32_t(u[2]) << 8) | std::uint32_t(u[3]));
}

// End (padded to four) of the string starting at at, or 0 when it has no
// terminator before end or its padding is not all zero.  oscpack looks for
// a string's end only in the last byte of each four, so a string is read
// the same way by both only when its padding is zero.
std::size_t stringEnd(const char *data, std::size_t at, std::size_t end) {
    const void *nul = std::memchr(data + at, 0, end - at);
    if (!nul) return 0;
    const std::size_t terminator = static_cast<std::size_t>(static_cast<const char *>(nul) - data);
    const std::size_t padded = roundUp4(terminator + 1);
    if (padded > end) return 0;
    for (std::size_t k = terminator + 1; k < padded; ++k)
        if (data[k] != 0) return 0;
    return padded;
}

// Bytes the argument with type tag t takes at offset at, or a reason.
const char *argumentSize(char t, const char *data, std::size_t at, std::size_t end, std::size_t &bytes) {
    switch (t) {
    case 'T':
    case 'F':
    case 'N':
    case 'I':
    case '[':
    case ']':
        bytes = 0;
        return nullptr;
    case 'i':
    case 'f':
    case 'c':
    case 'r':
    case 'm':
        bytes = 4;
        return nullptr;
    case 'h':
    case 't':
    case 'd':
        bytes = 8;
        return nullptr;
    case 's':
    case 'S': {
        const std::size_t e = at < end ? stringEnd(data, at, end) : 0;
        if (e == 0) return "unterminated or badly padded string argument";
        bytes = e - at;
        return nullptr;
    }
    case 'b': {
        if (end - at < 4) return "arguments exceed message size";
        const std::int32_t n = readInt32(data + at);
        if (n < 0) return "invalid blob size";
        bytes = 4 + roundUp4(static_cast<std::size_t>(n));
        return nullptr;
    }
    default:
        return "unknown type tag";
    }
}

const char *checkMessage(const char *data, std::size_t size) {
    const std::size_t tags = stringEnd(data, 0, size);
    if (tags == 0) return "unterminated or badly padded address pattern";
    // Without type tags there are no arguments to read.
    if (tags == size || data[tags] != ',') return nullptr;
    const std::size_t arguments = stringEnd(data, tags, size);
    if (arguments == 0) return "unterminated or badly padded type tag string";
    std::size_t at = arguments;
    for (const char *t = data + tags + 1; *t; ++t) {
        std::size_t bytes = 0;
        if (const char *error = argumentSize(*t, data, at, size, bytes)) return error;
        if (bytes > size - at) return "arguments exceed message size";
        at += bytes;
    }
    return nullptr;
}

const char *checkElement(const char *data, std::size_t size);

const char *checkBundle(const char *data, std::size_t size) {
    if (size < kBundleHeader) return "packet too short for bundle";
    for (std::size_t at = kBundleHeader; at < size;) {
        if (size - at < 4) return "packet too short for elementSize";
        const std::int32_t n = readInt32(data + at);
        at += 4;
        if (n < 0 || static_cast<std::size_t>(n) > size - at) return "packet too short for bundle element";
        if (const char *error = checkElement(data + at, static_cast<std::size_t>(n))) return error;
        at += static_cast<std::size_t>(n);
    }
    return nullptr;
}

const char *checkElement(const char *data, std::size_t size) {
    if (size == 0) return "zero length elements not permitted";
    if (size % 4) return "element size must be multiple of four";
    // oscpack takes every element that starts with '#' for a bundle.
    if (data[0] != '#') return checkMessage(data, size);
    if (size >= sizeof(kBundleTag) && std::memcmp(data, kBundleTag, sizeof(kBundleTag)) != 0)
        return "bad bundle address pattern";
    return checkBundle(data, size);
}

} // namespace

const char *checkOscPacket(const char *data, std::size_t size) { return checkElement(data, size); }

} // namespace QV
