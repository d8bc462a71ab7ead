// The GUID list a host hands to a plug-in to fill.
#pragma once

#include "brask/Plugin.h"
#include "brask/TObject.h"

#include <vector>

namespace BRASK::HOST {

class GuidList : public TObject<IGuidList> {
public:
    // Null: kBadArgument.
    Status Add(const GUID* id) override;
    std::uint32_t GetCount() const override { return static_cast<std::uint32_t>(mIds.size()); }
    // The all-zero GUID when `index` is out of range.
    GUID GetAt(std::uint32_t index) const override;

private:
    std::vector<GUID> mIds;
};

} // namespace BRASK::HOST
