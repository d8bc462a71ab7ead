// The host dictionary: values of several types under 32-bit integer keys, kept in ascending key order.
#pragma once

#include "brask/IDictionary.h"
#include "brask/TObject.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace BRASK::HOST {

// Numeric values convert on reading: an integer read as another integer type must fit the type; a float read
// as an integer is rounded to the nearest integer (halves away from zero) and must then fit; NaN never fits.
// A value that does not fit, and bytes or strings read as numbers (or the reverse), give kWrongType and leave
// the output untouched. A Boolean reads as 0 or 1; GetBool reads any number as value != 0.
class PersistentDictionary : public TObject<IDictionary> {
public:
    Status SetUInt8(std::int32_t key, std::uint8_t value) override;
    Status SetUInt16(std::int32_t key, std::uint16_t value) override;
    Status SetUInt32(std::int32_t key, std::uint32_t value) override;
    Status SetInt32(std::int32_t key, std::int32_t value) override;
    Status SetBool(std::int32_t key, bool value) override;
    Status SetFloat(std::int32_t key, float value) override;
    // Copies the block; null data with a positive length gives kBadArgument.
    Status SetBytes(std::int32_t key, const void* data, std::uint32_t length) override;
    Status SetWString(std::int32_t key, const char16_t* text, std::uint32_t units) override;

    Status GetBool(std::int32_t key, bool& value) const override;
    Status GetUInt8(std::int32_t key, std::uint8_t& value) const override;
    Status GetUInt16(std::int32_t key, std::uint16_t& value) const override;
    Status GetUInt32(std::int32_t key, std::uint32_t& value) const override;
    Status GetInt32(std::int32_t key, std::int32_t& value) const override;
    Status GetFloat(std::int32_t key, float& value) const override;
    Status GetBytes(std::int32_t key, const std::uint8_t** data, std::uint32_t* length) const override;
    Status GetWString(std::int32_t key, const char16_t** text, std::uint32_t* units) const override;

    ValueType GetType(std::int32_t key) const override;
    // kAbsent when there is nothing to remove.
    Status Remove(std::int32_t key) override;
    std::uint32_t GetKeyCount() const override;
    // The key at `index` in ascending order; INT32_MIN when `index` is not below GetKeyCount().
    std::int32_t GetKeyAt(std::uint32_t index) const override;

private:
    struct Value {
        ValueType type = kNone;
        // Every number is kept as double (exact for all 32-bit integers and floats).
        double number = 0;
        std::vector<std::uint8_t> bytes;
        std::u16string text;
    };

    Status SetNumber(std::int32_t key, ValueType type, double number);
    template <class T> Status GetInteger(std::int32_t key, T& value) const;
    const Value* Find(std::int32_t key) const;

    // One dictionary may be read and written from several threads; lent pointers stay the caller's concern.
    mutable std::mutex mLock;
    std::map<std::int32_t, Value> mValues;
};

} // namespace BRASK::HOST
