// A reference host whose application folder holds the stand-in interpreter with its recording raster
// device, and the test doubles of the EPS side: a reader with a chosen box and PostScript section, and a RIP
// whose buffers can be refused.
#pragma once

#include "../support/HostFixture.h"

#include "EPSVectorFileReader.h"
#include "FakeJawsRaster.h"
#include "JawsEntryPoints.h"
#include "Rip.h"

#include "LibUtils.h"
#include "brask/ClassIds.h"
#include "brask/Raster.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace BRASK::TEST {

// A box in 16.16 points and a PostScript section, as a parsed EPS would give them.
class BoxReader : public PLUGIN::EPSVectorFileReader {
public:
    PLUGIN::Fixed left = 0;
    PLUGIN::Fixed bottom = 0;
    PLUGIN::Fixed right = 100 << 16;
    PLUGIN::Fixed top = 100 << 16;
    std::int32_t start = 0;
    std::int32_t end = 0;

    PLUGIN::Fixed GetLeft() const override { return left; }
    PLUGIN::Fixed GetRight() const override { return right; }
    PLUGIN::Fixed GetBottom() const override { return bottom; }
    PLUGIN::Fixed GetTop() const override { return top; }
    PLUGIN::Fixed GetFixedWidth() const override { return right - left; }
    PLUGIN::Fixed GetFixedHeight() const override { return top - bottom; }
    std::int32_t GetPostScriptStart() const override { return start; }
    std::int32_t GetPostScriptEnd() const override { return end; }
};

// An EPS RIP whose buffer requests are recorded and refused when `refuse` says so.
class TestRip : public PLUGIN::EPSJawsRip {
public:
    TestRip(IClassFactory* factory, IO::IDataProvider* provider, const PLUGIN::EPSVectorFileReader* reader)
        : PLUGIN::EPSJawsRip(factory, nullptr, provider, reader) {}

    std::function<bool(std::size_t bytes, std::size_t request)> refuse;
    std::vector<std::size_t> requests;

protected:
    std::unique_ptr<std::uint8_t[]> NewBuffer(std::size_t bytes) override {
        requests.push_back(bytes);
        if (refuse && refuse(bytes, requests.size() - 1))
            return nullptr;
        return PLUGIN::EPSJawsRip::NewBuffer(bytes);
    }
};

class RasterFixture : public HostFixture {
protected:
    void SetUp() override {
        Fixture::SetUp();
        UseApplicationFolder(RASTER_APP_DIR);
        {
            LogCapture startMessages; // the stand-in greets every start
            ASSERT_TRUE(PLUGIN::LoadJawsLibrary(PLUGIN::JawsLibraryLoaded(), mHost.Get()));
        }
        mFake = dlopen((std::string(RASTER_APP_DIR) + "/libBraskPDF.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(mFake, nullptr);
        ResetDevice();
    }
    void TearDown() override {
        if (mFake != nullptr)
            dlclose(mFake);
        HostFixture::TearDown();
    }

    // A new host over `folder`; the next RIP call loads the interpreter from there again.
    void UseApplicationFolder(const std::string& folder) {
        UseHost(folder);
        PLUGIN::JawsLibraryLoaded().store(false);
    }

    template <class F> F Fake(const char* name) {
        auto f = reinterpret_cast<F>(dlsym(mFake, name));
        EXPECT_NE(f, nullptr) << name;
        return f;
    }
    void ResetDevice() { Fake<void (*)()>("fake_raster_reset")(); }
    std::string Calls() { return Fake<const char* (*)()>("fake_raster_calls")(); }
    int SetupCount() { return Fake<int (*)()>("fake_raster_setup_count")(); }
    const FAKE::SetupRecord& SetupAt(int i) {
        return *Fake<const FAKE::SetupRecord* (*)(int)>("fake_raster_setup")(i);
    }
    void SetSetupResults(std::vector<std::int32_t> results) {
        Fake<void (*)(const std::int32_t*, int)>("fake_raster_set_setup_results")(
            results.data(), static_cast<int>(results.size()));
    }
    void SetDrawResult(std::int32_t result, bool throws = false) {
        Fake<void (*)(std::int32_t, int)>("fake_raster_set_draw_result")(result, throws ? 1 : 0);
    }
    int DrawCount() { return Fake<int (*)()>("fake_draw_count")(); }
    const FAKE::DrawRecord& Draw(int i) { return *Fake<const FAKE::DrawRecord* (*)(int)>("fake_draw")(i); }
    std::string Drawn() {
        std::size_t size = 0;
        const char* data = Fake<const char* (*)(std::size_t*)>("fake_drawn_bytes")(&size);
        return std::string(data, size);
    }

    TInterfacePtr<GRAPHICS::IRasterComponent> Raster(std::int32_t width, std::int32_t height,
                                                     std::int32_t colour, bool alpha) {
        TInterfacePtr<GRAPHICS::IRasterComponent> raster;
        EXPECT_EQ(GRAPHICS::CreateRasterComponent(mHost.Get(), CLSID::RasterComponent, width, height, colour,
                                                  alpha, raster),
                  kOK);
        return raster;
    }

    void* mFake = nullptr;
};

// Exactly `count` error records with `message`, each from `file` and `function`.
inline void ExpectLogged(const LogCapture& log, const std::string& message, const std::string& file,
                         const std::string& function, std::size_t count = 1) {
    const auto records = log.WithMessage(message);
    ASSERT_EQ(records.size(), count) << message;
    for (const auto& r : records)
        EXPECT_EQ(std::tie(r.file, r.function, r.type, r.level), std::make_tuple(file, function, 2, 1));
}

// A run of `pixels` pixels from colour space `from` to `to`, as the device hands it to the callback.
inline ColorTransCBRec PixelRun(std::uint32_t from, std::uint32_t to, const void* in, void* out,
                                std::uint32_t pixels, std::uint8_t bits = 8) {
    return ColorTransCBRec{to, from, in, out, pixels, {}, bits, {}, 0, {}};
}

// Row y of a channel (read over bytes that are not zero, so that a read that writes nothing shows).
inline std::vector<std::uint8_t> ReadRow(GRAPHICS::IRasterChannel* channel, std::int32_t y) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(channel->GetRowLength()), 0xEE);
    EXPECT_EQ(channel->ReadRow(y, row.data(), static_cast<std::int32_t>(row.size())), kOK);
    return row;
}

} // namespace BRASK::TEST
