// The texts of setup, listed once in setup_texts.def. setup_texts.cpp is
// compiled with the execution character set CP950, so each name holds the
// Big5 bytes that the "A" functions expect. The names of what setup makes
// (the uninstall shortcut, the web shortcut, uninstall.dat) are in
// registration.h, shared with the uninstaller.
#pragma once

namespace setup_text {

#define SETUP_TEXT(name, text) extern const char name[];
#include "setup_texts.def"
#undef SETUP_TEXT

}  // namespace setup_text
