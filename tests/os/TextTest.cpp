// Conversion between UTF-8 and wide text: round trips, replacement rules, bounded forms.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/Text.h"

namespace {

using tamra::platform::toNarrow;
using tamra::platform::toWide;

TEST(TextTest, NullAndEmptyGiveEmpty) {
    EXPECT_EQ(toNarrow(static_cast<const wchar_t*>(nullptr)), "");
    EXPECT_EQ(toWide(static_cast<const char*>(nullptr)), L"");
    EXPECT_EQ(toNarrow(L""), "");
    EXPECT_EQ(toWide(""), L"");
}

// The ANSI code page of Windows is checked by tests/windows (Win32Text).
#if !defined(_WIN32)

TEST(TextTest, RoundTripsEveryEncodedLength) {
    // 1-, 2-, 3- and 4-byte sequences: 'A', e-acute, euro sign, musical G clef.
    const std::string narrow = "A\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E";
    const std::wstring wide = L"A\u00E9\u20AC\U0001D11E";
    EXPECT_EQ(toWide(narrow.c_str()), wide);
    EXPECT_EQ(toNarrow(wide.c_str()), narrow);
}

TEST(TextTest, WideThatUtf8CannotCarryBecomesQuestionMark) {
    const wchar_t loneSurrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
    EXPECT_EQ(toNarrow(loneSurrogate), "a?b");
    const wchar_t beyondUnicode[] = {static_cast<wchar_t>(0x110000), L'z', 0};
    EXPECT_EQ(toNarrow(beyondUnicode), "?z");
}

// One U+FFFD per maximal ill-formed part, so the text after a bad sequence survives intact.
TEST(TextTest, InvalidUtf8BecomesReplacementCharacter) {
    const struct {
        const char* input;
        const wchar_t* expected;
    } cases[] = {
        {"a\x80z", L"a\uFFFDz"},                              // stray continuation byte
        {"a\xE2\x82z", L"a\uFFFDz"},                          // sequence cut short
        {"\xE2\x82", L"\uFFFD"},                              // cut short at the end of the text
        {"\xC0\xAFz", L"\uFFFD\uFFFDz"},                      // overlong encoding of '/'
        {"\xED\xA0\x80z", L"\uFFFD\uFFFD\uFFFDz"},            // encoded surrogate
        {"\xF4\x90\x80\x80z", L"\uFFFD\uFFFD\uFFFD\uFFFDz"},  // beyond U+10FFFF
        {"\xFFz", L"\uFFFDz"},                                // never a lead byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toWide(c.input), std::wstring(c.expected)) << "input: " << c.input;
    }
}

TEST(TextTest, BoundedNarrowNeverWritesPastCapacityNorSplitsACharacter) {
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    // "ab" then a 3-byte euro sign: with capacity 5 only "ab" plus terminator fit whole.
    EXPECT_EQ(toNarrow(L"ab\u20ACc", buffer, 5), 2u);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(buffer[5], '#');

    EXPECT_EQ(toNarrow(L"ab\u20ACc", buffer, 6), 5u);
    EXPECT_STREQ(buffer, "ab\xE2\x82\xAC");
    EXPECT_EQ(buffer[6], '#');

    EXPECT_EQ(toNarrow(L"abc", buffer, 1), 0u);
    EXPECT_STREQ(buffer, "");
    buffer[0] = '#';
    EXPECT_EQ(toNarrow(L"abc", buffer, 0), 0u);
    EXPECT_EQ(buffer[0], '#');
}

TEST(TextTest, BoundedWideNeverWritesPastCapacity) {
    wchar_t buffer[6];
    for (wchar_t& c : buffer) c = L'#';
    EXPECT_EQ(toWide("abcdefgh", buffer, 4), 3u);
    EXPECT_EQ(std::wstring(buffer), L"abc");
    EXPECT_EQ(buffer[4], L'#');

    EXPECT_EQ(toWide("a\xC3\xA9", buffer, 6), 2u);
    EXPECT_EQ(static_cast<std::uint32_t>(buffer[1]), 0xE9u);
    EXPECT_EQ(toWide("a\x80", buffer, 6), 2u);
    EXPECT_EQ(static_cast<std::uint32_t>(buffer[1]), 0xFFFDu);

    EXPECT_EQ(toWide(nullptr, buffer, 6), 0u);
    EXPECT_EQ(buffer[0], L'\0');
}

#endif  // !_WIN32

}  // namespace
