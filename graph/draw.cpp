// Scaling, layout and drawing of a graph. All positions are integer
// arithmetic on the graph's rectangle, so the same graph lays itself out on a
// screen, a page or a picture of any size.

#include "graph/graph.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace doseplex {

namespace {

// Span multiples of the unit, the number of divisions of each span, and so
// the tick step (multiple × unit / divisions) that the axis uses.
constexpr int kScaleEntries = 17;
constexpr double kSpanMultiple[kScaleEntries] = {1,  2,  3,  4,  5,  6,  8,  10, 12,
                                                 15, 20, 25, 30, 40, 50, 60, 80};
constexpr int kDivisions[kScaleEntries] = {5, 5, 3, 4, 5, 3, 4, 5, 4, 3, 4, 5, 3, 4, 5, 3, 4};

// Values further out than this are drawn at this distance: a point far
// outside an overridden range must not overflow the device coordinates.
constexpr double kDeviceLimit = 1 << 28;

int Truncate(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<int>(std::clamp(value, -kDeviceLimit, kDeviceLimit));
}

// Number of Unicode characters of a UTF-8 text.
size_t CharacterCount(const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// `font`, made smaller when needed so that what it measures (`width` of a
// font) is at most `available` units: a long drug name must not run off the
// picture.
CFontDesc FittingFont(CFontDesc font, int available,
                      const std::function<int(const CFontDesc&)>& width) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int needed = width(font);
        const int height = std::abs(font.height);
        if (needed <= available || height <= 1 || available <= 0) {
            break;
        }
        int smaller = static_cast<int>(static_cast<long long>(height) * available / needed);
        smaller = std::max(1, std::min(smaller, height - 1));
        font.height = font.height < 0 ? -smaller : smaller;
    }
    return font;
}

// The font in which `text` fits `available` units.
CFontDesc FittingFont(const IDrawSurface& surface, const CFontDesc& font, const std::string& text,
                      int available) {
    return FittingFont(font, available,
                       [&](const CFontDesc& f) { return surface.TextWidth(text, f); });
}

} // namespace

CAxisScale ScaleAxis(double lo, double hi) {
    CAxisScale scale;
    scale.min = lo;
    scale.max = hi;
    // Nothing to scale: no series had a range, or a limit (or the span) is
    // not a finite number.
    if (!std::isfinite(lo) || !std::isfinite(hi) || hi < lo || !std::isfinite(hi - lo)) {
        return scale;
    }
    double unit = 0.0001;
    while ((hi - lo) / unit > 80) {
        unit *= 10;
    }
    for (;;) {
        const double top = std::ceil(hi / unit) * unit;
        double bottom = std::floor(lo / unit) * unit;
        const double span = top - bottom;
        if (!std::isfinite(span)) {
            return scale; // rounding out reached the end of the number range
        }
        int index = 0;
        if (unit < span) {
            index = 1;
            while (index < kScaleEntries && kSpanMultiple[index] * unit < span) {
                ++index;
            }
        }
        if (index == kScaleEntries) {
            // Rounding both ends out pushed the span past the table: take the
            // next unit up, whose table covers it.
            unit *= 10;
            continue;
        }
        int decimals = 0;
        if (span < 10) {
            decimals = 1;
        }
        if (span < 1) {
            decimals = 2;
        }
        if (span < 0.1) {
            decimals = 3;
        }
        const double step = kSpanMultiple[index] * unit / kDivisions[index];
        if (bottom < 0) {
            bottom = std::floor(bottom / step) * step;
        }
        const double ticks = std::ceil((top - bottom) / step);
        if (!std::isfinite(ticks) || ticks > 1000) {
            return scale;
        }
        scale.min = bottom;
        scale.ticks = static_cast<int>(ticks);
        scale.max = bottom + scale.ticks * step;
        scale.decimals = decimals;
        return scale;
    }
}

