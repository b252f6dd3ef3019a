// Tamra grab library: conversion between UTF-8 (the narrow code page) and wide characters.
#include "platform/Text.h"

#include <cstdint>

namespace tamra::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char kNarrowReplacement = '?';
constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool isSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// Reads one code point from wide text and advances; 0xFFFFFFFF marks a value that UTF-8
// cannot carry (a lone surrogate or a value past U+10FFFF).
char32_t nextWide(const wchar_t*& text) {
    constexpr char32_t kInvalid = 0xFFFFFFFF;
    char32_t c = static_cast<char32_t>(*text++);
    if constexpr (kWideIsUtf16) {
        if (c >= 0xD800 && c <= 0xDBFF && *text >= 0xDC00 && *text <= 0xDFFF) {
            char32_t low = static_cast<char32_t>(*text++);
            return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return (isSurrogate(c) || c > 0x10FFFF) ? kInvalid : c;
}

// Encodes one code point as UTF-8 into out (room for 4 bytes); returns the byte count.
int encodeUtf8(char32_t c, char* out) {
    if (c > 0x10FFFF) {
        out[0] = kNarrowReplacement;
        return 1;
    }
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

// Length of the sequence a lead byte starts and the range its second byte must fall in, which
// rules out overlong forms, surrogates and values past U+10FFFF. Length 0: not a lead byte.
struct LeadInfo {
    int length;
    unsigned char low;
    unsigned char high;
};

LeadInfo leadInfo(unsigned char b) {
    if (b < 0x80) return {1, 0, 0};
    if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
    if (b == 0xE0) return {3, 0xA0, 0xBF};
    if (b == 0xED) return {3, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF) return {3, 0x80, 0xBF};
    if (b == 0xF0) return {4, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {4, 0x80, 0xBF};
    if (b == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

// Decodes one code point from UTF-8 and advances. An ill-formed sequence gives U+FFFD once for
// its longest valid beginning (at least one byte), so the text after it decodes normally.
char32_t nextUtf8(const unsigned char*& text) {
    const unsigned char lead = *text++;
    const LeadInfo info = leadInfo(lead);
    if (info.length == 1) return lead;
    if (info.length == 0) return kReplacement;
    char32_t c = lead & (0xFF >> (info.length + 1));
    for (int i = 1; i < info.length; ++i) {
        const unsigned char low = i == 1 ? info.low : 0x80;
        const unsigned char high = i == 1 ? info.high : 0xBF;
        if (*text < low || *text > high) return kReplacement;
        c = (c << 6) | (*text++ & 0x3F);
    }
    return c;
}

// Encodes one code point as wide characters into out (room for 2); returns the count.
int encodeWide(char32_t c, wchar_t* out) {
    if constexpr (kWideIsUtf16) {
        if (c >= 0x10000) {
            out[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            out[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            return 2;
        }
    }
    out[0] = static_cast<wchar_t>(c);
    return 1;
}

}  // namespace

std::string toNarrow(const wchar_t* text) {
    std::string result;
    if (text == nullptr) return result;
    char bytes[4];
    while (*text != 0) {
        const int count = encodeUtf8(nextWide(text), bytes);
        result.append(bytes, static_cast<std::size_t>(count));
    }
    return result;
}

std::wstring toWide(const char* text) {
    std::wstring result;
    if (text == nullptr) return result;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    wchar_t units[2];
    while (*bytes != 0) {
        const int count = encodeWide(nextUtf8(bytes), units);
        result.append(units, static_cast<std::size_t>(count));
    }
    return result;
}

// A character that does not fit whole is left out, so a truncated result is still valid text.
std::size_t toNarrow(const wchar_t* text, char* buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) return 0;
    std::size_t written = 0;
    char bytes[4];
    while (text != nullptr && *text != 0) {
        const auto count = static_cast<std::size_t>(encodeUtf8(nextWide(text), bytes));
        if (written + count > capacity - 1) break;
        for (std::size_t i = 0; i < count; ++i) buffer[written++] = bytes[i];
    }
    buffer[written] = '\0';
    return written;
}

std::size_t toWide(const char* text, wchar_t* buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) return 0;
    std::size_t written = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    wchar_t units[2];
    while (bytes != nullptr && *bytes != 0) {
        const auto count = static_cast<std::size_t>(encodeWide(nextUtf8(bytes), units));
        if (written + count > capacity - 1) break;
        for (std::size_t i = 0; i < count; ++i) buffer[written++] = units[i];
    }
    buffer[written] = L'\0';
    return written;
}

}  // namespace tamra::platform
