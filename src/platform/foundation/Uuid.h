// Random (version 4) UUIDs in canonical upper-case text, "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
#pragma once

#include <string>

namespace velkora::foundation {

std::string uuidV4();

} // namespace velkora::foundation