std::string TickLabel(double value, int decimals) {
    if (std::fabs(value) < 1e-10) {
        return "0";
    }
    char buffer[64];
    if (decimals < 3) {
        std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    } else {
        std::snprintf(buffer, sizeof buffer, "%.1e", value);
    }
    return buffer;
}

void CGraph::Rescale(bool autoX, bool autoY, double xMin, double xMax, double yMin, double yMax) {
    if (m_datasets.empty()) {
        return;
    }
    double xLow = 1e10;
    double xHigh = -1e10;
    double yLow = 1e10;
    double yHigh = -1e10;
    m_bPerPointLegend = m_datasets.front()->PerPointLegend() ? 1 : 0;
    for (const auto& dataset : m_datasets) {
        double lo = 0.0;
        double hi = 0.0;
        if (dataset->GetXRange(lo, hi)) {
            xLow = std::min(xLow, lo);
            xHigh = std::max(xHigh, hi);
        }
    }
    for (const auto& dataset : m_datasets) {
        double lo = 0.0;
        double hi = 0.0;
        if (dataset->GetYRange(xLow, xHigh, lo, hi, 20, m_bErrorBands != 0)) {
            yLow = std::min(yLow, lo);
            yHigh = std::max(yHigh, hi);
        }
    }
    if (!autoX) {
        xLow = xMin;
        xHigh = xMax;
    }
    if (!autoY) {
        yLow = yMin;
        yHigh = yMax;
    }
    const CAxisScale x = ScaleAxis(xLow, xHigh);
    m_xMin = x.min;
    m_xMax = x.max;
    m_nXTicks = x.ticks;
    m_xDecimals = x.decimals;
    const CAxisScale y = ScaleAxis(yLow, yHigh);
    m_yMin = y.min;
    m_yMax = y.max;
    m_nYTicks = y.ticks;
    m_yDecimals = y.decimals;
}

void CGraph::Layout(int left, int top, int right, int bottom, int xScaleExponent,
                    int yScaleExponent) {
    m_rect = CRect{left, top, right, bottom};
    m_pSmallFont.reset();
    m_pTitleFont.reset();
    m_pVertFont.reset();

    const auto scaled = [](long long height, int exponent) {
        exponent = std::clamp(exponent, -16, 16);
        return exponent >= 0 ? height * (1LL << exponent) : height / (1LL << -exponent);
    };
    const long long height = static_cast<long long>(bottom) - top;
    m_pSmallFont = std::make_unique<CFontDesc>(
        CFontDesc{static_cast<int>(scaled(height, yScaleExponent) / 22), 0});
    m_pTitleFont = std::make_unique<CFontDesc>(
        CFontDesc{static_cast<int>(scaled(height, yScaleExponent) / 18), 0});
    m_pVertFont = std::make_unique<CFontDesc>(CFontDesc{
        static_cast<int>(scaled(height, xScaleExponent) / 18), top < bottom ? 900 : -900});

    const int penWidth = std::max(1, (right - left) / 512);
    m_axisPen.widthX = penWidth;
    m_axisPen.widthY = penWidth;

    const auto X = [&](int p) {
        return static_cast<int>(left + (static_cast<long long>(right) - left) * p / 100);
    };
    const auto Y = [&](int p) {
        return static_cast<int>(bottom + (static_cast<long long>(top) - bottom) * p / 100);
    };
    const bool legend = m_bShowLegend != 0;
    CGraphLayout& l = m_layout;
    l.axisStartX = X(10);
    l.plotRight = X(95);
    l.plotLeft = X(16);
    l.axisStartY = legend ? Y(15) : Y(10);
    l.plotTop = m_bShowTitle ? Y(80) : Y(85);
    l.plotBottom = legend ? Y(20) : Y(15);
    l.yTickLength = X(0) - X(2);
    l.xTickLength = Y(0) - Y(2);
    l.yLabelX = X(11);
    l.xTitleX = X(53);
    l.xTitleY = legend ? Y(10) : Y(6);
    l.yTitleX = X(5);
    l.yTitleY = Y(50);
    l.titleX = X(53);
    l.titleY = Y(95);
    l.legendX = X(16);
    l.legendColumn = (X(95) - X(16)) / 4;
    l.legendTextOffset = 10;
    l.legendRow1 = Y(5);
    l.legendRow2 = Y(1);
    l.legendSymbolRise = Y(7) - Y(5);
}

