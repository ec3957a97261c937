// Writes the seed corpus of the fuzz_disc target into the folder given as
// the argument (fuzz/corpus/fuzz_disc). Each seed is one selector byte (see
// fuzz/fuzz_disc.cpp) and then disc bytes made by the test-side writer.
#include "disc_fixture.h"

#include <cstdio>
#include <string>

namespace {

int g_failed = 0;

void seed(const std::string& folder, const std::string& name, unsigned char selector, const std::string& bytes)
{
    std::string path = folder + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        g_failed = 1;
        return;
    }
    fputc(selector, f);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_fuzz_corpus FOLDER\n");
        return 2;
    }
    std::string out = argv[1];
    using namespace fixture;
    std::string small = dir("\\d") + file("\\d\\f.txt") + data("hello") + close_file() + end_disc();
    seed(out, "small_set", 1, small);
    seed(out, "whole_cd1", 0,
         header("Co", "Game", "Key", "g.exe", 1, 40) + dir("\\a") + std::string(1, '\0') + file("\\a\\b") +
             data(std::string(30, 'x')) + std::string(1, '\x06') + close_file());
    seed(out, "two_discs", 2, file("\\movie") + data("part") + end_disc());
    seed(out, "cancel_at_two", (2 << 2) | 1, small);
    seed(out, "total_zero", 3, file("\\f") + data("z"));
    seed(out, "parent_path", 1, dir("\\ok") + file("\\..\\escape") + data("x"));
    seed(out, "truncated", 1, file("\\f") + data("abcdef").substr(0, 9));
    seed(out, "data_first", 1, data("no file yet") + file("\\f"));
    seed(out, "short_header", 0, header("Co", "Game", "Key", "g.exe", 1, 40).substr(0, 100));
    // 許功蓋 in cp950: second bytes 0x5C.
    seed(out, "big5_names", 1, dir("\\\xB3\x5C\xA5\x5C") + file("\\\xB3\x5C\xA5\x5C\\\xBB\x5C") + data("lid"));
    seed(out, "bad_length", 1, file("\\f") + raw_record(3, 409601, "xx"));
    // Forms Windows reads its own way: the install folder, a trailing
    // backslash, trailing dots and spaces, and names equal but for case.
    seed(out, "windows_forms", 1,
         dir("\\") + dir("\\Save.\\") + file("\\save\\slot. .") + data("s") + file("\\SAVE\\SLOT") + data("t") +
             close_file() + dir("\\a \\") + end_disc());
    return g_failed;
}
