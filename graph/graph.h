#pragma once

#include "core/graph_override.h"
#include "graph/surface.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace doseplex {

// Anything that occupies a rectangle on a drawing surface.
class CVisibleObj {
public:
    CVisibleObj() = default;
    virtual ~CVisibleObj() = default;
    CVisibleObj(const CVisibleObj&) = delete;
    CVisibleObj& operator=(const CVisibleObj&) = delete;

    virtual bool Draw(IDrawSurface& surface, const CRect& clip);
    virtual bool HitTest(CPoint point) const;
    virtual void Layout(int left, int top, int right, int bottom, int xScaleExponent,
                        int yScaleExponent);
    virtual std::string GetText(int, int) const { return {}; }
    virtual double GetValue(int, int) const { return 0.0; }
    virtual std::string GetTitle() const { return {}; }
    virtual void SetSelected(int flag) { m_bSelected = flag; }
    virtual int GetData(int) const { return 0; }
    virtual int GetKind() const { return -1; }

    CRect m_rect{};      // in the logical units of the surface last laid out for
    int m_bSelected = 0; // a selected graph draws its title in red
};

// The style a series asks for before it joins a graph: 0 takes the next free
// style index, kConstantLineStyle the black dashed style of reference lines.
inline constexpr std::uint16_t kNextStyle = 0;
inline constexpr std::uint16_t kConstantLineStyle = 999;
inline constexpr int kStyleCount = 7;

// One data series of a graph: points in axis units and, for most concrete
// series, a curve evaluated through the analysis whenever it is drawn.
class CDataset {
public:
    CDataset() = default;
    virtual ~CDataset() = default;
    CDataset(const CDataset&) = delete;
    CDataset& operator=(const CDataset&) = delete;

    // Smallest and largest x of the points; false when there are none.
    virtual bool GetXRange(double& min, double& max) const;
    // Smallest and largest y of the points, widened by the curve sampled at
    // samples + 1 x values from xLow to xHigh (by its error band when
    // `withErrors` is set); false when there are no points.
    virtual bool GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                           bool withErrors) const;
    // The index-th point; false (outputs untouched) outside 0..count-1.
    virtual bool PointAt(int index, double& x, double& y) const;
    // The curve at x with its error band; false where it has no value.
    virtual bool Evaluate(double x, double& y, double& low, double& high) const;
    virtual std::uint16_t GetStyle() const { return m_nStyle; }
    virtual void SetStyle(std::uint16_t style) { m_nStyle = style; }
    virtual int GetCount() const { return m_nCount; }
    virtual bool HasCurve() const { return false; }
    virtual bool JoinPoints() const { return m_bJoin != 0; }
    virtual bool PerPointLegend() const { return false; }
    virtual bool ShowPoints() const { return true; }
    virtual std::string GetPointLabel(int) const { return {}; }
    virtual bool NumberPoints() const { return false; }

    // Replaces the points; x and y must have the same length.
    void SetPoints(std::vector<double> x, std::vector<double> y);

    std::string m_strName; // legend text
    int m_nCount = 0;
    std::vector<double> m_pX; // m_nCount values, empty when there are no points
    std::vector<double> m_pY;
    std::uint16_t m_nStyle = kNextStyle;
    int m_bJoin = 0;
};

// Positions derived by Layout, in the logical units of the laid-out surface.
struct CGraphLayout {
    int axisStartX = 0;
    int plotRight = 0;
    int plotLeft = 0;
    int axisStartY = 0;
    int plotTop = 0;
    int plotBottom = 0;
    int yTickLength = 0;
    int xTickLength = 0;
    int yLabelX = 0;
    int xTitleX = 0;
    int xTitleY = 0;
    int yTitleX = 0;
    int yTitleY = 0;
    int titleX = 0;
    int titleY = 0;
    int legendX = 0;
    int legendColumn = 0;
    int legendTextOffset = 0;
    int legendRow1 = 0;
    int legendRow2 = 0;
    int legendSymbolRise = 0;
};

// One graph: two axes, three titles and an ordered list of owned series.
class CGraph : public CVisibleObj {
public:
    CGraph() = default;

