// extract reads exactly the discs the user named: not a disc file that lies
// beside them, not one of another set among them; a missing disc is asked
// for, and a relative path typed then is taken from where the user started.
// The sets are written record by record by the test's own writer.
#include "disc_extract.h"
#include "disc_fixture.h"
#include "disc_tree.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

// One file per disc: \one.bin, \two.bin, \three.bin; `salt` changes their
// bytes (not their lengths), as another pressing of the same set would.
fixture::DiscSet pressing(int discs, unsigned salt)
{
    const char* names[] = {"\\one.bin", "\\two.bin", "\\three.bin"};
    fixture::DiscSet set;
    for (int i = 0; i < discs; ++i) {
        set.add_file(i, names[i], random_bytes(2000, salt * 10 + (unsigned)i));
        set.add_raw(i, fixture::close_file());
        set.add_raw(i, fixture::end_disc());
    }
    return set;
}

struct GivenDiscs : ::testing::Test {
    TempDir tmp;
    fs::path dest = tmp.host / "out";

    // The disc files of `set` into the folder `name` below the test folder.
    fs::path write(const fixture::DiscSet& set, const std::string& name)
    {
        fs::create_directories(tmp.host / name);
        fixture::write_set(set, tmp.path(name));
        return tmp.host / name;
    }
    // Moves the cdN file of `from` into `to`.
    static void move_disc(const fs::path& from, const fs::path& to, int n)
    {
        fs::create_directories(to);
        fs::rename(from / ("cd" + std::to_string(n)), to / ("cd" + std::to_string(n)));
    }
};

}  // namespace

// The first disc's folder also holds a cd2, of another pressing; the cd2
// named is elsewhere. Only the named one is read.
TEST_F(GivenDiscs, DiscFileBesideTheFirstIsNotReadInsteadOfTheOneNamed)
{
    fs::path mine = write(pressing(2, 1), "mine");
    move_disc(mine, tmp.host / "second", 2);
    fs::path other = write(pressing(2, 2), "other");
    fs::rename(other / "cd2", mine / "cd2");  // same length, other bytes
    std::string error;
    ASSERT_TRUE(disc_extract({utf8_of(mine / "cd1"), utf8_of(tmp.host / "second" / "cd2")}, dest, ExtractOptions(),
                             &error))
        << error;
    EXPECT_EQ(host_bytes(dest / "two.bin"), random_bytes(2000, 11));
}

// A three-disc set with cd1 and cd2 named and a cd3 lying beside cd1: disc
// 3 was not named, so it is missing, and without a terminal that fails.
TEST_F(GivenDiscs, DiscNotNamedIsMissingEvenWhenOneLiesBeside)
{
    fs::path set = write(pressing(3, 1), "set");
    std::string error;
    EXPECT_FALSE(disc_extract({utf8_of(set / "cd1"), utf8_of(set / "cd2")}, dest, ExtractOptions(), &error));
    EXPECT_NE(error.find("disc 3"), std::string::npos) << error;
    EXPECT_TRUE(!fs::exists(dest) || fs::is_empty(dest));
}

// A disc past the header's count belongs to another set: refused before
// anything is written, as `test` refuses it.
TEST_F(GivenDiscs, DiscOfAnotherSetAmongThemIsAnError)
{
    fs::path set = write(pressing(2, 1), "set");
    fs::path bigger = write(pressing(3, 2), "bigger");
    std::string error;
    EXPECT_FALSE(disc_extract({utf8_of(set), utf8_of(bigger / "cd3")}, dest, ExtractOptions(), &error));
    EXPECT_NE(error.find("disc 3"), std::string::npos) << error;
    EXPECT_NE(error.find("not part of the set"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(dest));
}

// Answers typed at the disc prompt: a relative folder is taken from the
// folder the extraction started in (not from the disc folder it stands in
// meanwhile), and a cdN file is taken as its disc.
TEST_F(GivenDiscs, RelativePathTypedAtThePromptIsTakenFromTheStartingFolder)
{
    fs::path set = write(pressing(3, 1), "set");
    move_disc(set, tmp.host / "set" / "d2", 2);
    move_disc(set, tmp.host / "d3", 3);
    fs::path answers = tmp.host / "answers.txt";
    put_host_bytes(answers, std::string("set/d2\n") + "d3/cd3\n");
    std::error_code ec;
    fs::path saved = fs::current_path(ec);
    fs::current_path(tmp.host, ec);
    std::string error, said;
    bool ok = false;
    {
        TerminalPrompts terminal(answers);
        ASSERT_TRUE(terminal.opened());
        ok = disc_extract({utf8_of(set / "cd1")}, dest, terminal.options, &error);
        said = terminal.said_text();
    }
    EXPECT_EQ(fs::current_path(ec), tmp.host);  // given back as it was
    fs::current_path(saved, ec);
    ASSERT_TRUE(ok) << error << "\n" << said;
    EXPECT_EQ(host_bytes(dest / "two.bin"), random_bytes(2000, 11));
    EXPECT_EQ(host_bytes(dest / "three.bin"), random_bytes(2000, 12));
    EXPECT_EQ(said.find("holds no"), std::string::npos) << said;
}
