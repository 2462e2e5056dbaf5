// Filling an empty database from the seed file: the demo application and its users, topics, quizzes,
// sticker packs and promoted applications.
#pragma once

#include <string>

#include "Database.h"

namespace velkora::service {

// Loads `path` (JSON) into `db` when the database holds no application yet. Returns false with
// `error` set when the file cannot be read or is malformed.
bool seedDatabase(Database& db, const std::string& path, double now, std::string& error);

// Creates an application with the given configuration, and its owner's account "_OWNER".
void insertApp(Database& db, const std::string& appId, const std::string& configJson, double now);

} // namespace velkora::service
