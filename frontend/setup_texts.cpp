// Compiled with -fexec-charset=CP950: every literal of the list becomes Big5.
#include "setup_texts.h"

namespace setup_text {

#define SETUP_TEXT(name, text) const char name[] = text;
#include "setup_texts.def"
#undef SETUP_TEXT

}  // namespace setup_text
