// tamra-grab: GPIO records saved to and loaded from a key=value file, and a serial-port echo.
#include "LineTools.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <ostream>
#include <random>
#include <sstream>
#include <vector>

namespace tamra::tools {
namespace {

constexpr std::size_t kReplyCapacity = 4096;
// Once the device has started answering, a pause this long ends its reply.
constexpr std::uint32_t kReplyGapMs = 100;

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::string reason() {
    return std::strerror(errno);
}

// A name in the target's own folder (so the rename stays on one file system) that no other
// writer picks.
std::string temporaryNameBeside(const std::string& path) {
    std::random_device entropy;
    return path + ".tmp-" + std::to_string(std::uint64_t{entropy()} << 32 | entropy());
}

// Device paths come as UTF-8; the port interface takes wide names.
std::wstring widen(const std::string& text) {
    std::wstring wide;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80    ? 0
                          : lead >= 0xF0 ? 3
                          : lead >= 0xE0 ? 2
                          : lead >= 0xC0 ? 1
                                         : -1;
        static constexpr unsigned char kLeadBits[] = {0x7F, 0x1F, 0x0F, 0x07};
        char32_t code = extra < 0 ? 0xFFFD : lead & kLeadBits[extra];
        std::size_t used = 1;
        for (int k = 0; k < extra && i + used < text.size(); ++k, ++used) {
            const auto next = static_cast<unsigned char>(text[i + used]);
            if ((next & 0xC0) != 0x80) break;
            code = (code << 6) | (next & 0x3F);
        }
        if (extra > 0 && used != static_cast<std::size_t>(extra) + 1) code = 0xFFFD;
        if (sizeof(wchar_t) == 2 && code > 0xFFFF) {
            code -= 0x10000;
            wide.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
            code = 0xDC00 + (code & 0x3FF);
        }
        wide.push_back(static_cast<wchar_t>(code));
        i += used;
    }
    return wide;
}

// The reply as a quoted C-style literal, so control characters show.
std::string quoted(const unsigned char* bytes, std::uint32_t count) {
    std::string text = "\"";
    for (std::uint32_t i = 0; i < count; ++i) {
        const unsigned char c = bytes[i];
        if (c == '\r')
            text += "\\r";
        else if (c == '\n')
            text += "\\n";
        else if (c == '\t')
            text += "\\t";
        else if (c == '"' || c == '\\')
            text += std::string("\\") + static_cast<char>(c);
        else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof(hex), "\\x%02X", c);
            text += hex;
        } else {
            text += static_cast<char>(c);
        }
    }
    return text + "\"";
}

// ---- GPIO checks.

int loadGpio(IXGrab& grab, const std::string& path, std::ostream& out, std::ostream& err) {
    KeyValueFileStore store;
    std::string problem;
    if (!store.load(path, &problem)) {
        err << "tamra-grab: --gpio-load: " << problem << '\n';
        return 1;
    }
    grab.LoadStorage(&store);
    for (const std::string& key : store.unusedKeys())
        err << "tamra-grab: --gpio-load: " << path << ": unknown key " << key << " ignored\n";
    if (!store.badValues().empty()) {
        for (const std::string& bad : store.badValues())
            err << "tamra-grab: --gpio-load: " << path << ": not a number: " << bad << '\n';
        return 1;
    }
    out << "gpio: loaded " << store.readsApplied() << " settings from " << path << '\n';
    return 0;
}

int saveGpio(IXGrab& grab, const std::string& path, std::ostream& out, std::ostream& err) {
    KeyValueFileStore store;
    grab.SaveStorage(&store);
    std::string problem;
    if (!store.save(path, &problem)) {
        err << "tamra-grab: --gpio-save: " << problem << '\n';
        return 1;
    }
    out << "gpio: saved " << store.size() << " settings to " << path << '\n';
    return 0;
}

// ---- Serial check.

bool configurePort(IXGrab& grab, void* port, const LineOptions& options) {
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (grab.GetCommState(port, &dcb) == 0) return false;
    dcb.BaudRate = options.serialBaud;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (grab.SetCommState(port, &dcb) == 0) return false;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kReplyGapMs;
    timeouts.ReadTotalTimeoutConstant = options.serialTimeoutMs;
    timeouts.WriteTotalTimeoutConstant = options.serialTimeoutMs;
    return grab.SetCommTimeouts(port, &timeouts) != 0;
}

// Sends the line and reads the reply; false with the failing step in *step.
bool exchange(IXGrab& grab, void* port, const LineOptions& options, std::ostream& out,
              const char** step) {
    *step = "configure";
    if (!configurePort(grab, port, options)) return false;
    grab.PurgeComPort(port);  // a stale reply from an earlier run is not this one's
    const std::string line = options.serialLine + "\r\n";
    std::uint32_t written = 0;
    *step = "write to";
    const auto count = static_cast<std::uint32_t>(line.size());
    if (grab.WriteComPort(port, line.data(), count, &written) == 0) return false;
    std::vector<unsigned char> reply(kReplyCapacity);
    std::uint32_t received = 0;
    *step = "read from";
    if (grab.ReadComPort(port, reply.data(), kReplyCapacity, &received) == 0) return false;
    out << "serial " << options.serialDevice << ": sent " << written << " bytes, received "
        << received << " bytes within " << options.serialTimeoutMs
        << " ms: " << quoted(reply.data(), received) << '\n';
    if (received == 0) {
        // Silence is a failed check: nothing on the line answered.
        *step = "get a reply from";
        errno = ETIMEDOUT;
        return false;
    }
    return true;
}

