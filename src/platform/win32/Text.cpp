// Tamra grab library: conversion between the ANSI code page and UTF-16 wide characters.
#include "platform/Text.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <cwchar>

namespace tamra::platform {
namespace {

int clampedLength(std::size_t length) {
    return length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
}

// No flags and no default character: what the code page cannot carry becomes its default
// character, '?' for the code pages a client meets.
std::string narrowed(const wchar_t* text, std::size_t length) {
    std::string result;
    if (length == 0) return result;
    const int units = clampedLength(length);
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return result;
    result.resize(static_cast<std::size_t>(bytes));
    WideCharToMultiByte(CP_ACP, 0, text, units, result.data(), bytes, nullptr, nullptr);
    return result;
}

// Bytes the code page cannot decode become U+FFFD (or the code page's own mapping).
std::wstring widened(const char* text, std::size_t length) {
    std::wstring result;
    if (length == 0) return result;
    const int bytes = clampedLength(length);
    const int units = MultiByteToWideChar(CP_ACP, 0, text, bytes, nullptr, 0);
    if (units <= 0) return result;
    result.resize(static_cast<std::size_t>(units));
    MultiByteToWideChar(CP_ACP, 0, text, bytes, result.data(), units);
    return result;
}

// Length of the longest beginning of text that fits room bytes without splitting a character
// of a double-byte code page.
std::size_t wholeNarrowPrefix(const std::string& text, std::size_t room) {
    std::size_t end = 0;
    while (end < text.size()) {
        const auto lead = static_cast<BYTE>(text[end]);
        const std::size_t step = IsDBCSLeadByteEx(CP_ACP, lead) && end + 1 < text.size() ? 2 : 1;
        if (end + step > room) break;
        end += step;
    }
    return end;
}

// The same for UTF-16: a surrogate pair stays whole.
std::size_t wholeWidePrefix(const std::wstring& text, std::size_t room) {
    if (text.size() <= room) return text.size();
    if (room == 0) return 0;
    const wchar_t last = text[room - 1];
    return last >= 0xD800 && last <= 0xDBFF ? room - 1 : room;
}

}  // namespace

std::string toNarrow(const wchar_t* text) {
    return text == nullptr ? std::string() : narrowed(text, std::wcslen(text));
}

std::wstring toWide(const char* text) {
    return text == nullptr ? std::wstring() : widened(text, std::strlen(text));
}

// A character that does not fit whole is left out, so a truncated result is still valid text.
std::size_t toNarrow(const wchar_t* text, char* buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) return 0;
    const std::string whole = toNarrow(text);
    const std::size_t length = wholeNarrowPrefix(whole, capacity - 1);
    whole.copy(buffer, length);
    buffer[length] = '\0';
    return length;
}

std::size_t toWide(const char* text, wchar_t* buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) return 0;
    const std::wstring whole = toWide(text);
    const std::size_t length = wholeWidePrefix(whole, capacity - 1);
    whole.copy(buffer, length);
    buffer[length] = L'\0';
    return length;
}

}  // namespace tamra::platform
