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

std::wstring widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// File names and expected paths are written with '/' and used with the native separator.
template <typename Char>
std::basic_string<Char> compose(bool once, const Char* subFolder,
                                const std::common_type_t<Char>* fileName) {
    Char buffer[kPath];
    const auto name =
        nativePath(fileName ? std::basic_string<Char>(fileName) : std::basic_string<Char>());
    const Char* file = fileName ? name.c_str() : nullptr;
    EXPECT_EQ(once ? CiOS::AppDataPathOnce(buffer, subFolder, file)
                   : CiOS::AppDataPath(buffer, subFolder, file),
              buffer);
    return buffer;
}

std::string narrow(const char* subFolder, const char* fileName) {
    return compose(false, subFolder, fileName);
}
std::wstring wide(const wchar_t* subFolder, const wchar_t* fileName) {
    return compose(false, subFolder, fileName);
}

// OEM names in the file are written with '/' as well.
void writeOemIni(const ScopedEnvironment& env, const std::string& content) {
    ScopedEnvironment::writeFile(env.work() / "oem.ini", nativePath(content));
}

// One call per row, each with an empty name cache in a fresh environment.
TEST(AppDataPath, ComposesKnownFolderBrandSubFolderAndFileName) {
    const char* kNull = nullptr;
    const char* const folderName = "[Config]\nOEMFolderName=Line\n";
    const struct {
        const char* userFolder;  // created under the per-user folder, if any
        const char* ini;         // oem.ini in the current directory, if any
        bool isWide, once;
        const char *subFolder, *fileName;
        bool inUserFolder;
        const char* tail;
    } cases[] = {
        {"Quillon/Cam", nullptr, false, false, "Cam", "./images", true, "/Quillon/Cam/images"},
        {"Quillon", nullptr, false, false, "Cam", "./images", false, "/Quillon/Cam/images"},
        {"Quillon/Cam", nullptr, false, false, "Cam", kNull, true, "/Quillon/Cam/"},
        {"Quillon/Cam", nullptr, false, false, kNull, kNull, true, "/Quillon/"},
        {"Quillon", nullptr, false, false, "", "f.bmp", true, "/Quillon//f.bmp"},
        {"Brand/Cam", "[config]\r\n  oemname =  /Brand/  \r\n", false, false, "Cam", "f", true,
         "/Brand/Cam/f"},
        {nullptr, "[Config]\nOEMName=Brand\n", false, false, "Cam", "f", false, "BrandCam/f"},
        {nullptr, "[Config]\nOEMName=Brand\n", false, false, kNull, "f", false, "Brandf"},
        // The folder name replaces the sub-folder in the wide form only.
        {"Quillon/Line", folderName, true, false, "Cam", "f", true, "/Quillon/Line/f"},
        {"Quillon/Line", folderName, false, false, "Cam", "f", false, "/Quillon/Cam/f"},
        {"Quillon/Line", folderName, true, false, kNull, "f", true, "/Quillon/f"},
        {"Quillon/Line", folderName, true, true, "Cam", "f", true, "/Quillon/Line/f"},
        {"Quillon/Cam", nullptr, true, true, "Cam", kNull, true, "/Quillon/Cam/"},
        {"Quillon/Cam", nullptr, false, true, "Other", kNull, false, "/Quillon/Other/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.tail << (c.isWide ? " wide" : "") << (c.once ? " once" : ""));
        CiOS::ResetOEMName();
        ScopedEnvironment env;
        if (c.userFolder != nullptr)
            std::filesystem::create_directories(env.userData() / c.userFolder);
        if (c.ini != nullptr) writeOemIni(env, c.ini);
        const auto folder = c.inUserFolder ? env.userData() : env.commonData();
        if (c.isWide) {
            const std::wstring sub = widen(c.subFolder ? c.subFolder : "");
            const std::wstring file = widen(c.fileName ? c.fileName : "");
            EXPECT_EQ(compose(c.once, c.subFolder ? sub.c_str() : nullptr,
                              c.fileName ? file.c_str() : nullptr),
                      folder.wstring() + nativePath(widen(c.tail)));
        } else {
            EXPECT_EQ(compose(c.once, c.subFolder, c.fileName),
                      folder.string() + nativePath(std::string(c.tail)));
        }
#if defined(_WIN32)
        EXPECT_FALSE(std::filesystem::exists(env.commonData() / "Quillon"));  // nothing is created
#else
        EXPECT_FALSE(std::filesystem::exists(env.commonData()));  // nothing is created
#endif
    }
    CiOS::ResetOEMName();
}

class AppDataPathTest : public ::testing::Test {
protected:
    void SetUp() override { CiOS::ResetOEMName(); }
    void TearDown() override { CiOS::ResetOEMName(); }

    std::string common(const std::string& tail) const {
        return env_.commonData().string() + nativePath(tail);
    }
    std::wstring commonW(const std::wstring& tail) const {
        return env_.commonData().wstring() + nativePath(tail);
    }
    void writeOemIni(const std::string& content) const { ::writeOemIni(env_, content); }

    ScopedEnvironment env_;
};

TEST_F(AppDataPathTest, AbsoluteNamesComeBackUnchangedAndLeaveTheCacheEmpty) {
    for (const char* name : {"/abs/file.bmp", "//server/share", "C:\\images", "x:"}) {
        EXPECT_EQ(narrow("Cam", name), nativePath(name));
        EXPECT_EQ(compose(true, "Cam", name), nativePath(name));
    }
    EXPECT_EQ(wide(L"Cam", L"D:rel"), L"D:rel");
    EXPECT_EQ(compose(true, L"Cam", L"/abs"), nativePath(L"/abs"));
    // Had any of those calls filled the cache, the name written now would not be seen; an
    // oem.ini anywhere but in the current directory is never read.
    ScopedEnvironment::writeFile(env_.root() / "oem.ini", "[Config]\nOEMName=/Elsewhere/\n");
    writeOemIni("[Config]\nOEMName=/Brand/\nOEMFolderName=Line\n");
    EXPECT_EQ(wide(L"Cam", nullptr), commonW(L"/Brand/Line/"));
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
