#pragma once

// The graph engine's drawing surface over the device context of an enhanced
// metafile being recorded with libEMF. This header keeps libEMF's Windows
// declarations out of its users' code: the handles are held as the plain
// integers libEMF uses for them.

#include "graph/surface.h"

#include <optional>
#include <utility>

namespace doseplex {

// libEMF's HDC, HPEN, HBRUSH, HFONT and HGDIOBJ: 32-bit integer handles.
using EmfHandle = unsigned int;

// Records each operation as its GDI call, with GDI's meaning: logical units
// as given by the device context's mapping, y growing downwards, a
// transparent text background. The pens, brushes and fonts it creates are
// deleted when a replacement is selected and when the surface goes, which
// must happen before the metafile is closed.
class CEmfSurface : public IDrawSurface {
public:
    // `dc` is a metafile device context from CreateEnhMetaFile; it stays the
    // caller's to close.
    explicit CEmfSurface(EmfHandle dc);
    ~CEmfSurface() override;
    CEmfSurface(const CEmfSurface&) = delete;
    CEmfSurface& operator=(const CEmfSurface&) = delete;

    bool YDown() const override { return true; }

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

private:
    EmfHandle m_dc;
    // The objects selected into the device context: GDI's stock defaults
    // until the surface selects its own. Ours are deleted by the surface.
    EmfHandle m_pen = 0;
    EmfHandle m_brush = 0;
    EmfHandle m_font = 0;
    bool m_ownPen = false;
    bool m_ownBrush = false;
    bool m_ownFont = false;
    // What is selected, so that repeating a setting adds no records.
    std::optional<CPenDesc> m_penDesc;
    std::optional<std::pair<bool, Colour>> m_brushDesc;
    std::optional<CFontDesc> m_fontDesc;
    std::optional<Colour> m_textColour;
    std::optional<std::pair<EHAlign, EVAlign>> m_align;

    // Selects `object` in place of `current` and deletes `current` when the
    // surface created it.
    void Replace(EmfHandle object, EmfHandle& current, bool& owned, bool ownNew);
};

} // namespace doseplex
