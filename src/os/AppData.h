// Tamra grab library: application-data path composition shared by the CiOS path and open calls.
#pragma once

namespace tamra::os {

// Composes the wide application-data path of CiOS::AppDataPath into buffer (kMaxPath
// characters). Returns false when the path had to be cut to fit, so that it is not opened.
bool composeWideAppDataPath(wchar_t* buffer, const wchar_t* subFolder, const wchar_t* fileName);

// Absolute in the sense of the path calls: starts with the separator, or has a colon as its
// second character (a drive letter); such names are used as given.
bool isAbsoluteName(const char* name);
bool isAbsoluteName(const wchar_t* name);

}  // namespace tamra::os
