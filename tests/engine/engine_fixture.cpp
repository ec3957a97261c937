#include "engine_fixture.h"

#include "file_object.h"
#include "platform.h"
#include "tracked_memory.h"

std::vector<int32_t> Calls::progress;
int32_t Calls::cancel_at = 0;
std::vector<int32_t> Calls::prompts;
int32_t Calls::prompt_answers_ok = 0;

void Calls::reset()
{
    progress.clear();
    prompts.clear();
    cancel_at = 0;
    prompt_answers_ok = 0;
}

int32_t record_progress(int32_t percent)
{
    Calls::progress.push_back(percent);
    return (int32_t)Calls::progress.size() == Calls::cancel_at ? 0 : 1;
}

int32_t record_prompt(int32_t disc_index)
{
    Calls::prompts.push_back(disc_index);
    return (int32_t)Calls::prompts.size() <= Calls::prompt_answers_ok ? 1 : 0;
}

std::string rel(const std::string& name)
{
    return name.empty() ? "inst" : "inst/" + name;
}

Snapshot with_installed(Snapshot base, const std::vector<std::pair<std::string, std::string>>& entries)
{
    for (const auto& e : entries)
        base[rel(e.first)] = e.second;
    return base;
}

::testing::AssertionResult EngineTest::folder_is(const Snapshot& expected) const
{
    Snapshot now = snapshot(tmp.host);
    if (now == expected)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the folder holds\n" << describe(now) << "expected\n" << describe(expected);
}

void EngineTest::SetUp()
{
    Calls::reset();
    plat_fail_write_after(-1);
    plat_fail_close_after(-1);
    src = tmp.path("src");
    inst = tmp.path("inst");
    sentinel = tmp.path("sentinel.txt");
    ASSERT_TRUE(plat_create_directory(src.c_str()));
    write_file(sentinel, "do not touch");
}

void EngineTest::TearDown()
{
    plat_fail_write_after(-1);
    plat_fail_close_after(-1);
    EXPECT_EQ(read_file(sentinel), "do not touch");
}

void EngineTest::expect_every_cancel_restores(int32_t records, const Snapshot& before)
{
    for (int32_t n = 1; n <= records; ++n) {
        SCOPED_TRACE("cancel at record " + std::to_string(n));
        Calls::reset();
        Calls::cancel_at = n;
        EXPECT_EQ(run(), 0);
        EXPECT_TRUE(folder_is(before));
    }
}

int EngineTest::run(const std::string& root, const std::string& install)
{
    int32_t live = tracked_stats().live;
    int32_t open = open_count();
    int r = install_with(root, install, record_prompt, record_progress);
    EXPECT_EQ(tracked_stats().live, live) << "heap blocks left behind";
    EXPECT_EQ(open_count(), open) << "files left open";
    return r;
}

const DecodedRecordSource* EngineTest::records = nullptr;

namespace {

struct PlainCallbacks {
    DiscPromptCallback prompt;
    ProgressCallback progress;
};

int32_t plain_prompt(void* context, int32_t disc_index)
{
    return ((PlainCallbacks*)context)->prompt(disc_index);
}

int32_t plain_progress(void* context, int32_t percent)
{
    return ((PlainCallbacks*)context)->progress(percent);
}

}  // namespace

int EngineTest::install_with(const std::string& root, const std::string& install, DiscPromptCallback prompt,
                             ProgressCallback progress)
{
    PlainCallbacks plain = {prompt, progress};
    EngineOptions options;
    options.context = &plain;
    options.disc_prompt = prompt ? plain_prompt : nullptr;
    options.progress = progress ? plain_progress : nullptr;
    options.records = records;
    options.registration = 0;
    return install_disc_set_with(install.c_str(), root.c_str(), options);
}

std::vector<std::string> EngineTest::box_texts() const
{
    std::vector<std::string> out;
    for (const ShownBox& b : BoxRecorder::shown)
        out.push_back(b.caption + "|" + b.text);
    return out;
}
