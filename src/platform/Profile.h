// Platform profile files: [Section] and key=value lines, names compared case-insensitively.
#pragma once

#include <string>

namespace tamra::platform {

// Value of key in section of the file, trimmed of surrounding blanks; the default when the
// file, the section or the key is missing.
std::wstring readProfileString(const char* path, const wchar_t* section, const wchar_t* key,
                               const wchar_t* dflt);

}  // namespace tamra::platform
