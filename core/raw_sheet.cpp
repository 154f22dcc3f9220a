#include "core/raw_sheet.h"

#include "core/archive.h"
#include "core/encoding.h"

#include <algorithm>
#include <limits>
#include <span>

namespace doseplex {

namespace {

// Bytes of the style block this program writes: flags, font size, alignment.
constexpr std::uint8_t kStyleBytes = 6;
// The smallest stored cell: row, column, empty text, empty style block.
constexpr std::size_t kMinCellBytes = 2 + 2 + 1 + 1;

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
    DropForeignContent();
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

// Layout 1 after the version and the length:
//   LONG number of cells, then per cell in ascending (row, column) order:
//   WORD row, WORD column (both from 1), STRING text, BYTE length of the style
//   block, then the block: WORD flags, WORD font size, WORD alignment. A
//   reader takes the style fields the block covers and steps over the rest,
//   so later versions may append fields.
void CRawSheet::Write(CArchiveWriter& ar) const {
    if (HasForeignContent()) {
        ar.WriteWord(m_nForeignVersion);
        ar.WriteLong(static_cast<std::uint32_t>(m_foreignContent.size()));
        ar.WriteRaw(m_foreignContent);
        return;
    }
    CArchiveWriter content;
    content.WriteLong(static_cast<std::uint32_t>(m_cells.size()));
    for (const auto& [position, cell] : m_cells) {
        content.WriteWord(static_cast<std::uint16_t>(position.first));
        content.WriteWord(static_cast<std::uint16_t>(position.second));
        content.WriteString(Utf8ToStoredText(cell.m_strText));
        content.WriteByte(kStyleBytes);
        content.WriteWord(cell.m_style.m_nFlags);
        content.WriteWord(cell.m_style.m_nFontSize);
        content.WriteWord(cell.m_style.m_nAlign);
    }
    const auto& bytes = content.Bytes();
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw CArchiveException("raw data sheet too large to store");
    }
    ar.WriteWord(kFormatVersion);
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
    if (version != kFormatVersion) {
        m_nForeignVersion = version;
        m_foreignContent = std::move(content);
        return;
    }

    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(content.data()),
                                              content.size());
    CArchiveReader in(bytes, {});
    const std::uint32_t count = in.ReadLong();
    if (count > in.Remaining() / kMinCellBytes) {
        in.Fail("raw data sheet cell count larger than the data left");
    }
    CellMap cells;
    for (std::uint32_t i = 0; i < count; ++i) {
        const int row = in.ReadWord();
        const int column = in.ReadWord();
        if (!IsInside(row, column)) {
            in.Fail("raw data cell outside the sheet");
        }
        if (!cells.empty() && !(cells.rbegin()->first < std::make_pair(row, column))) {
            in.Fail("raw data cells out of order");
        }
        CRawCell cell;
        cell.m_strText = EightBitToUtf8(in.ReadString());
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
            cells.emplace_hint(cells.end(), std::make_pair(row, column), std::move(cell));
        }
    }
    // Bytes after the cells belong to later additions of this layout.
    m_cells = std::move(cells);
}

} // namespace doseplex
