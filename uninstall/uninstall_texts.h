// The texts of the uninstaller, listed once in uninstall_texts.def.
// uninstall_texts.cpp is compiled with the execution character set CP950, so
// each name holds the Big5 bytes that the "A" functions expect. The names of
// what setup made, which the uninstaller looks for, are in registration.h.
#pragma once

namespace uninstall_text {

#define UNINSTALL_TEXT(name, text) extern const char name[];
#include "uninstall_texts.def"
#undef UNINSTALL_TEXT

}  // namespace uninstall_text
