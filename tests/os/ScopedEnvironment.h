// Test helper: a private home, data folders and current directory for one test, restored after.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

namespace tamra::testing {

// Sets one environment variable (or removes it) and puts the old value back when destroyed.
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
        if (value != nullptr) {
            ::setenv(name_.c_str(), value, 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A fresh folder tree for one test:
//   <root>/home            HOME
//   <root>/user            XDG_DATA_HOME (per-user application data; not created)
//   <root>/common          first entry of XDG_DATA_DIRS (all-users application data; not created)
//   <root>/work            current directory (where oem.ini is looked for)
// Everything is restored and removed when the object goes away, so tests do not depend on
// each other or on the machine's real folders.
class ScopedEnvironment {
public:
    ScopedEnvironment()
        : root_(makeRoot()),
          home_("HOME", (root_ / "home").c_str()),
          dataHome_("XDG_DATA_HOME", (root_ / "user").c_str()),
          dataDirs_("XDG_DATA_DIRS", ((root_ / "common").string() + ":/usr/share").c_str()),
          oldDirectory_(std::filesystem::current_path()) {
        std::filesystem::create_directories(root_ / "home");
        std::filesystem::create_directories(root_ / "work");
        std::filesystem::current_path(root_ / "work");
    }
    ~ScopedEnvironment() {
        std::error_code ignored;
        std::filesystem::current_path(oldDirectory_, ignored);
        std::filesystem::remove_all(root_, ignored);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path userData() const { return root_ / "user"; }
    std::filesystem::path commonData() const { return root_ / "common"; }
    std::filesystem::path work() const { return root_ / "work"; }

    // Writes a file (creating its folders) and returns its path.
    static std::filesystem::path writeFile(const std::filesystem::path& path,
                                           const std::string& content) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    // Writes oem.ini into the current directory.
    void writeOemIni(const std::string& content) const { writeFile(work() / "oem.ini", content); }

private:
    static std::filesystem::path makeRoot() {
        std::random_device random;
        for (;;) {
            auto candidate = std::filesystem::temp_directory_path() /
                             ("tamra-os-" + std::to_string(random()) + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) return candidate;
        }
    }

    std::filesystem::path root_;
    ScopedVariable home_;
    ScopedVariable dataHome_;
    ScopedVariable dataDirs_;
    std::filesystem::path oldDirectory_;
};

}  // namespace tamra::testing
