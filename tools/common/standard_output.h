// Standard output is a file the user keeps too (a listing or --json
// redirected into a file): its buffered bytes reach it at the latest when
// it is closed, so a command has done its work only when that worked.
#pragma once

// Flushes and closes standard output. When a write to it failed (now or
// before), says so on standard error as "`program`: ..." and turns a code
// that claims the work was done (0 done, 3 partial) into 2; other codes stay.
int close_standard_output(const char* program, int code);
