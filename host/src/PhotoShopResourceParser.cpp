#include "PhotoShopResourceParser.h"

#include "PathCollection.h"
#include "brask_host/HostStatus.h"

#include <cmath>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace BRASK::HOST {

namespace {

constexpr std::size_t kPathRecordSize = 26;

enum PathRecord : std::uint16_t {
    kClosedSubpathLength = 0,
    kClosedKnotLinked = 1,
    kClosedKnotUnlinked = 2,
    kOpenSubpathLength = 3,
    kOpenKnotLinked = 4,
    kOpenKnotUnlinked = 5,
    // 6 path fill rule, 7 clipboard, 8 initial fill rule: nothing to draw.
};

// Big-endian reads that check every length against the data first.
class Cursor {
public:
    explicit Cursor(std::span<const std::uint8_t> data) : mData(data) {}

    std::size_t Remaining() const { return mData.size() - mPos; }
    std::size_t Position() const { return mPos; }

    bool Skip(std::size_t n) {
        if (n > Remaining())
            return false;
        mPos += n;
        return true;
    }
    std::optional<std::uint8_t> U8() {
        if (Remaining() < 1)
            return std::nullopt;
        return mData[mPos++];
    }
    std::optional<std::uint16_t> U16() {
        if (Remaining() < 2)
            return std::nullopt;
        const auto v = static_cast<std::uint16_t>(mData[mPos] << 8 | mData[mPos + 1]);
        mPos += 2;
        return v;
    }
    std::optional<std::uint32_t> U32() {
        if (Remaining() < 4)
            return std::nullopt;
        const std::uint32_t v = static_cast<std::uint32_t>(mData[mPos]) << 24 |
                                static_cast<std::uint32_t>(mData[mPos + 1]) << 16 |
                                static_cast<std::uint32_t>(mData[mPos + 2]) << 8 | mData[mPos + 3];
        mPos += 4;
        return v;
    }
    std::optional<std::span<const std::uint8_t>> Bytes(std::size_t n) {
        if (n > Remaining())
            return std::nullopt;
        auto part = mData.subspan(mPos, n);
        mPos += n;
        return part;
    }

private:
    std::span<const std::uint8_t> mData;
    std::size_t mPos = 0;
};

struct Resource {
    std::uint16_t id = 0;
    std::string name;
    std::span<const std::uint8_t> data;
};

// A Pascal string: a length byte and that many bytes; nothing when the bytes run out.
std::optional<std::string> PascalString(Cursor& cursor) {
    const auto length = cursor.U8();
    if (!length)
        return std::nullopt;
    const auto text = cursor.Bytes(*length);
    if (!text)
        return std::nullopt;
    return std::string(text->begin(), text->end());
}

// Splits the block into its resources; false when a resource is truncated or has another signature.
bool ReadResources(std::span<const std::uint8_t> bytes, std::vector<Resource>& resources) {
    Cursor cursor(bytes);
    while (cursor.Remaining() > 0) {
        const auto signature = cursor.Bytes(4);
        if (!signature || std::memcmp(signature->data(), "8BIM", 4) != 0)
            return false;
        Resource resource;
        const auto id = cursor.U16();
        const std::size_t nameStart = cursor.Position();
        const auto name = id ? PascalString(cursor) : std::nullopt;
        if (!name)
            return false;
        // The name with its length byte is padded to an even size.
        if ((cursor.Position() - nameStart) % 2 != 0 && !cursor.Skip(1))
            return false;
        const auto size = cursor.U32();
        if (!size)
            return false;
        const auto data = cursor.Bytes(*size);
        if (!data)
            return false;
        // Data padded to an even size; a missing pad byte at the very end is tolerated.
        if (*size % 2 != 0 && cursor.Remaining() > 0)
            cursor.Skip(1);
        resource.id = *id;
        resource.name = *name;
        resource.data = *data;
        resources.push_back(std::move(resource));
    }
    return true;
}

// Signed 8.24 fixed point.
double Fixed824(std::uint32_t raw) {
    return static_cast<double>(static_cast<std::int32_t>(raw)) / (1 << 24);
}

// One point of a knot record: vertical then horizontal, relative to the image height and width.
GRAPHICS::PathPoint ReadPoint(Cursor& cursor, double width, double height) {
    const double vertical = Fixed824(cursor.U32().value_or(0));
    const double horizontal = Fixed824(cursor.U32().value_or(0));
    return GRAPHICS::PathPoint{static_cast<float>(horizontal * width), static_cast<float>(vertical * height)};
}

std::vector<PathCollection::Subpath> DecodePath(std::span<const std::uint8_t> data, double width,
                                                double height) {
    std::vector<PathCollection::Subpath> subpaths;
    std::size_t expected = 0;
    for (std::size_t offset = 0; offset + kPathRecordSize <= data.size(); offset += kPathRecordSize) {
        Cursor record(data.subspan(offset, kPathRecordSize));
        const std::uint16_t selector = record.U16().value_or(0xFFFF);
        switch (selector) {
        case kClosedSubpathLength:
        case kOpenSubpathLength: {
            expected = record.U16().value_or(0);
            PathCollection::Subpath subpath;
            subpath.closed = selector == kClosedSubpathLength;
            subpaths.push_back(std::move(subpath));
            break;
        }
        case kClosedKnotLinked:
        case kClosedKnotUnlinked:
        case kOpenKnotLinked:
        case kOpenKnotUnlinked: {
            // A knot outside a subpath, or beyond the count its length record gave, is not trusted.
            if (subpaths.empty() || subpaths.back().knots.size() >= expected)
                break;
            GRAPHICS::PathKnot knot;
            knot.in = ReadPoint(record, width, height);
            knot.anchor = ReadPoint(record, width, height);
            knot.out = ReadPoint(record, width, height);
            subpaths.back().knots.push_back(knot);
            break;
        }
        default:
            break;
        }
    }
    std::erase_if(subpaths, [](const PathCollection::Subpath& s) { return s.knots.empty(); });
    return subpaths;
}

} // namespace

