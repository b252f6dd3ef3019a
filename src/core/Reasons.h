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
inline constexpr const char kNoTriggerMethod[] = "No trigger method specified";
inline constexpr const char kRejectorNotEnabled[] = "Rejector not enabled";
inline constexpr const char kRecyclerNotEnabled[] = "Recycler not enabled";
inline constexpr const char kInvalidBrightness[] = "Invalid brightness value";
inline constexpr const char kInvalidContrast[] = "Invalid contrast value";
// An exported operation that runs out of memory or threads refuses with this instead of letting
// the exception through.
inline constexpr const char kOutOfResources[] = "Not enough memory or system resources";
inline constexpr const char kOnAcquisitionThread[] = "Called from an acquisition callback";

}  // namespace tamra::reason
