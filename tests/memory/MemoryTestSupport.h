// Helpers shared by the memory manager tests.
#pragma once

#include "../support/Fixture.h"

#include "MemoryManager.h"

#include <cstdint>
#include <cstring>
#include <utility>

namespace BRASK::MEMFIX::TEST {

inline void Fill(char* data, std::uint32_t size, std::uint8_t seed) {
    for (std::uint32_t i = 0; i < size; ++i)
        data[i] = static_cast<char>(static_cast<std::uint8_t>(seed + i * 7));
}

inline bool HoldsPattern(const char* data, std::uint32_t size, std::uint8_t seed) {
    for (std::uint32_t i = 0; i < size; ++i)
        if (data[i] != static_cast<char>(static_cast<std::uint8_t>(seed + i * 7)))
            return false;
    return true;
}

// A call's result with the last error the call left (the argument is evaluated before MemError runs).
template <class T> std::pair<T, OSErr> WithError(T result) {
    return {result, MemError()};
}

// Every test must give back all it took: the bytes in use end where they started.
class MemoryTest : public BRASK::TEST::Fixture {
protected:
    void SetUp() override {
        Fixture::SetUp();
        ASSERT_EQ(InitMemoryManager(), 0);
        mStartBytes = BytesInUse();
    }
    void TearDown() override {
        EXPECT_EQ(BytesInUse(), mStartBytes);
        Fixture::TearDown();
    }
    std::uint64_t mStartBytes = 0;
};

} // namespace BRASK::MEMFIX::TEST
