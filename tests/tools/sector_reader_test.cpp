// Sectors of user data out of the layouts disc images keep them in: every
// stride and data offset a raw track has, a track that starts inside its
// file, the mode of a raw sector from its header, and cue sheets' tracks
// (written here by hand) turned into those layouts.
#include "cue_sheet.h"
#include "sector_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct SectorFiles : ::testing::Test {
    fs::path dir;
    void SetUp() override
    {
        char tmpl[] = "/tmp/sector_reader_test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path write(const char* name, const std::string& bytes)
    {
        FILE* f = fopen((dir / name).c_str(), "wb");
        EXPECT_NE(f, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
        return dir / name;
    }
};

// The user data of sector `lsn`: its number in every byte, offset by 1 so
// that sector 0 is not all zero.
std::string user_data(uint32_t lsn)
{
    return std::string(2048, (char)(lsn * 7 + 1));
}

TEST_F(SectorFiles, EveryStrideAndDataOffsetGivesTheUserData)
{
    struct Layout {
        uint32_t stride, data_offset, lead;  // lead: sectors of other bytes before the track
    } layouts[] = {{2048, 0, 0},  {2048, 0, 2},  {2336, 8, 0}, {2352, 16, 1},
                   {2352, 24, 0}, {2448, 16, 3}, {2448, 24, 0}};
    const uint32_t kSectors = 40;
    for (const Layout& l : layouts) {
        SCOPED_TRACE(std::to_string(l.stride) + "/" + std::to_string(l.data_offset) + " after " +
                     std::to_string(l.lead));
        std::string file(l.lead * l.stride, '\xEE');
        for (uint32_t s = 0; s < kSectors; ++s) {
            std::string sector(l.stride, '\xEE');  // what lies around the data: sync, header, subchannel
            sector.replace(l.data_offset, 2048, user_data(s));
            file += sector;
        }
        fs::path path = write("track.bin", file + "tail");  // a partial sector at the end is not one
        std::string error;
        std::unique_ptr<SectorReader> r =
            open_raw_track(RawTrack{path, (uint64_t)l.lead * l.stride, l.stride, l.data_offset, 0}, &error);
        ASSERT_NE(r, nullptr) << error;
        EXPECT_EQ(r->sectors(), kSectors);
        std::vector<char> buffer(2048 * 5);
        ASSERT_EQ(r->read(buffer.data(), 17, 5), 1);
        for (uint32_t i = 0; i < 5; ++i)
            EXPECT_EQ(std::string(&buffer[i * 2048], 2048), user_data(17 + i)) << "sector " << 17 + i;
        ASSERT_EQ(r->read(buffer.data(), kSectors - 1, 1), 1);
        EXPECT_EQ(std::string(buffer.data(), 2048), user_data(kSectors - 1));
        EXPECT_EQ(r->read(buffer.data(), kSectors - 1, 2), 0);  // runs past the track
        EXPECT_EQ(r->read(buffer.data(), kSectors, 1), 0);
        // A track of a given length ends there, even if the file goes on.
        r = open_raw_track(RawTrack{path, (uint64_t)l.lead * l.stride, l.stride, l.data_offset, 20}, &error);
        ASSERT_NE(r, nullptr) << error;
        EXPECT_EQ(r->sectors(), 20u);
        EXPECT_EQ(r->read(buffer.data(), 20, 1), 0);
    }
}

TEST_F(SectorFiles, ATrackTheFileCannotHoldIsRefusedWithItsName)
{
    fs::path path = write("short.bin", std::string(2352 * 10, '\0'));
    struct Case {
        RawTrack track;
        const char* says;
    } cases[] = {
        {{dir / "gone.bin", 0, 2352, 16, 0}, "gone.bin does not exist"},
        {{path, 2352 * 11, 2352, 16, 0}, "short.bin is shorter than the track"},
        {{path, 0, 2352, 16, 11}, "short.bin is cut short: its track has 11 sectors, the file holds 10"},
        {{path, 0, 2352, 400, 0}, "cannot hold 2048 bytes of data at byte 400"},
        {{path, 0, 1024, 0, 0}, "cannot hold 2048 bytes"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(open_raw_track(c.track, &error), nullptr) << c.says;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

TEST(RawSectorMode, TheSyncAndModeByteGiveTheDataOffset)
{
    struct Case {
        bool sync;
        unsigned char mode;
        int data;
        uint32_t offset;
    } cases[] = {{true, 1, 1, 16}, {true, 2, 1, 24}, {true, 0, 0, 0}, {true, 3, 0, 0}, {false, 1, 0, 0}};
    for (const Case& c : cases) {
        unsigned char sector[2352] = {};
        if (c.sync)
            memset(sector + 1, 0xFF, 10);
        sector[15] = c.mode;
        uint32_t offset = 99;
        EXPECT_EQ(raw_sector_data_offset(sector, &offset), c.data) << (int)c.mode;
        if (c.data) {
            EXPECT_EQ(offset, c.offset);
        }
    }
}

TEST(CueSheetTracks, EachTrackLiesWhereItsFileAndIndexSay)
{
    struct Case {
        const char* sheet;
        int track;  // which track (1-based) is checked
        const char* file;
        uint64_t first_byte;  // INDEX 01 in sectors of the track's size
        uint32_t stride, data_offset;
        uint64_t sectors;  // up to the next track's INDEX 00 in the same file; 0: the file's end
        bool audio;
    } cases[] = {
        {"FILE \"Game (Disc 1).bin\" BINARY\n TRACK 01 MODE1/2352\n INDEX 01 00:00:00\n", 1, "Game (Disc 1).bin", 0,
         2352, 16, 0, false},
        {"FILE disc.img BINARY\r\nTRACK 01 MODE1/2048\r\nINDEX 01 00:00:00\r\n", 1, "disc.img", 0, 2048, 0, 0, false},
        {"FILE \"a.bin\" BINARY\n TRACK 01 MODE2/2352\n INDEX 00 00:00:00\n INDEX 01 00:02:00\n", 1, "a.bin",
         150 * 2352, 2352, 24, 0, false},
        {"FILE \"a.bin\" BINARY\n TRACK 01 MODE2/2336\n INDEX 01 00:00:00\n", 1, "a.bin", 0, 2336, 8, 0, false},
        {"FILE \"a.bin\" BINARY\n TRACK 01 MODE1/2352\n INDEX 01 00:00:00\n TRACK 02 AUDIO\n PREGAP 00:02:00\n"
         " INDEX 00 01:00:00\n INDEX 01 01:02:00\n",
         1, "a.bin", 0, 2352, 16, 60 * 75, false},
        {"FILE \"a.bin\" BINARY\n TRACK 01 MODE1/2352\n INDEX 01 00:00:00\n TRACK 02 AUDIO\n PREGAP 00:02:00\n"
         " INDEX 00 01:00:00\n INDEX 01 01:02:00\n",
         2, "a.bin", (60 * 75 + 150) * 2352, 2352, 0, 0, true},
        // Keywords in small letters, and no line end after the last line.
        {"file \"Game.BIN\" binary\n\ttrack 01 mode1/2352\n\tindex 01 00:00:00", 1, "Game.BIN", 0, 2352, 16, 0, false},
        {"File Game.bin Binary\r\n  Track 01 Mode2/2352\r\n  Index 01 00:00:02", 1, "Game.bin", 2 * 2352, 2352, 24, 0,
         false},
        {"FILE \"t1.bin\" BINARY\n TRACK 01 AUDIO\n INDEX 01 00:00:00\nFILE \"t2.bin\" BINARY\n TRACK 02 MODE1/2352\n"
         " INDEX 00 00:00:00\n INDEX 01 00:02:00\n POSTGAP 00:02:00\n",
         2, "t2.bin", 150 * 2352, 2352, 16, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sheet);
        std::vector<CueTrack> tracks;
        std::string error;
        ASSERT_EQ(parse_cue_sheet(c.sheet, "/discs", &tracks, &error), 1) << error;
        ASSERT_GE((int)tracks.size(), c.track);
        const CueTrack& t = tracks[c.track - 1];
        EXPECT_EQ(t.raw.file, fs::path("/discs") / c.file);
        EXPECT_EQ(t.audio, c.audio);
        EXPECT_EQ(t.raw.first_byte, c.first_byte);
        EXPECT_EQ(t.raw.stride, c.stride);
        EXPECT_EQ(t.raw.data_offset, c.data_offset);
        EXPECT_EQ(t.raw.sectors, c.sectors);
    }
    std::vector<CueTrack> tracks;
    std::string error;
    EXPECT_EQ(parse_cue_sheet("this is no sheet", "/discs", &tracks, &error), 0);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(parse_cue_sheet(std::string("FILE \"a.bin\" BINARY\n\0\x01", 22), "/discs", &tracks, &error), 0);
    EXPECT_NE(error.find("not text"), std::string::npos) << error;
    EXPECT_EQ(parse_cue_sheet(std::string(300 << 10, ' '), "/discs", &tracks, &error), 0);
    EXPECT_NE(error.find("larger than"), std::string::npos) << error;
}

}  // namespace
