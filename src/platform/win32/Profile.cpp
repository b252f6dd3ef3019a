// Tamra grab library: profile files through the Win32 profile API.
#include "platform/Profile.h"

#include <windows.h>

#include "platform/Text.h"

namespace tamra::platform {
namespace {

constexpr DWORD kLargestValue = 32767;

}  // namespace

// The system trims the value (and drops one pair of quotes around it) and gives the default for
// a missing file, section or key. A path without a separator would be looked for in the Windows
// folder, so callers pass ".\name" for the current folder.
std::wstring readProfileString(const char* path, const wchar_t* section, const wchar_t* key,
                               const wchar_t* dflt) {
    const std::wstring fallback = dflt != nullptr ? dflt : L"";
    if (path == nullptr || section == nullptr || key == nullptr) return fallback;
    const std::wstring file = toWide(path);
    std::wstring value(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(value.size());
        const DWORD length = GetPrivateProfileStringW(section, key, fallback.c_str(), value.data(),
                                                      size, file.c_str());
        // A value that filled the buffer may have been cut: read it again with more room.
        if (length + 1 < size || size >= kLargestValue) {
            value.resize(length);
            return value;
        }
        value.resize(static_cast<std::size_t>(size) * 2);
    }
}

}  // namespace tamra::platform
