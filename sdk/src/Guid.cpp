#include "brask/Guid.h"

#include <cstdio>
#include <fstream>
#include <random>

namespace BRASK {

namespace {
int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

std::optional<GUID> GUID::FromString(const std::string& text) {
    std::string body = text;
    if (body.size() == 38 && body.front() == '{' && body.back() == '}')
        body = body.substr(1, 36);
    if (body.size() != 36 || body[8] != '-' || body[13] != '-' || body[18] != '-' || body[23] != '-')
        return std::nullopt;
    std::uint8_t bytes[16];
    int n = 0;
    for (std::size_t i = 0; i < body.size();) {
        if (body[i] == '-') {
            ++i;
            continue;
        }
        const int hi = HexValue(body[i]);
        const int lo = HexValue(body[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes[n++] = static_cast<std::uint8_t>(hi << 4 | lo);
        i += 2;
    }
    GUID g{};
    g.Data1 = static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
              static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
    g.Data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
    g.Data3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = bytes[8 + i];
    return g;
}

std::string GUID::ToString() const {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", Data1, Data2,
                  Data3, Data4[0], Data4[1], Data4[2], Data4[3], Data4[4], Data4[5], Data4[6], Data4[7]);
    return text;
}

GUID GUID::NewRandom() {
    std::uint8_t bytes[16];
    std::ifstream urandom("/dev/urandom", std::ios::binary);
    if (!urandom.read(reinterpret_cast<char*>(bytes), sizeof bytes)) {
        std::random_device device;
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(device());
    }
    GUID g{};
    std::memcpy(&g, bytes, sizeof g);
    g.Data3 = static_cast<std::uint16_t>((g.Data3 & 0x0FFF) | 0x4000);  // version 4
    g.Data4[0] = static_cast<std::uint8_t>((g.Data4[0] & 0x3F) | 0x80); // RFC 4122 variant
    return g;
}

} // namespace BRASK
