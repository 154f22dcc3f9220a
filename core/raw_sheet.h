#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace doseplex {

class CArchiveReader;
class CArchiveWriter;

// One side of a cell's frame: the kind of line and its colour.
struct CCellBorder {
    enum ELine : std::uint16_t {
        kNone = 0,
        kThin = 1,
        kMedium = 2,
        kThick = 3,
        kDashed = 4,
        kDotted = 5,
        kDouble = 6
    };

    std::uint16_t m_nLine = kNone;
    std::uint32_t m_nColour = 0; // as CCellStyle's colours

    bool operator==(const CCellBorder&) const = default;
};

// The look of one cell. Zero and empty everywhere is the sheet's default look.
struct CCellStyle {
    enum EFlag : std::uint16_t {
        kBold = 0x0001,
        kItalic = 0x0002,
        kUnderline = 0x0004,
        kStrikeOut = 0x0008,
        kWrapText = 0x0010
    };
    enum EAlign : std::uint16_t {
        kAlignGeneral = 0,
        kAlignLeft = 1,
        kAlignCentre = 2,
        kAlignRight = 3
    };
    enum EVerticalAlign : std::uint16_t { kAlignBottom = 0, kAlignTop = 1, kAlignMiddle = 2 };
    enum EBorderSide { kLeft = 0, kTop = 1, kRight = 2, kBottom = 3 };

    // A colour is 0 for the default (automatic text, no background) or
    // kColourSet with the red, green and blue bytes below it (0x01RRGGBB).
    static constexpr std::uint32_t kColourSet = 0x01000000;
    static constexpr std::uint32_t Colour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        return kColourSet | (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue;
    }

    CCellStyle() = default;
    // The fields layout 1 knows; the rest keep their defaults.
    CCellStyle(std::uint16_t flags, std::uint16_t fontSize, std::uint16_t align)
        : m_nFlags(flags), m_nFontSize(fontSize), m_nAlign(align) {}

    std::uint16_t m_nFlags = 0;
    std::uint16_t m_nFontSize = 0; // tenths of a point; 0: the sheet's default size
    std::uint16_t m_nAlign = kAlignGeneral;
    std::uint16_t m_nVerticalAlign = kAlignBottom;
    std::uint32_t m_nTextColour = 0;
    std::uint32_t m_nBackColour = 0;
    std::array<CCellBorder, 4> m_borders{}; // by EBorderSide
    std::string m_strFontName;              // UTF-8; empty: the sheet's default font
    // Number format code as spreadsheets write it ("0.00", "0.0E+00", "0%");
    // empty: shown as typed.
    std::string m_strNumberFormat;

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
    // The versions of the stored layout: 1 holds cell texts with font size,
    // bold, italic, underline and alignment; 2 holds every style field, the
    // header and footer and the sizes. A sheet is written in layout 1 while
    // it fits, so older programs still read it.
    static constexpr std::uint16_t kFormatVersion = 2;
    static constexpr std::uint16_t kFirstFormatVersion = 1;

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

    // The texts printed at the top and the bottom of every page of the sheet
    // (UTF-8; empty: none).
    const std::string& Header() const { return m_strHeader; }
    const std::string& Footer() const { return m_strFooter; }
    void SetHeader(std::string text);
    void SetFooter(std::string text);

    // Column widths and row heights in pixels; 0 is the grid's default size.
    // Setting returns false (and changes nothing) outside the sheet or for a
    // size above kMaxSize.
    static constexpr int kMaxSize = 4096;
    int ColumnWidth(int column) const;
    int RowHeight(int row) const;
    bool SetColumnWidth(int column, int pixels);
    bool SetRowHeight(int row, int pixels);

    bool IsEmpty() const { return m_cells.empty() && !HasLayout() && !HasForeignContent(); }
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
    // then the styles and cells (docs/file-format.md). Read throws
    // CArchiveException on a damaged sheet.
    void Write(CArchiveWriter& ar) const;
    void Read(CArchiveReader& ar);

    bool operator==(const CRawSheet&) const = default;

    // The layout Write uses for this sheet.
    std::uint16_t StoredVersion() const;

private:
    void DropForeignContent();
    void ReadLayout1(CArchiveReader& in);
    void ReadLayout2(CArchiveReader& in);
    // True when the header, footer or a size differs from the default.
    bool HasLayout() const;

    CellMap m_cells;
    std::string m_strHeader;
    std::string m_strFooter;
    std::map<int, std::uint16_t> m_columnWidths; // only sizes other than 0
    std::map<int, std::uint16_t> m_rowHeights;
    std::uint16_t m_nForeignVersion = 0;
    std::string m_foreignContent;
};

} // namespace doseplex
