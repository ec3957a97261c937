// Registration read back from the platform: the uninstall values byte for
// byte, the three shortcuts, reinstalling over the same key, the desktop
// flag, over-long paths, and a full installation that ends in registration.
#include "registration.h"

#include "disc_fixture.h"
#include "install_engine.h"
#include "platform.h"
#include "registration_probe.h"
#include "shell_registry.h"
#include "test_support.h"

#include <functional>
#include <gtest/gtest.h>

#include <chrono>

namespace {

// Names unique to this run, so that a leftover of an earlier run in a shared
// Wine prefix cannot pass for this one's work.
std::string run_tag()
{
    static std::string tag = std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007);
    return tag;
}

class Registered : public ::testing::Test {
protected:
    TempDir dir;
    std::string programs, desktop;  // the special folders registration uses
    std::string company, product, exe, regkey, uninstall_name;
    std::string install;  // an install folder holding its two programs

    void SetUp() override
    {
        probe::prepare_folders(dir);
        char buf[PLAT_PATH_SIZE];
        ASSERT_EQ(programs_folder_path(nullptr, buf), 1);
        programs = buf;
        ASSERT_EQ(desktop_folder_path(nullptr, buf), 1);
        desktop = buf;
        ASSERT_FALSE(programs.empty());
        ASSERT_FALSE(desktop.empty());

        static int serial = 0;
        std::string tag = run_tag() + "-" + std::to_string(++serial);
        company = big5("星河軟體") + tag;
        product = big5("許功蓋傳奇");  // second bytes 0x5C in a folder and link name
        exe = "game.exe";
        regkey = "DiRegTest-" + tag;
        uninstall_name = big5("解除安裝");
        install = make_install(dir.path("Program Files"));
    }

    void TearDown() override
    {
        probe::remove_key(regkey);
        std::error_code ec;
        fs::remove_all(host_of(programs + "\\" + company), ec);
        fs::remove(host_of(desktop_link()), ec);
    }

    // An install folder as the engine leaves it: the game and the uninstaller.
    std::string make_install(const std::string& base)
    {
        plat_create_directory(base.c_str());
        std::string path = base + "\\" + company;
        plat_create_directory(path.c_str());
        write_file(path + "\\" + exe, "game program");
        write_file(path + "\\uninstall.exe", "uninstaller");
        return path;
    }

    std::string group() const { return programs + "\\" + company + "\\" + product; }
    std::string uninstall_link() const { return group() + "\\" + uninstall_name + ".lnk"; }
    std::string game_link() const { return group() + "\\" + product + ".lnk"; }
    std::string desktop_link() const { return desktop + "\\" + product + ".lnk"; }

    void register_now(int desktop_flag = 1)
    {
        register_installation(install.c_str(), company.c_str(), product.c_str(), exe.c_str(), regkey.c_str(),
                              uninstall_name.c_str(), desktop_flag);
    }

    // A disc set of this product on disc 1 with `entries`, written into a
    // new folder "disc"; its path.
    std::string write_product_set(const std::function<void(fixture::DiscSet*)>& entries)
    {
        fixture::DiscSet set;
        set.company = company;
        set.product = product;
        set.regkey = regkey;
        set.exe = exe;
        entries(&set);
        std::string root = dir.path("disc");
        EXPECT_EQ(plat_create_directory(root.c_str()), 1);
        fixture::write_set(set, root);
        return root;
    }

    std::string value(const char* name)
    {
        std::string bytes;
        EXPECT_TRUE(probe::read_value(regkey, name, &bytes)) << name;
        return bytes;
    }

    void expect_link(const std::string& link_path, const std::string& target, const std::string& description)
    {
        SCOPED_TRACE(utf8(link_path));
        probe::Link link;
        ASSERT_TRUE(probe::read_link(link_path, &link));
        EXPECT_EQ(link.target, target);
        EXPECT_EQ(link.working_directory, install);
        EXPECT_EQ(link.description, description);
        EXPECT_EQ(link.show_command, 2);  // minimised
        EXPECT_EQ(link.arguments, "");
        EXPECT_EQ(link.hotkey, 0);
        EXPECT_EQ(link.icon_path, "");
    }
};

}  // namespace

