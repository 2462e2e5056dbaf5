// The pictures the service serves by address: the seed's own small PNGs (user photos, feed and topic
// pictures, stickers and pack icons) and any a test adds, kept in SQLite with their content type.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "Database.h"

namespace velkora::service {

// The route's prefix on the HTTPS listener.
inline constexpr const char* kPicturesPrefix = "/pictures";
// Stored addresses name the service by this mark; a reply carries the host it was asked on instead, so
// seeded addresses reach the running service whatever its port.
inline constexpr std::string_view kServiceAddressMark = "{service}";

void createPictureTable(Database& db);
// Makes a PNG for every seeded address under the mark and the pictures route.
void seedPictures(Database& db, const nlohmann::json& seed);
void storePicture(Database& db, const std::string& path, const std::string& bytes, const std::string& contentType);

// A PNG of its own for a path, chosen from the path's hash so no two seeded pictures look alike: a person's
// portrait under "people/", else a small picture of two colours and a shape.
std::string seedPictureFor(const std::string& path);

// Replaces every mark in a reply by the service's address as the client reached it.
std::string expandServiceAddresses(std::string text, const std::string& baseUrl);

} // namespace velkora::service
