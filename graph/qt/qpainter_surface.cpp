#include "graph/qt/qpainter_surface.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace doseplex {

namespace {

constexpr int kDefaultCellHeight = 12;

QColor ToQColor(Colour c) {
    return QColor(ColourRed(c), ColourGreen(c), ColourBlue(c));
}

Qt::PenStyle ToQtPenStyle(EPenStyle style) {
    switch (style) {
    case EPenStyle::Dash:
        return Qt::DashLine;
    case EPenStyle::Dot:
        return Qt::DotLine;
    case EPenStyle::DashDot:
        return Qt::DashDotLine;
    case EPenStyle::DashDotDot:
        return Qt::DashDotDotLine;
    case EPenStyle::Solid:
        break;
    }
    return Qt::SolidLine;
}

} // namespace

CQPainterSurface::CQPainterSurface(QPainter& painter)
    : m_painter(painter), m_font(FontForCellHeight(kDefaultCellHeight)), m_textColour(Qt::black) {
    m_painter.setRenderHint(QPainter::Antialiasing, true);
    m_painter.setRenderHint(QPainter::TextAntialiasing, true);
    m_painter.setBackgroundMode(Qt::TransparentMode);
    SetPen(CPenDesc{});
    SetBrush(false, 0);
}

QFont CQPainterSurface::FontForCellHeight(int height) {
    if (height <= 0) {
        height = kDefaultCellHeight;
    }
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setFamilies({QStringLiteral("sans-serif")});
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setPixelSize(height);
    // A face's ascent plus descent is usually somewhat more than its em size;
    // scale the size by the measured ratio, then keep whichever nearby size
    // comes closest (hinting rounds the metrics per size).
    const auto cellHeight = [&font] {
        return static_cast<int>(std::lround(QFontMetricsF(font).height()));
    };
    const int measured = std::max(1, cellHeight());
    const int estimate =
        std::max(1, static_cast<int>(std::lround(static_cast<double>(height) * height / measured)));
    int bestSize = height;
    int bestError = std::abs(measured - height);
    for (int size = std::max(1, estimate - 1); size <= estimate + 1; ++size) {
        font.setPixelSize(size);
        const int error = std::abs(cellHeight() - height);
        if (error < bestError || (error == bestError && size > bestSize)) {
            bestError = error;
            bestSize = size;
        }
    }
    font.setPixelSize(bestSize);
    return font;
}

QPointF CQPainterSurface::StrokePoint(CPoint p) const {
    return QPointF(p.x + m_strokeOffset, p.y + m_strokeOffset);
}

bool CQPainterSurface::OutlineRect(const CRect& rect, double& x, double& y, double& w,
                                   double& h) const {
    const int left = std::min(rect.left, rect.right);
    const int right = std::max(rect.left, rect.right);
    const int top = std::min(rect.top, rect.bottom);
    const int bottom = std::max(rect.top, rect.bottom);
    if (left == right || top == bottom) {
        return false;
    }
    x = left + m_strokeOffset;
    y = top + m_strokeOffset;
    w = right - left - 1;
    h = bottom - top - 1;
    return true;
}

bool CQPainterSurface::FillRect(const CRect& rect, Colour colour) {
    if (!m_painter.isActive()) {
        return false;
    }
    if (rect.right > rect.left && rect.bottom > rect.top) {
        m_painter.fillRect(
            QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top),
            ToQColor(colour));
    }
    return true;
}

void CQPainterSurface::SetPen(const CPenDesc& pen) {
    const int width = std::max(1, pen.widthX);
    QPen qpen(ToQColor(pen.colour));
    qpen.setWidth(width);
    qpen.setStyle(ToQtPenStyle(pen.style));
    // Square caps would lengthen each dash and dot by the pen's width and
    // close the gaps of a thin dotted line.
    qpen.setCapStyle(pen.style == EPenStyle::Solid ? Qt::SquareCap : Qt::FlatCap);
    qpen.setJoinStyle(Qt::MiterJoin);
    m_painter.setPen(qpen);
    m_strokeOffset = width % 2 == 1 ? 0.5 : 0.0;
}

