// Text from a disc set or a package, made safe to print on a terminal.
#pragma once

#include <string>

// The UTF-8 text with every control character (C0, DEL and C1, such as the
// ESC that starts a terminal command) written as \xNN or \u00NN, and every
// byte that is not part of a valid UTF-8 sequence as \xNN. Everything else,
// including Chinese text and "\" separators, stays as it is.
std::string printable(const std::string& text);

// Bytes that are not text (a name with no Big5 form): printable ASCII as it
// is, every other byte as \xNN.
std::string escaped_bytes(const std::string& bytes);
