// Compiled with -fexec-charset=CP950: every literal of the list becomes Big5.
#include "uninstall_texts.h"

namespace uninstall_text {

#define UNINSTALL_TEXT(name, text) const char name[] = text;
#include "uninstall_texts.def"
#undef UNINSTALL_TEXT

}  // namespace uninstall_text
