// The object archive: primitive encodings, string and count prefixes, object
// tags with their shared numbering, and the reader's refusal of bad input.
#include "core/archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace doseplex;
using Bytes = std::vector<std::uint8_t>;

const std::vector<std::string> kClasses = {"CDrugInfo", "CDoseData"};

CArchiveReader ReaderOf(const Bytes& bytes) {
    return CArchiveReader(bytes, kClasses);
}

TEST(ArchiveTest, PrimitivesAreLittleEndian) {
    CArchiveWriter ar;
    ar.WriteWord(0x1234);
    ar.WriteLong(0x89ABCDEF);
    ar.WriteDouble(1.0);
    const Bytes expected = {0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    EXPECT_EQ(ar.Bytes(), expected);

    CArchiveReader in = ReaderOf(ar.Bytes());
    EXPECT_EQ(in.ReadWord(), 0x1234);
    EXPECT_EQ(in.ReadLong(), 0x89ABCDEFu);
    EXPECT_EQ(in.ReadDouble(), 1.0);
    EXPECT_TRUE(in.AtEnd());
}

// Each length crosses from one prefix form to the next.
TEST(ArchiveTest, StringPrefixForms) {
    struct Case {
        std::size_t length;
        Bytes prefix;
    };
    const Case cases[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {0xFFFD, {0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {0x10000, {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string text(c.length, 'x');
        CArchiveWriter ar;
        ar.WriteString(text);
        ASSERT_EQ(ar.Bytes().size(), c.prefix.size() + c.length);
        EXPECT_TRUE(std::equal(c.prefix.begin(), c.prefix.end(), ar.Bytes().begin()));
        CArchiveReader in = ReaderOf(ar.Bytes());
        EXPECT_EQ(in.ReadString(), text);
        EXPECT_TRUE(in.AtEnd());
    }
}

TEST(ArchiveTest, CountPrefixForms) {
    CArchiveWriter ar;
    ar.WriteCount(0xFFFE);
    ar.WriteCount(0xFFFF);
    EXPECT_EQ(ar.Bytes(), (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
    Bytes bytes = ar.Bytes();
    bytes.resize(bytes.size() + 0x10000, 0); // room for the items
    CArchiveReader in = ReaderOf(bytes);
    EXPECT_EQ(in.ReadCount(0), 0xFFFEu);
    EXPECT_EQ(in.ReadCount(1), 0xFFFFu);
}

// One counter numbers classes and objects; known classes are named by their
// number with the high bit set, objects already written by their number.
TEST(ArchiveTest, ObjectTagsShareOneCounter) {
    int a = 0, b = 0, c = 0, d = 0;
    CArchiveWriter ar;
    EXPECT_TRUE(ar.WriteObjectTag(&a, "CDrugInfo", 1)); // class 1, object 2
    EXPECT_TRUE(ar.WriteObjectTag(&b, "CDoseData", 1)); // class 3, object 4
    EXPECT_TRUE(ar.WriteObjectTag(&c, "CDrugInfo", 1)); // object 5
    EXPECT_TRUE(ar.WriteObjectTag(&d, "CDoseData", 1)); // object 6
    EXPECT_FALSE(ar.WriteObjectTag(&b, "CDoseData", 1));
    ar.WriteNullObject();
    const Bytes expected = {0xFF, 0xFF, 0x01, 0x00, 0x09, 0x00, 'C',  'D',  'r',  'u',
                            'g',  'I',  'n',  'f',  'o',  0xFF, 0xFF, 0x01, 0x00, 0x09,
                            0x00, 'C',  'D',  'o',  's',  'e',  'D',  'a',  't',  'a',
                            0x01, 0x80, 0x03, 0x80, 0x04, 0x00, 0x00, 0x00};
    EXPECT_EQ(ar.Bytes(), expected);

    CArchiveReader in = ReaderOf(ar.Bytes());
    struct Expect {
        CObjectTag::EKind kind;
        const char* cls;
        std::uint32_t object;
    };
    const Expect tags[] = {
        {CObjectTag::EKind::New, "CDrugInfo", 2},       {CObjectTag::EKind::New, "CDoseData", 4},
        {CObjectTag::EKind::New, "CDrugInfo", 5},       {CObjectTag::EKind::New, "CDoseData", 6},
        {CObjectTag::EKind::Reference, "CDoseData", 4}, {CObjectTag::EKind::Null, "", 0}};
    for (const Expect& e : tags) {
        const CObjectTag tag = in.ReadObjectTag();
        EXPECT_EQ(tag.m_kind, e.kind);
        EXPECT_EQ(tag.m_strClass, e.cls);
        EXPECT_EQ(tag.m_nObject, e.object);
        EXPECT_EQ(tag.m_nSchema, e.kind == CObjectTag::EKind::Null ? 0 : 1);
    }
    EXPECT_TRUE(in.AtEnd());
}

// Numbers from 0x7FFF up use WORD 0x7FFF and a LONG (with the high bit for a
// class). A late first class, then objects and back references on both sides
// of the boundary.
TEST(ArchiveTest, LargeNumbersUseTheLongForm) {
    std::vector<int> objects(0x8002);
    CArchiveWriter ar;
    ar.WriteObjectTag(&objects[0], "CDoseData", 0); // class 1, object 2
    for (std::size_t i = 1; i < 0x7FFD; ++i) {
        ar.WriteObjectTag(&objects[i], "CDoseData", 0); // objects 3..0x7FFF
    }
    const std::size_t lateClass = ar.Bytes().size();
    ar.WriteObjectTag(&objects[0x7FFD], "CDrugInfo", 7); // class 0x7FFF, object 0x8000
    const std::size_t next = ar.Bytes().size();
    ar.WriteObjectTag(&objects[0x7FFE], "CDrugInfo", 7); // object 0x8001
    ar.WriteObjectTag(&objects[0x7FFC], "CDoseData", 0); // object 0x7FFE again
    ar.WriteObjectTag(&objects[0x7FFD], "CDrugInfo", 7); // object 0x8000 again
    const Bytes& bytes = ar.Bytes();
    EXPECT_EQ(bytes[lateClass], 0xFF); // a new class is always 0xFFFF
    const Bytes tail(bytes.begin() + static_cast<long>(next), bytes.end());
    EXPECT_EQ(tail, (Bytes{0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x80,    // class 0x7FFF
                           0xFE, 0x7F,                            // object 0x7FFE
                           0xFF, 0x7F, 0x00, 0x80, 0x00, 0x00})); // object 0x8000

    CArchiveReader in = ReaderOf(bytes);
    for (std::size_t i = 0; i < 0x7FFD; ++i) {
        ASSERT_EQ(in.ReadObjectTag().m_kind, CObjectTag::EKind::New);
    }
    EXPECT_EQ(in.ReadObjectTag().m_nObject, 0x8000u);
    const CObjectTag known = in.ReadObjectTag();
    EXPECT_EQ(known.m_kind, CObjectTag::EKind::New);
    EXPECT_EQ(known.m_strClass, "CDrugInfo");
    EXPECT_EQ(known.m_nSchema, 7);
    EXPECT_EQ(known.m_nObject, 0x8001u);
    EXPECT_EQ(in.ReadObjectTag().m_nObject, 0x7FFEu);
    const CObjectTag back = in.ReadObjectTag();
    EXPECT_EQ(back.m_kind, CObjectTag::EKind::Reference);
    EXPECT_EQ(back.m_nObject, 0x8000u);
    EXPECT_EQ(back.m_strClass, "CDrugInfo");
    EXPECT_TRUE(in.AtEnd());
}

// Every malformed input fails with an exception, never by reading past the
// end or allocating what a length claims.
TEST(ArchiveTest, ReaderRefusesBadInput) {
    const Bytes newDose = {0xFF, 0xFF, 0x01, 0x00, 0x09, 0x00, 'C', 'D',
                           'o',  's',  'e',  'D',  'a',  't',  'a'};
    auto after = [&newDose](Bytes more) {
        Bytes bytes = newDose;
        bytes.insert(bytes.end(), more.begin(), more.end());
        return bytes;
    };
    struct Case {
        const char* what;
        Bytes bytes;
        int reads; // 0 word, 1 long, 2 double, 3 string, 4 count, 5 tag
    };
    const Case cases[] = {
        {"word cut short", {0x01}, 0},
        {"long cut short", {1, 2, 3}, 1},
        {"double cut short", {1, 2, 3, 4, 5, 6, 7}, 2},
        {"empty string prefix", {}, 3},
        {"string longer than the data", {0x05, 'a', 'b'}, 3},
        {"word string length past the end", {0xFF, 0x00, 0x01, 'a'}, 3},
        {"huge long string length", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 3},
        {"wide string marker", {0xFF, 0xFE, 0xFF, 0x00}, 3},
        {"count larger than the data", {0x05, 0x00, 0, 0, 0, 0}, 4},
        {"huge long count", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, 4},
        {"unknown class", {0xFF, 0xFF, 0x01, 0x00, 0x03, 0x00, 'C', 'X', 'Y'}, 5},
        {"class name past the end", {0xFF, 0xFF, 0x01, 0x00, 0xFF, 0xFF, 'C'}, 5},
        {"class number not defined", {0x01, 0x80}, 5},
        {"object number not defined", {0x01, 0x00}, 5},
        {"class number names an object", after({0x02, 0x80}), 5},
        {"object number names a class", after({0x01, 0x00}), 5},
        {"long class number not defined", after({0xFF, 0x7F, 0x09, 0x00, 0x00, 0x80}), 5},
        {"long object number not defined", after({0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F}), 5},
        {"long tag cut short", after({0xFF, 0x7F, 0x01}), 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CArchiveReader in = ReaderOf(c.bytes);
        const auto read = [&in, &c, &newDose] {
            switch (c.reads) {
            case 0:
                in.ReadWord();
                break;
            case 1:
                in.ReadLong();
                break;
            case 2:
                in.ReadDouble();
                break;
            case 3:
                in.ReadString();
                break;
            case 4:
                in.ReadCount(1);
                break;
            default:
                if (c.bytes.size() > newDose.size() &&
                    std::equal(newDose.begin(), newDose.end(), c.bytes.begin())) {
                    in.ReadObjectTag(); // the valid first tag
                }
                in.ReadObjectTag();
                break;
            }
        };
        EXPECT_THROW(read(), CArchiveException);
    }
}

TEST(ArchiveTest, ErrorsNameTheOffset) {
    const Bytes bytes = {0x00, 0x00, 0x07};
    CArchiveReader in = ReaderOf(bytes);
    in.ReadWord();
    try {
        in.ReadString();
        FAIL() << "no exception";
    } catch (const CArchiveException& e) {
        EXPECT_NE(std::string(e.what()).find("at byte 3"), std::string::npos) << e.what();
    }
}

} // namespace
