// libFuzzer target: the whole DSC comment scan (GetEPSInfo through EPSVectorFileReader::Init) on arbitrary
// bytes served by the host's memory data provider, followed by every query of the reader.
#include "EPSVectorFileReader.h"

#include "MemoryManager.h"
#include "brask/ClassIds.h"
#include "brask/Logger.h"
#include "brask_host/Host.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace BRASK;

static volatile std::uint64_t gSink; // keeps the queries from being optimised away

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0x7FFFFFFF)
        return 0;
    static const TInterfacePtr<HOST::Host> host = [] {
        MEMFIX::InitMemoryManager();
        BLoggerLibInterface::GetInstance()->SetSink({}); // the scan logs a lot on bad input
        return HOST::Host::Create();
    }();
    TInterfacePtr<IO::IMemoryDataProvider> provider;
    if (CreateInstance(host.Get(), CLSID::MemoryDataProvider, provider) != kOK)
        return 0;
    provider->Init(data, static_cast<std::int32_t>(size));
    provider->Open(0);

    PLUGIN::EPSVectorFileReader reader;
    std::uint64_t sum = static_cast<std::uint64_t>(reader.Init(provider.Get()));
    sum += static_cast<std::uint32_t>(reader.GetFixedWidth()) +
           static_cast<std::uint32_t>(reader.GetFixedHeight());
    sum += static_cast<std::uint64_t>(reader.GetWidth() + reader.GetHeight());
    sum +=
        static_cast<std::uint32_t>(reader.GetImageResolution()) + reader.GetColorSpace() + reader.GetFlags();
    sum += reader.GetTIFFOffset() + reader.GetTIFFLength() + reader.GetHeaderLineLength();
    sum += reader.HasEPSFHeaderLine() + reader.HasDuotoneInks() + reader.HasVectorMaskedImagery();
    // Touch every unit of the custom colour list and every byte of the blocks.
    if (const std::uint16_t* list = reader.GetCustomColorList())
        for (std::uint16_t i = 0; i < reader.GetCustomColorListSize(); ++i)
            sum += list[i];
    for (MEMFIX::Handle block : {reader.GetPhotoshopResources(), reader.GetICCProfile()}) {
        if (block == nullptr)
            continue;
        const std::uint32_t n = MEMFIX::GetHandleSize(block);
        for (std::uint32_t i = 0; i < n; ++i)
            sum += static_cast<std::uint8_t>((*block)[i]);
    }
    if (const PLUGIN::EPSInfo* info = reader.GetEPSInfo())
        sum += std::strlen(info->creator) + std::strlen(info->title) + std::strlen(info->creationDate);
    gSink = sum;
    return 0;
}
