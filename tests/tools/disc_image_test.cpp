// The stream over a disc file in an image: every byte where the file has it
// (xorriso writes the image, so the layout is not ours), seeks anywhere,
// the end where the file ends, a failed sector read as a read error, the
// served path that the installer opens through plat_fopen, and extract's
// progress on a set read from an image.
#include "disc_extract.h"
#include "disc_fixture.h"
#include "disc_image.h"
#include "disc_scan.h"
#include "file_object.h"
#include "medium_serving.h"
#include "platform.h"
#include "test_support.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

struct ImageWithDisc : ::testing::Test {
    fs::path dir;
    fs::path image;
    std::vector<unsigned char> bytes;  // what cd3 holds

    void SetUp() override
    {
        char tmpl[] = "/tmp/disc_image_test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        fs::create_directory(dir / "root");
        // Not a multiple of the sector size, and longer than one read-ahead.
        bytes.resize(300000 + 123);
        std::mt19937 rng(5);
        for (unsigned char& b : bytes)
            b = (unsigned char)rng();
        FILE* f = fopen((dir / "root" / "cd3").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
        image = dir / "one.iso";
        std::string cmd = "xorriso -report_about FAILURE -outdev '" + image.string() + "' -joliet on -map '" +
                          (dir / "root").string() + "' / -commit >/dev/null 2>&1";
        ASSERT_EQ(system(cmd.c_str()), 0) << "xorriso could not write the image";
    }
    void TearDown() override
    {
        plat_fail_read_after(-1);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

TEST_F(ImageWithDisc, ListsTheDiscAndReadsEveryByteFromAnyPosition)
{
    std::vector<ImageDisc> held;
    std::string error;
    ASSERT_TRUE(list_image_discs(image, &held, &error)) << error;
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(held[0].number, 3);
    EXPECT_EQ(held[0].size, bytes.size());

    FILE* f = open_disc_in_image(image, 3, &error);
    ASSERT_NE(f, nullptr) << error;
    ASSERT_EQ(fseek(f, 0, SEEK_END), 0);
    EXPECT_EQ(ftell(f), (long)bytes.size());
    // Whole file in odd-sized reads, across sector and read-ahead bounds.
    ASSERT_EQ(fseek(f, 0, SEEK_SET), 0);
    std::vector<unsigned char> got;
    unsigned char buf[7001];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        got.insert(got.end(), buf, buf + n);
    EXPECT_TRUE(got == bytes);
    EXPECT_FALSE(ferror(f));
    // Backwards and forwards seeks, some inside one sector, some far apart.
    std::mt19937 rng(9);
    for (int i = 0; i < 200; ++i) {
        long at = (long)(rng() % bytes.size());
        ASSERT_EQ(fseek(f, at, SEEK_SET), 0);
        size_t want = std::min<size_t>(1 + rng() % 5000, bytes.size() - (size_t)at);
        ASSERT_EQ(fread(buf, 1, want, f), want);
        ASSERT_EQ(memcmp(buf, &bytes[(size_t)at], want), 0) << "at " << at;
    }
    // Past the end: nothing, and no error.
    ASSERT_EQ(fseek(f, (long)bytes.size() + 10, SEEK_SET), 0);
    EXPECT_EQ(fread(buf, 1, 10, f), 0u);
    EXPECT_FALSE(ferror(f));
    EXPECT_NE(fseek(f, -1, SEEK_SET), 0);
    fclose(f);

    EXPECT_EQ(open_disc_in_image(image, 1, &error), nullptr);
    EXPECT_NE(error.find("holds no cd1"), std::string::npos) << error;
}

TEST_F(ImageWithDisc, ServedPathOpensTheDiscUntilServingStops)
{
    std::string error, root;
    std::unique_ptr<DiscMedium> medium = open_image_of_discs(image, &error);
    ASSERT_TRUE(medium) << error;
    MediaServing serving;
    ASSERT_EQ(serving.serve(medium.get(), &root, &error), 1) << error;
    const std::string path = served_path(root, "cd3");
    FILE* f = plat_fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr) << serving.open_error;
    unsigned char head[64];
    ASSERT_EQ(plat_fread(head, 1, sizeof head, f), sizeof head);
    EXPECT_EQ(memcmp(head, bytes.data(), sizeof head), 0);
    EXPECT_EQ(plat_read_failed(f), 0);
    plat_fclose(f);
    // Never for writing.
    EXPECT_EQ(plat_open_by_handler(path.c_str(), "wb"), nullptr);

    // A disc the image does not hold: the open fails and says why.
    EXPECT_EQ(plat_fopen(served_path(root, "cd4").c_str(), "rb"), nullptr);
    EXPECT_NE(serving.open_error.find("cd4 is not a file on"), std::string::npos) << serving.open_error;

    serving.release();
    EXPECT_EQ(plat_open_by_handler(path.c_str(), "rb"), nullptr);
}

// One serving of media for every command: a disc file of an image opened
// for a record walk goes through the serving in effect (the check's), a
// second serving at once is refused, and a walk's own serving leaves the
// platform's open handler as it found it.
TEST_F(ImageWithDisc, OneServingAtATimeAndTheOpenHandlerRestored)
{
    std::string error, root;
    std::vector<DiscFile> discs;
    ASSERT_EQ(collect_discs({utf8_of(image)}, &discs, &error), 1) << error;
    ASSERT_EQ(discs.size(), 1u);
    EXPECT_EQ(discs[0].kind, kDiscImage);
    auto first_bytes_of = [&](const DiscFile& d) {
        FileObject file;
        std::string why;
        unsigned char head[16] = {0};
        if (!open_disc_file(d, &file, &why))
            return "not opened: " + why;
        int32_t n = file.read(head, sizeof head);
        file.close();
        return std::string((const char*)head, n > 0 ? (size_t)n : 0);
    };
    const std::string want((const char*)bytes.data(), 16);

    // A walk alone: it serves the image for the open and stops serving.
    EXPECT_EQ(first_bytes_of(discs[0]), want);
    EXPECT_EQ(plat_set_file_open_handler(nullptr), nullptr) << "the walk left its open handler behind";

    // While the check serves the same image, the walk opens through it.
    std::unique_ptr<DiscMedium> medium = open_disc_image(image, ImageReading(), &error);
    ASSERT_TRUE(medium) << error;
    MediaServing serving;
    ASSERT_EQ(serving.serve(medium.get(), &root, &error), 1) << error;
    EXPECT_EQ(first_bytes_of(discs[0]), want);
    MediaServing second;
    std::string second_root;
    EXPECT_EQ(second.serve(medium.get(), &second_root, &error), 0);
    EXPECT_NE(error.find("another set of discs is being served"), std::string::npos) << error;
    serving.release();
    EXPECT_EQ(plat_set_file_open_handler(nullptr), nullptr) << "the serving left its open handler behind";
}

TEST_F(ImageWithDisc, FailedReadOfTheStreamIsAReadError)
{
    std::string error;
    FILE* f = open_disc_in_image(image, 3, &error);
    ASSERT_NE(f, nullptr) << error;
    // The image file vanishing under an open stream is what a bad disc
    // looks like: the image's sectors can no longer be read.
    fs::resize_file(image, 16 * 2048 + 2048);
    unsigned char buf[4096];
    EXPECT_EQ(plat_fread(buf, 1, sizeof buf, f), 0u);
    EXPECT_EQ(plat_read_failed(f), 1);
    plat_fclose(f);
}

// extract's bar counts to the header's total on an image as on a folder.
TEST(ImageExtract, ProgressBarCountsToTheHeadersTotal)
{
    TempDir tmp;
    fixture::DiscSet set;
    set.add_file(0, "\\a.bin", std::string(50000, 'a'));
    set.add_file(1, "\\b.bin", std::string(30000, 'b'));
    fs::create_directory(tmp.host / "both");
    fixture::write_set(set, tmp.path("both"));
    fs::path image = tmp.host / "both.iso";
    std::string cmd = "xorriso -report_about FAILURE -outdev '" + image.string() + "' -joliet on -map '" +
                      (tmp.host / "both").string() + "' / -commit >/dev/null 2>&1";
    ASSERT_EQ(system(cmd.c_str()), 0) << "xorriso could not write the image";

    ProgressBar bar;
    bar.create(nullptr, 0, 0, 0.0);  // drawn nowhere; its counts are kept all the same
    ExtractOptions options;
    options.progress = &bar;
    std::string error;
    ASSERT_TRUE(disc_extract({image.string()}, tmp.host / "out", options, &error)) << error;
    EXPECT_EQ(bar.total, set.total);
    EXPECT_EQ(bar.last_done, set.total);
}

}  // namespace
