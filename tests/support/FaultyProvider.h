// A data provider over some bytes that misbehaves once `goodReads` reads were served: every later read fails
// (status 4, nothing delivered), delivers nothing with status 0, or throws. Stands in for host providers,
// which cannot be made to fail on cue.
#pragma once

#include "brask/IO.h"
#include "brask/TObject.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace BRASK::TEST {

class FaultyProvider : public TObject<IO::IDataProvider> {
public:
    enum class Fault { Fail, Stall, Throw };
    static constexpr Status kReadFailed = 4;

    FaultyProvider(std::string bytes, int goodReads, Fault fault = Fault::Fail)
        : mBytes(std::move(bytes)), mGoodReads(goodReads), mFault(fault) {}

    std::int32_t GetSize() override { return static_cast<std::int32_t>(mBytes.size()); }
    std::int32_t GetPosition() override { return mPosition; }
    Status SetPosition(std::int32_t offset, std::int32_t) override {
        mPosition = std::clamp<std::int32_t>(offset, 0, GetSize());
        return kOK;
    }
    Status Read(void* buffer, std::uint32_t& count) override {
        ++reads;
        if (reads > mGoodReads) {
            count = 0;
            if (mFault == Fault::Throw)
                throw std::runtime_error("provider exploded");
            return mFault == Fault::Fail ? kReadFailed : kOK;
        }
        count = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(GetSize() - mPosition));
        std::memcpy(buffer, mBytes.data() + mPosition, count);
        mPosition += static_cast<std::int32_t>(count);
        return kOK;
    }
    Status Write(const void*, std::uint32_t) override { return kReadOnly; }

    int reads = 0;

private:
    std::string mBytes;
    int mGoodReads;
    Fault mFault;
    std::int32_t mPosition = 0;
};

} // namespace BRASK::TEST
