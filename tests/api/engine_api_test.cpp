#include <gtest/gtest.h>

#include <cstring>

#include "api/engine_api.h"

namespace vz {
namespace {

class EngineApiTable : public ::testing::Test {
protected:
    void SetUp() override {
        clearEngineApi();
        fillEngineApi();
    }
};

TEST_F(EngineApiTable, EverySlotAndTheShaderWordAreFilled) {
    const void* const* words = reinterpret_cast<const void* const*>(api());
    for (int slot = 0; slot < VZ_API_SLOT_COUNT; ++slot) EXPECT_NE(words[slot], nullptr) << "slot " << slot;
    ASSERT_NE(api()->shaders, nullptr);
    EXPECT_EQ(static_cast<const void*>(api()->shaders), words[VZ_API_SLOT_COUNT]);
    EXPECT_NE(api()->shaders->GetShader, nullptr);
    EXPECT_NE(api()->shaders->DrawBitmapShaded, nullptr);
}

TEST_F(EngineApiTable, AliasedSlotsShareOneFunctionAndReservedSlotsDoNothing) {
    EXPECT_EQ(reinterpret_cast<void*>(api()->TellFile), reinterpret_cast<void*>(api()->TellFile41));
    EXPECT_EQ(reinterpret_cast<void*>(api()->SeekFile), reinterpret_cast<void*>(api()->SeekFile40));
    EXPECT_EQ(reinterpret_cast<void*>(api()->Reserved115), reinterpret_cast<void*>(api()->Reserved117));
    api()->Reserved115();
    api()->Reserved117();
}

TEST_F(EngineApiTable, FillingAgainChangesNothing) {
    VozerEngineApi before = *api();
    fillEngineApi();
    EXPECT_EQ(std::memcmp(&before, api(), sizeof before), 0);
}

TEST_F(EngineApiTable, BuffersAreAllOrNothing) {
    VozerBuffer buffer{reinterpret_cast<uint8_t*>(1), 5, 6, 7};
    EXPECT_EQ(api()->CreateBuffer(&buffer, 0), &buffer);
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(buffer.cursor + buffer.size + buffer.total, 0);

    EXPECT_EQ(api()->CreateBuffer(&buffer, -5), &buffer);
    EXPECT_EQ(buffer.data, nullptr);

    api()->CreateBuffer(&buffer, 100);
    ASSERT_NE(buffer.data, nullptr);
    EXPECT_EQ(buffer.cursor, 0);
    EXPECT_EQ(buffer.size, 100);
    EXPECT_EQ(buffer.total, 100);
    buffer.data[99] = 1;  // the whole block is ours

    api()->FreeBuffer(&buffer);
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(buffer.size, 0);
    api()->FreeBuffer(nullptr);
    EXPECT_EQ(api()->CreateBuffer(nullptr, 10), nullptr);
}

}  // namespace
}  // namespace vz
