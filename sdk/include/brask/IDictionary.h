// The host's persistent dictionary, keyed by small integers.
#pragma once

#include "brask/IObject.h"

#include <cstdint>

namespace BRASK {

class BRASK_SDK_API IDictionary : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x73E90CD5, 0xBBC6, 0x4326, 0x8241, 0x9BB4250B1B05);

    enum ValueType : std::int32_t {
        kNone = 0,
        kUInt8 = 1,
        kUInt16 = 2,
        kUInt32 = 3,
        kInt32 = 4,
        kBool = 5,
        kFloat = 6,
        kBytes = 7,
        kWString = 8,
    };

    static constexpr Status kAbsent = 2;    // no value under the key
    static constexpr Status kWrongType = 4; // the value cannot be read as the asked type

    virtual Status SetUInt8(std::int32_t key, std::uint8_t value) = 0;
    virtual Status SetUInt16(std::int32_t key, std::uint16_t value) = 0;
    virtual Status SetUInt32(std::int32_t key, std::uint32_t value) = 0;
    virtual Status SetInt32(std::int32_t key, std::int32_t value) = 0;
    virtual Status SetBool(std::int32_t key, bool value) = 0;
    virtual Status SetFloat(std::int32_t key, float value) = 0;
    virtual Status SetBytes(std::int32_t key, const void* data, std::uint32_t length) = 0;
    // `units` UTF-16 units are stored as given (a terminating zero unit is kept when counted).
    virtual Status SetWString(std::int32_t key, const char16_t* text, std::uint32_t units) = 0;

    // Numeric getters convert between the numeric types (a float read as an integer is rounded);
    // Boolean reads any numeric value as value != 0.
    virtual Status GetBool(std::int32_t key, bool& value) const = 0;
    virtual Status GetUInt8(std::int32_t key, std::uint8_t& value) const = 0;
    virtual Status GetUInt16(std::int32_t key, std::uint16_t& value) const = 0;
    virtual Status GetUInt32(std::int32_t key, std::uint32_t& value) const = 0;
    virtual Status GetInt32(std::int32_t key, std::int32_t& value) const = 0;
    virtual Status GetFloat(std::int32_t key, float& value) const = 0;
    // Lends the stored bytes or units; valid until the key is written again.
    virtual Status GetBytes(std::int32_t key, const std::uint8_t** data, std::uint32_t* length) const = 0;
    virtual Status GetWString(std::int32_t key, const char16_t** text, std::uint32_t* units) const = 0;

    virtual ValueType GetType(std::int32_t key) const = 0;
    virtual Status Remove(std::int32_t key) = 0;
    // Keys in ascending order.
    virtual std::uint32_t GetKeyCount() const = 0;
    virtual std::int32_t GetKeyAt(std::uint32_t index) const = 0;
};

} // namespace BRASK
