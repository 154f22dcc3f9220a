#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace doseplex {

// A colour as 0x00BBGGRR: red in the low byte.
using Colour = std::uint32_t;

inline constexpr int ColourRed(Colour c) {
    return static_cast<int>(c & 0xFFu);
}
inline constexpr int ColourGreen(Colour c) {
    return static_cast<int>((c >> 8) & 0xFFu);
}
inline constexpr int ColourBlue(Colour c) {
    return static_cast<int>((c >> 16) & 0xFFu);
}

struct CPoint {
    int x = 0;
    int y = 0;
    bool operator==(const CPoint&) const = default;
};

// A rectangle in logical units. Shapes drawn into it cover left..right-1 and
// top..bottom-1 when left < right and top < bottom.
struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const CRect&) const = default;
};

enum class EPenStyle { Solid, Dash, Dot, DashDot, DashDotDot };

struct CPenDesc {
    EPenStyle style = EPenStyle::Solid;
    int widthX = 1; // logical units; 1 draws the thinnest line of the device
    int widthY = 1;
    Colour colour = 0;
    bool operator==(const CPenDesc&) const = default;
};

// A font by its cell height (ascent + descent) in logical units and its
// escapement in tenths of a degree, counter-clockwise as seen on the page. The
// face is the platform's default sans-serif at normal weight.
struct CFontDesc {
    int height = 0;
    int escapement = 0;
    bool operator==(const CFontDesc&) const = default;
};

// Where the reference point of a text lies on the text: horizontally at its
// left end, centre or right end; vertically at the top of its cell, on its
// baseline or at the bottom of its cell. For rotated text the same holds in
// the text's own direction.
enum class EHAlign { Left, Centre, Right };
enum class EVAlign { Top, Baseline, Bottom };

// The drawing operations the graphs use, in the logical units of the device.
// Screens and pictures grow y downwards; a printed page may grow it upwards.
// State (pen, brush, font, colours, alignment) stays selected until changed.
class IDrawSurface {
public:
    virtual ~IDrawSurface() = default;

    // True when y grows downwards (screens and pictures).
    virtual bool YDown() const { return true; }

    // Fills the rectangle with a solid colour without an outline.
    virtual bool FillRect(const CRect& rect, Colour colour) = 0;

    virtual void SetPen(const CPenDesc& pen) = 0;
    // Outline shapes (Ellipse, Rectangle, Polygon) are filled with the brush
    // colour when `filled` is set, and left empty otherwise.
    virtual void SetBrush(bool filled, Colour colour) = 0;
    virtual void SetFont(const CFontDesc& font) = 0;
    virtual void SetTextColour(Colour colour) = 0;
    virtual void SetTextAlign(EHAlign h, EVAlign v) = 0;

    virtual void Line(CPoint from, CPoint to) = 0;
    virtual void Polyline(const CPoint* points, int count) = 0;
    // A closed polygon, outlined with the pen and filled with the brush.
    virtual void Polygon(const CPoint* points, int count) = 0;
    // The ellipse inscribed in the rectangle, outlined and filled likewise.
    virtual void Ellipse(const CRect& rect) = 0;
    virtual void Rectangle(const CRect& rect) = 0;
    // UTF-8 text at the reference point, in the text colour with a
    // transparent background.
    virtual void Text(CPoint at, const std::string& text) = 0;

    // The advance width of `text` in `font`, in logical units. Surfaces that
    // cannot measure text estimate it from the font's height.
    virtual int TextWidth(const std::string& text, const CFontDesc& font) const {
        long long characters = 0;
        for (const char c : text) {
            characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }
        const long long height =
            font.height < 0 ? -static_cast<long long>(font.height) : font.height;
        return static_cast<int>(characters * height * 11 / 20);
    }
};

// Draws a picture on a surface; false when it could not.
using DrawFunction = std::function<bool(IDrawSurface&)>;

} // namespace doseplex
