// `apkg list --json`: {"package", "members": [{"name", "name_hex",
// "name_escaped", "offset", "size", "valid"}], "damaged"}.
#pragma once

#include "apkg_writer.h"

#include <nlohmann/json.hpp>

#include <vector>

nlohmann::ordered_json apkg_list_json(const fs::path& package, const std::vector<ApkgEntryInfo>& entries);
