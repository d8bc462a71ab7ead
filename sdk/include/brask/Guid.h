// GUID: 16 bytes (Data1, Data2, Data3, Data4[8]), brace text form, equality over the two 64-bit halves
// and map ordering over four unsigned 32-bit words.
#pragma once

#include "brask/Export.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace BRASK {

struct BRASK_SDK_API GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];

    // Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional); nullopt when malformed.
    static std::optional<GUID> FromString(const std::string& text);
    // Upper-case text in braces.
    std::string ToString() const;
    // A random version-4 GUID.
    static GUID NewRandom();
};

static_assert(sizeof(GUID) == 16, "GUID must be 16 bytes");

inline bool operator==(const GUID& a, const GUID& b) {
    std::uint64_t a0, a1, b0, b1;
    std::memcpy(&a0, &a, 8);
    std::memcpy(&a1, reinterpret_cast<const char*>(&a) + 8, 8);
    std::memcpy(&b0, &b, 8);
    std::memcpy(&b1, reinterpret_cast<const char*>(&b) + 8, 8);
    return a0 == b0 && a1 == b1;
}
inline bool operator!=(const GUID& a, const GUID& b) {
    return !(a == b);
}

// Orders GUIDs as four unsigned 32-bit words read from memory, compared in turn.
struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const {
        std::uint32_t wa[4], wb[4];
        std::memcpy(wa, &a, 16);
        std::memcpy(wb, &b, 16);
        for (int i = 0; i < 4; ++i) {
            if (wa[i] != wb[i])
                return wa[i] < wb[i];
        }
        return false;
    }
};

// Builds a GUID constant from its text fields, e.g. MakeGuid(0x937382D8, 0x98F7, 0x4613, 0x8212,
// 0x5EEAF4EDED31).
constexpr GUID MakeGuid(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3, std::uint16_t d4hi,
                        std::uint64_t d4lo48) {
    return GUID{
        d1,
        d2,
        d3,
        {static_cast<std::uint8_t>(d4hi >> 8), static_cast<std::uint8_t>(d4hi & 0xFF),
         static_cast<std::uint8_t>((d4lo48 >> 40) & 0xFF), static_cast<std::uint8_t>((d4lo48 >> 32) & 0xFF),
         static_cast<std::uint8_t>((d4lo48 >> 24) & 0xFF), static_cast<std::uint8_t>((d4lo48 >> 16) & 0xFF),
         static_cast<std::uint8_t>((d4lo48 >> 8) & 0xFF), static_cast<std::uint8_t>(d4lo48 & 0xFF)}};
}

} // namespace BRASK
