#include "PersistentDictionary.h"

#include "brask_host/HostStatus.h"

#include <cmath>
#include <iterator>
#include <limits>
#include <new>

namespace BRASK::HOST {

namespace {
bool IsNumeric(IDictionary::ValueType type) {
    return type != IDictionary::kNone && type != IDictionary::kBytes && type != IDictionary::kWString;
}
} // namespace

const PersistentDictionary::Value* PersistentDictionary::Find(std::int32_t key) const {
    auto it = mValues.find(key);
    return it == mValues.end() ? nullptr : &it->second;
}

Status PersistentDictionary::SetNumber(std::int32_t key, ValueType type, double number) {
    try {
        std::lock_guard<std::mutex> lock(mLock);
        Value value;
        value.type = type;
        value.number = number;
        mValues[key] = std::move(value);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOK;
}

Status PersistentDictionary::SetUInt8(std::int32_t key, std::uint8_t value) {
    return SetNumber(key, kUInt8, value);
}
Status PersistentDictionary::SetUInt16(std::int32_t key, std::uint16_t value) {
    return SetNumber(key, kUInt16, value);
}
Status PersistentDictionary::SetUInt32(std::int32_t key, std::uint32_t value) {
    return SetNumber(key, kUInt32, value);
}
Status PersistentDictionary::SetInt32(std::int32_t key, std::int32_t value) {
    return SetNumber(key, kInt32, value);
}
Status PersistentDictionary::SetBool(std::int32_t key, bool value) {
    return SetNumber(key, kBool, value ? 1 : 0);
}
Status PersistentDictionary::SetFloat(std::int32_t key, float value) {
    return SetNumber(key, kFloat, value);
}

Status PersistentDictionary::SetBytes(std::int32_t key, const void* data, std::uint32_t length) {
    if (data == nullptr && length > 0)
        return kBadArgument;
    try {
        Value value;
        value.type = kBytes;
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        value.bytes.assign(bytes, bytes + length);
        std::lock_guard<std::mutex> lock(mLock);
        mValues[key] = std::move(value);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOK;
}

Status PersistentDictionary::SetWString(std::int32_t key, const char16_t* text, std::uint32_t units) {
    if (text == nullptr && units > 0)
        return kBadArgument;
    try {
        Value value;
        value.type = kWString;
        if (units > 0)
            value.text.assign(text, units);
        std::lock_guard<std::mutex> lock(mLock);
        mValues[key] = std::move(value);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOK;
}

Status PersistentDictionary::GetBool(std::int32_t key, bool& value) const {
    std::lock_guard<std::mutex> lock(mLock);
    const Value* found = Find(key);
    if (found == nullptr)
        return kAbsent;
    if (!IsNumeric(found->type))
        return kWrongType;
    value = found->number != 0;
    return kOK;
}

template <class T> Status PersistentDictionary::GetInteger(std::int32_t key, T& value) const {
    std::lock_guard<std::mutex> lock(mLock);
    const Value* found = Find(key);
    if (found == nullptr)
        return kAbsent;
    if (!IsNumeric(found->type))
        return kWrongType;
    const double rounded = std::round(found->number); // exact for integers; halves away from zero for floats
    if (std::isnan(rounded) || rounded < static_cast<double>(std::numeric_limits<T>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<T>::max()))
        return kWrongType;
    value = static_cast<T>(rounded);
    return kOK;
}

Status PersistentDictionary::GetUInt8(std::int32_t key, std::uint8_t& value) const {
    return GetInteger(key, value);
}
Status PersistentDictionary::GetUInt16(std::int32_t key, std::uint16_t& value) const {
    return GetInteger(key, value);
}
Status PersistentDictionary::GetUInt32(std::int32_t key, std::uint32_t& value) const {
    return GetInteger(key, value);
}
Status PersistentDictionary::GetInt32(std::int32_t key, std::int32_t& value) const {
    return GetInteger(key, value);
}

Status PersistentDictionary::GetFloat(std::int32_t key, float& value) const {
    std::lock_guard<std::mutex> lock(mLock);
    const Value* found = Find(key);
    if (found == nullptr)
        return kAbsent;
    if (!IsNumeric(found->type))
        return kWrongType;
    value = static_cast<float>(found->number);
    return kOK;
}

Status PersistentDictionary::GetBytes(std::int32_t key, const std::uint8_t** data,
                                      std::uint32_t* length) const {
    std::lock_guard<std::mutex> lock(mLock);
    const Value* found = Find(key);
    if (found == nullptr)
        return kAbsent;
    if (found->type != kBytes)
        return kWrongType;
    if (data != nullptr)
        *data = found->bytes.data();
    if (length != nullptr)
        *length = static_cast<std::uint32_t>(found->bytes.size());
    return kOK;
}

Status PersistentDictionary::GetWString(std::int32_t key, const char16_t** text, std::uint32_t* units) const {
    std::lock_guard<std::mutex> lock(mLock);
    const Value* found = Find(key);
    if (found == nullptr)
        return kAbsent;
    if (found->type != kWString)
        return kWrongType;
    if (text != nullptr)
        *text = found->text.c_str();
    if (units != nullptr)
        *units = static_cast<std::uint32_t>(found->text.size());
    return kOK;
}

IDictionary::ValueType PersistentDictionary::GetType(std::int32_t key) const {
    std::lock_guard<std::mutex> lock(mLock);
    const Value* found = Find(key);
    return found == nullptr ? kNone : found->type;
}

Status PersistentDictionary::Remove(std::int32_t key) {
    std::lock_guard<std::mutex> lock(mLock);
    return mValues.erase(key) > 0 ? kOK : kAbsent;
}

std::uint32_t PersistentDictionary::GetKeyCount() const {
    std::lock_guard<std::mutex> lock(mLock);
    return static_cast<std::uint32_t>(mValues.size());
}

std::int32_t PersistentDictionary::GetKeyAt(std::uint32_t index) const {
    std::lock_guard<std::mutex> lock(mLock);
    if (index >= mValues.size())
        return std::numeric_limits<std::int32_t>::min();
    return std::next(mValues.begin(), index)->first;
}

} // namespace BRASK::HOST
