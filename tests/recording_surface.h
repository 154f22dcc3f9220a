#pragma once

// A drawing surface that writes down every call as one line of text, so that
// tests can check exact coordinates, texts and the order of drawing.

#include "graph/surface.h"

#include <cstdio>
#include <string>
#include <vector>

namespace doseplex::testing_support {

class CRecordingSurface : public IDrawSurface {
public:
    bool FillRect(const CRect& r, Colour colour) override {
        Add("fill " + Rect(r) + " " + Hex(colour));
        return m_fillSucceeds;
    }
    void SetPen(const CPenDesc& pen) override {
        static const char* const kStyles[] = {"solid", "dash", "dot", "dashdot", "dashdotdot"};
        Add(std::string("pen ") + kStyles[static_cast<int>(pen.style)] + " " +
            std::to_string(pen.widthX) + " " + Hex(pen.colour));
    }
    void SetBrush(bool filled, Colour colour) override {
        Add(filled ? "brush " + Hex(colour) : std::string("brush none"));
    }
    void SetFont(const CFontDesc& font) override {
        Add("font " + std::to_string(font.height) + " " + std::to_string(font.escapement));
    }
    void SetTextColour(Colour colour) override { Add("textcolour " + Hex(colour)); }
    void SetTextAlign(EHAlign h, EVAlign v) override {
        static const char* const kH[] = {"left", "centre", "right"};
        static const char* const kV[] = {"top", "baseline", "bottom"};
        Add(std::string("align ") + kH[static_cast<int>(h)] + "-" + kV[static_cast<int>(v)]);
    }
    void Line(CPoint from, CPoint to) override { Add("line " + Point(from) + " " + Point(to)); }
    void Polyline(const CPoint* points, int count) override {
        Add("polyline" + List(points, count));
    }
    void Polygon(const CPoint* points, int count) override { Add("polygon" + List(points, count)); }
    void Ellipse(const CRect& r) override { Add("ellipse " + Rect(r)); }
    void Rectangle(const CRect& r) override { Add("rectangle " + Rect(r)); }
    void Text(CPoint at, const std::string& text) override {
        Add("text " + Point(at) + " " + text);
    }

    // The recorded calls whose text starts with `prefix`.
    std::vector<std::string> Calls(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& call : m_calls) {
            if (call.compare(0, prefix.size(), prefix) == 0) {
                out.push_back(call);
            }
        }
        return out;
    }

    std::vector<std::string> m_calls;
    bool m_fillSucceeds = true;

private:
    void Add(std::string call) { m_calls.push_back(std::move(call)); }
    static std::string Point(CPoint p) { return std::to_string(p.x) + "," + std::to_string(p.y); }
    static std::string Rect(const CRect& r) {
        return std::to_string(r.left) + "," + std::to_string(r.top) + "," +
               std::to_string(r.right) + "," + std::to_string(r.bottom);
    }
    static std::string Hex(Colour c) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "#%06X", static_cast<unsigned>(c));
        return buffer;
    }
    static std::string List(const CPoint* points, int count) {
        std::string out;
        for (int i = 0; i < count; ++i) {
            out += " " + Point(points[i]);
        }
        return out;
    }
};

} // namespace doseplex::testing_support
