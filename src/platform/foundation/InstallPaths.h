// Where the kit's installed files lie, found from the binary that holds the kit: the shared library in a
// host's prefix, or a program linked with the static kit. Nothing here names a folder of the machine the
// kit was built on, so an installed tree works wherever it is unpacked.
#pragma once

#include <string>
#include <string_view>

namespace velkora::foundation::InstallPaths {

// The folder of the library or program that holds the kit; empty when it cannot be told.
std::string binaryFolder();

// The data folder `<DATADIR>/<name>` ("share/velkora") of the prefix the binary lies in: looked for beside
// the binary's folder and in the folders above it (a library may lie in lib/<arch>/, a build tree keeps
// its programs in folders of their own). Empty when there is none.
std::string dataFolder(std::string_view name);

} // namespace velkora::foundation::InstallPaths
