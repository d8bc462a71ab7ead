// libFuzzer target: the host's Photoshop resource parser, as the plug-in uses it (through the class factory
// and a memory data provider), on arbitrary 8BIM bytes, followed by every question about the clipping path.
// The first two bytes also choose the picture's size in pixels, so that the scaling is exercised too.
#include "brask/ClassIds.h"
#include "brask/Graphics.h"
#include "brask_host/Host.h"

#include <cstddef>
#include <cstdint>

using namespace BRASK;

static volatile float gSink; // keeps the queries from being optimised away

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0x7FFFFFFF)
        return 0;
    static const TInterfacePtr<HOST::Host> host = HOST::Host::Create();
    TInterfacePtr<IO::IMemoryDataProvider> provider;
    TInterfacePtr<GRAPHICS::IPhotoShopResourceParser> parser;
    if (CreateInstance(host.Get(), CLSID::MemoryDataProvider, provider) != kOK ||
        CreateInstance(host.Get(), CLSID::PhotoShopResourceParser, parser) != kOK)
        return 0;
    provider->Init(data, static_cast<std::int32_t>(size));
    provider->Open(0);

    const float width = size > 0 ? 1.0f + data[0] * 4.0f : 100.0f;
    const float height = size > 1 ? 1.0f + data[1] * 4.0f : 100.0f;
    parser->Parse(provider.Get(), static_cast<std::uint32_t>(size), width, height);

    float sum = 0;
    if (GRAPHICS::IPathCollection* path = parser->GetClippingPath()) {
        const std::uint32_t subpaths = path->GetSubpathCount();
        for (std::uint32_t s = 0; s <= subpaths; ++s) { // one past the end must answer too
            sum += path->IsSubpathClosed(s) ? 1.0f : 0.0f;
            const std::uint32_t knots = path->GetKnotCount(s);
            for (std::uint32_t k = 0; k <= knots; ++k) {
                const GRAPHICS::PathKnot knot = path->GetKnot(s, k);
                sum += knot.in.x + knot.in.y + knot.anchor.x + knot.anchor.y + knot.out.x + knot.out.y;
            }
        }
    }
    gSink = sum;
    return 0;
}
