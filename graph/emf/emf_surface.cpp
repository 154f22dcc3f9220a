#include "graph/emf/emf_surface.h"

#include "graph/emf/libemf.h"
#include "graph/emf/text_utf16.h"

#include <climits>
#include <type_traits>
#include <vector>

namespace doseplex {

namespace {

static_assert(std::is_same_v<HDC, EmfHandle> && std::is_same_v<HGDIOBJ, EmfHandle> &&
                  std::is_same_v<HPEN, EmfHandle> && std::is_same_v<HBRUSH, EmfHandle> &&
                  std::is_same_v<HFONT, EmfHandle>,
              "libEMF's handles are expected to be unsigned integers");
static_assert(std::is_same_v<COLORREF, Colour>, "COLORREF and Colour are both 0x00BBGGRR");

int PenStyle(EPenStyle style) {
    switch (style) {
    case EPenStyle::Solid:
        return PS_SOLID;
    case EPenStyle::Dash:
        return PS_DASH;
    case EPenStyle::Dot:
        return PS_DOT;
    case EPenStyle::DashDot:
        return PS_DASHDOT;
    case EPenStyle::DashDotDot:
        return PS_DASHDOTDOT;
    }
    return PS_SOLID;
}

UINT TextAlignFlags(EHAlign h, EVAlign v) {
    UINT flags = TA_NOUPDATECP;
    switch (h) {
    case EHAlign::Left:
        flags |= TA_LEFT;
        break;
    case EHAlign::Centre:
        flags |= TA_CENTER;
        break;
    case EHAlign::Right:
        flags |= TA_RIGHT;
        break;
    }
    switch (v) {
    case EVAlign::Top:
        flags |= TA_TOP;
        break;
    case EVAlign::Baseline:
        flags |= TA_BASELINE;
        break;
    case EVAlign::Bottom:
        flags |= TA_BOTTOM;
        break;
    }
    return flags;
}

// GDI's polyline and polygon calls need at least two points.
std::vector<POINT> ToPoints(const CPoint* points, int count) {
    std::vector<POINT> out;
    if (points == nullptr || count < 2) {
        return out;
    }
    out.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        out.push_back(POINT{points[i].x, points[i].y});
    }
    return out;
}

} // namespace

CEmfSurface::CEmfSurface(EmfHandle dc)
    : m_dc(dc), m_pen(::GetStockObject(BLACK_PEN)), m_brush(::GetStockObject(WHITE_BRUSH)),
      m_font(::GetStockObject(SYSTEM_FONT)) {
    ::SetBkMode(m_dc, TRANSPARENT);
}

CEmfSurface::~CEmfSurface() {
    // Stock objects take the place of ours, so that none is deleted while
    // selected.
    Replace(::GetStockObject(BLACK_PEN), m_pen, m_ownPen, false);
    Replace(::GetStockObject(WHITE_BRUSH), m_brush, m_ownBrush, false);
    Replace(::GetStockObject(SYSTEM_FONT), m_font, m_ownFont, false);
}

void CEmfSurface::Replace(EmfHandle object, EmfHandle& current, bool& owned, bool ownNew) {
    if (object == current) {
        return;
    }
    ::SelectObject(m_dc, object);
    if (owned && current != 0) {
        ::DeleteObject(current);
    }
    current = object;
    owned = ownNew;
}

bool CEmfSurface::FillRect(const CRect& rect, Colour colour) {
    if (rect.left >= rect.right || rect.top >= rect.bottom) {
        return true;
    }
    const HBRUSH brush = ::CreateSolidBrush(colour);
    if (brush == 0) {
        return false;
    }
    ::SelectObject(m_dc, ::GetStockObject(NULL_PEN));
    ::SelectObject(m_dc, brush);
    // Without a pen GDI's Rectangle leaves out the right column and the
    // bottom row, so the rectangle grows by one to fill left..right-1 and
    // top..bottom-1 as FillRect does.
    const int right = rect.right < INT_MAX ? rect.right + 1 : rect.right;
    const int bottom = rect.bottom < INT_MAX ? rect.bottom + 1 : rect.bottom;
    const bool drawn = ::Rectangle(m_dc, rect.left, rect.top, right, bottom) != 0;
    ::SelectObject(m_dc, m_pen);
    ::SelectObject(m_dc, m_brush);
    ::DeleteObject(brush);
    return drawn;
}