Status PhotoShopResourceParser::ParseBytes(std::span<const std::uint8_t> bytes, float width, float height) {
    mClippingPath.Reset();
    if (!std::isfinite(width) || !std::isfinite(height) || width <= 0 || height <= 0)
        return kBadArgument;
    std::vector<Resource> resources;
    const bool complete = ReadResources(bytes, resources);

    const Resource* nameResource = nullptr;
    for (const Resource& r : resources) {
        if (r.id == kClippingPathNameId) {
            nameResource = &r;
            break;
        }
    }
    if (nameResource != nullptr) {
        Cursor cursor(nameResource->data);
        // The name; the flatness that follows it only matters to a rasteriser.
        const std::optional<std::string> clipName = PascalString(cursor);
        for (const Resource& r : resources) {
            if (!clipName || r.id < kFirstPathId || r.id > kLastPathId || r.name != *clipName)
                continue;
            std::vector<PathCollection::Subpath> subpaths = DecodePath(r.data, width, height);
            if (!subpaths.empty())
                mClippingPath.Adopt(new PathCollection(std::move(subpaths)));
            break;
        }
    }
    return complete ? kOK : kMalformedData;
}

Status PhotoShopResourceParser::Parse(IO::IDataProvider* data, std::uint32_t length, float width,
                                      float height) {
    mClippingPath.Reset();
    if (data == nullptr)
        return kBadArgument;
    try {
        // Never more than the provider holds after its position, whatever `length` claims.
        const std::int64_t available =
            static_cast<std::int64_t>(data->GetSize()) - static_cast<std::int64_t>(data->GetPosition());
        const std::size_t wanted =
            static_cast<std::size_t>(std::max<std::int64_t>(0, std::min<std::int64_t>(available, length)));
        std::vector<std::uint8_t> bytes(wanted);
        std::size_t filled = 0;
        while (filled < wanted) {
            std::uint32_t count = static_cast<std::uint32_t>(wanted - filled);
            const Status status = data->Read(bytes.data() + filled, count);
            if (status != kOK)
                return status;
            if (count == 0)
                break;
            filled += std::min<std::size_t>(count, wanted - filled);
        }
        bytes.resize(filled);
        const Status status = ParseBytes(bytes, width, height);
        return status == kOK && filled < length ? kMalformedData : status;
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

} // namespace BRASK::HOST
