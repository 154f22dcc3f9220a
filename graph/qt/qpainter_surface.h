#pragma once

// The graph engine's drawing surface over a QPainter, for pictures, the
// screen and printing in the Qt program.

#include "graph/surface.h"

#include <QColor>
#include <QFont>

#include <map>

class QPainter;
class QPointF;

namespace doseplex {

// Draws on a QPainter whose logical units are the surface's: one unit is one
// pixel and y grows downwards. Shapes follow the rules of the drawing model
// the engine was written for: a rectangle covers left..right-1 and
// top..bottom-1, an outline lies inside it, a font is chosen by its cell
// height. The painter must stay active while the surface is used; the surface
// changes its pen, brush, font and render hints.
class CQPainterSurface : public IDrawSurface {
public:
    explicit CQPainterSurface(QPainter& painter);

    bool FillRect(const CRect& rect, Colour colour) override;

    void SetPen(const CPenDesc& pen) override;
    void SetBrush(bool filled, Colour colour) override;
    void SetFont(const CFontDesc& font) override;
    void SetTextColour(Colour colour) override;
    void SetTextAlign(EHAlign h, EVAlign v) override;

    void Line(CPoint from, CPoint to) override;
    void Polyline(const CPoint* points, int count) override;
    void Polygon(const CPoint* points, int count) override;
    void Ellipse(const CRect& rect) override;
    void Rectangle(const CRect& rect) override;
    void Text(CPoint at, const std::string& text) override;
    int TextWidth(const std::string& text, const CFontDesc& font) const override;

    // The font drawn for a cell height of `height` pixels (12 when not
    // positive): the default sans-serif face at normal weight, sized so that
    // its ascent plus descent comes as close to `height` as the face allows.
    static QFont FontForCellHeight(int height);

private:
    // Where a stroke through the point lies: pixel centres for lines of odd
    // width, so that a one-pixel line covers exactly one row of pixels.
    QPointF StrokePoint(CPoint p) const;
    // The rectangle's outline inside it, false when it covers no pixel.
    bool OutlineRect(const CRect& rect, double& x, double& y, double& w, double& h) const;

    QPainter& m_painter;
    double m_strokeOffset = 0.5;
    QFont m_font;
    int m_escapement = 0; // tenths of a degree, counter-clockwise
    QColor m_textColour;
    EHAlign m_hAlign = EHAlign::Left;
    EVAlign m_vAlign = EVAlign::Top;
    const QFont& CachedFont(int height) const;

    mutable std::map<int, QFont> m_fonts; // by cell height, as sizing needs measuring
};

} // namespace doseplex
