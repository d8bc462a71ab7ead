// The host dictionary: every value type, conversions between numbers, copies and key order.
#include "HostTestSupport.h"

#include <cmath>
#include <limits>

namespace BRASK::HOST::TEST {
namespace {

using DictionaryTest = HostTest;

TEST_F(DictionaryTest, EverySetterRoundTripsThroughItsGetter) {
    auto d = Make<IDictionary>(CLSID::PersistentDictionary);
    ASSERT_EQ(d->SetUInt8(1, 254), kOK);
    ASSERT_EQ(d->SetUInt16(2, 65535), kOK);
    ASSERT_EQ(d->SetUInt32(3, 0xFFFFFFFFu), kOK);
    ASSERT_EQ(d->SetInt32(4, -123456), kOK);
    ASSERT_EQ(d->SetBool(5, true), kOK);
    ASSERT_EQ(d->SetFloat(6, 12.25f), kOK);

    std::uint8_t u8 = 0;
    std::uint16_t u16 = 0;
    std::uint32_t u32 = 0;
    std::int32_t i32 = 0;
    bool b = false;
    float f = 0;
    EXPECT_EQ(d->GetUInt8(1, u8), kOK);
    EXPECT_EQ(u8, 254);
    EXPECT_EQ(d->GetUInt16(2, u16), kOK);
    EXPECT_EQ(u16, 65535);
    EXPECT_EQ(d->GetUInt32(3, u32), kOK);
    EXPECT_EQ(u32, 0xFFFFFFFFu);
    EXPECT_EQ(d->GetInt32(4, i32), kOK);
    EXPECT_EQ(i32, -123456);
    EXPECT_EQ(d->GetBool(5, b), kOK);
    EXPECT_TRUE(b);
    EXPECT_EQ(d->GetFloat(6, f), kOK);
    EXPECT_EQ(f, 12.25f);

    EXPECT_EQ(d->GetType(1), IDictionary::kUInt8);
    EXPECT_EQ(d->GetType(2), IDictionary::kUInt16);
    EXPECT_EQ(d->GetType(3), IDictionary::kUInt32);
    EXPECT_EQ(d->GetType(4), IDictionary::kInt32);
    EXPECT_EQ(d->GetType(5), IDictionary::kBool);
    EXPECT_EQ(d->GetType(6), IDictionary::kFloat);
    EXPECT_EQ(d->GetType(99), IDictionary::kNone);
}

TEST_F(DictionaryTest, AbsentKeysAnswerAbsentAndLeaveTheOutputAlone) {
    auto d = Make<IDictionary>(CLSID::PersistentDictionary);
    bool b = true;
    EXPECT_EQ(d->GetBool(2009, b), IDictionary::kAbsent);
    EXPECT_TRUE(b);
    std::int32_t i = 77;
    EXPECT_EQ(d->GetInt32(14, i), IDictionary::kAbsent);
    EXPECT_EQ(i, 77);
    float f = 1.5f;
    EXPECT_EQ(d->GetFloat(14, f), IDictionary::kAbsent);
    EXPECT_EQ(f, 1.5f);
    const std::uint8_t* data = nullptr;
    EXPECT_EQ(d->GetBytes(1, &data, nullptr), IDictionary::kAbsent);
    EXPECT_EQ(d->Remove(1), IDictionary::kAbsent);
}

TEST_F(DictionaryTest, FloatsReadAsIntegersRoundToNearestWithHalvesAwayFromZero) {
    auto d = Make<IDictionary>(CLSID::PersistentDictionary);
    struct Case {
        float stored;
        std::int32_t expected;
    };
    for (const Case c : {Case{200.0f, 200}, Case{12.4f, 12}, Case{12.5f, 13}, Case{12.6f, 13},
                         Case{-12.5f, -13}, Case{-0.4f, 0}, Case{595.276f, 595}}) {
        ASSERT_EQ(d->SetFloat(14, c.stored), kOK);
        std::int32_t value = 0;
        EXPECT_EQ(d->GetInt32(14, value), kOK) << c.stored;
        EXPECT_EQ(value, c.expected) << c.stored;
    }
    // And back: an integer reads as float.
    ASSERT_EQ(d->SetInt32(15, -842), kOK);
    float f = 0;
    EXPECT_EQ(d->GetFloat(15, f), kOK);
    EXPECT_EQ(f, -842.0f);
}

TEST_F(DictionaryTest, NumbersThatDoNotFitAreWrongType) {
    auto d = Make<IDictionary>(CLSID::PersistentDictionary);
    std::int32_t i = 5;
    std::uint8_t u8 = 5;
    std::uint32_t u32 = 5;
    ASSERT_EQ(d->SetFloat(1, 3.0e9f), kOK);
    EXPECT_EQ(d->GetInt32(1, i), IDictionary::kWrongType);
    EXPECT_EQ(d->GetUInt32(1, u32), kOK);
    EXPECT_EQ(u32, 3000000000u);
    ASSERT_EQ(d->SetFloat(2, std::numeric_limits<float>::quiet_NaN()), kOK);
    EXPECT_EQ(d->GetInt32(2, i), IDictionary::kWrongType);
    ASSERT_EQ(d->SetUInt32(3, 0xFFFFFFFFu), kOK);
    EXPECT_EQ(d->GetInt32(3, i), IDictionary::kWrongType);
    ASSERT_EQ(d->SetUInt16(4, 300), kOK);
    EXPECT_EQ(d->GetUInt8(4, u8), IDictionary::kWrongType);
    ASSERT_EQ(d->SetInt32(5, -1), kOK);
    EXPECT_EQ(d->GetUInt32(5, u32), IDictionary::kWrongType);
    EXPECT_EQ(i, 5);
    EXPECT_EQ(u8, 5);
    ASSERT_EQ(d->SetUInt16(6, 200), kOK);
    EXPECT_EQ(d->GetUInt8(6, u8), kOK);
    EXPECT_EQ(u8, 200);
}

TEST_F(DictionaryTest, BooleansReadFromAnyNumberAndNumbersFromBooleans) {
    auto d = Make<IDictionary>(CLSID::PersistentDictionary);
    bool b = true;
    ASSERT_EQ(d->SetUInt8(2009, 0), kOK);
    EXPECT_EQ(d->GetBool(2009, b), kOK);
    EXPECT_FALSE(b);
    ASSERT_EQ(d->SetUInt8(2009, 2), kOK);
    EXPECT_EQ(d->GetBool(2009, b), kOK);
    EXPECT_TRUE(b);
    ASSERT_EQ(d->SetFloat(2009, 0.25f), kOK);
    EXPECT_EQ(d->GetBool(2009, b), kOK);
    EXPECT_TRUE(b);
    ASSERT_EQ(d->SetBool(39, true), kOK);
    std::uint8_t u8 = 0;
    EXPECT_EQ(d->GetUInt8(39, u8), kOK);
    EXPECT_EQ(u8, 1);
    ASSERT_EQ(d->SetBytes(40, "x", 1), kOK);
    EXPECT_EQ(d->GetBool(40, b), IDictionary::kWrongType);
}

TEST_F(DictionaryTest, BytesAndWideStringsAreStoredByCopy) {
    auto d = Make<IDictionary>(CLSID::PersistentDictionary);
    std::uint8_t layout[12] = {3, 0, 0, 0, 'E', 'P', 'S', 'F', 'B', 'S', 'V', 'G'};
    ASSERT_EQ(d->SetBytes(1, layout, sizeof layout), kOK);
    layout[0] = 99;
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    ASSERT_EQ(d->GetBytes(1, &data, &length), kOK);
    ASSERT_EQ(length, 12u);
    EXPECT_EQ(data[0], 3);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data) + 4, 8), "EPSFBSVG");

    char16_t text[] = u"EPS Format";
    ASSERT_EQ(d->SetWString(3, text, 11), kOK); // with its terminating zero unit
    text[0] = u'X';
    const char16_t* units = nullptr;
    std::uint32_t count = 0;
    ASSERT_EQ(d->GetWString(3, &units, &count), kOK);
    ASSERT_EQ(count, 11u);
    EXPECT_EQ(std::u16string(units, count), std::u16string(u"EPS Format", 11));
    EXPECT_EQ(d->GetType(3), IDictionary::kWString);

    std::int32_t i = 0;
    EXPECT_EQ(d->GetInt32(1, i), IDictionary::kWrongType);
    EXPECT_EQ(d->GetWString(1, &units, &count), IDictionary::kWrongType);
    EXPECT_EQ(d->GetBytes(3, &data, &length), IDictionary::kWrongType);

    EXPECT_EQ(d->SetBytes(4, nullptr, 3), kBadArgument);
    EXPECT_EQ(d->SetWString(4, nullptr, 2), kBadArgument);
    EXPECT_EQ(d->GetType(4), IDictionary::kNone);
    EXPECT_EQ(d->SetBytes(4, nullptr, 0), kOK);
    EXPECT_EQ(d->GetBytes(4, &data, &length), kOK);
    EXPECT_EQ(length, 0u);
}

TEST_F(DictionaryTest, KeysAreListedInAscendingOrder) {
    auto d = Make<IDictionary>(CLSID::PersistentDictionary);
    for (std::int32_t key : {2001, 7, -3, 15, 1, 7})
        ASSERT_EQ(d->SetUInt8(key, 1), kOK);
    ASSERT_EQ(d->GetKeyCount(), 5u);
    const std::int32_t expected[] = {-3, 1, 7, 15, 2001};
    for (std::uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(d->GetKeyAt(i), expected[i]);
    EXPECT_EQ(d->GetKeyAt(5), std::numeric_limits<std::int32_t>::min());

    EXPECT_EQ(d->Remove(7), kOK);
    EXPECT_EQ(d->GetKeyCount(), 4u);
    EXPECT_EQ(d->GetKeyAt(2), 15);
    // Writing a key again replaces value and type.
    ASSERT_EQ(d->SetFloat(15, 2.5f), kOK);
    EXPECT_EQ(d->GetType(15), IDictionary::kFloat);
    EXPECT_EQ(d->GetKeyCount(), 4u);
}

} // namespace
} // namespace BRASK::HOST::TEST
