// The kit's build, as it reports itself to the service.
#pragma once

#include <string>

#include "velkora/Export.h"

namespace velkora {

VELKORA_EXPORT std::string versionString();

} // namespace velkora