Colour CGraph::SeriesColour(std::uint16_t style) const {
    return m_bMonochrome ? Colour{0} : m_palette[style % kStyleCount];
}

CPoint CGraph::ToDevice(double x, double y) const {
    const double w = m_layout.plotRight - m_layout.plotLeft;
    const double h = m_layout.plotTop - m_layout.plotBottom;
    return CPoint{m_layout.plotLeft + Truncate((x - m_xMin) * w / (m_xMax - m_xMin)),
                  m_layout.plotBottom + Truncate((y - m_yMin) * h / (m_yMax - m_yMin))};
}

bool CGraph::Draw(IDrawSurface& surface, const CRect&) {
    if (!surface.FillRect(m_rect, m_backColour)) {
        return false;
    }
    if (!m_datasets.empty() && m_nXTicks != 0 && m_nYTicks != 0 && m_pSmallFont) {
        DrawAxes(surface);
        for (const auto& dataset : m_datasets) {
            DrawDataset(surface, *dataset);
        }
    }
    return true;
}

void CGraph::DrawAxes(IDrawSurface& surface) const {
    const CGraphLayout& l = m_layout;
    surface.SetPen(m_axisPen);
    surface.SetFont(*m_pSmallFont);
    surface.SetTextColour(0x000000);

    const int w = l.plotRight - l.plotLeft;
    const int h = l.plotTop - l.plotBottom;
    int xAxisY = l.plotBottom;
    if (m_bAxesThroughOrigin && m_yMin < 0 && 0 < m_yMax) {
        xAxisY = l.plotBottom - Truncate(h * m_yMin / (m_yMax - m_yMin));
    }
    int yAxisX = l.plotLeft;
    int yLabelX = l.yLabelX;
    bool originMode = false;
    if (m_bAxesThroughOrigin && m_xMin < 0 && 0 < m_xMax) {
        yAxisX = l.plotLeft - Truncate(w * m_xMin / (m_xMax - m_xMin));
        yLabelX = l.yLabelX - l.plotLeft + yAxisX;
        originMode = true;
    }

    surface.Line({l.axisStartX, xAxisY}, {l.plotRight, xAxisY});
    surface.SetTextAlign(EHAlign::Centre, EVAlign::Top);
    for (int i = 0; i <= m_nXTicks; ++i) {
        const double v = m_xMin + (m_xMax - m_xMin) * i / m_nXTicks;
        const int px = l.plotLeft + static_cast<int>(static_cast<long long>(w) * i / m_nXTicks);
        if (originMode && std::fabs(v) < 1e-10) {
            continue;
        }
        surface.Text({px, xAxisY + l.xTickLength}, TickLabel(v, m_xDecimals));
        surface.Line({px, xAxisY}, {px, xAxisY + l.xTickLength});
    }

    surface.Line({yAxisX, l.axisStartY}, {yAxisX, l.plotTop});
    for (int i = 0; i <= m_nYTicks; ++i) {
        const double v = m_yMin + (m_yMax - m_yMin) * i / m_nYTicks;
        const int py = l.plotBottom + static_cast<int>(static_cast<long long>(h) * i / m_nYTicks);
        if (originMode && std::fabs(v) < 1e-10) {
            surface.SetTextAlign(EHAlign::Centre, EVAlign::Top);
            surface.Text({yLabelX, py}, TickLabel(v, m_yDecimals));
            continue;
        }
        surface.Line({yAxisX, py}, {yAxisX + l.yTickLength, py});
        surface.SetTextAlign(EHAlign::Centre, EVAlign::Baseline);
        surface.Text({yLabelX, py}, TickLabel(v, m_yDecimals));
    }

    // Titles too long for the graph are drawn in a smaller font. The two
    // horizontal ones are centred at 53 % of the width, so they have twice
    // the 47 % to the right edge, less a margin.
    const int width = std::abs(m_rect.right - m_rect.left) * 92 / 100;
    const int height = std::abs(m_rect.bottom - m_rect.top) * 98 / 100;
    surface.SetFont(FittingFont(surface, *m_pTitleFont, m_strXTitle, width));
    surface.SetTextAlign(EHAlign::Centre, EVAlign::Baseline);
    surface.Text({l.xTitleX, l.xTitleY}, m_strXTitle);
    surface.SetTextColour(m_bSelected ? 0x0000FF : 0x000000);
    if (m_bShowTitle) {
        surface.SetFont(FittingFont(surface, *m_pTitleFont, m_strTitle, width));
        surface.SetTextAlign(EHAlign::Centre, EVAlign::Top);
        surface.Text({l.titleX, l.titleY}, m_strTitle);
    }
    surface.SetTextColour(0x000000);
    surface.SetFont(FittingFont(surface, *m_pVertFont, m_strYTitle, height));
    surface.SetTextAlign(EHAlign::Centre, EVAlign::Baseline);
    surface.Text({l.yTitleX, l.yTitleY}, m_strYTitle);

    if (m_bShowLegend) {
        DrawLegend(surface);
    }
}

