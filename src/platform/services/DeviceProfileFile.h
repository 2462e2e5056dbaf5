// The device profile as a JSON file, the form in which hosts and the demo describe the device.
#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/services/Device.h"

namespace velkora::services {

// Reads the profile at `path`; picture files named in it are read relative to its folder. A missing
// file, text that is not JSON, a field of the wrong type or an unreadable picture fail with the domain
// "VelkoraDeviceProfile" and a message naming the field.
std::optional<DeviceProfile> readDeviceProfile(const std::string& path, foundation::ErrorPtr* error);

// The same from JSON text; `folder` is where relative picture files are found.
std::optional<DeviceProfile> parseDeviceProfile(const std::string& json, const std::string& folder,
                                                foundation::ErrorPtr* error);

} // namespace velkora::services
