// Platform file system: directory search order and matching, known folders, attributes, opening.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "os/ScopedEnvironment.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "support/NativePath.h"
#include "support/ProcessInfo.h"

namespace {

namespace fs = std::filesystem;
namespace platform = tamra::platform;
using tamra::testing::ScopedEnvironment;
using tamra::testing::ScopedVariable;
using Names = std::vector<std::string>;
using tamra::testing::joinPath;

class FileSystemTest : public ::testing::Test {
protected:
    void touch(const fs::path& name) const { ScopedEnvironment::writeFile(folder() / name, "x"); }
    fs::path folder() const { return env_.root() / "search"; }
    Names find(const std::string& pattern) const {
        return platform::findFiles(joinPath(folder().string(), pattern).c_str());
    }

    ScopedEnvironment env_;
};

TEST_F(FileSystemTest, FindsInCaseInsensitiveOrderWithBytesBreakingTies) {
    for (const char* name :
         {"b.bmp", "a.bmp", "C.BMP", "Z.bmp", "_.bmp", "A.bmp", "a10.bmp", "a2.bmp", "notes.txt"}) {
        touch(name);
    }
#if defined(_WIN32)
    // Names that differ only in case are one file here: "A.bmp" opened "a.bmp" again.
    EXPECT_EQ(find("*.bmp"),
              (Names{"_.bmp", "a.bmp", "a10.bmp", "a2.bmp", "b.bmp", "C.BMP", "Z.bmp"}));
#else
    // '_' sorts between the upper and lower case letters, so 'Z' must fold to come after it.
    EXPECT_EQ(find("*.bmp"),
              (Names{"_.bmp", "A.bmp", "a.bmp", "a10.bmp", "a2.bmp", "b.bmp", "C.BMP", "Z.bmp"}));
#endif
}

TEST_F(FileSystemTest, MatchesWholeNamesWithoutCaseAndIncludesDirectories) {
    for (const char* name : {"x.bmpx", "x.Bmp", "xbmp", "img01.bmp", "img1.bmp", "img001.bmp"}) {
        touch(name);
    }
    fs::create_directories(folder() / "Sub.BMP");
#if defined(_WIN32)
    // The system's own rule: a three-letter extension in a pattern also matches longer
    // extensions that begin with it, as the short name of such a file would.
    EXPECT_EQ(find("*.BMP"),
              (Names{"img001.bmp", "img01.bmp", "img1.bmp", "Sub.BMP", "x.Bmp", "x.bmpx"}));
#else
    EXPECT_EQ(find("*.BMP"), (Names{"img001.bmp", "img01.bmp", "img1.bmp", "Sub.BMP", "x.Bmp"}));
#endif
    EXPECT_EQ(find("img??.bmp"), (Names{"img01.bmp"}));
    EXPECT_EQ(find("i*1.bmp"), (Names{"img001.bmp", "img01.bmp", "img1.bmp"}));
    EXPECT_EQ(find("x.bmp"), (Names{"x.Bmp"}));
    EXPECT_TRUE(find("*.tif").empty());
}

// e-acute is two bytes of UTF-8 (one of the ANSI code page) and one character everywhere.
TEST_F(FileSystemTest, QuestionMarkMatchesOneWholeCharacter) {
    touch(tamra::testing::pathOf(L"a\u00E9.bmp"));
    const std::string narrowName = platform::toNarrow(L"a\u00E9.bmp");
#if !defined(_WIN32)
    EXPECT_EQ(narrowName, "a\xC3\xA9.bmp");
#endif
    EXPECT_EQ(find("a?.bmp"), (Names{narrowName}));
    EXPECT_TRUE(find("a??.bmp").empty());
}

TEST_F(FileSystemTest, NeverYieldsDotEntriesAndSearchesTheCurrentDirectoryByDefault) {
    touch("only");
    EXPECT_EQ(find("*"), (Names{"only"}));
    EXPECT_EQ(find(".*"), Names{});
    EXPECT_TRUE(find("missing/*.bmp").empty());
    EXPECT_TRUE(platform::findFiles(nullptr).empty());
    ScopedEnvironment::writeFile(env_.work() / "here.bmp", "x");
    EXPECT_EQ(platform::findFiles("*.bmp"), (Names{"here.bmp"}));
}

TEST_F(FileSystemTest, TellsDirectoriesFromFiles) {
    touch("file");
    EXPECT_TRUE(platform::isDirectory(folder().string().c_str()));
    EXPECT_TRUE(platform::isDirectory(folder().wstring().c_str()));
    EXPECT_FALSE(platform::isDirectory((folder() / "file").wstring().c_str()));
    EXPECT_FALSE(platform::isDirectory((folder() / "missing").string().c_str()));
    EXPECT_FALSE(platform::isDirectory(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(platform::isDirectory(static_cast<const wchar_t*>(nullptr)));
    EXPECT_TRUE(platform::pathExists((folder() / "file").string().c_str()));
    EXPECT_FALSE(platform::pathExists((folder() / "missing").string().c_str()));
}

TEST_F(FileSystemTest, OpensFilesByWideNameButNeverADirectory) {
    ScopedEnvironment::writeFile(folder() / tamra::testing::pathOf(L"caf\u00E9.txt"), "hello");
    FILE* file = platform::openFile(
        (folder().wstring() + tamra::testing::nativePath(L"/caf\u00E9.txt")).c_str(), L"rb");
    ASSERT_NE(file, nullptr);
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text - 1, file), 5u);
    EXPECT_STREQ(text, "hello");
    std::fclose(file);

    EXPECT_EQ(platform::openFile(folder().string().c_str(), "rb"), nullptr);
    EXPECT_EQ(platform::openFile(folder().wstring().c_str(), L"rb"), nullptr);
    EXPECT_EQ(platform::openFile((folder() / "missing").string().c_str(), "rb"), nullptr);
    EXPECT_EQ(platform::openFile("", "rb"), nullptr);
    EXPECT_EQ(platform::openFile(L"", L"rb"), nullptr);
}

#if !defined(_WIN32)

TEST_F(FileSystemTest, PerUserFolderFollowsDataHomeThenHome) {
    const auto local = [] {
        return platform::knownFolderPath(platform::KnownFolder::LocalAppData);
    };
    EXPECT_EQ(local(), env_.userData().wstring());
    ScopedVariable dataHome("XDG_DATA_HOME", "/data/home//");
    EXPECT_EQ(local(), L"/data/home");
    dataHome.set("relative/share");
    EXPECT_EQ(local(), (env_.root() / "home" / ".local/share").wstring());
    dataHome.set(nullptr);
    ScopedVariable noHome("HOME", nullptr);
    const std::wstring fromPasswordDatabase = local();
    ASSERT_FALSE(fromPasswordDatabase.empty());
    EXPECT_EQ(fromPasswordDatabase.front(), L'/');
    EXPECT_EQ(fs::path(fromPasswordDatabase).filename(), "share");
    EXPECT_EQ(fromPasswordDatabase.find(env_.root().wstring()), std::wstring::npos);
}

#endif  // _WIN32

}  // namespace