void CGraph::DrawLegend(IDrawSurface& surface) const {
    const CGraphLayout& l = m_layout;
    struct CEntry {
        int row;
        int x;
        std::string text;
        int symbol; // -1: none
        Colour colour;
    };
    std::vector<CEntry> entries;
    int perRow = 3;

    if (m_bPerPointLegend) {
        // Up to eight points go four to a row. More would need a third row
        // below the graph, where a picture cuts it off; they are spread over
        // the two rows instead, in narrower columns.
        const CDataset& first = *m_datasets.front();
        const int n = std::min(first.GetCount(), 14);
        perRow = n > 8 ? (n + 1) / 2 : 4;
        const int column = n > 8 ? l.legendColumn * 4 / perRow : l.legendColumn;
        const Colour colour = SeriesColour(first.GetStyle());
        for (int i = 0; i < n; ++i) {
            entries.push_back({i / perRow, l.legendX + (i % perRow) * column,
                               first.GetPointLabel(i), first.ShowPoints() ? i + 1 : -1, colour});
        }
    } else {
        // Up to six series go three to a row; seven and eight go four to a
        // row, in the columns of the per-point legend; more are spread over
        // the two rows in narrower columns.
        const int n = static_cast<int>(m_datasets.size());
        perRow = n > 8 ? (n + 1) / 2 : (n > 6 ? 4 : 3);
        const int columnWidth = n > 8 ? l.legendColumn * 4 / perRow : l.legendColumn;
        for (int k = 0; k < n; ++k) {
            const CDataset& dataset = *m_datasets[static_cast<size_t>(k)];
            const int row = k / perRow;
            const int column = k % perRow;
            const int inRow = std::min(perRow, n - row * perRow);
            int x = l.legendX + columnWidth * column;
            if (perRow == 3 && inRow == 1) {
                x = CharacterCount(dataset.m_strName) > 20 ? l.legendX : l.legendX + l.legendColumn;
            } else if (perRow == 3 && inRow == 2) {
                x = l.legendX + 2 * l.legendColumn * column;
            }
            entries.push_back({row, x, dataset.m_strName,
                               dataset.ShowPoints() ? dataset.GetStyle() : -1,
                               SeriesColour(dataset.GetStyle())});
        }
    }
    const int n = static_cast<int>(entries.size());

    // Long texts at those columns would run into the next entry or past the
    // graph's edge. Such a legend is packed from the left by the texts' real
    // widths instead, in a smaller font when even that is too wide.
    CFontDesc font = *m_pSmallFont;
    const int right = std::max(m_rect.left, m_rect.right);
    const int gap = 2 * l.legendTextOffset;
    const auto entryWidth = [&](const CEntry& e, const CFontDesc& f) {
        return l.legendTextOffset + surface.TextWidth(e.text, f);
    };
    bool crowded = false;
    for (int k = 0; k < n; ++k) {
        const bool lastInRow = k + 1 == n || entries[static_cast<size_t>(k) + 1].row !=
                                                 entries[static_cast<size_t>(k)].row;
        const int limit =
            lastInRow ? right : entries[static_cast<size_t>(k) + 1].x - l.legendTextOffset;
        crowded = crowded || entries[static_cast<size_t>(k)].x +
                                     entryWidth(entries[static_cast<size_t>(k)], font) >
                                 limit;
    }
    if (crowded) {
        font = FittingFont(font, right - l.legendX, [&](const CFontDesc& f) {
            int widest = 0;
            for (int first = 0; first < n; first += perRow) {
                int needed = 0;
                for (int k = first; k < std::min(n, first + perRow); ++k) {
                    needed +=
                        entryWidth(entries[static_cast<size_t>(k)], f) + (k > first ? gap : 0);
                }
                widest = std::max(widest, needed);
            }
            return widest;
        });
        for (int first = 0; first < n; first += perRow) {
            int x = l.legendX;
            for (int k = first; k < std::min(n, first + perRow); ++k) {
                entries[static_cast<size_t>(k)].x = x;
                x += entryWidth(entries[static_cast<size_t>(k)], font) + gap;
            }
        }
    }

    for (const CEntry& e : entries) {
        const int y = e.row == 0 && n > 3 ? l.legendRow1 : l.legendRow2;
        if (e.symbol >= 0) {
            DrawSymbol(surface, e.x, y + l.legendSymbolRise, e.symbol, 0, e.colour);
        }
        surface.SetFont(font);
        surface.SetTextAlign(EHAlign::Left, EVAlign::Baseline);
        surface.Text({e.x + l.legendTextOffset, y}, e.text);
    }
}

