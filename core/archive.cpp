#include "core/archive.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace doseplex {

namespace {

constexpr std::uint16_t kNullTag = 0x0000;
constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kClassTag = 0x8000;
constexpr std::uint16_t kBigObjectTag = 0x7FFF;
constexpr std::uint32_t kBigClassTag = 0x80000000;
// Numbers at or above this need the LONG form (the WORD would read as a
// class tag).
constexpr std::uint32_t kMaxSmallNumber = 0x7FFE;

constexpr std::uint16_t kBigStringLength = 0xFFFF;
constexpr std::uint16_t kMaxWordStringLength = 0xFFFD;

} // namespace

// --- Writer -----------------------------------------------------------------

void CArchiveWriter::WriteByte(std::uint8_t value) {
    m_bytes.push_back(value);
}

void CArchiveWriter::WriteWord(std::uint16_t value) {
    m_bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    m_bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void CArchiveWriter::WriteLong(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        m_bytes.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
    }
}

void CArchiveWriter::WriteDouble(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    for (int shift = 0; shift < 64; shift += 8) {
        m_bytes.push_back(static_cast<std::uint8_t>((bits >> shift) & 0xFF));
    }
}

void CArchiveWriter::WriteRaw(std::string_view bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
}

void CArchiveWriter::WriteString(std::string_view bytes) {
    const std::size_t length = bytes.size();
    if (length < 0xFF) {
        WriteByte(static_cast<std::uint8_t>(length));
    } else if (length <= kMaxWordStringLength) {
        WriteByte(0xFF);
        WriteWord(static_cast<std::uint16_t>(length));
    } else if (length <= std::numeric_limits<std::uint32_t>::max()) {
        WriteByte(0xFF);
        WriteWord(kBigStringLength);
        WriteLong(static_cast<std::uint32_t>(length));
    } else {
        throw CArchiveException("text too long to store");
    }
    WriteRaw(bytes);
}

void CArchiveWriter::WriteCount(std::size_t count) {
    if (count < 0xFFFF) {
        WriteWord(static_cast<std::uint16_t>(count));
    } else if (count <= std::numeric_limits<std::uint32_t>::max()) {
        WriteWord(0xFFFF);
        WriteLong(static_cast<std::uint32_t>(count));
    } else {
        throw CArchiveException("list too long to store");
    }
}

void CArchiveWriter::WriteNullObject() {
    WriteWord(kNullTag);
}

void CArchiveWriter::WriteNumberTag(std::uint32_t number, std::uint32_t bigFlag,
                                    std::uint16_t smallFlag) {
    if (number <= kMaxSmallNumber) {
        WriteWord(static_cast<std::uint16_t>(smallFlag | number));
    } else {
        WriteWord(kBigObjectTag);
        WriteLong(bigFlag | number);
    }
}

bool CArchiveWriter::WriteObjectTag(const void* object, std::string_view className,
                                    std::uint16_t schema) {
    if (!object) {
        WriteNullObject();
        return false;
    }
    if (const auto known = m_objectNumbers.find(object); known != m_objectNumbers.end()) {
        WriteNumberTag(known->second, 0, 0);
        return false;
    }
    // Numbers must stay below the class flag of the LONG form.
    if (m_nextNumber >= kBigClassTag - 1) {
        throw CArchiveException("too many objects to store");
    }
    const std::string name(className);
    if (const auto cls = m_classNumbers.find(name); cls != m_classNumbers.end()) {
        WriteNumberTag(cls->second, kBigClassTag, kClassTag);
    } else {
        if (className.size() > 0xFFFF) {
            throw CArchiveException("class name too long to store");
        }
        WriteWord(kNewClassTag);
        WriteWord(schema);
        WriteWord(static_cast<std::uint16_t>(className.size()));
        WriteRaw(className);
        m_classNumbers.emplace(name, m_nextNumber++);
    }
    m_objectNumbers.emplace(object, m_nextNumber++);
    return true;
}

// --- Reader -----------------------------------------------------------------

CArchiveReader::CArchiveReader(std::span<const std::uint8_t> bytes,
                               std::vector<std::string> classes)
    : m_bytes(bytes), m_classes(std::move(classes)), m_entries(1) {}

void CArchiveReader::Fail(const std::string& what) const {
    throw CArchiveException(what + " at byte " + std::to_string(m_pos));
}

void CArchiveReader::Need(std::size_t count) const {
    if (count > Remaining()) {
        Fail("unexpected end of data");
    }
}

