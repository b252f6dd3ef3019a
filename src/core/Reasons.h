// Tamra grab library: the reason texts of the grab core's messages, one place for each text.
#pragma once

namespace tamra::reason {

inline constexpr const char kNotInitialized[] = "Grab not initialized";
inline constexpr const char kAlreadyInitialized[] = "Grab already initialized";
inline constexpr const char kNotCreated[] = "Grab not created";
inline constexpr const char kCropExceeded[] = "Crop boundaries exceed max image size";
inline constexpr const char kInvalidArgument[] = "Invalid argument";
inline constexpr const char kRingAllocation[] = "Image ring buffer allocation failed";
inline constexpr const char kArrayAllocation[] = "Image array allocation failed";

}  // namespace tamra::reason
