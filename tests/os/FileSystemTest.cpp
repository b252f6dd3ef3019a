// Platform file system: directory search order and matching, known folders, attributes, opening.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "os/ScopedEnvironment.h"
#include "platform/FileSystem.h"

namespace {

namespace fs = std::filesystem;
namespace platform = tamra::platform;
using tamra::testing::ScopedEnvironment;
using tamra::testing::ScopedVariable;
using Names = std::vector<std::string>;

class FileSystemTest : public ::testing::Test {
protected:
    void touch(const std::string& name) const {
        ScopedEnvironment::writeFile(folder() / name, "x");
    }
    fs::path folder() const { return env_.root() / "search"; }
    Names find(const std::string& pattern) const {
        return platform::findFiles((folder().string() + "/" + pattern).c_str());
    }

    ScopedEnvironment env_;
};

TEST_F(FileSystemTest, FindsInCaseInsensitiveOrderWithBytesBreakingTies) {
    for (const char* name :
         {"b.bmp", "a.bmp", "C.BMP", "A.bmp", "a10.bmp", "a2.bmp", "notes.txt"}) {
        touch(name);
    }
    EXPECT_EQ(find("*.bmp"), (Names{"A.bmp", "a.bmp", "a10.bmp", "a2.bmp", "b.bmp", "C.BMP"}));
}

TEST_F(FileSystemTest, MatchesWholeNamesWithoutCaseAndIncludesDirectories) {
    for (const char* name : {"x.bmpx", "x.Bmp", "xbmp", "img01.bmp", "img1.bmp", "img001.bmp"}) {
        touch(name);
    }
    fs::create_directories(folder() / "Sub.BMP");
    EXPECT_EQ(find("*.BMP"), (Names{"img001.bmp", "img01.bmp", "img1.bmp", "Sub.BMP", "x.Bmp"}));
    EXPECT_EQ(find("img??.bmp"), (Names{"img01.bmp"}));
    EXPECT_EQ(find("i*1.bmp"), (Names{"img001.bmp", "img01.bmp", "img1.bmp"}));
    EXPECT_EQ(find("x.bmp"), (Names{"x.Bmp"}));
    EXPECT_TRUE(find("*.tif").empty());
}

TEST_F(FileSystemTest, NeverYieldsDotEntries) {
    touch("only");
    EXPECT_EQ(find("*"), (Names{"only"}));
    EXPECT_EQ(find(".*"), Names{});
}

TEST_F(FileSystemTest, QuestionMarkMatchesOneWholeCharacter) {
    touch("a\xC3\xA9.bmp");  // e-acute: two bytes, one character
    EXPECT_EQ(find("a?.bmp"), (Names{"a\xC3\xA9.bmp"}));
    EXPECT_TRUE(find("a??.bmp").empty());
}

TEST_F(FileSystemTest, MissingFolderOrNullPatternGivesEmptyList) {
    EXPECT_TRUE(find("missing/*.bmp").empty());
    EXPECT_TRUE(platform::findFiles(nullptr).empty());
}

TEST_F(FileSystemTest, PatternWithoutFolderSearchesCurrentDirectory) {
    ScopedEnvironment::writeFile(env_.work() / "here.bmp", "x");
    EXPECT_EQ(platform::findFiles("*.bmp"), (Names{"here.bmp"}));
}

TEST_F(FileSystemTest, TellsDirectoriesFromFiles) {
    touch("file");
    EXPECT_TRUE(platform::isDirectory(folder().c_str()));
    EXPECT_TRUE(platform::isDirectory(folder().wstring().c_str()));
    EXPECT_FALSE(platform::isDirectory((folder() / "file").c_str()));
    EXPECT_FALSE(platform::isDirectory((folder() / "missing").c_str()));
    EXPECT_FALSE(platform::isDirectory(static_cast<const char*>(nullptr)));
    EXPECT_TRUE(platform::pathExists((folder() / "file").c_str()));
    EXPECT_FALSE(platform::pathExists((folder() / "missing").c_str()));
}

TEST_F(FileSystemTest, OpensFilesByWideNameButNeverADirectory) {
    ScopedEnvironment::writeFile(folder() / "caf\xC3\xA9.txt", "hello");
    FILE* file = platform::openFile((folder().wstring() + L"/caf\u00E9.txt").c_str(), L"rb");
    ASSERT_NE(file, nullptr);
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text - 1, file), 5u);
    EXPECT_STREQ(text, "hello");
    std::fclose(file);

    EXPECT_EQ(platform::openFile(folder().c_str(), "rb"), nullptr);
    EXPECT_EQ(platform::openFile((folder() / "missing").c_str(), "rb"), nullptr);
    EXPECT_EQ(platform::openFile("", "rb"), nullptr);
}

TEST_F(FileSystemTest, PerUserFolderFollowsDataHomeThenHome) {
    const auto local = [] {
        return platform::knownFolderPath(platform::KnownFolder::LocalAppData);
    };
    EXPECT_EQ(local(), env_.userData().wstring());
    {
        ScopedVariable trailing("XDG_DATA_HOME", "/data/home//");
        EXPECT_EQ(local(), L"/data/home");
    }
    {
        ScopedVariable relative("XDG_DATA_HOME", "relative/share");
        EXPECT_EQ(local(), (env_.root() / "home" / ".local/share").wstring());
    }
    {
        ScopedVariable unset("XDG_DATA_HOME", nullptr);
        ScopedVariable noHome("HOME", nullptr);
        const std::wstring fromPasswordDatabase = local();
        ASSERT_FALSE(fromPasswordDatabase.empty());
        EXPECT_EQ(fromPasswordDatabase.front(), L'/');
        EXPECT_EQ(fs::path(fromPasswordDatabase).filename(), "share");
        EXPECT_EQ(fromPasswordDatabase.find(env_.root().wstring()), std::wstring::npos);
    }
}

TEST_F(FileSystemTest, AllUsersFolderIsFirstAbsoluteDataDir) {
    const auto common = [] {
        return platform::knownFolderPath(platform::KnownFolder::CommonAppData);
    };
    EXPECT_EQ(common(), env_.commonData().wstring());
    {
        ScopedVariable dirs("XDG_DATA_DIRS", "relative:/first/:/second");
        EXPECT_EQ(common(), L"/first");
    }
    {
        ScopedVariable dirs("XDG_DATA_DIRS", "::relative");
        EXPECT_EQ(common(), L"/usr/local/share");
    }
    {
        ScopedVariable dirs("XDG_DATA_DIRS", nullptr);
        EXPECT_EQ(common(), L"/usr/local/share");
    }
}

TEST_F(FileSystemTest, KnowsCurrentDirectoryAndExecutable) {
    EXPECT_EQ(platform::currentDirectory(), fs::canonical(env_.work()).wstring());
    const fs::path exe = platform::executablePath();
    EXPECT_TRUE(exe.is_absolute());
    EXPECT_TRUE(fs::is_regular_file(exe));
    EXPECT_EQ(exe.filename(), "test_os");
}

TEST(PathTest, AbsoluteMeansLeadingSeparator) {
    EXPECT_TRUE(platform::isAbsolutePath("/tmp"));
    EXPECT_TRUE(platform::isAbsolutePath(L"/tmp"));
    EXPECT_FALSE(platform::isAbsolutePath("tmp/x"));
    EXPECT_FALSE(platform::isAbsolutePath(L"./x"));
    EXPECT_FALSE(platform::isAbsolutePath(""));
    EXPECT_FALSE(platform::isAbsolutePath(static_cast<const char*>(nullptr)));
}

}  // namespace