std::uint8_t CArchiveReader::ReadByte() {
    Need(1);
    return m_bytes[m_pos++];
}

std::uint16_t CArchiveReader::ReadWord() {
    Need(2);
    const auto value = static_cast<std::uint16_t>(m_bytes[m_pos] | (m_bytes[m_pos + 1] << 8));
    m_pos += 2;
    return value;
}

std::uint32_t CArchiveReader::ReadLong() {
    Need(4);
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | m_bytes[m_pos + static_cast<std::size_t>(i)];
    }
    m_pos += 4;
    return value;
}

double CArchiveReader::ReadDouble() {
    Need(8);
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) {
        bits = (bits << 8) | m_bytes[m_pos + static_cast<std::size_t>(i)];
    }
    m_pos += 8;
    return std::bit_cast<double>(bits);
}

std::string CArchiveReader::ReadRaw(std::size_t count) {
    Need(count);
    std::string text(reinterpret_cast<const char*>(m_bytes.data() + m_pos), count);
    m_pos += count;
    return text;
}

void CArchiveReader::Skip(std::size_t count) {
    Need(count);
    m_pos += count;
}

std::string CArchiveReader::ReadString() {
    std::size_t length = ReadByte();
    if (length == 0xFF) {
        const std::uint16_t word = ReadWord();
        if (word == kBigStringLength) {
            length = ReadLong();
        } else if (word == 0xFFFE) {
            // Never written for an 8-bit text; other writers use it to flag
            // 16-bit characters, which this format does not hold.
            Fail("unsupported wide text");
        } else {
            length = word;
        }
    }
    return ReadRaw(length);
}

std::size_t CArchiveReader::ReadCount(std::size_t minItemBytes) {
    std::size_t count = ReadWord();
    if (count == 0xFFFF) {
        count = ReadLong();
    }
    if (count > Remaining() / std::max<std::size_t>(minItemBytes, 1)) {
        Fail("count " + std::to_string(count) + " larger than the data left");
    }
    return count;
}

CObjectTag CArchiveReader::ReadObjectTag() {
    CObjectTag tag;
    const std::uint16_t word = ReadWord();
    if (word == kNullTag) {
        return tag;
    }

    std::uint32_t classNumber = 0;
    if (word == kNewClassTag) {
        const std::uint16_t schema = ReadWord();
        const std::uint16_t nameLength = ReadWord();
        const std::string name = ReadRaw(nameLength);
        const auto known = std::find(m_classes.begin(), m_classes.end(), name);
        if (known == m_classes.end()) {
            // The name goes into a message: at most 64 printable characters.
            std::string shown = name.substr(0, 64);
            std::replace_if(
                shown.begin(), shown.end(), [](char c) { return c < 0x20 || c > 0x7E; }, '?');
            Fail("unknown class \"" + shown + "\"");
        }
        CEntry entry;
        entry.m_bClass = true;
        entry.m_nSchema = schema;
        entry.m_nClassIndex = static_cast<std::uint32_t>(known - m_classes.begin());
        classNumber = static_cast<std::uint32_t>(m_entries.size());
        m_entries.push_back(entry);
    } else {
        std::uint32_t number = 0;
        bool isClass = false;
        if (word == kBigObjectTag) {
            const std::uint32_t big = ReadLong();
            isClass = (big & kBigClassTag) != 0;
            number = big & ~kBigClassTag;
        } else {
            isClass = (word & kClassTag) != 0;
            number = word & 0x7FFFu;
        }
        if (number == 0 || number >= m_entries.size() || m_entries[number].m_bClass != isClass) {
            Fail(std::string(isClass ? "class" : "object") + " number " + std::to_string(number) +
                 " not defined");
        }
        if (!isClass) {
            const CEntry& object = m_entries[number];
            tag.m_kind = CObjectTag::EKind::Reference;
            tag.m_strClass = m_classes[object.m_nClassIndex];
            tag.m_nSchema = object.m_nSchema;
            tag.m_nObject = number;
            return tag;
        }
        classNumber = number;
    }

    const CEntry classEntry = m_entries[classNumber];
    CEntry object = classEntry;
    object.m_bClass = false;
    tag.m_kind = CObjectTag::EKind::New;
    tag.m_strClass = m_classes[classEntry.m_nClassIndex];
    tag.m_nSchema = classEntry.m_nSchema;
    tag.m_nObject = static_cast<std::uint32_t>(m_entries.size());
    m_entries.push_back(object);
    return tag;
}

} // namespace doseplex
