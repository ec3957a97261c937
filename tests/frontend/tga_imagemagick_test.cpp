// The reader against pictures another program wrote: ImageMagick writes
// each fixture (raw and run-length; 8-bit colour-mapped and grey, 16, 24 and
// 32 bits; both row orders) together with its own decoding of it, and every
// byte of every row must agree. The fixtures are made at build time by
// make_tga_fixtures.sh into TGA_FIXTURE_DIR.
#include "image_buffer.h"
#include "tracked_memory.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

// The fixture folder as the system names it.
std::string fixture_path(const std::string& name)
{
    std::string path = std::string(TGA_FIXTURE_DIR) + "/" + name;
#ifdef _WIN32
    // A host path under Wine: drive Z: is the host's root.
    for (char& c : path)
        if (c == '/')
            c = '\\';
    path = "Z:" + path;
#endif
    return path;
}

struct Fixture {
    std::string name;
    int type, depth, top;
    std::string ref;
};

// A 5-bit channel widened to 8 bits as ImageMagick does: v x 255 / 31,
// truncated.
int widen5(int v)
{
    return v * 255 / 31;
}

// The decoded block turned into the reference layout, row by row.
std::string expand_row(const ImageBuffer& b, int y, const Fixture& f)
{
    std::string out;
    const uint8_t* row = b.rows[y];
    for (int x = 0; x < b.width; ++x) {
        if (f.ref == "gray") {
            out += (char)row[x];
        } else if (f.depth == 8) {
            const uint8_t* entry = b.palette + 4 * row[x];
            out.append((const char*)entry, 3);
        } else if (f.depth == 16) {
            int word = row[2 * x] | (row[2 * x + 1] << 8);
            out += (char)widen5(word & 31);
            out += (char)widen5((word >> 5) & 31);
            out += (char)widen5((word >> 10) & 31);
        } else {
            out.append((const char*)row + x * (f.depth / 8), (size_t)(f.depth / 8));
        }
    }
    return out;
}

std::vector<Fixture> read_manifest()
{
    std::vector<Fixture> list;
    std::istringstream in(read_file(fixture_path("manifest.txt")));
    Fixture f;
    while (in >> f.name >> f.type >> f.depth >> f.top >> f.ref)
        list.push_back(f);
    return list;
}

TEST(TgaFromImageMagick, EveryRowMatchesImageMagicksDecoding)
{
    if (!exists(fixture_path("manifest.txt")))
        GTEST_SKIP() << "no ImageMagick fixtures in " << TGA_FIXTURE_DIR
                     << ": ImageMagick's convert was not found when the build was configured";
    std::vector<Fixture> fixtures = read_manifest();
    ASSERT_GE(fixtures.size(), 13u);
    for (const Fixture& f : fixtures) {
        SCOPED_TRACE(f.name);
        std::string file = read_file(fixture_path(f.name));
        ASSERT_GE(file.size(), 18u);
        // What ImageMagick wrote: no ID field, the intended type, depth and
        // row order, and 256 three-byte colour-map entries when mapped.
        const uint8_t* h = (const uint8_t*)file.data();
        EXPECT_EQ(h[0], 0);
        EXPECT_EQ(h[2], f.type);
        EXPECT_EQ(h[16], f.depth);
        EXPECT_EQ((h[17] & 0x20) != 0, f.top == 1);
        if (f.type == 1 || f.type == 9) {
            EXPECT_EQ(h[1], 1);
            EXPECT_EQ(h[5] | (h[6] << 8), 256);
            EXPECT_EQ(h[7], 24);
        }
        int width = h[12] | (h[13] << 8);
        int height = h[14] | (h[15] << 8);

        std::vector<uint8_t> palette(1024, 0xEE);
        int32_t live = tracked_stats().live;
        {
            ImageBuffer b;
            ASSERT_EQ(b.load_tga(fixture_path(f.name).c_str(), palette.data()), 1);
            ASSERT_EQ(b.width, width);
            ASSERT_EQ(b.height, height);
            ASSERT_EQ(b.bpp, f.depth);
            if (f.depth == 8)
                EXPECT_EQ(memcmp(palette.data(), b.palette, 1024), 0);
            else
                EXPECT_EQ(palette, std::vector<uint8_t>(1024, 0xEE));

            std::string ref = read_file(fixture_path(f.name.substr(0, f.name.size() - 4) + ".ref"));
            ASSERT_EQ(ref.size() % (size_t)height, 0u);
            size_t ref_row = ref.size() / (size_t)height;
            int mismatched_rows = 0;
            for (int y = 0; y < height; ++y) {
                std::string got = expand_row(b, y, f);
                std::string want = ref.substr((size_t)y * ref_row, ref_row);
                if (got != want && ++mismatched_rows <= 3) {
                    size_t at = 0;
                    while (at < got.size() && at < want.size() && got[at] == want[at])
                        ++at;
                    ADD_FAILURE() << "row " << y << " differs from byte " << at << " of " << want.size();
                }
            }
            EXPECT_EQ(mismatched_rows, 0);
        }
        EXPECT_EQ(tracked_stats().live, live);
    }
}

}  // namespace
