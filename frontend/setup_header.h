// The first step of setup's flow: the header of "<source root>\cd1", read
// and checked before anything is proposed or created from it.
#pragma once

#include "disc_format.h"

// Reads the header of the first disc file (plain or a package member) into
// `header` and checks it with check_disc_header. 1 when it is sound. 0 when
// cd1 cannot be opened (quietly: setup then ends without a word) and 0 after
// the damage message "安裝資料損毀" / "磁碟錯誤!" when cd1 is shorter than
// the header or a field is refused; `header` is then all zero, so nothing
// can be built from it.
int read_setup_header(const char* source_root, DiscHeader* header);
