#include "core/raw_sheet.h"

#include "core/archive.h"
#include "core/encoding.h"

#include <algorithm>
#include <limits>
#include <span>
#include <vector>

namespace doseplex {

namespace {

// Layout 1: bytes of the style block written (flags, font size, alignment),
// and the smallest stored cell (row, column, empty text, empty style block).
constexpr std::uint8_t kLayout1StyleBytes = 6;
constexpr std::size_t kLayout1MinCellBytes = 2 + 2 + 1 + 1;
// Layout 2: the smallest stored style (an empty block behind its length) and
// cell (row, column, empty text, style number).
constexpr std::size_t kLayout2MinStyleBytes = 2;
constexpr std::size_t kLayout2MinCellBytes = 2 + 2 + 1 + 2;

// True when layout 1 holds the style: only flags it knew, font size and
// horizontal alignment.
bool FitsLayout1(const CCellStyle& style) {
    CCellStyle known;
    known.m_nFlags =
        style.m_nFlags & (CCellStyle::kBold | CCellStyle::kItalic | CCellStyle::kUnderline);
    known.m_nFontSize = style.m_nFontSize;
    known.m_nAlign = style.m_nAlign;
    return known == style;
}

std::string Utf8Field(CArchiveReader& in) {
    return EightBitToUtf8(in.ReadString());
}

// The style block of layout 2, without its length.
std::string StyleBlock(const CCellStyle& style) {
    CArchiveWriter block;
    block.WriteWord(style.m_nFlags);
    block.WriteWord(style.m_nFontSize);
    block.WriteWord(style.m_nAlign);
    block.WriteWord(style.m_nVerticalAlign);
    block.WriteLong(style.m_nTextColour);
    block.WriteLong(style.m_nBackColour);
    for (const CCellBorder& border : style.m_borders) {
        block.WriteWord(border.m_nLine);
        block.WriteLong(border.m_nColour);
    }
    block.WriteString(Utf8ToStoredText(style.m_strFontName));
    block.WriteString(Utf8ToStoredText(style.m_strNumberFormat));
    const auto& bytes = block.Bytes();
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Reads a layout 2 style block: the fields it covers whole, in order; the
// others keep their defaults, and bytes after the known fields are skipped.
CCellStyle ReadStyleBlock(const std::string& block) {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(block.data()),
                                              block.size());
    CArchiveReader in(bytes, {});
    CCellStyle style;
    std::uint16_t* const words[] = {&style.m_nFlags, &style.m_nFontSize, &style.m_nAlign,
                                    &style.m_nVerticalAlign};
    for (std::uint16_t* word : words) {
        if (in.Remaining() < 2) {
            return style;
        }
        *word = in.ReadWord();
    }
    for (std::uint32_t* colour : {&style.m_nTextColour, &style.m_nBackColour}) {
        if (in.Remaining() < 4) {
            return style;
        }
        *colour = in.ReadLong();
    }
    for (CCellBorder& border : style.m_borders) {
        if (in.Remaining() < 6) {
            return style;
        }
        border.m_nLine = in.ReadWord();
        border.m_nColour = in.ReadLong();
    }
    // A text that starts inside the block must end inside it.
    for (std::string* text : {&style.m_strFontName, &style.m_strNumberFormat}) {
        if (in.Remaining() == 0) {
            return style;
        }
        *text = Utf8Field(in);
    }
    return style;
}

} // namespace

const CRawCell* CRawSheet::GetCell(int row, int column) const {
    const auto found = m_cells.find({row, column});
    return found == m_cells.end() ? nullptr : &found->second;
}

std::string CRawSheet::GetText(int row, int column) const {
    const CRawCell* cell = GetCell(row, column);
    return cell ? cell->m_strText : std::string();
}

CCellStyle CRawSheet::GetStyle(int row, int column) const {
    const CRawCell* cell = GetCell(row, column);
    return cell ? cell->m_style : CCellStyle{};
}

bool CRawSheet::SetCell(int row, int column, CRawCell cell) {
    if (!IsInside(row, column)) {
        return false;
    }
    DropForeignContent();
    if (cell.IsEmpty()) {
        m_cells.erase({row, column});
    } else {
        m_cells[{row, column}] = std::move(cell);
    }
    return true;
}

bool CRawSheet::SetText(int row, int column, std::string text) {
    if (!IsInside(row, column)) {
        return false;
    }
    CRawCell cell{std::move(text), GetStyle(row, column)};
    return SetCell(row, column, std::move(cell));
}

bool CRawSheet::SetStyle(int row, int column, const CCellStyle& style) {
    if (!IsInside(row, column)) {
        return false;
    }
    return SetCell(row, column, CRawCell{GetText(row, column), style});
}

bool CRawSheet::ClearCell(int row, int column) {
    return SetCell(row, column, CRawCell{});
}

void CRawSheet::ClearAll() {
    m_cells.clear();
    m_strHeader.clear();
    m_strFooter.clear();
    m_columnWidths.clear();
    m_rowHeights.clear();
    DropForeignContent();
}

void CRawSheet::SetHeader(std::string text) {
    DropForeignContent();
    m_strHeader = std::move(text);
}

void CRawSheet::SetFooter(std::string text) {
    DropForeignContent();
    m_strFooter = std::move(text);
}

namespace {

int SizeOf(const std::map<int, std::uint16_t>& sizes, int index) {
    const auto found = sizes.find(index);
    return found == sizes.end() ? 0 : found->second;
}

bool SetSize(std::map<int, std::uint16_t>& sizes, int index, int pixels) {
    if (pixels < 0 || pixels > CRawSheet::kMaxSize) {
        return false;
    }
    if (pixels == 0) {
        sizes.erase(index);
    } else {
        sizes[index] = static_cast<std::uint16_t>(pixels);
    }
    return true;
}

} // namespace

int CRawSheet::ColumnWidth(int column) const {
    return SizeOf(m_columnWidths, column);
}

int CRawSheet::RowHeight(int row) const {
    return SizeOf(m_rowHeights, row);
}

bool CRawSheet::SetColumnWidth(int column, int pixels) {
    if (column < 1 || column > kColumns) {
        return false;
    }
    DropForeignContent();
    return SetSize(m_columnWidths, column, pixels);
}

bool CRawSheet::SetRowHeight(int row, int pixels) {
    if (row < 1 || row > kRows) {
        return false;
    }
    DropForeignContent();
    return SetSize(m_rowHeights, row, pixels);
}

bool CRawSheet::HasLayout() const {
    return !m_strHeader.empty() || !m_strFooter.empty() || !m_columnWidths.empty() ||
           !m_rowHeights.empty();
}

int CRawSheet::UsedRows() const {
    return m_cells.empty() ? 0 : m_cells.rbegin()->first.first;
}

int CRawSheet::UsedColumns() const {
    int last = 0;
    for (const auto& entry : m_cells) {
        last = std::max(last, entry.first.second);
    }
    return last;
}

void CRawSheet::DropForeignContent() {
    m_nForeignVersion = 0;
    m_foreignContent.clear();
}

std::uint16_t CRawSheet::StoredVersion() const {
    if (HasForeignContent()) {
        return m_nForeignVersion;
    }
    if (HasLayout()) {
        return kFormatVersion;
    }
    for (const auto& entry : m_cells) {
        if (!FitsLayout1(entry.second.m_style)) {
            return kFormatVersion;
        }
    }
    return kFirstFormatVersion;
}

// The layouts behind the version and the length (docs/file-format.md):
//   1: LONG cell count, then per cell in ascending (row, column) order WORD
//      row, WORD column, STRING text, BYTE style block length, and the block:
//      WORD flags, WORD font size, WORD alignment.
//   2: LONG style count, then per style WORD block length and the block
//      (StyleBlock); then LONG cell count, and per cell WORD row, WORD
//      column, STRING text, WORD style number (0: the default look, n: the
//      n-th stored style); then STRING header, STRING footer, WORD count and
//      (WORD column, WORD width) pairs, WORD count and (WORD row, WORD
//      height) pairs.
// Readers take the style fields a block covers and step over the rest, and
// ignore bytes after the last cell, so a layout may grow at its ends.
void CRawSheet::Write(CArchiveWriter& ar) const {
    if (HasForeignContent()) {
        ar.WriteWord(m_nForeignVersion);
        ar.WriteLong(static_cast<std::uint32_t>(m_foreignContent.size()));
        ar.WriteRaw(m_foreignContent);
        return;
    }
    const std::uint16_t version = StoredVersion();
    CArchiveWriter content;
    if (version == kFirstFormatVersion) {
        content.WriteLong(static_cast<std::uint32_t>(m_cells.size()));
        for (const auto& [position, cell] : m_cells) {
            content.WriteWord(static_cast<std::uint16_t>(position.first));
            content.WriteWord(static_cast<std::uint16_t>(position.second));
            content.WriteString(Utf8ToStoredText(cell.m_strText));
            content.WriteByte(kLayout1StyleBytes);
            content.WriteWord(cell.m_style.m_nFlags);
            content.WriteWord(cell.m_style.m_nFontSize);
            content.WriteWord(cell.m_style.m_nAlign);
        }
    } else {
        // Each distinct look is stored once, numbered in order of first use.
        std::map<std::string, std::uint16_t> numbers;
        std::vector<const std::string*> blocks;
        std::vector<std::uint16_t> cellStyles;
        for (const auto& entry : m_cells) {
            const CCellStyle& style = entry.second.m_style;
            if (style.IsDefault()) {
                cellStyles.push_back(0);
                continue;
            }
            auto [found, added] = numbers.emplace(StyleBlock(style), 0);
            if (added) {
                if (blocks.size() >= std::numeric_limits<std::uint16_t>::max()) {
                    throw CArchiveException("raw data sheet has too many cell styles to store");
                }
                blocks.push_back(&found->first);
                found->second = static_cast<std::uint16_t>(blocks.size());
            }
            cellStyles.push_back(found->second);
        }
        content.WriteLong(static_cast<std::uint32_t>(blocks.size()));
        for (const std::string* block : blocks) {
            if (block->size() > std::numeric_limits<std::uint16_t>::max()) {
                throw CArchiveException("raw data cell style too large to store");
            }
            content.WriteWord(static_cast<std::uint16_t>(block->size()));
            content.WriteRaw(*block);
        }
        content.WriteLong(static_cast<std::uint32_t>(m_cells.size()));
        std::size_t i = 0;
        for (const auto& [position, cell] : m_cells) {
            content.WriteWord(static_cast<std::uint16_t>(position.first));
            content.WriteWord(static_cast<std::uint16_t>(position.second));
            content.WriteString(Utf8ToStoredText(cell.m_strText));
            content.WriteWord(cellStyles[i++]);
        }
        content.WriteString(Utf8ToStoredText(m_strHeader));
        content.WriteString(Utf8ToStoredText(m_strFooter));
        for (const auto* sizes : {&m_columnWidths, &m_rowHeights}) {
            content.WriteWord(static_cast<std::uint16_t>(sizes->size()));
            for (const auto& [index, pixels] : *sizes) {
                content.WriteWord(static_cast<std::uint16_t>(index));
                content.WriteWord(pixels);
            }
        }
    }
    const auto& bytes = content.Bytes();
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw CArchiveException("raw data sheet too large to store");
    }
    ar.WriteWord(version);
    ar.WriteLong(static_cast<std::uint32_t>(bytes.size()));
    ar.WriteRaw(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void CRawSheet::Read(CArchiveReader& ar) {
    ClearAll();
    const std::uint16_t version = ar.ReadWord();
    if (version == 0) {
        ar.Fail("raw data sheet of unknown layout 0");
    }
    const std::uint32_t length = ar.ReadLong();
    std::string content = ar.ReadRaw(length);
    if (version > kFormatVersion) {
        m_nForeignVersion = version;
        m_foreignContent = std::move(content);
        return;
    }
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(content.data()),
                                              content.size());
    CArchiveReader in(bytes, {});
    if (version == kFirstFormatVersion) {
        ReadLayout1(in);
    } else {
        ReadLayout2(in);
    }
}

namespace {

// Reads a cell's position and text and checks that cells come in order.
std::pair<std::pair<int, int>, std::string> ReadCellStart(CArchiveReader& in,
                                                          const CRawSheet::CellMap& cells) {
    const int row = in.ReadWord();
    const int column = in.ReadWord();
    if (!CRawSheet::IsInside(row, column)) {
        in.Fail("raw data cell outside the sheet");
    }
    if (!cells.empty() && !(cells.rbegin()->first < std::make_pair(row, column))) {
        in.Fail("raw data cells out of order");
    }
    return {{row, column}, Utf8Field(in)};
}

} // namespace

void CRawSheet::ReadLayout1(CArchiveReader& in) {
    const std::uint32_t count = in.ReadLong();
    if (count > in.Remaining() / kLayout1MinCellBytes) {
        in.Fail("raw data sheet cell count larger than the data left");
    }
    CellMap cells;
    for (std::uint32_t i = 0; i < count; ++i) {
        auto [position, text] = ReadCellStart(in, cells);
        CRawCell cell;
        cell.m_strText = std::move(text);
        std::size_t styleBytes = in.ReadByte();
        std::uint16_t* const fields[] = {&cell.m_style.m_nFlags, &cell.m_style.m_nFontSize,
                                         &cell.m_style.m_nAlign};
        for (std::uint16_t* field : fields) {
            if (styleBytes < 2) {
                break;
            }
            *field = in.ReadWord();
            styleBytes -= 2;
        }
        in.Skip(styleBytes);
        if (!cell.IsEmpty()) {
            cells.emplace_hint(cells.end(), position, std::move(cell));
        }
    }
    // Bytes after the cells belong to later additions of this layout.
    m_cells = std::move(cells);
}

void CRawSheet::ReadLayout2(CArchiveReader& in) {
    const std::uint32_t styleCount = in.ReadLong();
    if (styleCount > in.Remaining() / kLayout2MinStyleBytes) {
        in.Fail("raw data sheet style count larger than the data left");
    }
    // Cells name their style in a WORD: more could never be used.
    if (styleCount > std::numeric_limits<std::uint16_t>::max()) {
        in.Fail("raw data sheet with more styles than cells can name");
    }
    std::vector<CCellStyle> styles;
    styles.reserve(styleCount);
    for (std::uint32_t i = 0; i < styleCount; ++i) {
        const std::uint16_t length = in.ReadWord();
        styles.push_back(ReadStyleBlock(in.ReadRaw(length)));
    }
    const std::uint32_t count = in.ReadLong();
    if (count > in.Remaining() / kLayout2MinCellBytes) {
        in.Fail("raw data sheet cell count larger than the data left");
    }
    CellMap cells;
    for (std::uint32_t i = 0; i < count; ++i) {
        auto [position, text] = ReadCellStart(in, cells);
        CRawCell cell;
        cell.m_strText = std::move(text);
        const std::uint16_t number = in.ReadWord();
        if (number > styles.size()) {
            in.Fail("raw data cell with style " + std::to_string(number) + " of " +
                    std::to_string(styles.size()));
        }
        if (number != 0) {
            cell.m_style = styles[number - 1];
        }
        if (!cell.IsEmpty()) {
            cells.emplace_hint(cells.end(), position, std::move(cell));
        }
    }
    m_cells = std::move(cells);

    // The page texts and sizes; a sheet may end before them.
    for (std::string* text : {&m_strHeader, &m_strFooter}) {
        if (in.Remaining() == 0) {
            return;
        }
        *text = Utf8Field(in);
    }
    const struct {
        std::map<int, std::uint16_t>* sizes;
        int last;
    } lists[] = {{&m_columnWidths, kColumns}, {&m_rowHeights, kRows}};
    for (const auto& list : lists) {
        if (in.Remaining() == 0) {
            return;
        }
        const std::uint16_t sizeCount = in.ReadWord();
        for (std::uint16_t i = 0; i < sizeCount; ++i) {
            const int index = in.ReadWord();
            const int pixels = in.ReadWord();
            if (index < 1 || index > list.last || pixels > kMaxSize) {
                in.Fail("raw data sheet size out of range");
            }
            if (pixels != 0) {
                (*list.sizes)[index] = static_cast<std::uint16_t>(pixels);
            }
        }
    }
    // Bytes after the sizes belong to later additions of this layout.
}

} // namespace doseplex
