#include "json_names.h"

#include "host_files.h"
#include "terminal_text.h"

#include <cstdio>

std::string hex_of(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 0xF];
    }
    return out;
}

void put_cp950_name(nlohmann::ordered_json* object, const std::string& key, const std::string& cp950)
{
    std::string utf8;
    bool converted = to_utf8(cp950, &utf8);
    (*object)[key] = converted ? utf8 : escaped_bytes(cp950);
    (*object)[key + "_hex"] = hex_of(cp950);
    (*object)[key + "_escaped"] = !converted;
}

std::string json_text(const nlohmann::ordered_json& doc)
{
    return doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
