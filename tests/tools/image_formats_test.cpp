// The image kinds of collections: every kind is written here around one
// ISO 9660 image that xorriso made of a disc set's folder (CloneCD
// .ccd/.img/.sub, Alcohol .mds/.mdf with 2048-, 2352- and 2448-byte
// sectors, Nero .nrg of both footers, cdrdao .toc, a cue sheet over
// 2048-byte sectors, and a CHD that chdman makes); every sector read
// through open_image_sectors must equal the ISO's, and the set extracted
// from the image must be the set's files byte for byte. Then the variants
// that are not read, each refused with a message naming the format and
// what is missing.
#include "chd_image.h"
#include "disc_extract.h"
#include "disc_fixture.h"
#include "iso_medium.h"
#include "sector_reader.h"
#include "test_support.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
const size_t kUser = 2048;
const size_t kRaw = 2352;

void save(const fs::path& p, const Bytes& b)
{
    std::ofstream out(p, std::ios::binary);
    out.write((const char*)b.data(), (std::streamsize)b.size());
}

void save_text(const fs::path& p, const std::string& s)
{
    save(p, Bytes(s.begin(), s.end()));
}

Bytes load(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put32(Bytes* b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        (*b)[at + i] = (unsigned char)(v >> (8 * i));
}

void put_be(Bytes* b, size_t at, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        (*b)[at + i] = (unsigned char)(v >> (8 * (bytes - 1 - i)));
}

// The ISO's sectors raw: sync (00, ten FF, 00), the header (address in BCD
// minutes/seconds/frames, 150 frames ahead; then the mode), for mode 2 the
// subheader (submode 0x08 data, or 0x28 with the form 2 bit), the user data.
// Error codes stay zero: the readers take the data as it is. `pad` bytes of
// subchannel follow each sector (96 for 2448-byte sectors).
Bytes raw_sectors(const Bytes& iso, int mode, size_t pad = 0, unsigned char submode = 0x08)
{
    size_t n = iso.size() / kUser;
    Bytes out(n * (kRaw + pad));
    auto bcd = [](unsigned v) { return (unsigned char)((v / 10) << 4 | (v % 10)); };
    for (size_t s = 0; s < n; ++s) {
        unsigned char* o = &out[s * (kRaw + pad)];
        memset(o + 1, 0xFF, 10);
        unsigned a = (unsigned)s + 150;
        o[12] = bcd(a / 4500);
        o[13] = bcd(a / 75 % 60);
        o[14] = bcd(a % 75);
        o[15] = (unsigned char)mode;
        if (mode == 2)
            o[18] = o[22] = submode;
        memcpy(o + (mode == 1 ? 16 : 24), &iso[s * kUser], kUser);
    }
    return out;
}

// A .ccd as CloneCD writes it: one session, the lead-in's A0/A1/A2
// entries, track 1 data from sector 0; `extra_tracks` audio tracks follow
// it (their sectors in the .img after the data track's).
std::string ccd_text(uint64_t data_sectors, int mode, uint64_t audio_sectors = 0, const char* control = "0x04",
                     int scrambled = 0, uint64_t data_start = 0)
{
    uint64_t lead_out = data_start + data_sectors + audio_sectors;
    int tracks = audio_sectors ? 2 : 1;
    std::string s = "[CloneCD]\r\nVersion=3\r\n[Disc]\r\nTocEntries=" + std::to_string(3 + tracks) +
                    "\r\nSessions=1\r\nDataTracksScrambled=" + std::to_string(scrambled) +
                    "\r\nCDTextLength=0\r\n[Session 1]\r\nPreGapMode=" + std::to_string(mode) + "\r\nPreGapSubC=0\r\n";
    auto entry = [&](int n, const char* point, const char* ctl, uint64_t plba) {
        uint64_t a = plba + 150;
        s +=
            "[Entry " + std::to_string(n) + "]\r\nSession=1\r\nPoint=" + point + "\r\nADR=0x01\r\nControl=" + ctl +
            "\r\nTrackNo=0\r\nAMin=0\r\nASec=0\r\nAFrame=0\r\nALBA=-150\r\nZero=0\r\nPMin=" + std::to_string(a / 4500) +
            "\r\nPSec=" + std::to_string(a / 75 % 60) + "\r\nPFrame=" + std::to_string(a % 75) +
            "\r\nPLBA=" + std::to_string(plba) + "\r\n";
    };
    entry(0, "0xa0", control, 4350);
    entry(1, "0xa1", control, 4350 + 4500 * (tracks - 1));
    entry(2, "0xa2", control, lead_out);
    entry(3, "0x01", control, data_start);
    if (audio_sectors)
        entry(4, "0x02", "0x00", data_start + data_sectors);
    s += "[TRACK 1]\r\nMODE=" + std::to_string(mode) + "\r\nINDEX 1=0\r\n";
    if (audio_sectors)
        s += "[TRACK 2]\r\nMODE=0\r\nINDEX 0=0\r\nINDEX 1=150\r\n";
    return s;
}

// An .mds for one data track: the header (signature, version 1.3, CD-ROM,
// one session, the session block at 92), the session (sectors 0 to the
// end, 4 track blocks of which 3 lead-in, tracks 1..1, its blocks at 116),
// the lead-in blocks A0, A1, A2 and track 1 (mode, 96 bytes of subchannel
// when the stride is 2448, start sector 0, first byte 0 of the .mdf, one
// file, its extra block at 436 and its footer at 444), the extra block
// (no pregap, `sectors` long), the footer (the name at 460, 8-bit) and the
// name. `edit` changes the bytes afterwards for the refused variants.
Bytes mds_bytes(uint32_t sectors, unsigned char mode, uint16_t stride, const std::string& mdf = "*.mdf")
{
    Bytes d(460 + mdf.size() + 1);
    memcpy(&d[0], "MEDIA DESCRIPTOR", 16);
    d[16] = 1;
    d[17] = 3;
    d[20] = 1;          // sessions
    put32(&d, 80, 92);  // the first session block
    put32(&d, 92 + 0, (uint32_t)-150);
    put32(&d, 92 + 4, sectors);
    d[92 + 8] = 1;   // session number
    d[92 + 10] = 4;  // track blocks
    d[92 + 11] = 3;  // lead-in blocks
    d[92 + 12] = 1;  // first track
    d[92 + 14] = 1;  // last track
    put32(&d, 92 + 20, 116);
    const unsigned char points[4] = {0xA0, 0xA1, 0xA2, 1};
    for (int b = 0; b < 4; ++b) {
        size_t t = 116 + (size_t)b * 80;
        d[t + 2] = 0x14;  // ADR 1, control: data
        d[t + 4] = points[b];
    }
    size_t t = 116 + 3 * 80;
    d[t + 0] = mode;
    d[t + 1] = stride == 2448 ? 0x08 : 0;
    put32(&d, t + 12, 436);
    d[t + 16] = (unsigned char)stride;
    d[t + 17] = (unsigned char)(stride >> 8);
    put32(&d, t + 36, 0);
    put32(&d, t + 48, 1);
    put32(&d, t + 52, 444);
    put32(&d, 436 + 4, sectors);
    put32(&d, 444, 460);
    memcpy(&d[460], mdf.data(), mdf.size());
    return d;
}

// A Nero image: the ISO's 2048-byte sectors from byte 0, then the chunks
// (big endian): a track-extent chunk with one entry (version 2 "ETN2":
// 64-bit first byte and length, 32-bit mode 0 = mode 1 of 2048 bytes,
// 32-bit first sector, 8 more bytes; version 1 "ETNF": the same in 32
// bits), "SINF" (one track in the session), "END!"; then the footer:
// "NER5" and the chunks' 64-bit offset, or "NERO" and a 32-bit one.
Bytes nrg_bytes(const Bytes& iso, int version)
{
    Bytes d(iso);
    size_t chunks = d.size();
    size_t entry = version == 2 ? 32 : 20;
    Bytes c(8 + entry + 12 + 8);
    memcpy(&c[0], version == 2 ? "ETN2" : "ETNF", 4);
    put_be(&c, 4, entry, 4);
    if (version == 2) {
        put_be(&c, 8, 0, 8);
        put_be(&c, 16, iso.size(), 8);
        put_be(&c, 24, 0, 4);
        put_be(&c, 28, 0, 4);
    } else {
        put_be(&c, 8, 0, 4);
        put_be(&c, 12, iso.size(), 4);
        put_be(&c, 16, 0, 4);
        put_be(&c, 20, 0, 4);
    }
    size_t at = 8 + entry;
    memcpy(&c[at], "SINF", 4);
    put_be(&c, at + 4, 4, 4);
    put_be(&c, at + 8, 1, 4);
    memcpy(&c[at + 12], "END!", 4);
    d.insert(d.end(), c.begin(), c.end());
    Bytes footer(version == 2 ? 12 : 8);
    memcpy(&footer[0], version == 2 ? "NER5" : "NERO", 4);
    put_be(&footer, 4, chunks, version == 2 ? 8 : 4);
    d.insert(d.end(), footer.begin(), footer.end());
    return d;
}

struct ImageFormats : ::testing::Test {
    fs::path dir;
    Bytes iso;
    uint32_t sectors = 0;
    std::string big;  // what the set's data/big.bin holds
    std::string saved_tmpdir;
    bool had_tmpdir = false;

    // Nothing a reader wrote into its temporary folder is left.
    void expect_no_temporary_folders()
    {
        EXPECT_TRUE(fs::is_empty(dir / "tmp")) << "a reader left its temporary folder behind";
    }

    void SetUp() override
    {
        ASSERT_TRUE(xorriso_available());
        char tmpl[] = "/tmp/image_formats_test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        // Temporary folders of the readers (a CHD's disc) go here, where
        // the test sees whether they were removed.
        const char* tmpdir = getenv("TMPDIR");
        saved_tmpdir = tmpdir ? tmpdir : "";
        had_tmpdir = tmpdir != nullptr;
        fs::create_directory(dir / "tmp");
        setenv("TMPDIR", (dir / "tmp").c_str(), 1);
        // A one-disc set written record by record: a folder, a file of
        // random bytes not a multiple of a sector, a small file; and an
        // unrelated folder beside cd1 on the disc.
        big.resize(200000 + 77);
        std::mt19937 rng(23);
        for (char& b : big)
            b = (char)rng();
        fixture::DiscSet set;
        set.add_dir(0, "\\data");
        set.add_file(0, "\\data\\big.bin", big);
        set.add_file(0, "\\readme.txt", "a file of the set\n");
        fs::create_directories(dir / "disc1" / "extra");
        save_text(dir / "disc1" / "extra" / "note.txt", "beside the disc file\n");
        std::string win;
        ASSERT_TRUE(system_path_of(dir / "disc1", &win, nullptr));
        fixture::write_set(set, win);
        std::string error;
        ASSERT_TRUE(make_iso(dir / "disc1", dir / "disc1.iso", "DISC1", &error)) << error;
        iso = load(dir / "disc1.iso");
        ASSERT_EQ(iso.size() % kUser, 0u);
        sectors = (uint32_t)(iso.size() / kUser);
    }
    void TearDown() override
    {
        if (had_tmpdir)
            setenv("TMPDIR", saved_tmpdir.c_str(), 1);
        else
            unsetenv("TMPDIR");
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // Every sector of the image read as the ISO's, in runs of several
    // sizes; nothing past the end.
    void expect_the_iso(const fs::path& image)
    {
        std::string error;
        auto r = open_image_sectors(image, &error);
        ASSERT_TRUE(r) << error;
        ASSERT_EQ(r->sectors(), sectors);
        Bytes got(iso.size());
        for (uint32_t s = 0; s < sectors; s += 7) {
            uint32_t n = std::min<uint32_t>(7, sectors - s);
            ASSERT_TRUE(r->read(&got[s * kUser], s, n)) << "sector " << s;
        }
        EXPECT_TRUE(got == iso) << utf8_of(image) << ": the sectors differ from the ISO's";
        unsigned char one[kUser];
        EXPECT_FALSE(r->read(one, sectors, 1));
    }

    // The set extracted from the image is the set's files, byte for byte.
    void expect_the_set(const fs::path& image, const std::string& kind)
    {
        fs::path out = dir / ("out-" + kind);
        std::string error;
        ASSERT_TRUE(disc_extract({image.string()}, out, ExtractOptions(), &error)) << error;
        EXPECT_EQ(host_bytes(out / "data" / "big.bin"), big);
        EXPECT_EQ(host_bytes(out / "readme.txt"), "a file of the set\n");
        size_t entries = 0;
        for (auto it = fs::recursive_directory_iterator(out); it != fs::recursive_directory_iterator(); ++it)
            ++entries;
        EXPECT_EQ(entries, 3u) << "data, data/big.bin and readme.txt, nothing else";
    }

    // The image is refused with a message holding each of `words`.
    void expect_refused(const fs::path& image, const std::vector<std::string>& words)
    {
        std::string error;
        auto r = open_image_sectors(image, &error);
        EXPECT_FALSE(r) << utf8_of(image) << " was read";
        for (const std::string& w : words)
            EXPECT_NE(error.find(w), std::string::npos) << "\"" << w << "\" not in: " << error;
        EXPECT_EQ(error.find("neither a disc folder"), std::string::npos) << error;
    }
};

TEST_F(ImageFormats, EveryKindReadsAsTheIsoAndExtractsTheSet)
{
    struct Kind {
        const char* name;
        std::function<fs::path(ImageFormats&)> write;
    };
    const Kind kinds[] = {
        {"CloneCD mode 1 with its .sub",
         [](ImageFormats& t) {
             save(t.dir / "c1.img", raw_sectors(t.iso, 1));
             save(t.dir / "c1.sub", Bytes(t.sectors * 96));
             save_text(t.dir / "c1.ccd", ccd_text(t.sectors, 1));
             return t.dir / "c1.ccd";
         }},
        {"CloneCD mode 2 form 1, an audio track after it",
         [](ImageFormats& t) {
             Bytes img = raw_sectors(t.iso, 2);
             img.resize(img.size() + 300 * kRaw, 0x55);
             save(t.dir / "C2.IMG", img);
             save_text(t.dir / "C2.ccd", ccd_text(t.sectors, 2, 300));
             return t.dir / "C2.ccd";
         }},
        {"CloneCD whose sheet says mode 2 of mode 1 sectors: the sectors' headers are believed",
         [](ImageFormats& t) {
             save(t.dir / "lie.img", raw_sectors(t.iso, 1));
             save_text(t.dir / "lie.ccd", ccd_text(t.sectors, 2));
             return t.dir / "lie.ccd";
         }},
        {"Alcohol 2352-byte mode 1",
         [](ImageFormats& t) {
             save(t.dir / "a1.mdf", raw_sectors(t.iso, 1));
             save(t.dir / "a1.mds", mds_bytes(t.sectors, 0xAA, 2352));
             return t.dir / "a1.mds";
         }},
        {"Alcohol 2448-byte mode 2 form 1 with subchannel, its .mdf named",
         [](ImageFormats& t) {
             save(t.dir / "other name.mdf", raw_sectors(t.iso, 2, 96));
             save(t.dir / "a2.mds", mds_bytes(t.sectors, 0xEC, 2448, "other name.mdf"));
             return t.dir / "a2.mds";
         }},
        {"Alcohol 2048-byte mode 1",
         [](ImageFormats& t) {
             save(t.dir / "a3.mdf", t.iso);
             save(t.dir / "a3.mds", mds_bytes(t.sectors, 0xAA, 2048));
             return t.dir / "a3.mds";
         }},
        {"Nero version 2 (NER5)",
         [](ImageFormats& t) {
             save(t.dir / "n2.nrg", nrg_bytes(t.iso, 2));
             return t.dir / "n2.nrg";
         }},
        {"Nero version 1 (NERO)",
         [](ImageFormats& t) {
             save(t.dir / "n1.nrg", nrg_bytes(t.iso, 1));
             return t.dir / "n1.nrg";
         }},
        {"cdrdao .toc over 2048-byte sectors",
         [](ImageFormats& t) {
             save(t.dir / "t1.iso", t.iso);
             save_text(t.dir / "t1.toc", "CD_ROM\n\n// the data track\nTRACK MODE1\nDATAFILE \"t1.iso\"\n");
             return t.dir / "t1.toc";
         }},
        {"cdrdao .toc over raw mode 2 sectors with subchannel, CD-TEXT and comments",
         [](ImageFormats& t) {
             save(t.dir / "t3.bin", raw_sectors(t.iso, 2, 96));
             save_text(t.dir / "t3.toc",
                       "CD_ROM_XA\nCD_TEXT { LANGUAGE_MAP { 0 : EN } LANGUAGE 0 { TITLE \"x\" } }\n"
                       "TRACK MODE2_RAW RW_RAW // raw with subchannel\nNO COPY\n"
                       "DATAFILE \"t3.bin\"\n");
             return t.dir / "t3.toc";
         }},
        {"cdrdao .toc over raw sectors",
         [](ImageFormats& t) {
             save(t.dir / "t2.bin", raw_sectors(t.iso, 1));
             save_text(t.dir / "t2.toc", "CD_ROM\nTRACK MODE1_RAW\nDATAFILE \"t2.bin\"\n");
             return t.dir / "t2.toc";
         }},
        {"a cue sheet over 2048-byte sectors",
         [](ImageFormats& t) {
             save(t.dir / "u1.bin", t.iso);
             save_text(t.dir / "Game (Disc 1).cue",
                       "FILE \"u1.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n");
             return t.dir / "Game (Disc 1).cue";
         }},
        {"an ISO file named .img, no CloneCD sheet beside it",
         [](ImageFormats& t) {
             save(t.dir / "plain.img", t.iso);
             return t.dir / "plain.img";
         }},
        {"CHD made by chdman",
         [](ImageFormats& t) {
             save(t.dir / "h.bin", raw_sectors(t.iso, 1));
             save_text(t.dir / "h.cue", "FILE \"h.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n");
             std::string cmd = "chdman createcd -i '" + (t.dir / "h.cue").string() + "' -o '" +
                               (t.dir / "h.chd").string() + "' >/dev/null 2>&1";
             EXPECT_EQ(std::system(cmd.c_str()), 0) << "chdman createcd failed";
             fs::remove(t.dir / "h.bin");
             return t.dir / "h.chd";
         }},
    };
    int n = 0;
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.name);
        fs::path image = k.write(*this);
        expect_the_iso(image);
        expect_the_set(image, std::to_string(n++));
    }
    // The CHD was opened many times (its sectors, each file extracted) and
    // extracted once; its folder goes when the cache is released.
    size_t folders = 0;
    for (auto it = fs::directory_iterator(dir / "tmp"); it != fs::directory_iterator(); ++it)
        ++folders;
    EXPECT_EQ(folders, 1u);
    release_chd_discs();
    expect_no_temporary_folders();
}

