// Service-shaped JSON generated from a fixed seed: the same bytes on every machine and every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velkora::bench {

// A feed page: messages with their posters, likes and comments, about `targetBytes` long.
std::string makeFeedPage(size_t targetBytes = 800 * 1024, uint64_t seed = 20261209);
// A small reply (user data with a few friends), about 4 KB.
std::string makeUserReply(uint64_t seed = 7);

} // namespace velkora::bench
