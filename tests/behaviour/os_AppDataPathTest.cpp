// CiOS application-data paths: known folders, OEM branding from oem.ini, the name cache, bounds.
#include <gtest/gtest.h>

#include <tamra/CiOS.h>
#include <cstring>
#include <string>
#include <thread>

#include "os/ScopedEnvironment.h"
#include "support/NativePath.h"
#include "support/ProcessInfo.h"

namespace {

using tamra::testing::narrowText;
using tamra::testing::nativePath;
using tamra::testing::ScopedEnvironment;

constexpr std::size_t kPath = 260;

class AppDataPathTest : public ::testing::Test {
protected:
    void SetUp() override { CiOS::ResetOEMName(); }
    void TearDown() override { CiOS::ResetOEMName(); }

    // File names and expected paths are written with '/' and used with the native separator.
    static std::string narrow(const char* subFolder, const char* fileName) {
        char buffer[kPath];
        const std::string name = fileName != nullptr ? nativePath(fileName) : std::string();
        EXPECT_EQ(CiOS::AppDataPath(buffer, subFolder, fileName ? name.c_str() : nullptr), buffer);
        return buffer;
    }
    static std::wstring wide(const wchar_t* subFolder, const wchar_t* fileName) {
        wchar_t buffer[kPath];
        const std::wstring name = fileName != nullptr ? nativePath(fileName) : std::wstring();
        EXPECT_EQ(CiOS::AppDataPath(buffer, subFolder, fileName ? name.c_str() : nullptr), buffer);
        return buffer;
    }
    static std::string narrowOnce(const char* subFolder, const char* fileName) {
        char buffer[kPath];
        const std::string name = fileName != nullptr ? nativePath(fileName) : std::string();
        EXPECT_EQ(CiOS::AppDataPathOnce(buffer, subFolder, fileName ? name.c_str() : nullptr),
                  buffer);
        return buffer;
    }
    static std::wstring wideOnce(const wchar_t* subFolder, const wchar_t* fileName) {
        wchar_t buffer[kPath];
        const std::wstring name = fileName != nullptr ? nativePath(fileName) : std::wstring();
        EXPECT_EQ(CiOS::AppDataPathOnce(buffer, subFolder, fileName ? name.c_str() : nullptr),
                  buffer);
        return buffer;
    }

    std::string user(const std::string& tail) const {
        return env_.userData().string() + nativePath(tail);
    }
    std::string common(const std::string& tail) const {
        return env_.commonData().string() + nativePath(tail);
    }
    std::wstring userW(const std::wstring& tail) const {
        return env_.userData().wstring() + nativePath(tail);
    }
    std::wstring commonW(const std::wstring& tail) const {
        return env_.commonData().wstring() + nativePath(tail);
    }
    void makeUserFolder(const std::string& relative) const {
        std::filesystem::create_directories(env_.userData() / relative);
    }
    // OEM names in the file are written with '/' as well.
    void writeOemIni(const std::string& content) const { env_.writeOemIni(nativePath(content)); }