int checkSerial(IXGrab& grab, const LineOptions& options, std::ostream& out, std::ostream& err) {
    void* port = grab.OpenComPort(widen(options.serialDevice).c_str());
    if (port == INVALID_HANDLE_VALUE) {
        err << "tamra-grab: --serial: cannot open '" << options.serialDevice << "': " << reason()
            << '\n';
        return 1;
    }
    const char* step = "";
    const bool done = exchange(grab, port, options, out, &step);
    const std::string why = reason();
    grab.CloseComPort(port);
    if (done) return 0;
    err << "tamra-grab: --serial: cannot " << step << " '" << options.serialDevice << "': " << why
        << '\n';
    return 1;
}

}  // namespace

// ---- Options and the run.

bool LineOptions::any() const {
    return !gpioLoadFile.empty() || !gpioSaveFile.empty() || !serialDevice.empty();
}

void addLineOptions(CLI::App& app, LineOptions& options) {
    app.add_option("--gpio-load", options.gpioLoadFile,
                   "Load the GPIO input and output records from a key=value file")
        ->type_name("FILE");
    app.add_option("--gpio-save", options.gpioSaveFile,
                   "Save the GPIO input and output records to a key=value file")
        ->type_name("FILE");
    app.add_option("--serial", options.serialDevice,
                   "Open a serial port, send a line and show what comes back")
        ->type_name("DEVICE");
    app.add_option("--serial-line", options.serialLine, "Line sent by --serial (CR LF appended)")
        ->capture_default_str();
    app.add_option("--serial-baud", options.serialBaud, "Baud rate for --serial, 8N1")
        ->capture_default_str();
    app.add_option("--serial-timeout", options.serialTimeoutMs,
                   "Milliseconds --serial waits for the reply")
        ->capture_default_str()
        ->check(CLI::Range(1u, 600000u));
}

int runLineChecks(IXGrab& grab, const LineOptions& options, std::ostream& out, std::ostream& err) {
    if (!options.gpioLoadFile.empty() && loadGpio(grab, options.gpioLoadFile, out, err) != 0)
        return 1;
    if (!options.gpioSaveFile.empty() && saveGpio(grab, options.gpioSaveFile, out, err) != 0)
        return 1;
    if (!options.serialDevice.empty() && checkSerial(grab, options, out, err) != 0) return 1;
    return 0;
}

// ---- The key=value file.

bool KeyValueFileStore::load(const std::string& path, std::string* problem) {
    std::ifstream file(path);
    if (!file) {
        *problem = "cannot read '" + path + "': " + reason();
        return false;
    }
    std::string text;
    for (int number = 1; std::getline(file, text); ++number) {
        const std::string line = trim(text);
        if (line.empty() || line[0] == '#') continue;
        const auto equals = line.find('=');
        const std::string key = equals == std::string::npos ? "" : trim(line.substr(0, equals));
        if (key.empty()) {
            *problem =
                path + ":" + std::to_string(number) + ": expected key=value, found '" + line + "'";
            return false;
        }
        put(key, trim(line.substr(equals + 1)));
    }
    return true;
}

// Written beside the target and renamed over it, so that a write failing part-way (a full disk,
// a file-size limit) leaves the previous profile whole.
bool KeyValueFileStore::save(const std::string& path, std::string* problem) const {
    const std::string temporary = temporaryNameBeside(path);
    if (!writeEntries(temporary)) {
        *problem = "cannot write '" + path + "': " + reason();
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    std::error_code renamed;
    std::filesystem::rename(temporary, path, renamed);
    if (renamed) {
        *problem = "cannot replace '" + path + "': " + renamed.message();
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    return true;
}

bool KeyValueFileStore::writeEntries(const std::string& path) const {
    std::ofstream file(path, std::ios::trunc);
    if (!file) return false;
    for (const auto& entry : entries_) file << entry.first << '=' << entry.second << '\n';
    file.close();
    return !file.fail();
}

int KeyValueFileStore::WriteFloat(const char* key, float value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.9g", static_cast<double>(value));  // round-trips
    put(key, text);
    return 0;
}

int KeyValueFileStore::WriteInt(const char* key, int value) {
    put(key, std::to_string(value));
    return 0;
}

int KeyValueFileStore::ReadFloat(const char* key, float* value, float) {
    asked_.insert(key);
    const std::string* text = find(key);
    if (text == nullptr) return 1;
    char* end = nullptr;
    const float parsed = std::strtof(text->c_str(), &end);
    if (text->empty() || *end != '\0') {
        badValues_.push_back(std::string(key) + ": '" + *text + "'");
        return 1;
    }
    *value = parsed;
    ++readsApplied_;
    return 0;
}

int KeyValueFileStore::ReadInt(const char* key, int* value, int) {
    asked_.insert(key);
    const std::string* text = find(key);
    if (text == nullptr) return 1;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text->c_str(), &end, 10);
    if (text->empty() || *end != '\0' || errno == ERANGE ||
        parsed < std::numeric_limits<int>::min() || parsed > std::numeric_limits<int>::max()) {
        badValues_.push_back(std::string(key) + ": '" + *text + "'");
        return 1;
    }
    *value = static_cast<int>(parsed);
    ++readsApplied_;
    return 0;
}

std::vector<std::string> KeyValueFileStore::unusedKeys() const {
    std::vector<std::string> unused;
    for (const auto& entry : entries_)
        if (asked_.count(entry.first) == 0) unused.push_back(entry.first);
    return unused;
}

const std::string* KeyValueFileStore::find(const std::string& key) const {
    for (const auto& entry : entries_)
        if (entry.first == key) return &entry.second;
    return nullptr;
}

void KeyValueFileStore::put(const std::string& key, std::string value) {
    for (auto& entry : entries_) {
        if (entry.first == key) {
            entry.second = std::move(value);
            return;
        }
    }
    entries_.emplace_back(key, std::move(value));
}

}  // namespace tamra::tools
