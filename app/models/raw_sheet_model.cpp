#include "app/models/raw_sheet_model.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QItemSelection>
#include <QRegularExpression>
#include <QUndoCommand>

#include <algorithm>
#include <cmath>

namespace doseplex::app {

namespace {

QColor ToColour(std::uint32_t colour) {
    return QColor(static_cast<int>((colour >> 16) & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>(colour & 0xFF));
}

bool IsNumberText(const QString& text, double* value) {
    bool ok = false;
    *value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(*value);
}

} // namespace

// One change of the sheet: the cells before and after, and the header and
// footer before and after.
class CSheetEditCommand final : public QUndoCommand {
public:
    CSheetEditCommand(CRawSheetModel& model, std::vector<CRawSheetModel::CCellChange> changes,
                      std::string headerBefore, std::string headerAfter, std::string footerBefore,
                      std::string footerAfter, const QString& label)
        : QUndoCommand(label), m_model(model), m_changes(std::move(changes)),
          m_headerBefore(std::move(headerBefore)), m_headerAfter(std::move(headerAfter)),
          m_footerBefore(std::move(footerBefore)), m_footerAfter(std::move(footerAfter)) {}

    void redo() override { m_model.Apply(m_changes, true, m_headerAfter, m_footerAfter); }
    void undo() override { m_model.Apply(m_changes, false, m_headerBefore, m_footerBefore); }

private:
    CRawSheetModel& m_model;
    std::vector<CRawSheetModel::CCellChange> m_changes;
    std::string m_headerBefore, m_headerAfter, m_footerBefore, m_footerAfter;
};

CRawSheetModel::CRawSheetModel(CRawSheet& sheet, QObject* parent)
    : QAbstractTableModel(parent), m_sheet(sheet) {}

int CRawSheetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : CRawSheet::kRows;
}

int CRawSheetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : CRawSheet::kColumns;
}

QString CRawSheetModel::FormatNumber(const QString& text, const std::string& format) {
    double value = 0;
    if (format.empty() || !IsNumberText(text, &value)) {
        return text;
    }
    // Decimals are the zeros after the point of the code's number part.
    static const QRegularExpression code(QStringLiteral("^0(?:\\.(0+))?(%|E\\+00)?$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = code.match(QString::fromStdString(format));
    if (!match.hasMatch()) {
        return text;
    }
    const int decimals = static_cast<int>(match.capturedLength(1));
    const QString suffix = match.captured(2).toUpper();
    if (suffix == QStringLiteral("%")) {
        return QString::number(value * 100.0, 'f', decimals) + QStringLiteral("%");
    }
    if (suffix == QStringLiteral("E+00")) {
        QString out = QString::number(value, 'E', decimals);
        // Two exponent digits as spreadsheets show them.
        static const QRegularExpression exponent(QStringLiteral("E([+-])0*(\\d\\d+)$"));
        out.replace(exponent, QStringLiteral("E\\1\\2"));
        return out;
    }
    return QString::number(value, 'f', decimals);
}

QVariant CRawSheetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const CRawCell* cell = m_sheet.GetCell(index.row() + 1, index.column() + 1);
    if (!cell) {
        return role == Qt::DisplayRole || role == Qt::EditRole ? QVariant(QString()) : QVariant();
    }
    const CCellStyle& style = cell->m_style;
    const QString text = QString::fromStdString(cell->m_strText);
    switch (role) {
    case Qt::EditRole:
        return text;
    case Qt::DisplayRole:
        return FormatNumber(text, style.m_strNumberFormat);
    case Qt::FontRole: {
        if (style.m_nFlags == 0 && style.m_nFontSize == 0 && style.m_strFontName.empty()) {
            return {};
        }
        QFont font;
        if (!style.m_strFontName.empty()) {
            font.setFamily(QString::fromStdString(style.m_strFontName));
        }
        if (style.m_nFontSize > 0) {
            font.setPointSizeF(style.m_nFontSize / 10.0);
        }
        font.setBold((style.m_nFlags & CCellStyle::kBold) != 0);
        font.setItalic((style.m_nFlags & CCellStyle::kItalic) != 0);
        font.setUnderline((style.m_nFlags & CCellStyle::kUnderline) != 0);
        font.setStrikeOut((style.m_nFlags & CCellStyle::kStrikeOut) != 0);
        return font;
    }
    case Qt::ForegroundRole:
        return style.m_nTextColour != 0 ? QVariant(QBrush(ToColour(style.m_nTextColour)))
                                        : QVariant();
    case Qt::BackgroundRole:
        return style.m_nBackColour != 0 ? QVariant(QBrush(ToColour(style.m_nBackColour)))
                                        : QVariant();
    case Qt::TextAlignmentRole: {
        Qt::Alignment align;
        switch (style.m_nAlign) {
        case CCellStyle::kAlignLeft:
            align = Qt::AlignLeft;
            break;
        case CCellStyle::kAlignCentre:
            align = Qt::AlignHCenter;
            break;
        case CCellStyle::kAlignRight:
            align = Qt::AlignRight;
            break;
        default: {
            // General: numbers to the right, texts to the left.
            double value = 0;
            align = IsNumberText(text, &value) ? Qt::AlignRight : Qt::AlignLeft;
        }
        }
        switch (style.m_nVerticalAlign) {
        case CCellStyle::kAlignTop:
            align |= Qt::AlignTop;
            break;
        case CCellStyle::kAlignMiddle:
            align |= Qt::AlignVCenter;
            break;
        default:
            align |= Qt::AlignBottom;
        }
        return QVariant::fromValue(align);
    }
    default:
        return {};
    }
}

QVariant CRawSheetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (orientation == Qt::Horizontal) {
        return QString::fromStdString(entry::ColumnName(section + 1));
    }
    return QString::number(section + 1);
}