void CEmfSurface::SetPen(const CPenDesc& pen) {
    if (m_penDesc == pen) {
        return;
    }
    const HPEN created = ::CreatePen(PenStyle(pen.style), pen.widthX > 0 ? pen.widthX : 0,
                                     static_cast<COLORREF>(pen.colour));
    if (created == 0) {
        return;
    }
    Replace(created, m_pen, m_ownPen, true);
    m_penDesc = pen;
}

void CEmfSurface::SetBrush(bool filled, Colour colour) {
    const std::pair<bool, Colour> desc{filled, filled ? colour : 0};
    if (m_brushDesc == desc) {
        return;
    }
    if (filled) {
        const HBRUSH created = ::CreateSolidBrush(colour);
        if (created == 0) {
            return;
        }
        Replace(created, m_brush, m_ownBrush, true);
    } else {
        Replace(::GetStockObject(NULL_BRUSH), m_brush, m_ownBrush, false);
    }
    m_brushDesc = desc;
}

void CEmfSurface::SetFont(const CFontDesc& font) {
    if (m_fontDesc == font) {
        return;
    }
    // Arial is the sans-serif every metafile viewer knows or substitutes.
    static const WCHAR kFace[] = {'A', 'r', 'i', 'a', 'l', 0};
    const HFONT created =
        ::CreateFontW(font.height, 0, font.escapement, font.escapement, FW_NORMAL, FALSE, FALSE,
                      FALSE, ANSI_CHARSET, OUT_TT_PRECIS, CLIP_LH_ANGLES, PROOF_QUALITY,
                      VARIABLE_PITCH | FF_SWISS, kFace);
    if (created == 0) {
        return;
    }
    Replace(created, m_font, m_ownFont, true);
    m_fontDesc = font;
}

void CEmfSurface::SetTextColour(Colour colour) {
    if (m_textColour == colour) {
        return;
    }
    ::SetTextColor(m_dc, colour);
    m_textColour = colour;
}

void CEmfSurface::SetTextAlign(EHAlign h, EVAlign v) {
    const std::pair<EHAlign, EVAlign> align{h, v};
    if (m_align == align) {
        return;
    }
    ::SetTextAlign(m_dc, TextAlignFlags(h, v));
    m_align = align;
}

void CEmfSurface::Line(CPoint from, CPoint to) {
    ::MoveToEx(m_dc, from.x, from.y, nullptr);
    ::LineTo(m_dc, to.x, to.y);
}

void CEmfSurface::Polyline(const CPoint* points, int count) {
    const std::vector<POINT> pts = ToPoints(points, count);
    if (!pts.empty()) {
        ::Polyline(m_dc, pts.data(), static_cast<INT>(pts.size()));
    }
}

void CEmfSurface::Polygon(const CPoint* points, int count) {
    const std::vector<POINT> pts = ToPoints(points, count);
    if (!pts.empty()) {
        ::Polygon(m_dc, pts.data(), static_cast<INT>(pts.size()));
    }
}

void CEmfSurface::Ellipse(const CRect& rect) {
    ::Ellipse(m_dc, rect.left, rect.top, rect.right, rect.bottom);
}

void CEmfSurface::Rectangle(const CRect& rect) {
    ::Rectangle(m_dc, rect.left, rect.top, rect.right, rect.bottom);
}

void CEmfSurface::Text(CPoint at, const std::string& text) {
    const std::u16string utf16 = emf::TextToUtf16(text);
    if (utf16.empty()) {
        return;
    }
    const std::vector<WCHAR> chars(utf16.begin(), utf16.end());
    ::ExtTextOutW(m_dc, at.x, at.y, 0, nullptr, chars.data(), static_cast<UINT>(chars.size()),
                  nullptr);
}

} // namespace doseplex