void CGraph::DrawDataset(IDrawSurface& surface, const CDataset& dataset) const {
    const CGraphLayout& l = m_layout;
    const std::uint16_t style = static_cast<std::uint16_t>(dataset.GetStyle() % kStyleCount);
    const Colour colour = SeriesColour(style);
    const CPenDesc seriesPen{EPenStyle::Solid, 1, 1, colour};

    if (dataset.ShowPoints()) {
        int n = dataset.GetCount();
        if (m_bPerPointLegend) {
            n = std::min(n, 14);
        }
        std::vector<CPoint> drawn;
        for (int i = 0; i < n; ++i) {
            double x = 0.0;
            double y = 0.0;
            if (!dataset.PointAt(i, x, y) || !std::isfinite(x) || !std::isfinite(y)) {
                continue;
            }
            const CPoint p = ToDevice(x, y);
            DrawSymbol(surface, p.x, p.y, m_bPerPointLegend ? i + 1 : style,
                       dataset.NumberPoints() ? i + 1 : 0, colour);
            drawn.push_back(p);
        }
        if (dataset.JoinPoints() && drawn.size() >= 2) {
            surface.SetPen(seriesPen);
            surface.Polyline(drawn.data(), static_cast<int>(drawn.size()));
        }
    }

    const int w = l.plotRight - l.plotLeft;
    if (!dataset.HasCurve() || w <= 0) {
        return;
    }
    CPenDesc curvePen = seriesPen;
    curvePen.style = m_bMonochrome ? m_monoStyle[style] : EPenStyle::Solid;
    if (style == 0) {
        curvePen.style = EPenStyle::Dash;
    }
    const int left = std::min(m_rect.left, m_rect.right);
    const int right = std::max(m_rect.left, m_rect.right);
    const int top = std::min(m_rect.top, m_rect.bottom);
    const int bottom = std::max(m_rect.top, m_rect.bottom);
    const auto inside = [&](CPoint p) {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    };
    const auto place = [&](std::vector<CPoint>& list, double x, double y) {
        if (!std::isfinite(y)) {
            return;
        }
        const CPoint p = ToDevice(x, y);
        if (inside(p)) {
            list.push_back(p);
        }
    };

    const int samples = std::max(1, w / 2);
    std::vector<CPoint> curve;
    std::vector<CPoint> high;
    std::vector<CPoint> low;
    for (int i = 0; i <= samples; ++i) {
        const double x = m_xMin + (m_xMax - m_xMin) * i / samples;
        double y = 0.0;
        double yLow = 0.0;
        double yHigh = 0.0;
        if (!dataset.Evaluate(x, y, yLow, yHigh)) {
            continue;
        }
        place(curve, x, y);
        if (m_bErrorBands) {
            place(high, x, yHigh);
            place(low, x, yLow);
        }
    }
    surface.SetPen(curvePen);
    surface.Polyline(curve.data(), static_cast<int>(curve.size()));
    if (m_bErrorBands) {
        surface.Polyline(high.data(), static_cast<int>(high.size()));
        surface.Polyline(low.data(), static_cast<int>(low.size()));
    }
}

