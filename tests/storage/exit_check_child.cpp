// A small program for the exit-check tests. It records every message box it
// shows into the file named by its first argument ("caption|text" lines),
// then does what its second argument says and ends, so the test can read
// what the exit checks showed. A BOXFILE of "-" keeps the platform's own
// box (on POSIX a line on standard error), as a program that installs no
// handler has it.
//   exit_check_child BOXFILE MODE [FOLDER]
#include "file_object.h"
#include "platform.h"
#include "tracked_memory.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* g_box_file = nullptr;

int record(void*, const char* text, const char* caption, unsigned)
{
    FILE* f = fopen(g_box_file, "ab");
    if (f) {
        fprintf(f, "%s|%s\n", caption, text);
        fclose(f);
    }
    return PLAT_IDOK;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    g_box_file = argv[1];
    std::string mode = argv[2];
    std::string folder = argc > 3 ? argv[3] : ".";
    if (strcmp(g_box_file, "-") != 0) {
        plat_set_message_box_handler(record);
    } else {
        // Any real program has named a file before it ends, so the path
        // conversion has been used before the exit checks use it again.
        plat_file_attributes(folder.c_str());
    }

    if (mode == "nothing")
        return 0;
    if (mode == "balanced") {
        void* a = tracked_alloc(10);
        void* b = tracked_alloc(1000);
        tracked_free(a);
        tracked_free(b);
        return 0;
    }
    if (mode == "leak") {
        void* a = tracked_alloc(10);
        tracked_alloc(64);  // never released
        tracked_free(a);
        return 0;
    }
    if (mode == "free-unknown") {
        // A block from the plain heap, released while nothing is live; the
        // counters after it tell whether it was released all the same.
        void* block = malloc(32);
        printf("ptr:%llx\n", (unsigned long long)(uintptr_t)block);
        fflush(stdout);
        TrackedStats before = tracked_stats();
        tracked_free(block);
        TrackedStats after = tracked_stats();
        printf("releases:%d bytes:%s\n", (int)(after.releases - before.releases),
               after.bytes_released - before.bytes_released >= 32 ? "all" : "short");
        return 0;
    }
    if (mode == "alloc-failure") {
        tracked_alloc(5);
        // No heap can give this, with a size_t of 32 bits or of 64; the box
        // shows it as the int -1.
        tracked_alloc(SIZE_MAX);
        return 3;  // not reached: the allocator ends the process
    }
    std::string plain = folder + "\\plain.bin";
    std::string member = folder + "\\pack\\m.txt";
    if (mode == "file-left-open") {
        FileObject f;
        f.open_write(plain.c_str());
        return 0;
    }
    if (mode == "files-left-open" || mode == "files-closed") {
        // Two plain files, written and read back; closed or not.
        FileObject w, r;
        if (!w.open_write(plain.c_str()) || !w.write("data", 4))
            return 4;
        if (!r.open_read(plain.c_str()))
            return 4;
        if (mode == "files-closed" && (!w.close() || !r.close()))
            return 5;
        return 0;
    }
    if (mode == "member-closed" || mode == "member-left-open") {
        FileObject f;
        if (!f.open_read(member.c_str()))
            return 4;
        if (mode == "member-closed")
            f.close();
        return 0;
    }
    return 2;
}
