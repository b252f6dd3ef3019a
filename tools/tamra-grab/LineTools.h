// tamra-grab: the line engineer's checks: GPIO records to and from a file, and a serial echo.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <tamra/Tamra.h>

namespace CLI {
class App;
}

namespace tamra::tools {

struct LineOptions {
    std::string gpioLoadFile;               // --gpio-load FILE: applied first
    std::string gpioSaveFile;               // --gpio-save FILE: written after any load
    std::string serialDevice;               // --serial DEVICE
    std::string serialLine = "tamra-grab";  // sent with CR LF appended
    std::uint32_t serialBaud = 9600;
    std::uint32_t serialTimeoutMs = 1000;

    // True when any line check was asked for.
    bool any() const;
};

// Adds --gpio-save, --gpio-load, --serial, --serial-line, --serial-baud, --serial-timeout.
void addLineOptions(CLI::App& app, LineOptions& options);

// Runs the checks that were asked for, in the order load, save, serial. Reports to out, problems
// to err. Returns 0 when every check ran, 1 after the first that could not (bad path, port that
// cannot be opened or configured, malformed GPIO file). The grab need not be initialised.
int runLineChecks(IXGrab& grab, const LineOptions& options, std::ostream& out, std::ostream& err);

// The program's own key/value store: a text file of "key=value" lines, blank lines and lines
// starting with '#' ignored. Keys keep the order they were first written in.
class KeyValueFileStore : public XiStorage {
public:
    // False with a reason when the file cannot be read or a line is not key=value.
    bool load(const std::string& path, std::string* problem);
    // False with a reason when the file cannot be written; the file at path is then as it was.
    bool save(const std::string& path, std::string* problem) const;

    int WriteFloat(const char* key, float value) override;
    int WriteInt(const char* key, int value) override;
    int ReadFloat(const char* key, float* value, float dflt) override;
    int ReadInt(const char* key, int* value, int dflt) override;

    std::size_t size() const { return entries_.size(); }
    // Reads that found their key and a value of the right kind.
    std::size_t readsApplied() const { return readsApplied_; }
    // Keys whose value is not a number of the asked kind, as "key: 'value'".
    const std::vector<std::string>& badValues() const { return badValues_; }
    // Keys of the file that no read asked for.
    std::vector<std::string> unusedKeys() const;

private:
    bool writeEntries(const std::string& path) const;
    const std::string* find(const std::string& key) const;
    void put(const std::string& key, std::string value);

    std::vector<std::pair<std::string, std::string>> entries_;
    std::set<std::string> asked_;
    std::vector<std::string> badValues_;
    std::size_t readsApplied_ = 0;
};

}  // namespace tamra::tools