void CGraph::DrawSymbol(IDrawSurface& surface, int x, int y, int symbol, int number,
                        Colour colour) const {
    const int w = m_rect.right - m_rect.left;
    const int s = std::max(2, w / 100);
    const int r = w / 300;
    const int l = x - s;
    const int t = y - s;
    const int rr = x + s;
    const int b = y + s;
    const int midX = (l + rr) / 2;
    const int midY = (t + b) / 2;

    surface.SetPen(CPenDesc{EPenStyle::Solid, 1, 1, colour});
    const bool filled = symbol >= 9 && symbol <= 14;
    surface.SetBrush(filled, colour);
    const auto triangle = [&](int corners) {
        CPoint p[3];
        switch (corners) {
        case 5:
            p[0] = {l, t}, p[1] = {rr, t}, p[2] = {midX, b};
            break;
        case 6:
            p[0] = {l, b}, p[1] = {rr, b}, p[2] = {midX, t};
            break;
        case 7:
            p[0] = {l, b}, p[1] = {l, t}, p[2] = {rr, midY};
            break;
        default:
            p[0] = {rr, b}, p[1] = {rr, t}, p[2] = {l, midY};
            break;
        }
        surface.Polygon(p, 3);
    };
    switch (symbol) {
    case 1:
        surface.Line({l, t}, {rr, b});
        surface.Line({l, b}, {rr, t});
        break;
    case 2:
        surface.Line({midX, t}, {midX, b});
        surface.Line({l, midY}, {rr, midY});
        break;
    case 3:
    case 9:
        surface.Ellipse({l, t, rr, b});
        break;
    case 4:
    case 10:
        surface.Rectangle({l, t, rr, b});
        break;
    case 5:
    case 6:
    case 7:
    case 8:
        triangle(symbol);
        break;
    case 11:
    case 12:
    case 13:
    case 14:
        triangle(symbol - 6);
        break;
    default:
        break;
    }
    if (symbol != 1 && symbol != 2) {
        surface.SetBrush(true, filled ? m_backColour : colour);
        surface.Ellipse({x - r, y - r, x + r + 1, y + r + 1});
    }
    if (number > 0 && m_pSmallFont) {
        surface.SetFont(*m_pSmallFont);
        surface.SetTextAlign(EHAlign::Centre, EVAlign::Baseline);
        const CPoint at = symbol == 1 || symbol == 2 ? CPoint{x - 2 * s, y - 2 * s}
                                                     : CPoint{x - s - r, y - s - r};
        surface.Text(at, std::to_string(number));
    }
}

} // namespace doseplex
