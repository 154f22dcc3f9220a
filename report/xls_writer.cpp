// Excel 97 workbook writer: one worksheet as BIFF8 records in the "Workbook"
// stream of an OLE2 compound file.

#include "core/encoding.h"
#include "core/file_io.h"
#include "report/export_file.h"
#include "report/table.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace doseplex {

namespace {

// Limits of the format.
constexpr std::size_t kMaxRows = 65536;
constexpr std::size_t kMaxColumns = 256;
constexpr std::size_t kMaxTextUnits = 32767; // UTF-16 code units per cell
constexpr std::size_t kMaxRecordData = 8224; // bytes after the 4-byte record header

// BIFF8 record identifiers.
constexpr std::uint16_t kRecEof = 0x000A;
constexpr std::uint16_t kRecContinue = 0x003C;
constexpr std::uint16_t kRecWindow1 = 0x003D;
constexpr std::uint16_t kRecCodepage = 0x0042;
constexpr std::uint16_t kRecFont = 0x0031;
constexpr std::uint16_t kRecColinfo = 0x007D;
constexpr std::uint16_t kRecBoundsheet = 0x0085;
constexpr std::uint16_t kRecXf = 0x00E0;
constexpr std::uint16_t kRecSst = 0x00FC;
constexpr std::uint16_t kRecLabelSst = 0x00FD;
constexpr std::uint16_t kRecExtSst = 0x00FF;
constexpr std::uint16_t kRecDimensions = 0x0200;
constexpr std::uint16_t kRecBlank = 0x0201;
constexpr std::uint16_t kRecNumber = 0x0203;
constexpr std::uint16_t kRecWindow2 = 0x023E;
constexpr std::uint16_t kRecStyle = 0x0293;
constexpr std::uint16_t kRecBof = 0x0809;

// Cell XFs follow the 15 style XFs and the default cell XF (index 15):
// 16 + 1 for bold + 2 for a border.
constexpr std::uint16_t kDefaultCellXf = 15;
constexpr std::uint16_t kFirstOwnXf = 16;

// Compound file constants.
constexpr std::size_t kSectorSize = 512;
constexpr std::size_t kMiniSectorSize = 64;
constexpr std::size_t kMiniStreamCutoff = 4096;
constexpr std::size_t kIdsPerSector = kSectorSize / 4;
constexpr std::size_t kHeaderDifatEntries = 109;
constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

class CByteBuffer {
public:
    void U8(std::uint8_t v) { m_bytes.push_back(v); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v & 0xFF));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v & 0xFFFF));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void F64(double v) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        U32(static_cast<std::uint32_t>(bits & 0xFFFFFFFF));
        U32(static_cast<std::uint32_t>(bits >> 32));
    }
    void Zeros(std::size_t count) { m_bytes.insert(m_bytes.end(), count, 0); }
    void PatchU16(std::size_t pos, std::uint16_t v) {
        m_bytes[pos] = static_cast<std::uint8_t>(v & 0xFF);
        m_bytes[pos + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    void PatchU32(std::size_t pos, std::uint32_t v) {
        PatchU16(pos, static_cast<std::uint16_t>(v & 0xFFFF));
        PatchU16(pos + 2, static_cast<std::uint16_t>(v >> 16));
    }
    std::size_t Size() const { return m_bytes.size(); }
    std::vector<std::uint8_t>& Bytes() { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

// A record is written as header + data; EndRecord fills in the data length.
std::size_t BeginRecord(CByteBuffer& out, std::uint16_t id) {
    const std::size_t start = out.Size();
    out.U16(id);
    out.U16(0);
    return start;
}

void EndRecord(CByteBuffer& out, std::size_t start) {
    out.PatchU16(start + 2, static_cast<std::uint16_t>(out.Size() - start - 4));
}

// A text as BIFF8 stores it: UTF-16 code units, kept as one byte each
// ("compressed") when every unit is at most U+00FF.
struct CXlsText {
    std::u16string m_units;
    bool m_bCompressed = true;
};

CXlsText ToXlsText(const std::string& text) {
    // Invalid UTF-8 is read as Windows-1252, as everywhere else in DosePlex.
    const std::string utf8 = EightBitToUtf8(text);
    CXlsText result;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = b0 < 0x80 ? 1 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
        char32_t cp = length == 1   ? b0
                      : length == 2 ? (b0 & 0x1F)
                      : length == 3 ? (b0 & 0x0F)
                                    : (b0 & 0x07);
        for (std::size_t k = 1; k < length; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        i += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            result.m_units += static_cast<char16_t>(0xD800 + (cp >> 10));
            result.m_units += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            result.m_units += static_cast<char16_t>(cp);
        }
    }
    result.m_bCompressed = std::all_of(result.m_units.begin(), result.m_units.end(),
                                       [](char16_t unit) { return unit <= 0xFF; });
    return result;
}

void WriteUnits(CByteBuffer& out, const CXlsText& text, std::size_t first, std::size_t count) {
    for (std::size_t i = first; i < first + count; ++i) {
        if (text.m_bCompressed) {
            out.U8(static_cast<std::uint8_t>(text.m_units[i]));
        } else {
            out.U16(static_cast<std::uint16_t>(text.m_units[i]));
        }
    }
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// The sheet name as BIFF8 stores it, cleaned up as for every workbook.
CXlsText ToSheetName(const std::string& name) {
    return ToXlsText(export_file::SheetName(name));
}

std::string CellName(std::size_t row, std::size_t column) {
    return "row " + std::to_string(row + 1) + ", column " + std::to_string(column + 1);
}

// One cell record to write.
struct CCellRecord {
    enum class EKind { Blank, Number, Text };
    EKind m_kind = EKind::Blank;
    std::uint16_t m_nRow = 0;
    std::uint16_t m_nColumn = 0;
    std::uint16_t m_nXf = kDefaultCellXf;
    double m_dNumber = 0.0;
    std::uint32_t m_nString = 0; // index into the shared string table
};

// The table turned into cell records and a shared string table.
struct CSheetContent {
    std::vector<CCellRecord> m_cells;
    std::vector<CXlsText> m_strings;
    std::uint32_t m_nStringRefs = 0;
};

bool CollectCells(const CTable& table, CSheetContent& content, std::string& error) {
    if (table.m_rows.size() > kMaxRows) {
        error = "the table has " + std::to_string(table.m_rows.size()) +
                " rows; an .xls sheet holds at most " + std::to_string(kMaxRows);
        return false;
    }
    std::unordered_map<std::u16string, std::uint32_t> stringIndex;
    for (std::size_t r = 0; r < table.m_rows.size(); ++r) {
        const auto& row = table.m_rows[r];
        if (row.size() > kMaxColumns) {
            error = "row " + std::to_string(r + 1) + " has " + std::to_string(row.size()) +
                    " columns; an .xls sheet holds at most " + std::to_string(kMaxColumns);
            return false;
        }
        for (std::size_t c = 0; c < row.size(); ++c) {
            const CTableCell& cell = row[c];
            CCellRecord record;
            record.m_nRow = static_cast<std::uint16_t>(r);
            record.m_nColumn = static_cast<std::uint16_t>(c);
            record.m_nXf = static_cast<std::uint16_t>(kFirstOwnXf + (cell.m_bBold ? 1 : 0) +
                                                      (cell.m_bBorder ? 2 : 0));
            if (cell.m_strText.empty()) {
                if (!cell.m_bBold && !cell.m_bBorder) {
                    continue;
                }
                record.m_kind = CCellRecord::EKind::Blank;
            } else if (CellTextIsNumber(cell.m_strText, record.m_dNumber)) {
                record.m_kind = CCellRecord::EKind::Number;
            } else {
                CXlsText text = ToXlsText(cell.m_strText);
                if (text.m_units.size() > kMaxTextUnits) {
                    error = "the text in " + CellName(r, c) + " is longer than " +
                            std::to_string(kMaxTextUnits) + " characters";
                    return false;
                }
                record.m_kind = CCellRecord::EKind::Text;
                const auto [it, added] = stringIndex.try_emplace(
                    text.m_units, static_cast<std::uint32_t>(content.m_strings.size()));
                if (added) {
                    content.m_strings.push_back(std::move(text));
                }
                record.m_nString = it->second;
                ++content.m_nStringRefs;
            }
            content.m_cells.push_back(record);
        }
    }
    return true;
}

void WriteBof(CByteBuffer& out, std::uint16_t substreamType) {
    const std::size_t rec = BeginRecord(out, kRecBof);
    out.U16(0x0600); // BIFF8
    out.U16(substreamType);
    out.U16(0x0DBB); // build identifier
    out.U16(0x07CC); // build year
    out.U32(0);      // file history flags
    out.U32(0x0006); // lowest version that reads every record
    EndRecord(out, rec);
}

void WriteFont(CByteBuffer& out, int points, bool bold, bool italic) {
    static const char kFontName[] = "Arial";
    const std::size_t rec = BeginRecord(out, kRecFont);
    out.U16(static_cast<std::uint16_t>(points * 20)); // twips
    out.U16(italic ? 0x0002 : 0x0000);
    out.U16(0x7FFF);              // automatic colour
    out.U16(bold ? 700 : 400);    // weight
    out.U16(0);                   // no super- or subscript
    out.U8(0);                    // no underline
    out.U8(2);                    // family: swiss
    out.U8(0);                    // character set: ANSI
    out.U8(0);                    // reserved
    out.U8(sizeof kFontName - 1); // name length
    out.U8(0);                    // name stored compressed
    for (const char ch : std::string_view(kFontName)) {
        out.U8(static_cast<std::uint8_t>(ch));
    }
    EndRecord(out, rec);
}

void WriteXf(CByteBuffer& out, std::uint16_t font, bool style, bool border,
             std::uint8_t usedAttributes) {
    const std::size_t rec = BeginRecord(out, kRecXf);
    out.U16(font);
    out.U16(0);                       // number format: General
    out.U16(style ? 0xFFF5 : 0x0001); // locked; style XF or cell XF with parent 0
    out.U8(0x20);                     // horizontal general, vertical bottom
    out.U8(0);                        // no rotation
    out.U8(0);                        // no indent, no shrink
    out.U8(usedAttributes);
    if (border) {
        // Thin (1) left, right, top, bottom; automatic colour (0x40) for each.
        out.U32(0x1111u | (0x40u << 16) | (0x40u << 23));
        out.U32(0x40u | (0x40u << 7));
    } else {
        out.U32(0);
        out.U32(0);
    }
    out.U16(0x40 | (0x41 << 7)); // pattern colours: automatic foreground, background
    EndRecord(out, rec);
}

// SST with CONTINUE records: a string's header is never split; its
// characters may continue in the next record, which then starts with the
// option byte of the remaining characters. EXTSST points to every
// `perBucket`-th string.
void WriteSharedStrings(CByteBuffer& out, const CSheetContent& content) {
    const std::size_t count = content.m_strings.size();
    const std::size_t perBucket = std::max<std::size_t>(8, (count + 127) / 128);
    struct CBucket {
        std::uint32_t m_nStreamPos;
        std::uint16_t m_nRecordOffset;
    };
    std::vector<CBucket> buckets;

    std::size_t rec = BeginRecord(out, kRecSst);
    out.U32(content.m_nStringRefs);
    out.U32(static_cast<std::uint32_t>(count));
    auto roomLeft = [&] { return kMaxRecordData - (out.Size() - rec - 4); };
    auto nextRecord = [&] {
        EndRecord(out, rec);
        rec = BeginRecord(out, kRecContinue);
    };
    for (std::size_t i = 0; i < count; ++i) {
        const CXlsText& text = content.m_strings[i];
        const std::size_t unitSize = text.m_bCompressed ? 1 : 2;
        if (roomLeft() < 3 + unitSize) {
            nextRecord();
        }
        if (i % perBucket == 0) {
            buckets.push_back({static_cast<std::uint32_t>(out.Size()),
                               static_cast<std::uint16_t>(out.Size() - rec)});
        }
        out.U16(static_cast<std::uint16_t>(text.m_units.size()));
        out.U8(text.m_bCompressed ? 0x00 : 0x01);
        std::size_t done = 0;
        while (true) {
            std::size_t part = std::min(text.m_units.size() - done, roomLeft() / unitSize);
            // Keep a surrogate pair in one record.
            if (done + part < text.m_units.size() && part > 0 &&
                IsHighSurrogate(text.m_units[done + part - 1])) {
                --part;
            }
            WriteUnits(out, text, done, part);
            done += part;
            if (done == text.m_units.size()) {
                break;
            }
            nextRecord();
            out.U8(text.m_bCompressed ? 0x00 : 0x01);
        }
    }
    EndRecord(out, rec);

    rec = BeginRecord(out, kRecExtSst);
    out.U16(static_cast<std::uint16_t>(perBucket));
    for (const CBucket& bucket : buckets) {
        out.U32(bucket.m_nStreamPos);
        out.U16(bucket.m_nRecordOffset);
        out.U16(0);
    }
    EndRecord(out, rec);
}

// Maximum digit width in pixels of Arial at `points` on a 96 dpi screen,
// the unit of Excel column widths.
double DigitWidthPx(int points) {
    return std::max(1.0, std::round(points * 96.0 / 72.0 * 0.556));
}

std::vector<std::uint8_t> BuildWorkbookStream(const CTable& table, const CSheetContent& content,
                                              int points) {
    CByteBuffer out;

    // Workbook globals.
    WriteBof(out, 0x0005);
    std::size_t rec = BeginRecord(out, kRecCodepage);
    out.U16(1200); // texts are UTF-16
    EndRecord(out, rec);

    rec = BeginRecord(out, kRecWindow1);
    out.U16(0); // window position
    out.U16(0);
    out.U16(0x4000); // window size in twips
    out.U16(0x2000);
    out.U16(0x0038); // show scroll bars and sheet tabs
    out.U16(0);      // active sheet
    out.U16(0);      // first visible tab
    out.U16(1);      // selected sheets
    out.U16(600);    // tab bar width ratio (per mille)
    EndRecord(out, rec);

    // Fonts 0-3: normal, bold, italic, bold italic. Font 0 is the workbook's
    // default font; column widths and default row heights follow it. Font
    // index 4 does not exist in BIFF, so a fifth FONT record would be font 5.
    WriteFont(out, points, false, false);
    WriteFont(out, points, true, false);
    WriteFont(out, points, false, true);
    WriteFont(out, points, true, true);

    // Style XFs 0-14 (0 is the Normal style), default cell XF 15, then the
    // cell XFs for the four combinations of bold and border.
    WriteXf(out, 0, true, false, 0x00);
    for (std::uint16_t i = 1; i < 15; ++i) {
        WriteXf(out, i <= 2 ? 1 : i <= 4 ? 2 : 0, true, false, 0xF4);
    }
    WriteXf(out, 0, false, false, 0x00);
    for (int i = 0; i < 4; ++i) {
        const bool bold = (i & 1) != 0;
        const bool border = (i & 2) != 0;
        // The used-attribute bits mark what differs from the Normal style:
        // 0x08 font, 0x20 border.
        WriteXf(out, bold ? 1 : 0, false, border,
                static_cast<std::uint8_t>((bold ? 0x08 : 0) | (border ? 0x20 : 0)));
    }

    rec = BeginRecord(out, kRecStyle);
    out.U16(0x8000); // built-in style on XF 0
    out.U8(0);       // Normal
    out.U8(0xFF);
    EndRecord(out, rec);

    const CXlsText sheetName = ToSheetName(table.m_strSheetName);
    rec = BeginRecord(out, kRecBoundsheet);
    const std::size_t sheetOffsetPos = out.Size();
    out.U32(0); // stream offset of the sheet's BOF, patched below
    out.U8(0);  // visible
    out.U8(0);  // worksheet
    out.U8(static_cast<std::uint8_t>(sheetName.m_units.size()));
    out.U8(sheetName.m_bCompressed ? 0x00 : 0x01);
    WriteUnits(out, sheetName, 0, sheetName.m_units.size());
    EndRecord(out, rec);

    WriteSharedStrings(out, content);
    EndRecord(out, BeginRecord(out, kRecEof));

    // The worksheet.
    out.PatchU32(sheetOffsetPos, static_cast<std::uint32_t>(out.Size()));
    WriteBof(out, 0x0010);

    const double digitPx = DigitWidthPx(points);
    const std::size_t widthCount = std::min(table.m_columnWidthsPx.size(), kMaxColumns);
    for (std::size_t c = 0; c < widthCount; ++c) {
        const int px = table.m_columnWidthsPx[c];
        if (px <= 0) {
            continue;
        }
        // Width in 1/256 of the digit width, padding included; at most 255 digits.
        const double units = std::min(std::round(px * 256.0 / digitPx), 255.0 * 256.0);
        rec = BeginRecord(out, kRecColinfo);
        out.U16(static_cast<std::uint16_t>(c));
        out.U16(static_cast<std::uint16_t>(c));
        out.U16(static_cast<std::uint16_t>(units));
        out.U16(kDefaultCellXf);
        out.U16(0); // not hidden, no outline
        out.U16(0);
        EndRecord(out, rec);
    }

    // Used range: first row and column with a cell record, last ones + 1.
    std::uint32_t firstRow = 0;
    std::uint32_t lastRow = 0;
    std::uint16_t firstColumn = 0;
    std::uint16_t lastColumn = 0;
    if (!content.m_cells.empty()) {
        firstRow = content.m_cells.front().m_nRow;
        lastRow = content.m_cells.back().m_nRow + 1u;
        firstColumn = 0xFFFF;
        for (const CCellRecord& cell : content.m_cells) {
            firstColumn = std::min(firstColumn, cell.m_nColumn);
            lastColumn = std::max(lastColumn, static_cast<std::uint16_t>(cell.m_nColumn + 1));
        }
    }
    rec = BeginRecord(out, kRecDimensions);
    out.U32(firstRow);
    out.U32(lastRow);
    out.U16(firstColumn);
    out.U16(lastColumn);
    out.U16(0);
    EndRecord(out, rec);

    for (const CCellRecord& cell : content.m_cells) {
        switch (cell.m_kind) {
        case CCellRecord::EKind::Blank:
            rec = BeginRecord(out, kRecBlank);
            break;
        case CCellRecord::EKind::Number:
            rec = BeginRecord(out, kRecNumber);
            break;
        case CCellRecord::EKind::Text:
            rec = BeginRecord(out, kRecLabelSst);
            break;
        }
        out.U16(cell.m_nRow);
        out.U16(cell.m_nColumn);
        out.U16(cell.m_nXf);
        if (cell.m_kind == CCellRecord::EKind::Number) {
            out.F64(cell.m_dNumber);
        } else if (cell.m_kind == CCellRecord::EKind::Text) {
            out.U32(cell.m_nString);
        }
        EndRecord(out, rec);
    }

    rec = BeginRecord(out, kRecWindow2);
    out.U16(0x06B6); // grid, headers, zeros, automatic grid colour, outline, selected, active
    out.U16(0);      // top row
    out.U16(0);      // left column
    out.U32(0x40);   // grid colour: automatic
    out.U16(0);      // zoom factors: default
    out.U16(0);
    out.U32(0);
    EndRecord(out, rec);
    EndRecord(out, BeginRecord(out, kRecEof));
    return std::move(out.Bytes());
}

void WriteDirectoryEntry(CByteBuffer& out, std::u16string_view name, std::uint8_t type,
                         std::uint32_t child, std::uint32_t start, std::uint32_t size) {
    const std::size_t begin = out.Size();
    for (const char16_t ch : name) {
        out.U16(static_cast<std::uint16_t>(ch));
    }
    out.Zeros(64 - (out.Size() - begin));
    out.U16(name.empty() ? 0 : static_cast<std::uint16_t>((name.size() + 1) * 2));
    out.U8(type);
    out.U8(type != 0 ? 1 : 0); // black in the red-black tree
    out.U32(kNoStream);        // left sibling
    out.U32(kNoStream);        // right sibling
    out.U32(child);
    out.Zeros(16 + 4 + 8 + 8); // class id, state bits, creation and modification times
    out.U32(start);
    out.U32(size);
    out.U32(0); // high half of the size
}

// The compound file (version 3, 512-byte sectors) holding `stream` as
// "Workbook". A stream below the 4096-byte cutoff lives in the mini stream
// (64-byte sectors, chained by the mini FAT) held by the root entry.
// Sectors: FAT, DIFAT, directory, mini FAT, then the stream or mini stream.
std::vector<std::uint8_t> BuildCompoundFile(const std::vector<std::uint8_t>& stream) {
    const bool mini = stream.size() < kMiniStreamCutoff;
    const std::size_t miniSectors =
        mini ? (stream.size() + kMiniSectorSize - 1) / kMiniSectorSize : 0;
    const std::size_t payloadBytes = mini ? miniSectors * kMiniSectorSize : stream.size();
    const std::size_t payloadSectors = (payloadBytes + kSectorSize - 1) / kSectorSize;
    const std::size_t miniFatSectors = mini ? 1 : 0; // at most 64 mini sectors
    const std::size_t fixedSectors = 1 + miniFatSectors + payloadSectors;

    // The FAT covers every sector, its own and the DIFAT's included.
    std::size_t fatSectors = 1;
    std::size_t difatSectors = 0;
    while (true) {
        const std::size_t total = fixedSectors + fatSectors + difatSectors;
        const std::size_t needFat = (total + kIdsPerSector - 1) / kIdsPerSector;
        const std::size_t needDifat =
            needFat > kHeaderDifatEntries
                ? (needFat - kHeaderDifatEntries + kIdsPerSector - 2) / (kIdsPerSector - 1)
                : 0;
        if (needFat == fatSectors && needDifat == difatSectors) {
            break;
        }
        fatSectors = needFat;
        difatSectors = needDifat;
    }
    const auto firstDifat = static_cast<std::uint32_t>(fatSectors);
    const auto directorySector = static_cast<std::uint32_t>(fatSectors + difatSectors);
    const std::uint32_t miniFatSector = directorySector + 1;
    const auto payloadStart = static_cast<std::uint32_t>(directorySector + 1 + miniFatSectors);
    const std::size_t totalSectors = payloadStart + payloadSectors;

    std::vector<std::uint32_t> fat(fatSectors * kIdsPerSector, kFreeSect);
    for (std::size_t i = 0; i < fatSectors; ++i) {
        fat[i] = kFatSect;
    }
    for (std::size_t i = 0; i < difatSectors; ++i) {
        fat[firstDifat + i] = kDifSect;
    }
    fat[directorySector] = kEndOfChain;
    if (mini) {
        fat[miniFatSector] = kEndOfChain;
    }
    for (std::size_t i = 0; i < payloadSectors; ++i) {
        fat[payloadStart + i] =
            i + 1 < payloadSectors ? static_cast<std::uint32_t>(payloadStart + i + 1) : kEndOfChain;
    }

    CByteBuffer out;
    out.Bytes().reserve((1 + totalSectors) * kSectorSize);

    // Header.
    static constexpr std::uint8_t kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (const std::uint8_t b : kSignature) {
        out.U8(b);
    }
    out.Zeros(16);   // class id
    out.U16(0x003E); // minor version
    out.U16(0x0003); // major version 3
    out.U16(0xFFFE); // little-endian
    out.U16(9);      // 512-byte sectors
    out.U16(6);      // 64-byte mini sectors
    out.Zeros(6);
    out.U32(0); // directory sector count (unused in version 3)
    out.U32(static_cast<std::uint32_t>(fatSectors));
    out.U32(directorySector);
    out.U32(0); // transaction signature
    out.U32(static_cast<std::uint32_t>(kMiniStreamCutoff));
    out.U32(mini ? miniFatSector : kEndOfChain);
    out.U32(static_cast<std::uint32_t>(miniFatSectors));
    out.U32(difatSectors > 0 ? firstDifat : kEndOfChain);
    out.U32(static_cast<std::uint32_t>(difatSectors));
    for (std::size_t i = 0; i < kHeaderDifatEntries; ++i) {
        out.U32(i < fatSectors ? static_cast<std::uint32_t>(i) : kFreeSect);
    }

    // FAT.
    for (const std::uint32_t entry : fat) {
        out.U32(entry);
    }

    // DIFAT: the locations of the FAT sectors beyond the first 109, 127 per
    // sector, each sector ending with the next DIFAT sector.
    std::size_t nextFat = kHeaderDifatEntries;
    for (std::size_t d = 0; d < difatSectors; ++d) {
        for (std::size_t k = 0; k + 1 < kIdsPerSector; ++k, ++nextFat) {
            out.U32(nextFat < fatSectors ? static_cast<std::uint32_t>(nextFat) : kFreeSect);
        }
        out.U32(d + 1 < difatSectors ? static_cast<std::uint32_t>(firstDifat + d + 1)
                                     : kEndOfChain);
    }

    // Directory: root entry, "Workbook", two unused entries.
    WriteDirectoryEntry(out, u"Root Entry", 5, 1, mini ? payloadStart : kEndOfChain,
                        mini ? static_cast<std::uint32_t>(payloadBytes) : 0);
    WriteDirectoryEntry(out, u"Workbook", 2, kNoStream, mini ? 0 : payloadStart,
                        static_cast<std::uint32_t>(stream.size()));
    WriteDirectoryEntry(out, u"", 0, kNoStream, 0, 0);
    WriteDirectoryEntry(out, u"", 0, kNoStream, 0, 0);

    if (mini) {
        for (std::size_t i = 0; i < kIdsPerSector; ++i) {
            out.U32(i + 1 < miniSectors    ? static_cast<std::uint32_t>(i + 1)
                    : i + 1 == miniSectors ? kEndOfChain
                                           : kFreeSect);
        }
    }

    out.Bytes().insert(out.Bytes().end(), stream.begin(), stream.end());
    out.Zeros((1 + totalSectors) * kSectorSize - out.Size());
    return std::move(out.Bytes());
}

} // namespace

bool WriteXls(const CTable& table, const std::string& path, std::string& error) {
    CSheetContent content;
    if (!CollectCells(table, content, error)) {
        return false;
    }
    // Excel accepts font sizes from 1 to 409 points.
    const int points = std::clamp(table.m_nFontPoints, 1, 409);
    const std::vector<std::uint8_t> bytes =
        BuildCompoundFile(BuildWorkbookStream(table, content, points));
    return WriteFileSafely(path, bytes, error);
}

} // namespace doseplex
