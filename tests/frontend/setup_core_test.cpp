// Setup's portable parts: number text, slide show, progress layout and
// texts, paths, free-space test and the finishing steps.
#include "disk_space.h"
#include "format_number.h"
#include "platform.h"
#include "setup_finish.h"
#include "setup_layout.h"
#include "setup_paths.h"
#include "setup_texts.h"
#include "slide_show.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string fmt(int32_t value, int32_t width, int32_t zero_fill)
{
    return format_number(value, width, zero_fill);
}

// Runs the current directory inside a folder for one test.
struct InFolder {
    char saved[1024];
    explicit InFolder(const std::string& win)
    {
        EXPECT_EQ(1, plat_get_current_directory(saved, sizeof saved));
        EXPECT_EQ(1, plat_set_current_directory(win.c_str()));
    }
    ~InFolder() { plat_set_current_directory(saved); }
};

void make_pictures(const TempDir& dir, const std::vector<int>& numbers)
{
    plat_create_directory(dir.path("pic").c_str());
    for (int n : numbers) {
        char name[16];
        snprintf(name, sizeof name, "pic\\%02d.tga", n);
        write_file(dir.win + "\\" + name, "not read, only counted");
    }
}

}  // namespace

TEST(FormatNumber, WritesFixedWidthTexts)
{
    EXPECT_EQ("07", fmt(7, 2, 1));
    EXPECT_EQ(" 7", fmt(7, 2, 0));
    EXPECT_EQ(" 0", fmt(0, 2, 0));
    EXPECT_EQ("00", fmt(0, 2, 1));
    EXPECT_EQ("12", fmt(12, 2, 1));
    EXPECT_EQ("  -5", fmt(-5, 4, 1));
    EXPECT_EQ("  -5", fmt(-5, 4, 0));
    EXPECT_EQ("-123", fmt(-123, 4, 0));
    EXPECT_EQ(" -10", fmt(-10, 4, 1));
    EXPECT_EQ("0105", fmt(105, 4, 1));
    EXPECT_EQ("7", fmt(7, 1, 1));
}

TEST(FormatNumber, DoesNotWidenValuesThatDoNotFit)
{
    // The first position takes '0' + quotient, beyond '9'.
    EXPECT_EQ(":0", fmt(100, 2, 1));
    EXPECT_EQ("<3", fmt(123, 2, 1));
    EXPECT_EQ("-:", fmt(-10, 2, 1));
}

TEST(FormatNumber, EdgeWidthsAndValuesStayInsideTheBuffer)
{
    EXPECT_EQ("", fmt(5, 0, 1));
    EXPECT_EQ("", fmt(5, -3, 1));
    EXPECT_EQ(" ", fmt(-5, 1, 1));  // no room for a digit behind the sign
    EXPECT_EQ(" -2147483648", fmt(INT32_MIN, 12, 1));
    EXPECT_EQ("2147483647", fmt(INT32_MAX, 10, 0));
    // Clamped to the widest text.
    EXPECT_EQ(std::string(kFormatNumberMaxWidth - 1, '0') + "3", fmt(3, 1000, 1));
}

TEST(FormatNumber, SharesOneBufferBetweenCalls)
{
    const char* first = format_number(1, 2, 1);
    const char* second = format_number(2, 2, 1);
    EXPECT_EQ(first, second);
    EXPECT_STREQ("02", first);
}

TEST(SlideShow, FourPicturesAdvanceInFifths)
{
    SlideShow show = {4, 0, 0};
    std::vector<std::pair<int, int>> loads;  // (percent, picture number)
    for (int p = 0; p <= 100; p++) {
        SlideStep step = slide_show_advance(&show, p);
        EXPECT_EQ(p == 0 ? 0 : 1, step.changed) << p;
        if (step.load)
            loads.push_back({p, step.number});
    }
    // 1 to 19 ask for picture 0 once; then 01 at 20, 02 at 40, 03 at 60, 04 at 80.
    std::vector<std::pair<int, int>> expected = {{1, 0}, {20, 1}, {40, 2}, {60, 3}, {80, 4}};
    EXPECT_EQ(expected, loads);
    EXPECT_EQ(3, show.shown_index);
}

