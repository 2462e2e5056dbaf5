// Folders of the source and build tree, for the tests, the demo and the benchmarks that look things up
// there. Only the generated BuildPaths.cpp spells them: every file that includes this one compiles the same
// in any clone, so the compiler cache serves a fresh clone what another left.
#pragma once
#include <string>

namespace velkora::buildpaths {
extern const char* const kSourceDir;
extern const char* const kBinaryDir;
extern const char* const kBuildDataDir;
} // namespace velkora::buildpaths

#define VELKORA_SERVICE_SEED_DIR (std::string(::velkora::buildpaths::kSourceDir) + "/service/seed")
#define VELKORA_TESTS_SOURCE_DIR (std::string(::velkora::buildpaths::kSourceDir) + "/tests")
#define VELKORA_TESTS_BINARY_DIR (std::string(::velkora::buildpaths::kBinaryDir) + "/tests")
#define VELKORA_BUILD_FRAMEWORK_TEMPLATE (std::string(::velkora::buildpaths::kBinaryDir) + "/modules/%@/lib%@.so")
#define VELKORA_BUILD_DATA_DIR (std::string(::velkora::buildpaths::kBuildDataDir))
// A test folder's own data folder; its build names the folder (VELKORA_TEST_DATA_SUBDIR).
#ifdef VELKORA_TEST_DATA_SUBDIR
#define VELKORA_TEST_DATA_DIR (VELKORA_TESTS_SOURCE_DIR + VELKORA_TEST_DATA_SUBDIR)
#endif