TEST_F(Registered, UninstallEntryHoldsFourStringsWithTheirNul)
{
    register_now();
    EXPECT_EQ(value("DisplayName"), product + '\0');
    EXPECT_EQ(value("company"), company + '\0');
    EXPECT_EQ(value("path"), install + '\0');
    EXPECT_EQ(value("UninstallString"), "\"" + install + "\\uninstall.exe\"" + '\0');
}

// The details for the list of programs: publisher, location, icon, size in
// KiB from the header's total, and removal as the only offer.
TEST_F(Registered, DetailsShowPublisherSizeAndOnlyRemoval)
{
    set_registration_total_size(1025 * 1024 + 1);
    register_now();
    set_registration_total_size(0);
    EXPECT_EQ(value("Publisher"), company + '\0');
    EXPECT_EQ(value("InstallLocation"), install + '\0');
    EXPECT_EQ(value("DisplayIcon"), install + "\\" + exe + '\0');
    uint32_t n = 0;
    EXPECT_TRUE(probe::read_dword(regkey, "EstimatedSize", &n));
    EXPECT_EQ(n, 1026u);
    n = 0;
    EXPECT_TRUE(probe::read_dword(regkey, "NoModify", &n));
    EXPECT_EQ(n, 1u);
    n = 0;
    EXPECT_TRUE(probe::read_dword(regkey, "NoRepair", &n));
    EXPECT_EQ(n, 1u);
}

// Quoted, so that starting the value as a command line runs uninstall.exe
// and not C:\Program.exe.
TEST_F(Registered, UninstallStringIsQuotedAgainstTheSpace)
{
    write_uninstall_entry("Co", "Game", regkey.c_str(), "C:\\Program Files\\Co\\Game", "uninstall.exe");
    EXPECT_EQ(value("UninstallString"), std::string("\"C:\\Program Files\\Co\\Game\\uninstall.exe\"") + '\0');
    EXPECT_EQ(value("path"), std::string("C:\\Program Files\\Co\\Game") + '\0');
    EXPECT_EQ(value("DisplayName"), std::string("Game") + '\0');
    EXPECT_EQ(value("company"), std::string("Co") + '\0');
}

TEST_F(Registered, ThreeMinimisedShortcutsStartInTheInstallFolder)
{
    register_now();
    expect_link(uninstall_link(), install + "\\uninstall.exe", uninstall_name);
    expect_link(game_link(), install + "\\" + exe, product);
    expect_link(desktop_link(), install + "\\" + exe, product);
}

TEST_F(Registered, ReinstallOverwritesValuesAndReplacesLinks)
{
    register_now();
    std::string first = install;
    install = make_install(dir.path("Elsewhere"));
    exe = "game2.exe";
    write_file(install + "\\" + exe, "new game");
    register_now();
    EXPECT_NE(install, first);
    EXPECT_EQ(value("path"), install + '\0');
    EXPECT_EQ(value("UninstallString"), "\"" + install + "\\uninstall.exe\"" + '\0');
    expect_link(uninstall_link(), install + "\\uninstall.exe", uninstall_name);
    expect_link(game_link(), install + "\\game2.exe", product);
    expect_link(desktop_link(), install + "\\game2.exe", product);
}

TEST_F(Registered, DesktopFlagZeroMakesNoDesktopLink)
{
    register_now(0);
    probe::Link link;
    EXPECT_TRUE(probe::read_link(uninstall_link(), &link));
    EXPECT_TRUE(probe::read_link(game_link(), &link));
    EXPECT_FALSE(probe::read_link(desktop_link(), &link));
    EXPECT_FALSE(exists(desktop_link()));
}

