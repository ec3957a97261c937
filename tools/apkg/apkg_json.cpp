#include "apkg_json.h"

#include "json_names.h"

nlohmann::ordered_json apkg_list_json(const fs::path& package, const std::vector<ApkgEntryInfo>& entries)
{
    using json = nlohmann::ordered_json;
    json members = json::array();
    bool damaged = false;
    for (const ApkgEntryInfo& e : entries) {
        json m = json::object();
        put_cp950_name(&m, "name", e.name);
        m["offset"] = e.offset;
        m["size"] = e.size;
        m["valid"] = e.valid;
        damaged |= !e.valid;
        members.push_back(std::move(m));
    }
    return json{{"package", utf8_of(package)}, {"members", std::move(members)}, {"damaged", damaged}};
}