TEST(SlideShow, NoPicturesAskOnceForPictureZero)
{
    SlideShow show = {0, 0, 0};
    int asked = 0;
    for (int p = 0; p <= 100; p++) {
        SlideStep step = slide_show_advance(&show, p);
        if (step.load) {
            EXPECT_EQ(0, step.number);
            asked++;
        }
    }
    EXPECT_EQ(1, asked);
}

TEST(SlideShow, RepeatsAndValuesAbove100ChangeNoPicture)
{
    SlideShow show = {4, 0, 0};
    EXPECT_EQ(0, slide_show_advance(&show, 0).changed);  // the first 0 is no change
    EXPECT_EQ(1, slide_show_advance(&show, 85).load);
    SlideStep again = slide_show_advance(&show, 85);
    EXPECT_EQ(0, again.changed);
    EXPECT_EQ(0, again.load);
    for (int32_t p : {101, 250, 100000, INT32_MAX}) {
        SlideStep step = slide_show_advance(&show, p);
        EXPECT_EQ(1, step.changed);
        EXPECT_EQ(0, step.load) << p;
    }
    EXPECT_EQ(3, show.shown_index);
    EXPECT_EQ(INT32_MAX, show.current_percent);
    // Formed in 64 bits: no overflow, and the 32-bit result where defined.
    EXPECT_EQ(-1, slide_index(4, 19));
    EXPECT_EQ(0, slide_index(4, 20));
    EXPECT_EQ((int64_t)INT32_MAX * 5 / 100 - 1, slide_index(4, INT32_MAX));
}

TEST(SlideShow, PictureNamesAreTwoDigitNumbers)
{
    char name[kSlideNameSize];
    slide_picture_name(1, name);
    EXPECT_STREQ("pic\\01.tga", name);
    slide_picture_name(0, name);
    EXPECT_STREQ("pic\\00.tga", name);
    slide_picture_name(100, name);
    EXPECT_STREQ("pic\\:0.tga", name);
}

TEST(SlideShow, CountsConsecutivePicturesFromOne)
{
    SlideShow show = {7, 0, 0};
    {
        TempDir dir;
        InFolder in(dir.win);
        count_pictures(&show);
        EXPECT_EQ(0, show.picture_count);  // no pic folder
    }
    {
        TempDir dir;
        make_pictures(dir, {1, 2, 4});
        InFolder in(dir.win);
        count_pictures(&show);
        EXPECT_EQ(2, show.picture_count);  // the gap at 03 ends it
    }
    {
        TempDir dir;
        make_pictures(dir, {2, 3});
        InFolder in(dir.win);
        count_pictures(&show);
        EXPECT_EQ(0, show.picture_count);
    }
    {
        TempDir dir;
        std::vector<int> all;
        for (int n = 1; n <= 99; n++)
            all.push_back(n);
        make_pictures(dir, all);
        InFolder in(dir.win);
        count_pictures(&show);
        EXPECT_EQ(99, show.picture_count);  // "pic\:0.tga" ends it
    }
}

TEST(SlideShow, FileExistsCountsFoldersAndNotPackages)
{
    TempDir dir;
    write_file(dir.path("a.txt"), "x");
    plat_create_directory(dir.path("sub").c_str());
    write_file(dir.path("pack.apkg"), "whatever");
    EXPECT_EQ(1, file_exists(dir.path("a.txt").c_str()));
    EXPECT_EQ(1, file_exists(dir.path("sub").c_str()));
    EXPECT_EQ(0, file_exists(dir.path("missing.txt").c_str()));
    EXPECT_EQ(0, file_exists((dir.win + "\\pack\\member.tga").c_str()));
}