TEST_F(ImageFormats, VariantsNotReadAreRefusedNamingTheFormatAndWhatIsMissing)
{
    save(dir / "raw1.img", raw_sectors(iso, 1));
    Bytes form2 = raw_sectors(iso, 2, 0, 0x28);
    struct Case {
        const char* name;
        std::function<fs::path(ImageFormats&)> write;
        std::vector<std::string> words;
    };
    const Case cases[] = {
        {"CloneCD, audio only",
         [](ImageFormats& t) {
             fs::copy_file(t.dir / "raw1.img", t.dir / "audio.img");
             save_text(t.dir / "audio.ccd", ccd_text(t.sectors, 1, 0, "0x00"));
             return t.dir / "audio.ccd";
         },
         {"CloneCD", "no data track"}},
        {"CloneCD, scrambled",
         [](ImageFormats& t) {
             fs::copy_file(t.dir / "raw1.img", t.dir / "scr.img");
             save_text(t.dir / "scr.ccd", ccd_text(t.sectors, 1, 0, "0x04", 1));
             return t.dir / "scr.ccd";
         },
         {"CloneCD", "scrambled"}},
        {"CloneCD, mode 2 form 2",
         [&](ImageFormats& t) {
             save(t.dir / "f2.img", form2);
             save_text(t.dir / "f2.ccd", ccd_text(t.sectors, 2));
             return t.dir / "f2.ccd";
         },
         {"CloneCD", "mode 2 form 2"}},
        {"CloneCD, the .img missing",
         [](ImageFormats& t) {
             save_text(t.dir / "lone.ccd", ccd_text(t.sectors, 1));
             return t.dir / "lone.ccd";
         },
         {"CloneCD", "lone.img is missing"}},
        {"CloneCD, the data track after audio",
         [](ImageFormats& t) {
             fs::copy_file(t.dir / "raw1.img", t.dir / "late.img");
             save_text(t.dir / "late.ccd", ccd_text(t.sectors, 1, 0, "0x04", 0, 300));
             return t.dir / "late.ccd";
         },
         {"CloneCD", "enhanced CD"}},
        {"CloneCD, its .img given",
         [](ImageFormats& t) {
             save_text(t.dir / "raw1.ccd", ccd_text(t.sectors, 1));
             return t.dir / "raw1.img";
         },
         {"CloneCD", "raw1.ccd"}},
        {"CloneCD, its .sub given",
         [](ImageFormats& t) {
             save(t.dir / "raw1.sub", Bytes(96));
             return t.dir / "raw1.sub";
         },
         {"CloneCD", "subchannel", ".ccd"}},
        {"Alcohol, its .mdf given",
         [](ImageFormats& t) {
             save(t.dir / "given.mdf", t.iso);
             save(t.dir / "given.MDS", mds_bytes(t.sectors, 0xAA, 2048));
             return t.dir / "given.mdf";
         },
         {"Alcohol", "given.MDS"}},
        {"Alcohol, no signature",
         [](ImageFormats& t) {
             Bytes d = mds_bytes(t.sectors, 0xAA, 2352);
             d[0] = 'X';
             save(t.dir / "sig.mds", d);
             return t.dir / "sig.mds";
         },
         {"Alcohol", "MEDIA DESCRIPTOR"}},
        {"Alcohol, track blocks past the descriptor's end",
         [](ImageFormats& t) {
             Bytes d = mds_bytes(t.sectors, 0xAA, 2352);
             put32(&d, 92 + 20, 100000);
             save(t.dir / "far.mds", d);
             return t.dir / "far.mds";
         },
         {"Alcohol", "outside the .mds"}},
        {"Alcohol, the .mdf missing",
         [](ImageFormats& t) {
             save(t.dir / "nomdf.mds", mds_bytes(t.sectors, 0xAA, 2352));
             return t.dir / "nomdf.mds";
         },
         {"Alcohol", "nomdf.mdf", "missing"}},
        {"Alcohol, mode 2 form 2",
         [](ImageFormats& t) {
             fs::copy_file(t.dir / "raw1.img", t.dir / "m2f2.mdf");
             save(t.dir / "m2f2.mds", mds_bytes(t.sectors, 0xAD, 2352));
             return t.dir / "m2f2.mds";
         },
         {"Alcohol", "mode 2 form 2"}},
        {"Alcohol, the .mdf named in another folder",
         [](ImageFormats& t) {
             save(t.dir / "up.mds", mds_bytes(t.sectors, 0xAA, 2352, "../raw1.img"));
             return t.dir / "up.mds";
         },
         {"Alcohol", "beside the .mds"}},
        {"Alcohol, the name unterminated",
         [](ImageFormats& t) {
             Bytes d = mds_bytes(t.sectors, 0xAA, 2352);
             d.pop_back();  // the name's terminating zero
             save(t.dir / "cut.mds", d);
             return t.dir / "cut.mds";
         },
         {"Alcohol", "unterminated"}},
        {"Nero, no footer",
         [](ImageFormats& t) {
             Bytes d = nrg_bytes(t.iso, 2);
             memcpy(&d[d.size() - 12], "XXXX", 4);
             save(t.dir / "nofoot.nrg", d);
             return t.dir / "nofoot.nrg";
         },
         {"Nero", "NER5"}},
        {"cdrdao, the data file missing",
         [](ImageFormats& t) {
             save_text(t.dir / "gone.toc", "CD_ROM\nTRACK MODE1\nDATAFILE \"gone.iso\"\n");
             return t.dir / "gone.toc";
         },
         {"cdrdao", "gone.iso", "missing"}},
        {"cdrdao, audio first",
         [](ImageFormats& t) {
             save_text(t.dir / "cdda.toc", "CD_DA\nTRACK AUDIO\nFILE \"raw1.img\" 0\n");
             return t.dir / "cdda.toc";
         },
         {"cdrdao", "AUDIO", "enhanced CD"}},
        {"CHD, not a CHD",
         [](ImageFormats& t) {
             fs::copy_file(t.dir / "raw1.img", t.dir / "fake.chd");
             return t.dir / "fake.chd";
         },
         {"CHD", "chdman could not"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expect_refused(c.write(*this), c.words);
    }
    // Without chdman on the PATH, the message says which package has it.
    std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (dir / "no-programs").c_str(), 1);
    expect_refused(dir / "fake.chd", {"needs chdman", "mame-tools"});
    setenv("PATH", path.c_str(), 1);
    // The folder chdman wrote into for the refused CHD went too.
    expect_no_temporary_folders();
}

}  // namespace