TEST_F(Registered, AbsentTargetOrLinkPathGives87AndNoFile)
{
    std::string link = dir.path("x.lnk");
    EXPECT_EQ(create_shortcut(nullptr, nullptr, 0, nullptr, 0, 2, nullptr, nullptr, link.c_str()), 87);
    EXPECT_EQ(create_shortcut(install.c_str(), nullptr, 0, nullptr, 0, 2, nullptr, nullptr, nullptr), 87);
    EXPECT_FALSE(exists(link));
}

// An install path whose uninstaller path no longer fits 260 bytes: that
// shortcut is refused, the game shortcut (which still fits) is made, and the
// registry, with its 1024-byte buffers, still gets every value.
TEST_F(Registered, OverlongPathsAreRefusedNotCutOff)
{
    install = dir.win + "\\" + std::string(250 - dir.win.size() - 1, 'p');
    ASSERT_EQ(install.size(), 250u);
    exe = "g.exe";  // target of 256 bytes
    register_now();
    EXPECT_EQ(value("UninstallString"), "\"" + install + "\\uninstall.exe\"" + '\0');
    probe::Link link;
    EXPECT_FALSE(probe::read_link(uninstall_link(), &link));
    EXPECT_TRUE(probe::read_link(game_link(), &link));
    EXPECT_EQ(link.target, install + "\\g.exe");

    // A program name that does not fit either: no game shortcut anywhere.
    std::error_code ec;
    fs::remove(host_of(game_link()), ec);
    fs::remove(host_of(desktop_link()), ec);
    exe = std::string(20, 'e') + ".exe";
    register_now();
    EXPECT_FALSE(exists(game_link()));
    EXPECT_FALSE(exists(desktop_link()));

    // A key name that makes the key path longer than 1024 bytes: no entry.
    std::string long_key(1100, 'k');
    write_uninstall_entry("Co", "Game", long_key.c_str(), "C:\\Game", "uninstall.exe");
    std::string bytes;
    EXPECT_FALSE(probe::read_value(long_key, "DisplayName", &bytes));
}

// A whole installation through the engine ends with the same registration.
TEST_F(Registered, FullInstallRegistersTheProduct)
{
    std::string root = write_product_set([this](fixture::DiscSet* set) {
        set->add_file(0, "\\" + exe, "game program");
        set->add_file(0, "\\uninstall.exe", "uninstaller");
        set->add_raw(0, fixture::close_file());
    });

    install = dir.path("Installed") + "\\" + company;
    ASSERT_EQ(install_disc_set(install.c_str(), root.c_str(), uninstall_name.c_str(), nullptr, nullptr), 1);
    EXPECT_EQ(read_file(install + "\\" + exe), "game program");
    EXPECT_EQ(value("DisplayName"), product + '\0');
    EXPECT_EQ(value("UninstallString"), "\"" + install + "\\uninstall.exe\"" + '\0');
    expect_link(uninstall_link(), install + "\\uninstall.exe", uninstall_name);
    expect_link(game_link(), install + "\\" + exe, product);
    expect_link(desktop_link(), install + "\\" + exe, product);
}

namespace {
int32_t g_progress_calls = 0;
int32_t count_progress(int32_t)
{
    ++g_progress_calls;
    return 1;
}
}  // namespace

// Setup's entry keeps a callback given once for every later call that
// passes null.
TEST_F(Registered, NullCallbacksKeepTheOnesGivenBefore)
{
    std::string root = write_product_set([](fixture::DiscSet* set) { set->add_dir(0, "\\d"); });
    install = dir.path("Installed") + "\\" + company;
    g_progress_calls = 0;
    ASSERT_EQ(install_disc_set(install.c_str(), root.c_str(), uninstall_name.c_str(), nullptr, count_progress), 1);
    EXPECT_EQ(g_progress_calls, 1);
    ASSERT_EQ(install_disc_set((install + "2").c_str(), root.c_str(), uninstall_name.c_str(), nullptr, nullptr), 1);
    EXPECT_EQ(g_progress_calls, 2);
}
