#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace doseplex {

class CArchiveReader;
class CArchiveWriter;

// The look of one cell. Zero everywhere is the sheet's default look.
struct CCellStyle {
    enum EFlag : std::uint16_t { kBold = 0x0001, kItalic = 0x0002, kUnderline = 0x0004 };
    enum EAlign : std::uint16_t {
        kAlignGeneral = 0,
        kAlignLeft = 1,
        kAlignCentre = 2,
        kAlignRight = 3
    };

    std::uint16_t m_nFlags = 0;
    std::uint16_t m_nFontSize = 0; // tenths of a point; 0: the sheet's default size
    std::uint16_t m_nAlign = kAlignGeneral;

    bool IsBold() const { return (m_nFlags & kBold) != 0; }
    bool IsDefault() const { return *this == CCellStyle{}; }
    bool operator==(const CCellStyle&) const = default;
};

struct CRawCell {
    std::string m_strText; // UTF-8
    CCellStyle m_style;

    bool IsEmpty() const { return m_strText.empty() && m_style.IsDefault(); }
    bool operator==(const CRawCell&) const = default;
};

// The raw-data spreadsheet of an experiment: 1000 rows by 50 columns of cell
// texts and styles, numbered from 1. Only cells that hold a text or a style
// take memory.
class CRawSheet {
public:
    static constexpr int kRows = 1000;
    static constexpr int kColumns = 50;
    // The version of the stored layout this program writes.
    static constexpr std::uint16_t kFormatVersion = 1;

    static bool IsInside(int row, int column) {
        return row >= 1 && row <= kRows && column >= 1 && column <= kColumns;
    }

    // The cell, or null when it is empty or outside the sheet.
    const CRawCell* GetCell(int row, int column) const;
    std::string GetText(int row, int column) const;
    CCellStyle GetStyle(int row, int column) const;

    // Each returns false (and changes nothing) outside the sheet. A cell left
    // with no text and the default style is removed.
    bool SetCell(int row, int column, CRawCell cell);
    bool SetText(int row, int column, std::string text);
    bool SetStyle(int row, int column, const CCellStyle& style);
    bool ClearCell(int row, int column);
    void ClearAll();

    bool IsEmpty() const { return m_cells.empty() && !HasForeignContent(); }
    std::size_t CellCount() const { return m_cells.size(); }
    // The last row and the last column that hold a cell; 0 when none does.
    int UsedRows() const;
    int UsedColumns() const;

    using CellMap = std::map<std::pair<int, int>, CRawCell>; // key: (row, column)
    const CellMap& Cells() const { return m_cells; }

    // A sheet stored in a later layout than this program knows is kept as it
    // was read and written back unchanged; it shows no cells. The first edit
    // replaces it with an empty sheet of the current layout.
    bool HasForeignContent() const { return m_nForeignVersion != 0; }

    // The stored form: WORD layout version, LONG byte length of what follows,
    // then the cells. Read throws CArchiveException on a damaged sheet.
    void Write(CArchiveWriter& ar) const;
    void Read(CArchiveReader& ar);

    bool operator==(const CRawSheet&) const = default;

private:
    void DropForeignContent();

    CellMap m_cells;
    std::uint16_t m_nForeignVersion = 0;
    std::string m_foreignContent;
};

} // namespace doseplex
