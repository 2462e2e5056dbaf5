// Whole-file reads and crash-safe whole-file writes.
#pragma once

#include <functional>
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

// The same write on the process's writer thread: the caller never waits for the disk. Writes land in
// the order they were asked. Until a path's writes have landed, the helpers here that read, write or
// remove that path (and removeTree, any path) wait for them, so the process reads what it wrote.
// `done`, when given, runs on the writer's thread with the write's error (null when it landed), before the
// write counts as landed: it must not wait for background writes itself.
void writeFileAtomicallyInBackground(std::string path, std::string bytes,
                                     std::function<void(const ErrorPtr&)> done = {});
// Blocks until every background write asked for so far has landed.
void waitForBackgroundWrites();

std::optional<std::string> readFile(const std::string& path);
bool fileExists(const std::string& path);        // a regular file or a folder
bool removeFile(const std::string& path);        // true when it is gone afterwards (also when it never was)
bool createDirectories(const std::string& path); // with parents; true when the folder exists afterwards
// A new private folder <system temp>/<prefix>XXXXXX; "" on failure.
std::string createTemporaryDirectory(const std::string& prefix);
// A file, or a folder with everything in it; true when it is gone afterwards.
bool removeTree(const std::string& path);

} // namespace velkora::foundation
