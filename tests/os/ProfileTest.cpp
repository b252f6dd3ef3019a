// Profile reader: sections and keys without case, trimmed values, defaults for what is missing.
#include <gtest/gtest.h>

#include <string>

#include "os/ScopedEnvironment.h"
#include "platform/Profile.h"
#include "support/ProcessInfo.h"

namespace {

using tamra::platform::readProfileString;
using tamra::testing::ScopedEnvironment;

class ProfileTest : public ::testing::Test {
protected:
    std::wstring read(const std::string& content, const wchar_t* section, const wchar_t* key,
                      const wchar_t* dflt = L"default") {
        ScopedEnvironment::writeFile(path(), content);
        return readProfileString(path().string().c_str(), section, key, dflt);
    }
    std::filesystem::path path() const { return env_.root() / "test.ini"; }

    ScopedEnvironment env_;
};

TEST_F(ProfileTest, FindsKeyInItsSectionWithoutCase) {
    const std::string ini =
        "[Other]\nOEMName=wrong\n"
        "[config]\noemname = /Brand/\nOEMFolderName=Cam\n";
    EXPECT_EQ(read(ini, L"Config", L"OEMName"), L"/Brand/");
    EXPECT_EQ(read(ini, L"CONFIG", L"oemfoldername"), L"Cam");
    EXPECT_EQ(read(ini, L"Other", L"OEMName"), L"wrong");
    EXPECT_EQ(read("[AZ]\nKEYA=x\n", L"az", L"keya"), L"x");  // both ends of the letter range
}

TEST_F(ProfileTest, TrimsBlanksAndKeepsInnerText) {
    const std::string ini = "  [ Config ]  \r\n\tKey\t=  two words = x \t\r\nEmpty=\r\n";
    EXPECT_EQ(read(ini, L"Config", L"Key"), L"two words = x");
    EXPECT_EQ(read(ini, L"Config", L"Empty"), L"");
}

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesDefault) {
    EXPECT_EQ(
        readProfileString((env_.root() / "absent.ini").string().c_str(), L"Config", L"Key", L"d"),
        L"d");
    EXPECT_EQ(read("[Other]\nKey=v\n", L"Config", L"Key"), L"default");
    EXPECT_EQ(read("[Config]\nKeyX=v\nKey\n", L"Config", L"Key"), L"default");
    EXPECT_EQ(read("Key=before any section\n", L"Config", L"Key"), L"default");
    EXPECT_EQ(read("[Config]\n", L"Config", L"Key", nullptr), L"");
}

TEST_F(ProfileTest, FirstOccurrenceWins) {
    EXPECT_EQ(read("[Config]\nKey=first\nKey=second\n", L"Config", L"Key"), L"first");
}

#if defined(_WIN32)
// The system's profile files: UTF-16 with its byte order mark, else the ANSI code page.
TEST_F(ProfileTest, ReadsUtf16WithByteOrderMarkAndTheCodePageWithout) {
    std::string utf16 = "\xFF\xFE";
    for (const wchar_t c : std::wstring(L"[Config]\nName=caf\u00E9\n")) {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
    }
    EXPECT_EQ(read(utf16, L"Config", L"Name"), L"caf\u00E9");
    const std::string ansi = "[Config]\nName=" + tamra::testing::narrowText(L"\u00E9t\u00E9");
    EXPECT_EQ(read(ansi, L"Config", L"Name"), L"\u00E9t\u00E9");
}
#else
TEST_F(ProfileTest, ReadsUtf8WithOrWithoutByteOrderMark) {
    EXPECT_EQ(read("\xEF\xBB\xBF[Config]\nName=caf\xC3\xA9\n", L"Config", L"Name"), L"caf\u00E9");
    EXPECT_EQ(read("[Config]\nName=\xC3\xA9t\xC3\xA9", L"Config", L"Name"), L"\u00E9t\u00E9");
}
#endif

}  // namespace