Qt::ItemFlags CRawSheetModel::flags(const QModelIndex& index) const {
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

bool CRawSheetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) {
        return false;
    }
    CRawSheet after = m_sheet;
    after.SetText(index.row() + 1, index.column() + 1, value.toString().toStdString());
    ApplySheet(after, QStringLiteral("Typing"));
    return true;
}

bool CRawSheetModel::ApplySheet(const CRawSheet& after, const QString& label) {
    std::vector<CCellChange> changes;
    const CRawSheet::CellMap& from = m_sheet.Cells();
    const CRawSheet::CellMap& to = after.Cells();
    auto a = from.begin();
    auto b = to.begin();
    // Both maps are ordered by (row, column): walk them side by side.
    while (a != from.end() || b != to.end()) {
        if (b == to.end() || (a != from.end() && a->first < b->first)) {
            changes.push_back({a->first.first, a->first.second, a->second, CRawCell{}});
            ++a;
        } else if (a == from.end() || b->first < a->first) {
            changes.push_back({b->first.first, b->first.second, CRawCell{}, b->second});
            ++b;
        } else {
            if (!(a->second == b->second)) {
                changes.push_back({a->first.first, a->first.second, a->second, b->second});
            }
            ++a;
            ++b;
        }
    }
    if (changes.empty() && m_sheet.Header() == after.Header() &&
        m_sheet.Footer() == after.Footer()) {
        return false;
    }
    m_undo.push(new CSheetEditCommand(*this, std::move(changes), m_sheet.Header(), after.Header(),
                                      m_sheet.Footer(), after.Footer(), label));
    return true;
}

void CRawSheetModel::Apply(const std::vector<CCellChange>& changes, bool after,
                           const std::string& header, const std::string& footer) {
    int top = CRawSheet::kRows, left = CRawSheet::kColumns, bottom = 0, right = 0;
    for (const CCellChange& change : changes) {
        m_sheet.SetCell(change.m_nRow, change.m_nColumn, after ? change.m_after : change.m_before);
        top = std::min(top, change.m_nRow);
        bottom = std::max(bottom, change.m_nRow);
        left = std::min(left, change.m_nColumn);
        right = std::max(right, change.m_nColumn);
    }
    m_sheet.SetHeader(header);
    m_sheet.SetFooter(footer);
    if (bottom > 0) {
        emit dataChanged(index(top - 1, left - 1), index(bottom - 1, right - 1));
    }
    if (m_onChanged) {
        m_onChanged();
    }
}

bool CRawSheetModel::ClearRanges(const std::vector<entry::CCellRange>& ranges) {
    CRawSheet after = m_sheet;
    for (const entry::CCellRange& range : ranges) {
        for (int row = range.m_nTop; row <= range.m_nBottom; ++row) {
            for (int column = range.m_nLeft; column <= range.m_nRight; ++column) {
                after.ClearCell(row, column);
            }
        }
    }
    return ApplySheet(after, QStringLiteral("Clear Cells"));
}

bool CRawSheetModel::FormatRanges(const std::vector<entry::CCellRange>& ranges,
                                  const CCellStyle& style) {
    CRawSheet after = m_sheet;
    for (const entry::CCellRange& range : ranges) {
        for (int row = range.m_nTop; row <= range.m_nBottom; ++row) {
            for (int column = range.m_nLeft; column <= range.m_nRight; ++column) {
                after.SetStyle(row, column, style);
            }
        }
    }
    return ApplySheet(after, QStringLiteral("Format Cells"));
}

bool CRawSheetModel::PasteText(const QString& text, entry::CCellPosition origin) {
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normal.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Spreadsheets end the last row with a line break too.
    if (normal.endsWith(QLatin1Char('\n'))) {
        normal.chop(1);
    }
    CRawSheet after = m_sheet;
    const QStringList lines = normal.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringList fields = lines[i].split(QLatin1Char('\t'));
        for (qsizetype j = 0; j < fields.size(); ++j) {
            // SetText refuses cells outside the sheet.
            after.SetText(origin.m_nRow + static_cast<int>(i),
                          origin.m_nColumn + static_cast<int>(j), fields[j].toStdString());
        }
    }
    return ApplySheet(after, QStringLiteral("Paste"));
}

void CRawSheetModel::SetColumnWidth(int column, int pixels) {
    if (m_sheet.ColumnWidth(column) != pixels && m_sheet.SetColumnWidth(column, pixels) &&
        m_onChanged) {
        m_onChanged();
    }
}

void CRawSheetModel::SetRowHeight(int row, int pixels) {
    if (m_sheet.RowHeight(row) != pixels && m_sheet.SetRowHeight(row, pixels) && m_onChanged) {
        m_onChanged();
    }
}

QString CRawSheetModel::RangeText(const entry::CCellRange& range) const {
    QString out;
    for (int row = range.m_nTop; row <= range.m_nBottom; ++row) {
        for (int column = range.m_nLeft; column <= range.m_nRight; ++column) {
            if (column > range.m_nLeft) {
                out += QLatin1Char('\t');
            }
            out += QString::fromStdString(m_sheet.GetText(row, column));
        }
        out += QStringLiteral("\r\n");
    }
    return out;
}

std::vector<entry::CCellRange> SelectionRanges(const QItemSelection& selection) {
    std::vector<entry::CCellRange> ranges;
    for (const QItemSelectionRange& range : selection) {
        if (range.isValid()) {
            ranges.push_back(
                {range.top() + 1, range.left() + 1, range.bottom() + 1, range.right() + 1});
        }
    }
    return ranges;
}

} // namespace doseplex::app