void CQPainterSurface::SetBrush(bool filled, Colour colour) {
    if (filled) {
        m_painter.setBrush(ToQColor(colour));
    } else {
        m_painter.setBrush(Qt::NoBrush);
    }
}

const QFont& CQPainterSurface::CachedFont(int height) const {
    // A negative height is a character height on surfaces whose y grows
    // upwards; the cell is taken as that tall too.
    height = height != 0 ? std::abs(height) : kDefaultCellHeight;
    auto found = m_fonts.find(height);
    if (found == m_fonts.end()) {
        found = m_fonts.emplace(height, FontForCellHeight(height)).first;
    }
    return found->second;
}

void CQPainterSurface::SetFont(const CFontDesc& font) {
    m_font = CachedFont(font.height);
    m_escapement = font.escapement;
}

int CQPainterSurface::TextWidth(const std::string& text, const CFontDesc& font) const {
    const QFontMetricsF metrics(CachedFont(font.height));
    return static_cast<int>(std::ceil(metrics.horizontalAdvance(QString::fromUtf8(text))));
}

void CQPainterSurface::SetTextColour(Colour colour) {
    m_textColour = ToQColor(colour);
}

void CQPainterSurface::SetTextAlign(EHAlign h, EVAlign v) {
    m_hAlign = h;
    m_vAlign = v;
}

void CQPainterSurface::Line(CPoint from, CPoint to) {
    m_painter.drawLine(StrokePoint(from), StrokePoint(to));
}

void CQPainterSurface::Polyline(const CPoint* points, int count) {
    if (points == nullptr || count < 2) {
        return;
    }
    QPolygonF polygon;
    polygon.reserve(count);
    for (int i = 0; i < count; ++i) {
        polygon.append(StrokePoint(points[i]));
    }
    m_painter.drawPolyline(polygon);
}

void CQPainterSurface::Polygon(const CPoint* points, int count) {
    if (points == nullptr || count < 3) {
        return;
    }
    QPolygonF polygon;
    polygon.reserve(count);
    for (int i = 0; i < count; ++i) {
        polygon.append(StrokePoint(points[i]));
    }
    m_painter.drawPolygon(polygon, Qt::OddEvenFill);
}

void CQPainterSurface::Ellipse(const CRect& rect) {
    double x = 0, y = 0, w = 0, h = 0;
    if (OutlineRect(rect, x, y, w, h)) {
        m_painter.drawEllipse(QRectF(x, y, w, h));
    }
}

void CQPainterSurface::Rectangle(const CRect& rect) {
    double x = 0, y = 0, w = 0, h = 0;
    if (OutlineRect(rect, x, y, w, h)) {
        m_painter.drawRect(QRectF(x, y, w, h));
    }
}

void CQPainterSurface::Text(CPoint at, const std::string& text) {
    if (text.empty()) {
        return;
    }
    const QString string = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QFontMetricsF metrics(m_font);
    double dx = 0;
    switch (m_hAlign) {
    case EHAlign::Left:
        break;
    case EHAlign::Centre:
        dx = -metrics.horizontalAdvance(string) / 2;
        break;
    case EHAlign::Right:
        dx = -metrics.horizontalAdvance(string);
        break;
    }
    double dy = 0; // from the reference point to the baseline
    switch (m_vAlign) {
    case EVAlign::Top:
        dy = metrics.ascent();
        break;
    case EVAlign::Baseline:
        break;
    case EVAlign::Bottom:
        dy = -metrics.descent();
        break;
    }

    m_painter.save();
    m_painter.setFont(m_font);
    m_painter.setPen(m_textColour);
    m_painter.setBrush(Qt::NoBrush);
    m_painter.translate(at.x, at.y);
    if (m_escapement % 3600 != 0) {
        // Counter-clockwise on the page is clockwise in y-down coordinates.
        m_painter.rotate(-m_escapement / 10.0);
    }
    // Whole pixels keep the glyphs on the pixel grid, as hinting expects.
    m_painter.drawText(QPointF(std::round(dx), std::round(dy)), string);
    m_painter.restore();
}

} // namespace doseplex
