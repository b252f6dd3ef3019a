// Tamra grab library: reader of profile files ([Section] headers and key=value lines).
#include "platform/Profile.h"

#include <fstream>

#include "platform/Text.h"

namespace tamra::platform {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string trimmed(const std::string& text, std::size_t begin, std::size_t end) {
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// Names compare without ASCII case; anything beyond ASCII must match byte for byte.
bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char ca = a[i];
        char cb = b[i];
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<char>(cb - 'A' + 'a');
        if (ca != cb) return false;
    }
    return true;
}

void dropByteOrderMark(std::string& line) {
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
}

// Header "[name]" gives name; other lines give nothing.
bool sectionHeader(const std::string& line, std::string& name) {
    const std::string text = trimmed(line, 0, line.size());
    if (text.size() < 2 || text.front() != '[') return false;
    const std::size_t close = text.find(']');
    if (close == std::string::npos) return false;
    name = trimmed(text, 1, close);
    return true;
}

}  // namespace

// The first matching key of a matching section wins, as later duplicates are shadowed.
std::wstring readProfileString(const char* path, const wchar_t* section, const wchar_t* key,
                               const wchar_t* dflt) {
    const std::wstring fallback = dflt != nullptr ? dflt : L"";
    if (path == nullptr || section == nullptr || key == nullptr) return fallback;
    std::ifstream file(path, std::ios::binary);
    if (!file) return fallback;
    const std::string wantedSection = toNarrow(section);
    const std::string wantedKey = toNarrow(key);
    bool inSection = false;
    bool firstLine = true;
    std::string line;
    while (std::getline(file, line)) {
        if (firstLine) dropByteOrderMark(line);
        firstLine = false;
        std::string name;
        if (sectionHeader(line, name)) {
            inSection = sameName(name, wantedSection);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos) continue;
        if (sameName(trimmed(line, 0, equals), wantedKey)) {
            return toWide(trimmed(line, equals + 1, line.size()).c_str());
        }
    }
    return fallback;
}

}  // namespace tamra::platform
