// Names from a disc set or a package in machine-readable output: each name
// as UTF-8 text beside its raw code page 950 bytes in hex, so a reader can
// match it byte for byte with the disc whatever the text became.
#pragma once

#include "terminal_text.h"

#include <nlohmann/json.hpp>

#include <string>

// The bytes as lowercase hexadecimal, two digits per byte ("a4bd").
std::string hex_of(const std::string& bytes);

// Sets key (the UTF-8 text, or escaped_bytes when the bytes do not convert
// from code page 950), key_hex (hex_of the bytes) and key_escaped (whether
// the text is the escaped form) in *object.
void put_cp950_name(nlohmann::ordered_json* object, const std::string& key, const std::string& cp950);

// The document as UTF-8 text, indented by two, ending in a newline. Any
// string that is not valid UTF-8 despite the above is written with U+FFFD
// rather than failing.
std::string json_text(const nlohmann::ordered_json& doc);