// x, y, width and height of a rectangle, for one comparison with a message.
static std::string rect_text(const PixelRect& r)
{
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

TEST(ProgressLayout, RowOfDialogAndButtonAlongTheBottom)
{
    ProgressLayout l = progress_layout(1024, 768);
    EXPECT_EQ("256,668 472x30", rect_text(l.dialog));
    EXPECT_EQ("728,668 40x30", rect_text(l.button));
    l = progress_layout(640, 480);
    EXPECT_EQ("160,380 280x30", rect_text(l.dialog));
    EXPECT_EQ("440,380 40x30", rect_text(l.button));
    // Odd sizes divide truncating; the row is still W/2 wide.
    l = progress_layout(1023, 767);
    EXPECT_EQ("255,667 471x30", rect_text(l.dialog));
    EXPECT_EQ("726,667 40x30", rect_text(l.button));
}

TEST(ProgressLayout, BarGrowsWithThePercentage)
{
    // A 472 x 30 client area: the bar area runs from 5 to 467, 3 to 27.
    EXPECT_EQ(0, progress_bar(0, 0, 472, 30, 0).width);
    EXPECT_EQ(231, progress_bar(0, 0, 472, 30, 50).width);
    EXPECT_EQ(462, progress_bar(0, 0, 472, 30, 100).width);
    EXPECT_EQ(24, progress_bar(0, 0, 472, 30, 50).height);
    EXPECT_EQ(5, progress_bar(0, 0, 472, 30, 50).x);
    EXPECT_EQ(3, progress_bar(0, 0, 472, 30, 50).y);
    EXPECT_EQ(693, progress_bar(0, 0, 472, 30, 150).width);  // cut off by the dialog's edge
    EXPECT_EQ(INT32_MAX, progress_bar(0, 0, 472, 30, INT32_MAX).width);
}

TEST(ProgressLayout, TextPreparesBelowTwoPercent)
{
    char text[kProgressTextSize];
    progress_text(0, text);
    EXPECT_EQ(big5("準備安裝中,請稍後....."), text);
    progress_text(1, text);
    EXPECT_EQ(big5("準備安裝中,請稍後....."), text);
    progress_text(2, text);
    EXPECT_EQ(big5("安裝進度 2 %"), text);
    progress_text(100, text);
    EXPECT_EQ(big5("安裝進度 100 %"), text);
    progress_text(INT32_MAX, text);
    EXPECT_EQ(big5("安裝進度 2147483647 %"), text);
}

TEST(SetupTexts, AreBig5Bytes)
{
    // The same list compiled here as UTF-8: each text converted to code page
    // 950 must be the bytes setup shows.
    const ListedText texts[] = {
#define SETUP_TEXT(name, text) {#name, text, setup_text::name},
#include "setup_texts.def"
#undef SETUP_TEXT
    };
    expect_texts_are_big5(texts, std::size(texts));
    // Spelled out, independently of any converter: "取消" is A8 FA AE F8.
    EXPECT_EQ(std::string("\xA8\xFA\xAE\xF8"), setup_text::kCancelButton);
    EXPECT_STREQ("Please choose a folder", setup_text::kBrowseTitle);
    // The names of what setup makes, shared with the uninstaller.
    EXPECT_EQ(big5("解除安裝"), kUninstallLinkName);
    EXPECT_EQ(big5("官方網頁.url"), kWebShortcut);
    EXPECT_STREQ("uninstall.dat", kUninstallDataName);
    char proposed[PLAT_PATH_SIZE];
    ASSERT_EQ(1, propose_install_path("%s", "%s", proposed));
    EXPECT_STREQ("C:\\Program Files\\%s\\%s", proposed);
}

TEST(SetupPaths, SourceRootIsTheCommandLineVerbatim)
{
    char root[PLAT_PATH_SIZE] = "unchanged";
    EXPECT_EQ(0, take_source_root("", root));
    EXPECT_EQ(0, take_source_root(nullptr, root));
    EXPECT_STREQ("unchanged", root);
    EXPECT_EQ(1, take_source_root("D:", root));
    EXPECT_STREQ("D:", root);
    EXPECT_EQ(1, take_source_root("\"D:\" ", root));  // quotes and blanks kept
    EXPECT_STREQ("\"D:\" ", root);
    std::string longest(259, 'a');
    EXPECT_EQ(1, take_source_root(longest.c_str(), root));
    EXPECT_EQ(longest, root);
    std::string too_long(260, 'b');
    EXPECT_EQ(0, take_source_root(too_long.c_str(), root));
    EXPECT_EQ(longest, root);

    char cd1[PLAT_PATH_SIZE];
    EXPECT_EQ(1, first_disc_path("D:", cd1));
    EXPECT_STREQ("D:\\cd1", cd1);
    EXPECT_EQ(0, first_disc_path(std::string(256, 'c').c_str(), cd1));  // 260 with "\cd1"
    EXPECT_STREQ("D:\\cd1", cd1);
}

TEST(SetupPaths, ProposalIsUnderProgramFiles)
{
    char path[PLAT_PATH_SIZE];
    EXPECT_EQ(1, propose_install_path("Co", "Game", path));
    EXPECT_STREQ("C:\\Program Files\\Co\\Game", path);
    const std::string company = big5("範例軟體公司"), product = big5("許功蓋大冒險");
    EXPECT_EQ(1, propose_install_path(company.c_str(), product.c_str(), path));
    EXPECT_EQ("C:\\Program Files\\" + company + "\\" + product, std::string(path));
    // Two full 40-byte fields fit easily.
    const std::string full(40, 'x');
    EXPECT_EQ(1, propose_install_path(full.c_str(), full.c_str(), path));
    EXPECT_EQ(17u + 40 + 1 + 40, strlen(path));
}

TEST(SetupPaths, BrowsedFolderGetsTheProduct)
{
    char path[PLAT_PATH_SIZE] = "before";
    EXPECT_EQ(1, compose_browsed_path("D:\\Games", "Game", path));
    EXPECT_STREQ("D:\\Games\\Game", path);
    EXPECT_EQ(1, compose_browsed_path("E:\\", "Game", path));
    EXPECT_STREQ("E:\\Game", path);
    // A folder ending in 許 (B3 5C) counts as ending in a backslash, byte by byte.
    const std::string xu = "D:\\" + big5("許");
    EXPECT_EQ(1, compose_browsed_path(xu.c_str(), "Game", path));
    EXPECT_EQ(xu + "Game", std::string(path));

    strcpy(path, "before");
    EXPECT_EQ(0, compose_browsed_path("C", "Game", path));
    EXPECT_EQ(0, compose_browsed_path("", "Game", path));
    EXPECT_STREQ("before", path);

    // 254 + "\" + 4 = 259 fits; one more does not, and nothing changes.
    const std::string folder(254, 'f');
    EXPECT_EQ(1, compose_browsed_path(folder.c_str(), "Game", path));
    EXPECT_EQ(259u, strlen(path));
    strcpy(path, "before");
    const std::string longer(255, 'f');
    EXPECT_EQ(0, compose_browsed_path(longer.c_str(), "Game", path));
    const std::string longest(259, 'f');
    EXPECT_EQ(0, compose_browsed_path(longest.c_str(), std::string(40, 'p').c_str(), path));
    EXPECT_STREQ("before", path);
}

TEST(DiskSpace, NeedsTheTotalPlusTwentyMebibytes)
{
    EXPECT_EQ(320971520, space_needed(300000000));
    EXPECT_EQ(312, space_needed_shown(300000000));
    EXPECT_EQ(20, space_needed_shown(0));
    EXPECT_EQ(0x1400000, space_needed(0));
    // From 0x7EC00000 on the sum no longer fits 32 bits; in 64 it stays right.
    EXPECT_EQ(int64_t(0x80000000), space_needed(0x7EC00000));
    EXPECT_EQ(int64_t(INT32_MAX) + 0x1400000, space_needed(INT32_MAX));
}

TEST(DiskSpace, DriveIsTheFirstTwoCharacters)
{
    char drive[3];
    drive_of("C:\\Program Files\\Co", drive);
    EXPECT_STREQ("C:", drive);
    drive_of("\\\\server\\share\\Game", drive);
    EXPECT_STREQ("\\\\", drive);
    drive_of("D", drive);
    EXPECT_STREQ("D", drive);
    drive_of("", drive);
    EXPECT_STREQ("", drive);
}

TEST(DiskSpace, RefusesDrivesThatCannotBeQueried)
{
    TempDir dir;
    EXPECT_EQ(1, has_enough_space(dir.path("Game").c_str(), 0));
    EXPECT_EQ(0, has_enough_space("\\\\server\\share\\Game", 0));
    EXPECT_EQ(0, has_enough_space("Q:\\Game", 0));  // no such drive
    // A damaged header's negative total needs nothing beyond what the drive has.
    EXPECT_EQ(1, has_enough_space(dir.path("Game").c_str(), INT32_MIN));
}

namespace {

// A drive of a chosen size in place of the platform's free-space query, for
// the lifetime of the object.
struct FakeDrive {
    static uint64_t free_bytes;
    static int answers;        // 0: the query fails
    static std::string asked;  // the drive text of the last query

    static int query(const char* drive, uint64_t* out)
    {
        asked = drive;
        if (!answers)
            return 0;
        *out = free_bytes;
        return 1;
    }
    FakeDrive(uint64_t bytes, int ok)
    {
        free_bytes = bytes;
        answers = ok;
        asked = "(not asked)";
        set_disk_free_query(query);
    }
    ~FakeDrive() { set_disk_free_query(nullptr); }
};
uint64_t FakeDrive::free_bytes = 0;
int FakeDrive::answers = 0;
std::string FakeDrive::asked;

}  // namespace

TEST(DiskSpace, EnoughFromExactlyTheTotalPlusTheMargin)
{
    struct Case {
        int32_t total;
        uint64_t free_bytes;
        int enough;
    } cases[] = {
        {300000000, 320971520, 1},  // free == needed
        {300000000, 320971519, 0},  // one byte short
        {0, 0x1400000, 1},          // the margin alone
        {0, 0x1400000 - 1, 0},
        // Past 32 bits: 0x7EC00000 + 20 MiB is 2^31.
        {0x7EC00000, 0x80000000, 1},
        {0x7EC00000, 0x7FFFFFFF, 0},
        {INT32_MAX, (uint64_t)INT32_MAX + 0x1400000, 1},
        {INT32_MAX, (uint64_t)INT32_MAX + 0x1400000 - 1, 0},
        {1000, UINT64_MAX, 1},  // a drive larger than any signed size
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.total << " on " << c.free_bytes);
        FakeDrive drive(c.free_bytes, 1);
        EXPECT_EQ(c.enough, has_enough_space("E:\\Games\\Game", c.total));
        EXPECT_EQ("E:", FakeDrive::asked);
    }
    // The drive is asked by its first two characters only.
    FakeDrive network(UINT64_MAX, 1);
    has_enough_space("\\\\server\\share\\Game", 0);
    EXPECT_EQ("\\\\", FakeDrive::asked);
}

TEST(DiskSpace, AFailedQueryCountsAsNoFreeBytes)
{
    FakeDrive drive(UINT64_MAX, 0);
    EXPECT_EQ(0, has_enough_space("C:\\Games\\Game", 0));
    EXPECT_EQ(0, has_enough_space("C:\\Games\\Game", 1000));
    EXPECT_EQ("C:", FakeDrive::asked);
}
