// Test helper: a private home, data folders and current directory for one test, restored after.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "support/ProcessLock.h"

namespace tamra::testing {

// Sets (or with nullptr removes) one environment variable until destroyed.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        set(value);
    }
    ~ScopedVariable() { set(old_ ? old_->c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

    void set(const char* value) const {
#if defined(_WIN32)
        ::_putenv_s(name_.c_str(), value != nullptr ? value : "");
#else
        if (value != nullptr) {
            ::setenv(name_.c_str(), value, 1);
        } else {
            ::unsetenv(name_.c_str());
        }
#endif
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Fresh home, data folders (not created) and current directory for one test, removed after;
// on Windows the known folders are the real ones: what a test adds there is removed, under a lock.
class ScopedEnvironment {
public:
#if defined(_WIN32)
    ScopedEnvironment()
        : lock_(L"tamra-tests-known-folders"),
          root_(makeRoot()),
          userData_(folderFromVariable(L"LOCALAPPDATA")),
          commonData_(folderFromVariable(L"ProgramData")),
          userEntries_(entriesOf(userData_)),
          commonEntries_(entriesOf(commonData_)),
          oldDirectory_(std::filesystem::current_path()) {
        removeLeftoverBrandFolder();
        std::filesystem::create_directories(root_ / "work");
        std::filesystem::current_path(root_ / "work");
    }
#else
    ScopedEnvironment()
        : lock_(L"tamra-tests-known-folders"),
          root_(makeRoot()),
          userData_(root_ / "user"),
          commonData_(root_ / "common"),
          home_("HOME", (root_ / "home").c_str()),
          dataHome_("XDG_DATA_HOME", userData_.c_str()),
          dataDirs_("XDG_DATA_DIRS", (commonData_.string() + ":/usr/share").c_str()),
          oldDirectory_(std::filesystem::current_path()) {
        std::filesystem::create_directories(root_ / "home");
        std::filesystem::create_directories(root_ / "work");
        std::filesystem::current_path(root_ / "work");
    }
#endif
    ~ScopedEnvironment() {
        std::error_code ignored;
        std::filesystem::current_path(oldDirectory_, ignored);
        std::filesystem::remove_all(root_, ignored);
#if defined(_WIN32)
        removeNewEntries(userData_, userEntries_);
        removeNewEntries(commonData_, commonEntries_);
#endif
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    const std::filesystem::path& root() const {
        return root_;
    }
    std::filesystem::path userData() const {
        return userData_;
    }
    std::filesystem::path commonData() const {
        return commonData_;
    }
    std::filesystem::path work() const {
        return root_ / "work";
    }

    // Writes a file (creating its folders) and returns its path.
    static std::filesystem::path writeFile(const std::filesystem::path& path,
                                           const std::string& content) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

private:
    static std::filesystem::path makeRoot() {
        std::random_device random;
        for (;;) {
            auto candidate = std::filesystem::temp_directory_path() /
                             ("tamra-os-" + std::to_string(random()) + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) return candidate;
        }
    }

#if defined(_WIN32)
    static std::filesystem::path folderFromVariable(const wchar_t* name) {
        const wchar_t* value = ::_wgetenv(name);
        return value != nullptr ? std::filesystem::path(value) : std::filesystem::path();
    }
    static std::set<std::filesystem::path> entriesOf(const std::filesystem::path& folder) {
        std::set<std::filesystem::path> names;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
            names.insert(entry.path().filename());
        }
        return names;
    }
    // Other tests may leave the user's brand folder behind empty; tests here need it absent.
    void removeLeftoverBrandFolder() const {
        const std::filesystem::path brand = userData_ / "Quillon";
        for (int attempt = 0; attempt < 250; ++attempt) {
            std::error_code error;
            if (!std::filesystem::exists(brand, error)) return;
            std::filesystem::remove(brand, error);  // only when empty
            if (!std::filesystem::exists(brand, error)) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    static void removeNewEntries(const std::filesystem::path& folder,
                                 const std::set<std::filesystem::path>& before) {
        for (const auto& name : entriesOf(folder)) {
            std::error_code ignored;
            if (before.count(name) == 0) std::filesystem::remove_all(folder / name, ignored);
        }
    }
#endif

    ProcessLock lock_;
    std::filesystem::path root_;
    std::filesystem::path userData_;
    std::filesystem::path commonData_;
#if defined(_WIN32)
    std::set<std::filesystem::path> userEntries_;
    std::set<std::filesystem::path> commonEntries_;
#else
    ScopedVariable home_;
    ScopedVariable dataHome_;
    ScopedVariable dataDirs_;
#endif
    std::filesystem::path oldDirectory_;
};

}  // namespace tamra::testing
