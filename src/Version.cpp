#include "velkora/Version.h"

namespace velkora {

std::string versionString() {
    return "2.5.7";
}

} // namespace velkora
