// Tamra grab library: where CIGrabBrixoLT looks for the file that selects its variant.
#pragma once

#include <string>

namespace tamra::backends {

// "/windows/sicam.txt" with the native separator, unless a test has pointed it elsewhere.
std::string variantMarkerPath();

// Test seam: objects constructed afterwards look at this path; an empty path restores the
// default. Not part of the public interface.
void setVariantMarkerPath(const std::string& path);

}  // namespace tamra::backends
