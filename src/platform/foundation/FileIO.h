// Whole-file reads and crash-safe whole-file writes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"

namespace velkora::foundation {

// The error domain of the file helpers; the code is the errno of the step that failed.
inline constexpr const char* kFileErrorDomain = "VelkoraFileError";

// Writes to a temporary file in the same folder, flushes it to disk, renames it over `path` and flushes
// the folder: a crash at any point leaves either the old file or the new one, whole. On failure the old
// file is untouched, the temporary file is removed, and `error` (when given) says what failed.
bool writeFileAtomically(const std::string& path, std::string_view bytes, ErrorPtr* error = nullptr);

std::optional<std::string> readFile(const std::string& path);
bool fileExists(const std::string& path);        // a regular file or a folder
bool removeFile(const std::string& path);        // true when it is gone afterwards (also when it never was)
bool createDirectories(const std::string& path); // with parents; true when the folder exists afterwards
// A new private folder <system temp>/<prefix>XXXXXX; "" on failure.
std::string createTemporaryDirectory(const std::string& prefix);
// A file, or a folder with everything in it; true when it is gone afterwards.
bool removeTree(const std::string& path);

} // namespace velkora::foundation
