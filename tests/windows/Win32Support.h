// Helpers of the Windows tests: a scratch folder that is also the current folder while it lives.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace win32_test {

namespace fs = std::filesystem;

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& tag) {
        static int serial = 0;
        path_ = fs::temp_directory_path() /
                ("tamra-win-" + tag + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(++serial));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (previous_.empty()) {
            fs::remove_all(path_, ignored);
            return;
        }
        fs::current_path(previous_, ignored);
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Relative paths of the code under test then resolve here.
    void makeCurrent() {
        previous_ = fs::current_path();
        fs::current_path(path_);
    }
    const fs::path& path() const { return path_; }
    // Native form: drive letter and backslashes.
    std::string str() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
    }

private:
    fs::path path_;
    fs::path previous_;
};

inline std::wstring environmentVariable(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

inline std::string narrow(const std::wstring& text) {
    return fs::path(text).string();
}

}  // namespace win32_test