    bool Draw(IDrawSurface& surface, const CRect& clip) override;
    void Layout(int left, int top, int right, int bottom, int xScaleExponent,
                int yScaleExponent) override;
    std::string GetText(int, int) const override { return m_strTitle; }
    std::string GetTitle() const override { return m_strTitle; }
    int GetKind() const override { return 2; }
    std::string GetXTitle() const { return m_strXTitle; }
    std::string GetYTitle() const { return m_strYTitle; }

    // Takes the series, assigns its style and rescales both axes
    // automatically. A series without points is refused: false, and it stays
    // with the caller.
    bool AddDataset(std::unique_ptr<CDataset>& dataset);
    bool AddDataset(std::unique_ptr<CDataset>&& dataset) { return AddDataset(dataset); }
    void RemoveAllDatasets();
    void SetTitles(const std::string& title, const std::string& xTitle, const std::string& yTitle);
    // Points the graph at a record's override (or at none), which the graph
    // keeps alive. An active override rescales the graph with its limits;
    // either way the override then holds the graph's current ranges.
    void SetOverride(std::shared_ptr<CGraphOverride> override);
    // Chooses the axis ranges, tick counts and label decimals from the
    // series (automatic axes) or from the given limits.
    void Rescale(bool autoX, bool autoY, double xMin, double xMax, double yMin, double yMax);
    // One point marker: symbol 0..14, point number 0 for none.
    void DrawSymbol(IDrawSurface& surface, int x, int y, int symbol, int number,
                    Colour colour) const;

    const CGraphLayout& GetLayout() const { return m_layout; }

    std::vector<std::unique_ptr<CDataset>> m_datasets;
    double m_xMin = 0.0;
    double m_xMax = 0.0;
    int m_xDecimals = 0; // 0..2 decimals, 3 for exponent form
    double m_yMin = 0.0;
    double m_yMax = 0.0;
    int m_yDecimals = 0;
    std::string m_strTitle;
    std::string m_strXTitle;
    std::string m_strYTitle;
    Colour m_axisColour = 0x000000;
    Colour m_backColour = 0xFFFFFF;
    Colour m_seriesColour = 0x0000FF;
    CPenDesc m_axisPen{EPenStyle::Solid, 2, 2, 0x000000};
    CPenDesc m_seriesPen{EPenStyle::Solid, 1, 1, 0x0000FF};
    std::unique_ptr<CFontDesc> m_pSmallFont;
    std::unique_ptr<CFontDesc> m_pTitleFont;
    std::unique_ptr<CFontDesc> m_pVertFont;
    std::array<Colour, kStyleCount> m_palette{0x000000, 0x0000FF, 0x00FF00, 0xFF0000,
                                              0xFFFF00, 0xFF00FF, 0x00FFFF};
    std::array<EPenStyle, kStyleCount> m_monoStyle{
        EPenStyle::Dash,    EPenStyle::Solid,      EPenStyle::Dash, EPenStyle::Dot,
        EPenStyle::DashDot, EPenStyle::DashDotDot, EPenStyle::Dash};
    int m_bMonochrome = 0;
    int m_bAxesThroughOrigin = 1;
    int m_bShowTitle = 1;
    int m_bShowLegend = 1;
    int m_bPerPointLegend = 0;
    int m_nXTicks = 0;
    int m_nYTicks = 0;
    int m_bErrorBands = 0;
    std::shared_ptr<CGraphOverride> m_pOverride; // the record's, shared with it
    int m_nCurvePoints = 100;

private:
    // Device position of a value pair under the current layout and ranges.
    CPoint ToDevice(double x, double y) const;
    void DrawAxes(IDrawSurface& surface) const;
    void DrawLegend(IDrawSurface& surface) const;
    void DrawDataset(IDrawSurface& surface, const CDataset& dataset) const;
    Colour SeriesColour(std::uint16_t style) const;

    CGraphLayout m_layout;
};

using GraphList = std::vector<std::unique_ptr<CGraph>>;

// Scales one axis range [lo, hi]: the axis minimum and maximum, the number of
// tick intervals (0 when the range cannot be scaled) and the label decimals.
struct CAxisScale {
    double min = 0.0;
    double max = 0.0;
    int ticks = 0;
    int decimals = 0;
};
CAxisScale ScaleAxis(double lo, double hi);

// A tick label: "0" near zero, "%.*f" for 0..2 decimals, exponent form for 3.
std::string TickLabel(double value, int decimals);

} // namespace doseplex