    ScopedEnvironment env_;
};

TEST_F(AppDataPathTest, UsesPerUserFolderWhenItsDirectoryExists) {
    makeUserFolder("Quillon/Cam");
    EXPECT_EQ(narrow("Cam", "./images"), user("/Quillon/Cam/images"));
    CiOS::ResetOEMName();  // else the wide form would not read the folder name
    EXPECT_EQ(wide(L"Cam", L"./images"), userW(L"/Quillon/Cam/images"));
}

TEST_F(AppDataPathTest, FallsBackToAllUsersFolderWithoutTestingIt) {
    makeUserFolder("Quillon");  // the sub-folder itself is missing
    EXPECT_EQ(narrow("Cam", "./images"), common("/Quillon/Cam/images"));
    CiOS::ResetOEMName();
    EXPECT_EQ(wide(L"Cam", L"./images"), commonW(L"/Quillon/Cam/images"));
#if defined(_WIN32)
    EXPECT_FALSE(std::filesystem::exists(env_.commonData() / "Quillon"));  // nothing is created
#else
    EXPECT_FALSE(std::filesystem::exists(env_.commonData()));  // nothing is created
#endif
}

TEST_F(AppDataPathTest, NullFileNameGivesTheDirectory) {
    makeUserFolder("Quillon/Cam");
    EXPECT_EQ(narrow("Cam", nullptr), user("/Quillon/Cam/"));
    EXPECT_EQ(narrow(nullptr, nullptr), user("/Quillon/"));
    CiOS::ResetOEMName();
    EXPECT_EQ(wide(L"Cam", nullptr), userW(L"/Quillon/Cam/"));
    EXPECT_EQ(wide(nullptr, nullptr), userW(L"/Quillon/"));
}

TEST_F(AppDataPathTest, EmptySubFolderStillAddsOneSeparator) {
    makeUserFolder("Quillon");
    EXPECT_EQ(narrow("", "f.bmp"), user("/Quillon//f.bmp"));
    CiOS::ResetOEMName();
    EXPECT_EQ(wide(L"", L"f.bmp"), userW(L"/Quillon//f.bmp"));
}

TEST_F(AppDataPathTest, DropsOnlyACurrentDirectoryPrefix) {
    makeUserFolder("Quillon/Cam");
    EXPECT_EQ(narrow("Cam", "./a/b.bmp"), user("/Quillon/Cam/a/b.bmp"));
    EXPECT_EQ(narrow("Cam", ".hidden"), user("/Quillon/Cam/.hidden"));
    EXPECT_EQ(narrow("Cam", "../up"), user("/Quillon/Cam/../up"));
    CiOS::ResetOEMName();
    EXPECT_EQ(wide(L"Cam", L".//x"), userW(L"/Quillon/Cam//x"));
}

TEST_F(AppDataPathTest, AbsoluteNamesComeBackUnchangedAndLeaveTheCacheEmpty) {
    for (const char* name : {"/abs/file.bmp", "//server/share", "C:\\images", "x:"}) {
        EXPECT_EQ(narrow("Cam", name), nativePath(name));
        EXPECT_EQ(narrowOnce("Cam", name), nativePath(name));
    }
    EXPECT_EQ(wide(L"Cam", L"/abs/file.bmp"), nativePath(L"/abs/file.bmp"));
    EXPECT_EQ(wide(L"Cam", L"D:rel"), L"D:rel");
    EXPECT_EQ(wideOnce(L"Cam", L"/abs"), nativePath(L"/abs"));
    // Had any of those calls filled the cache, the name written now would not be seen.
    writeOemIni("[Config]\nOEMName=/Brand/\nOEMFolderName=Line\n");
    EXPECT_EQ(wide(L"Cam", nullptr), commonW(L"/Brand/Line/"));
}

TEST_F(AppDataPathTest, OemIniInCurrentDirectoryRebrandsTheFolder) {
    ScopedEnvironment::writeFile(env_.root() / "oem.ini", "[Config]\nOEMName=/Elsewhere/\n");
    EXPECT_EQ(narrow("Cam", "f"), common("/Quillon/Cam/f"));  // only ./oem.ini counts
    CiOS::ResetOEMName();
    writeOemIni("[config]\r\n  oemname =  /Brand/  \r\n");
    makeUserFolder("Brand/Cam");
    EXPECT_EQ(narrow("Cam", "f"), user("/Brand/Cam/f"));
}

TEST_F(AppDataPathTest, OemNameWithoutSeparatorsIsGluedToTheFolder) {
    writeOemIni("[Config]\nOEMName=Brand\n");
    EXPECT_EQ(narrow("Cam", "f"), common("BrandCam/f"));
    EXPECT_EQ(narrow(nullptr, "f"), common("Brandf"));
}

TEST_F(AppDataPathTest, OemFolderNameReplacesSubFolderInWideFormOnly) {
    writeOemIni("[Config]\nOEMFolderName=Line\n");
    makeUserFolder("Quillon/Line");
    EXPECT_EQ(wide(L"Cam", L"f"), userW(L"/Quillon/Line/f"));
    EXPECT_EQ(narrow("Cam", "f"), common("/Quillon/Cam/f"));
    EXPECT_EQ(wide(nullptr, L"f"), userW(L"/Quillon/f"));  // no sub-folder: no folder name
}

TEST_F(AppDataPathTest, WideCacheKeepsTheFirstSubFolderUntilReset) {
    EXPECT_EQ(wide(L"A", nullptr), commonW(L"/Quillon/A/"));
    EXPECT_EQ(wide(L"B", nullptr), commonW(L"/Quillon/A/"));
    CiOS::ResetOEMName();
    EXPECT_EQ(wide(L"B", nullptr), commonW(L"/Quillon/B/"));
}

TEST_F(AppDataPathTest, WideCacheUsesOemFolderNameForEverySubFolder) {
    writeOemIni("[Config]\nOEMFolderName=Line\n");
    EXPECT_EQ(wide(L"A", nullptr), commonW(L"/Quillon/Line/"));
    EXPECT_EQ(wide(L"B", nullptr), commonW(L"/Quillon/Line/"));
}

TEST_F(AppDataPathTest, CachedNameStaysUntilResetOrDirectRead) {
    writeOemIni("[Config]\nOEMName=/First/\n");
    EXPECT_EQ(narrow("Cam", nullptr), common("/First/Cam/"));
    writeOemIni("[Config]\nOEMName=/Second/\n");
    EXPECT_EQ(narrow("Cam", nullptr), common("/First/Cam/"));
    CiOS::GetOEMName();
    EXPECT_EQ(narrow("Cam", nullptr), common("/Second/Cam/"));
    writeOemIni("[Config]\nOEMName=/Third/\n");
    CiOS::ResetOEMName();
    EXPECT_EQ(narrow("Cam", nullptr), common("/Third/Cam/"));
}

TEST_F(AppDataPathTest, WideAfterNarrowAppendsOnlyASeparatorForTheSubFolder) {
    writeOemIni("[Config]\nOEMFolderName=Line\n");
    EXPECT_EQ(narrow("Cam", nullptr), common("/Quillon/Cam/"));
    // The narrow call filled the name but never the folder name, and the wide call does not
    // read it while the name is cached.
    EXPECT_EQ(wide(L"Cam", L"f"), commonW(L"/Quillon//f"));
    CiOS::GetOEMFolderName(L"Given");
    EXPECT_EQ(wide(L"Cam", L"f"), commonW(L"/Quillon/Line/f"));
}

TEST_F(AppDataPathTest, NarrowAfterWideUsesTheNameTheWideCallCached) {
    // The file holds narrow text: UTF-8 on POSIX, the ANSI code page on Windows.
    const std::string cafe = narrowText(L"Caf\u00E9");
    writeOemIni("[Config]\nOEMName=/" + cafe + "/\n");
    EXPECT_EQ(wide(L"Cam", nullptr), commonW(L"/Caf\u00E9/Cam/"));
    writeOemIni("[Config]\nOEMName=/Other/\n");
    EXPECT_EQ(narrow("Cam", nullptr), common("/" + cafe + "/Cam/"));
}

TEST_F(AppDataPathTest, GetOemFolderNameDefaultsToItsArgument) {
    EXPECT_EQ(wide(L"A", nullptr), commonW(L"/Quillon/A/"));
    CiOS::GetOEMFolderName(L"Z");
    EXPECT_EQ(wide(L"B", nullptr), commonW(L"/Quillon/Z/"));
    CiOS::GetOEMFolderName(nullptr);
    EXPECT_EQ(wide(L"B", nullptr), commonW(L"/Quillon//"));
}

TEST_F(AppDataPathTest, OnceReadsTheFileAfreshAndLeavesTheCacheAlone) {
    writeOemIni("[Config]\nOEMName=/First/\n");
    EXPECT_EQ(narrow("Cam", nullptr), common("/First/Cam/"));
    writeOemIni("[Config]\nOEMName=/Second/\nOEMFolderName=Line\n");
    EXPECT_EQ(narrowOnce("Cam", "f"), common("/Second/Cam/f"));
    EXPECT_EQ(wideOnce(L"Cam", L"f"), commonW(L"/Second/Line/f"));
    EXPECT_EQ(narrow("Cam", nullptr), common("/First/Cam/"));  // cache as it was

    CiOS::ResetOEMName();
    EXPECT_EQ(wideOnce(L"Cam", nullptr), commonW(L"/Second/Line/"));
    writeOemIni("[Config]\nOEMName=/Third/\n");
    EXPECT_EQ(wide(L"Cam", nullptr), commonW(L"/Third/Cam/"));  // Once filled nothing
    EXPECT_EQ(wideOnce(L"Other", nullptr), commonW(L"/Third/Other/"));
}

TEST_F(AppDataPathTest, OnceUsesPerUserFolderWhenItExists) {
    makeUserFolder("Quillon/Cam");
    EXPECT_EQ(narrowOnce("Cam", "./images"), user("/Quillon/Cam/images"));
    EXPECT_EQ(wideOnce(L"Cam", nullptr), userW(L"/Quillon/Cam/"));
    EXPECT_EQ(narrowOnce("Other", nullptr), common("/Quillon/Other/"));
}

TEST_F(AppDataPathTest, NullBufferGivesNull) {
    EXPECT_EQ(CiOS::AppDataPath(static_cast<char*>(nullptr), "Cam", "f"), nullptr);
    EXPECT_EQ(CiOS::AppDataPath(static_cast<wchar_t*>(nullptr), L"Cam", L"f"), nullptr);
    EXPECT_EQ(CiOS::AppDataPathOnce(static_cast<char*>(nullptr), "Cam", "f"), nullptr);
    EXPECT_EQ(CiOS::AppDataPathOnce(static_cast<wchar_t*>(nullptr), L"Cam", L"f"), nullptr);
}

// A 260-character buffer followed by canary characters that no composition may touch.
template <typename Char>
struct GuardedBuffer {
    static constexpr std::size_t kCanary = 64;
    Char data[kPath + kCanary];
    GuardedBuffer() {
        for (Char& c : data) c = Char('#');
    }
    bool canaryIntact() const {
        for (std::size_t i = kPath; i < kPath + kCanary; ++i) {
            if (data[i] != Char('#')) return false;
        }
        return true;
    }
    std::basic_string<Char> text() const { return std::basic_string<Char>(data); }
};

TEST_F(AppDataPathTest, OverLongNamesAreCutAndNeverOverflow) {
    writeOemIni("[Config]\nOEMName=/" + std::string(400, 'n') + "/\n");
    const std::string longSub(400, 's');
    const std::wstring longSubW(400, L's');
    const std::string longFile = nativePath("/" + std::string(400, 'f'));
    const std::wstring longFileW(400, L'f');

    GuardedBuffer<char> a, b, c;
    CiOS::AppDataPath(a.data, longSub.c_str(), "file");
    CiOS::AppDataPathOnce(b.data, longSub.c_str(), longFile.c_str() + 1);
    CiOS::AppDataPath(c.data, "Cam", longFile.c_str());  // absolute: copied, and cut
    for (const auto* buffer : {&a, &b, &c}) {
        EXPECT_TRUE(buffer->canaryIntact());
        EXPECT_EQ(buffer->text().size(), kPath - 1);
    }
    EXPECT_EQ(a.text().rfind(common("/nnn"), 0), 0u);
    EXPECT_EQ(c.text(), longFile.substr(0, kPath - 1));

    GuardedBuffer<wchar_t> d, e, f;
    CiOS::AppDataPath(d.data, longSubW.c_str(), longFileW.c_str());
    CiOS::AppDataPathOnce(e.data, longSubW.c_str(), L"file");
    CiOS::AppDataPath(f.data, nullptr, nullptr);
    for (const auto* buffer : {&d, &e, &f}) {
        EXPECT_TRUE(buffer->canaryIntact());
        EXPECT_EQ(buffer->text().size(), kPath - 1);
    }
}

TEST_F(AppDataPathTest, OverLongOemFolderNameNeverOverflows) {
    writeOemIni("[Config]\nOEMFolderName=" + std::string(1000, 'x') + "\n");
    GuardedBuffer<wchar_t> buffer;
    CiOS::AppDataPath(buffer.data, L"Cam", L"f");
    EXPECT_TRUE(buffer.canaryIntact());
    EXPECT_EQ(buffer.text(), (commonW(L"/Quillon/") + std::wstring(1000, L'x')).substr(0, 259));
}

TEST_F(AppDataPathTest, ConcurrentFirstUseAgreesOnOneCachedFolder) {
    for (int round = 0; round < 20; ++round) {
        CiOS::ResetOEMName();
        std::wstring first, second;
        std::thread one([&first] { first = wide(L"A", nullptr); });
        std::thread two([&second] { second = wide(L"B", nullptr); });
        one.join();
        two.join();
        EXPECT_EQ(first, second);
        EXPECT_TRUE(first == commonW(L"/Quillon/A/") || first == commonW(L"/Quillon/B/"))
            << std::string(first.begin(), first.end());
    }
}

}  // namespace
