// Platform text: conversion between the narrow code page (UTF-8 here) and wide characters.
#pragma once

#include <cstddef>
#include <string>

namespace tamra::platform {

// What cannot be converted becomes '?'.
std::string toNarrow(const wchar_t* text);
// Invalid UTF-8 becomes U+FFFD.
std::wstring toWide(const char* text);

// Bounded forms: write at most capacity characters including the terminator, always terminate
// (when capacity > 0), and return the number of characters written without the terminator.
std::size_t toNarrow(const wchar_t* text, char* buffer, std::size_t capacity);
std::size_t toWide(const char* text, wchar_t* buffer, std::size_t capacity);

}  // namespace tamra::platform
