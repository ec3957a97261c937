// Every installation in this test program reads its discs through a
// decode-ahead source with three decoders, so the engine's own tests, run
// here again, check that decoding ahead changes nothing the engine does.
#include "decode_ahead.h"
#include "decoded_records.h"
#include "engine_fixture.h"

#include <gtest/gtest.h>

namespace {

DecodeAhead g_ahead;

struct DecodeAheadEverywhere : ::testing::Environment {
    void SetUp() override
    {
        ASSERT_EQ(g_ahead.create(3), 1);
        EngineTest::records = g_ahead.source();
    }
    void TearDown() override
    {
        EngineTest::records = nullptr;
        g_ahead.release();
    }
};

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new DecodeAheadEverywhere);

}  // namespace
