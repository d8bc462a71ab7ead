// The host dictionary: every value type, conversions between numbers, copies.
#include "HostTestSupport.h"

#include <limits>

namespace BRASK::HOST::TEST {
namespace {

using DictionaryTest = HostTest;

TEST_F(DictionaryTest, SettersRoundTripWithTheirTypeAndAbsentKeysAnswerTwoLeavingTheOutputAlone) {
    auto d = Make<IDictionary>(CLSID::PersistentDictionary);
    ASSERT_TRUE(d->SetUInt8(1, 254) == kOK && d->SetUInt16(2, 65535) == kOK &&
                d->SetUInt32(3, 0xFFFFFFFFu) == kOK && d->SetInt32(4, -123456) == kOK &&
                d->SetBool(5, true) == kOK && d->SetFloat(6, 2.5f) == kOK);
    std::uint8_t u8 = 0;
    std::uint16_t u16 = 0;
    std::uint32_t u32 = 0;
    std::int32_t i32 = 0;
    bool b = false;
    float f = 0;
    EXPECT_TRUE(d->GetUInt8(1, u8) == kOK && u8 == 254);
    EXPECT_TRUE(d->GetUInt16(2, u16) == kOK && u16 == 65535);
    EXPECT_TRUE(d->GetUInt32(3, u32) == kOK && u32 == 0xFFFFFFFFu);
    EXPECT_TRUE(d->GetInt32(4, i32) == kOK && i32 == -123456);
    EXPECT_TRUE(d->GetBool(5, b) == kOK && b);
    EXPECT_TRUE(d->GetFloat(6, f) == kOK && f == 2.5f);
    const IDictionary::ValueType types[] = {IDictionary::kNone,   IDictionary::kUInt8, IDictionary::kUInt16,
                                            IDictionary::kUInt32, IDictionary::kInt32, IDictionary::kBool,
                                            IDictionary::kFloat};
    for (std::int32_t key = 0; key <= 6; ++key)
        EXPECT_EQ(d->GetType(key), types[key]) << key;
    ASSERT_EQ(d->SetFloat(1, 0.5f), kOK); // writing a key again replaces value and type
    EXPECT_EQ(d->GetType(1), IDictionary::kFloat);

    EXPECT_EQ(d->GetBool(2009, b), 2);
    EXPECT_EQ(d->GetInt32(14, i32), IDictionary::kAbsent);
    EXPECT_EQ(d->GetFloat(14, f), IDictionary::kAbsent);
    EXPECT_TRUE(b && i32 == -123456 && f == 2.5f);
    const std::uint8_t* data = nullptr;
    EXPECT_EQ(d->GetBytes(100, &data, nullptr), IDictionary::kAbsent);
    EXPECT_EQ(d->Remove(100), IDictionary::kAbsent);
    EXPECT_EQ(d->Remove(4), kOK);
    EXPECT_EQ(d->GetKeyCount(), 5u);
}

TEST_F(DictionaryTest, NumbersConvertOnlyWithinRangeFloatsRoundingHalvesAwayFromZero) {
    auto d = Make<IDictionary>(CLSID::PersistentDictionary);
    for (const auto& [stored, expected] : std::vector<std::pair<float, std::int32_t>>{{200.0f, 200},
                                                                                      {12.4f, 12},
                                                                                      {12.5f, 13},
                                                                                      {12.6f, 13},
                                                                                      {-12.5f, -13},
                                                                                      {-0.4f, 0},
                                                                                      {595.276f, 595}}) {
        ASSERT_EQ(d->SetFloat(14, stored), kOK);
        std::int32_t value = 0;
        EXPECT_TRUE(d->GetInt32(14, value) == kOK && value == expected) << stored << " read as " << value;
    }
    std::int32_t i = 5;
    std::uint8_t u8 = 5;
    std::uint32_t u32 = 5;
    float f = 0;
    bool b = true;
    ASSERT_TRUE(d->SetFloat(1, 3.0e9f) == kOK &&
                d->SetFloat(2, std::numeric_limits<float>::quiet_NaN()) == kOK &&
                d->SetUInt32(3, 0xFFFFFFFFu) == kOK && d->SetUInt16(4, 300) == kOK &&
                d->SetInt32(5, -842) == kOK && d->SetBytes(6, "x", 1) == kOK);
    EXPECT_EQ(d->GetInt32(1, i), IDictionary::kWrongType);
    EXPECT_EQ(d->GetInt32(2, i), IDictionary::kWrongType);
    EXPECT_EQ(d->GetInt32(3, i), IDictionary::kWrongType);
    EXPECT_EQ(d->GetUInt8(4, u8), IDictionary::kWrongType);
    EXPECT_EQ(d->GetUInt32(5, u32), IDictionary::kWrongType);
    EXPECT_EQ(d->GetBool(6, b), IDictionary::kWrongType);
    EXPECT_TRUE(i == 5 && u8 == 5 && u32 == 5 && b);
    EXPECT_TRUE(d->GetUInt32(1, u32) == kOK && u32 == 3000000000u);
    EXPECT_TRUE(d->GetFloat(5, f) == kOK && f == -842.0f);
    // Booleans read from any number, and numbers from Booleans.
    ASSERT_TRUE(d->SetUInt8(7, 0) == kOK && d->SetUInt8(8, 2) == kOK && d->SetFloat(9, 0.25f) == kOK &&
                d->SetBool(10, true) == kOK);
    EXPECT_TRUE(d->GetBool(7, b) == kOK && !b);
    EXPECT_TRUE(d->GetBool(8, b) == kOK && b);
    b = false;
    EXPECT_TRUE(d->GetBool(9, b) == kOK && b);
    EXPECT_TRUE(d->GetUInt8(10, u8) == kOK && u8 == 1);
}

TEST_F(DictionaryTest, BytesAndWideStringsAreStoredByCopy) {
    auto d = Make<IDictionary>(CLSID::PersistentDictionary);
    std::uint8_t layout[12] = {3, 0, 0, 0, 'E', 'P', 'S', 'F', 'B', 'S', 'V', 'G'};
    char16_t text[] = u"EPS Format";
    ASSERT_EQ(d->SetBytes(1, layout, sizeof layout), kOK);
    ASSERT_EQ(d->SetWString(3, text, 11), kOK); // with its terminating zero unit
    layout[0] = 99;
    text[0] = u'X';
    const std::uint8_t* data = nullptr;
    const char16_t* units = nullptr;
    std::uint32_t length = 0, count = 0;
    ASSERT_EQ(d->GetBytes(1, &data, &length), kOK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), length), std::string("\3\0\0\0EPSFBSVG", 12));
    ASSERT_EQ(d->GetWString(3, &units, &count), kOK);
    EXPECT_EQ(std::u16string(units, count), std::u16string(u"EPS Format", 11));
    EXPECT_EQ(d->GetType(3), IDictionary::kWString);
    EXPECT_EQ(d->GetWString(1, &units, &count), IDictionary::kWrongType);
    EXPECT_EQ(d->GetBytes(3, &data, &length), IDictionary::kWrongType);

    EXPECT_EQ(d->SetBytes(4, nullptr, 3), kBadArgument);
    EXPECT_EQ(d->SetWString(4, nullptr, 2), kBadArgument);
    EXPECT_EQ(d->GetType(4), IDictionary::kNone);
    EXPECT_EQ(d->SetBytes(4, nullptr, 0), kOK);
    EXPECT_TRUE(d->GetBytes(4, &data, &length) == kOK && length == 0u);
}

} // namespace
} // namespace BRASK::HOST::TEST
