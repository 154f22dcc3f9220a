#pragma once

// The object archive of the experiment file: little-endian primitives,
// length-prefixed 8-bit strings, counts and tagged object references.
//
// Object references share one counter per archive, starting at 1, that
// numbers classes and objects in the order they first appear; 0 is the null
// reference. Tags:
//   0x0000                      no object
//   0xFFFF schema len name      first object of a class not yet seen; the
//                               class takes the next number, then the object
//   0x8000 + class              next object of a known class (class numbers
//                               from 0x7FFF up: 0x7FFF, LONG 0x80000000 + n)
//   object                      an object already in the archive (numbers
//                               from 0x7FFF up: 0x7FFF, LONG n)

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace doseplex {

// Thrown by the reader for every kind of malformed input (truncation, a
// length or count larger than the data left, an unknown class, a bad tag) and
// by the writer for a value it cannot encode.
class CArchiveException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CArchiveWriter {
public:
    void WriteByte(std::uint8_t value);
    void WriteWord(std::uint16_t value);
    void WriteLong(std::uint32_t value);
    void WriteDouble(double value);
    // Bytes as they are; the caller chooses the 8-bit form of a text.
    void WriteRaw(std::string_view bytes);
    // Length prefix (one byte below 255; 0xFF + WORD below 0xFFFE; otherwise
    // 0xFF, WORD 0xFFFF, LONG), then the bytes.
    void WriteString(std::string_view bytes);
    // WORD below 0xFFFF, otherwise WORD 0xFFFF then LONG.
    void WriteCount(std::size_t count);

    void WriteNullObject();
    // Writes the tag of `object` of class `className`. Returns true when the
    // object appears for the first time and the caller must now write its
    // fields; false when a back reference was written instead.
    bool WriteObjectTag(const void* object, std::string_view className, std::uint16_t schema);

    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }
    std::vector<std::uint8_t> TakeBytes() { return std::move(m_bytes); }

private:
    void WriteNumberTag(std::uint32_t number, std::uint32_t bigFlag, std::uint16_t smallFlag);

    std::vector<std::uint8_t> m_bytes;
    std::uint32_t m_nextNumber = 1;
    std::unordered_map<std::string, std::uint32_t> m_classNumbers;
    std::unordered_map<const void*, std::uint32_t> m_objectNumbers;
};

// One decoded object tag.
struct CObjectTag {
    enum class EKind {
        Null,     // no object
        New,      // a new object follows; its fields come next
        Reference // an object read earlier; nothing follows
    };
    EKind m_kind = EKind::Null;
    std::string m_strClass;      // New and Reference
    std::uint16_t m_nSchema = 0; // New and Reference: the class's stored schema
    std::uint32_t m_nObject = 0; // the object's number
};

// Reads an archive held in memory. Every length and count is checked against
// the bytes left before anything is allocated, so no input can make it read
// out of bounds, loop without consuming input or allocate more than a small
// multiple of the input size.
class CArchiveReader {
public:
    // `classes`: the class names that may appear in new-class tags.
    CArchiveReader(std::span<const std::uint8_t> bytes, std::vector<std::string> classes);

    std::uint8_t ReadByte();
    std::uint16_t ReadWord();
    std::uint32_t ReadLong();
    double ReadDouble();
    std::string ReadString();
    // A COUNT of items that take at least `minItemBytes` bytes each; a count
    // the bytes left cannot hold is refused.
    std::size_t ReadCount(std::size_t minItemBytes);
    // `count` raw bytes.
    std::string ReadRaw(std::size_t count);
    void Skip(std::size_t count);

    CObjectTag ReadObjectTag();

    std::size_t Position() const { return m_pos; }
    std::size_t Remaining() const { return m_bytes.size() - m_pos; }
    bool AtEnd() const { return m_pos == m_bytes.size(); }

    // Fails with a message that names the current byte offset.
    [[noreturn]] void Fail(const std::string& what) const;

private:
    // Fails unless `count` more bytes are there.
    void Need(std::size_t count) const;

    struct CEntry {
        bool m_bClass = false;
        std::uint16_t m_nSchema = 0;
        std::uint32_t m_nClassIndex = 0; // into m_classes
    };

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
    std::vector<std::string> m_classes;
    // Index = archive number; entry 0 is the null reference.
    std::vector<CEntry> m_entries;
};

} // namespace doseplex
