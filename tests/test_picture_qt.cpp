// Graph pictures through the QPainter surface: the encoded formats, and where
// fills, outlines, lines and texts land, read back from uncompressed BMPs.
#include "graph/qt/picture_writer.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace doseplex;
namespace fs = std::filesystem;

using testing_support::CTempDir;
using testing_support::ReadFile;

using Bytes = std::vector<std::uint8_t>;

constexpr Colour kBlack = 0x000000;
constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kRed = 0x0000FF;
constexpr Colour kBlue = 0xFF0000;

std::uint32_t Le(const Bytes& b, std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) {
        v = (v << 8) | b.at(at + static_cast<std::size_t>(i));
    }
    return v;
}

std::uint32_t Be(const Bytes& b, std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = 0; i < size; ++i) {
        v = (v << 8) | b.at(at + static_cast<std::size_t>(i));
    }
    return v;
}

struct CSize {
    int width = -1;
    int height = -1;
};

// The picture size as each format's header states it, read independently of
// the encoder that wrote it.
CSize BmpSize(const Bytes& b) {
    return {static_cast<int>(Le(b, 18, 4)), std::abs(static_cast<std::int32_t>(Le(b, 22, 4)))};
}

CSize PngSize(const Bytes& b) { // IHDR is the first chunk
    return {static_cast<int>(Be(b, 16, 4)), static_cast<int>(Be(b, 20, 4))};
}

CSize JpegSize(const Bytes& b) { // the first start-of-frame segment
    for (std::size_t at = 2; at + 9 < b.size();) {
        if (b[at] != 0xFF) {
            return {};
        }
        const std::uint8_t marker = b[at + 1];
        if (marker >= 0xC0 && marker <= 0xC3) {
            return {static_cast<int>(Be(b, at + 7, 2)), static_cast<int>(Be(b, at + 5, 2))};
        }
        at += 2 + Be(b, at + 2, 2);
    }
    return {};
}

CSize TiffSize(const Bytes& b) { // ImageWidth (256) and ImageLength (257) of the first IFD
    const bool little = b.at(0) == 'I';
    const auto read = [&](std::size_t at, int size) {
        return little ? Le(b, at, size) : Be(b, at, size);
    };
    const std::size_t ifd = read(4, 4);
    CSize size;
    for (std::uint32_t i = 0, n = read(ifd, 2); i < n; ++i) {
        const std::size_t entry = ifd + 2 + 12 * i;
        const std::uint32_t tag = read(entry, 2);
        const int value = static_cast<int>(read(entry + 8, read(entry + 2, 2) == 3 ? 2 : 4));
        if (tag == 256) {
            size.width = value;
        } else if (tag == 257) {
            size.height = value;
        }
    }
    return size;
}

CSize SvgSize(const Bytes& b) {
    const std::string text(b.begin(), b.end());
    std::smatch m;
    if (!std::regex_search(text, m, std::regex(R"(viewBox="0 0 (\d+) (\d+)\")"))) {
        return {};
    }
    return {std::stoi(m[1]), std::stoi(m[2])};
}

CSize PdfSize(const Bytes& b) { // the page in points, as pixels of 1/96 inch
    const std::string text(b.begin(), b.end());
    std::smatch m;
    if (!std::regex_search(text, m, std::regex(R"(/MediaBox \[0 0 ([\d.]+) ([\d.]+)\])"))) {
        return {};
    }
    return {static_cast<int>(std::lround(std::stod(m[1]) * 96 / 72)),
            static_cast<int>(std::lround(std::stod(m[2]) * 96 / 72))};
}

// A decoded 24-bit BMP.
class CBitmap {
public:
    explicit CBitmap(const Bytes& b) {
        if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || Le(b, 28, 2) != 24 ||
            Le(b, 30, 4) != 0) {
            ADD_FAILURE() << "not an uncompressed 24-bit BMP";
            return;
        }
        const auto rawHeight = static_cast<std::int32_t>(Le(b, 22, 4));
        m_width = static_cast<int>(Le(b, 18, 4));
        m_height = std::abs(rawHeight);
        const std::size_t offset = Le(b, 10, 4);
        const std::size_t stride = (static_cast<std::size_t>(m_width) * 3 + 3) / 4 * 4;
        if (b.size() < offset + stride * m_height) {
            ADD_FAILURE() << "truncated BMP";
            m_width = m_height = 0;
            return;
        }
        m_pixels.resize(static_cast<std::size_t>(m_width) * m_height);
        for (int y = 0; y < m_height; ++y) {
            const int row = rawHeight > 0 ? m_height - 1 - y : y; // bottom-up unless negative
            const std::size_t start = offset + stride * row;
            for (int x = 0; x < m_width; ++x) {
                const std::size_t p = start + 3 * static_cast<std::size_t>(x);
                m_pixels[static_cast<std::size_t>(y) * m_width + x] =
                    static_cast<Colour>(b[p + 2]) | static_cast<Colour>(b[p + 1]) << 8 |
                    static_cast<Colour>(b[p]) << 16;
            }
        }
    }

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    Colour At(int x, int y) const { return m_pixels.at(static_cast<std::size_t>(y) * m_width + x); }
    bool Dark(int x, int y) const {
        const Colour c = At(x, y);
        return ColourRed(c) + ColourGreen(c) + ColourBlue(c) < 3 * 128;
    }

    // The smallest rectangle holding every dark pixel (right and bottom
    // exclusive); empty when there is none.
    CRect DarkBounds() const {
        CRect r{m_width, m_height, 0, 0};
        for (int y = 0; y < m_height; ++y) {
            for (int x = 0; x < m_width; ++x) {
                if (Dark(x, y)) {
                    r = {std::min(r.left, x), std::min(r.top, y), std::max(r.right, x + 1),
                         std::max(r.bottom, y + 1)};
                }
            }
        }
        return r.left < r.right ? r : CRect{};
    }

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<Colour> m_pixels;
};

class PictureTest : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(EnsureGuiApplication()); }

    // Draws on a white width x height raster and decodes it.
    static CBitmap Draw(const std::function<void(IDrawSurface&)>& draw, int width = 200,
                        int height = 200) {
        Bytes bytes;
        std::string error;
        const bool rendered = RenderPicture(
            EPictureFormat::Bmp, width, height,
            [&](IDrawSurface& s) {
                draw(s);
                return true;
            },
            bytes, error);
        EXPECT_TRUE(rendered) << error;
        return CBitmap(bytes);
    }

    // `text` in black with a cell height of `cellHeight`, aligned at `at`.
    static CBitmap DrawText(CPoint at, const std::string& text, int cellHeight, EHAlign h,
                            EVAlign v, int escapement = 0) {
        return Draw([&](IDrawSurface& s) {
            s.SetFont({cellHeight, escapement});
            s.SetTextColour(kBlack);
            s.SetTextAlign(h, v);
            s.Text(at, text);
        });
    }
};

TEST_F(PictureTest, EveryFormatEncodesThePictureAtItsSize) {
    struct Case {
        const char* ext;
        EPictureFormat format;
        std::string magic;
        CSize (*size)(const Bytes&);
    };
    const Case cases[] = {
        {"bmp", EPictureFormat::Bmp, "BM", BmpSize},
        {"jpg", EPictureFormat::Jpeg, "\xFF\xD8\xFF", JpegSize},
        {"tif", EPictureFormat::Tiff, "", TiffSize},
        {"png", EPictureFormat::Png, "\x89PNG\r\n\x1A\n", PngSize},
        {"svg", EPictureFormat::Svg, "", SvgSize},
        {"pdf", EPictureFormat::Pdf, "%PDF-", PdfSize},
    };
    const DrawFunction draw = [](IDrawSurface& s) {
        s.FillRect({4, 4, 40, 30}, kRed);
        s.Ellipse({50, 10, 90, 40});
        s.Text({10, 50}, "Fa 0.5");
        return true;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ext);
        EPictureFormat format{};
        ASSERT_TRUE(PictureFormatFromExtension(c.ext, format));
        EXPECT_EQ(format, c.format);

        Bytes bytes;
        std::string error;
        ASSERT_TRUE(RenderPicture(c.format, 123, 77, draw, bytes, error)) << error;
        ASSERT_GT(bytes.size(), 16u);
        const std::string head(bytes.begin(), bytes.begin() + 16);
        if (c.format == EPictureFormat::Tiff) {
            EXPECT_TRUE(head.starts_with(std::string("II*\0", 4)) ||
                        head.starts_with(std::string("MM\0*", 4)));
        } else if (c.format == EPictureFormat::Svg) {
            EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("<svg"), std::string::npos);
        } else {
            EXPECT_TRUE(head.starts_with(c.magic));
        }
        const CSize size = c.size(bytes);
        EXPECT_EQ(size.width, 123);
        EXPECT_EQ(size.height, 77);
    }
    for (const char* other : {"gif", "PNG", ".png", "", "jpgx"}) {
        EPictureFormat format{};
        EXPECT_FALSE(PictureFormatFromExtension(other, format)) << other;
    }
}

TEST_F(PictureTest, VectorPicturesCarryTheirTitleAndText) {
    const DrawFunction draw = [](IDrawSurface& s) {
        s.Text({10, 10}, "IC50");
        return true;
    };
    std::string error;
    Bytes svg;
    ASSERT_TRUE(RenderPicture(EPictureFormat::Svg, 100, 50, draw, svg, error)) << error;
    const std::string svgText(svg.begin(), svg.end());
    EXPECT_NE(svgText.find("<title>DosePlex Graph</title>"), std::string::npos);
    EXPECT_NE(svgText.find(">IC50<"), std::string::npos);

    Bytes pdf;
    ASSERT_TRUE(RenderPicture(EPictureFormat::Pdf, 100, 50, draw, pdf, error)) << error;
    const std::string pdfText(pdf.begin(), pdf.end());
    const auto utf16 = [](const std::string& ascii) {
        std::string text = "\xFE\xFF";
        for (const char c : ascii) {
            text += std::string(1, '\0') + c;
        }
        return text;
    };
    EXPECT_NE(pdfText.find("/Title (" + utf16("DosePlex Graph") + ")"), std::string::npos);
    EXPECT_NE(pdfText.find("/Creator (" + utf16("DosePlex") + ")"), std::string::npos);
    const std::regex page(R"(/Type\s*/Page\b)");
    EXPECT_EQ(std::distance(std::sregex_iterator(pdfText.begin(), pdfText.end(), page),
                            std::sregex_iterator()),
              1);
}

TEST_F(PictureTest, FillsAndOutlinesCoverExactlyTheirPixels) {
    const CBitmap bmp = Draw([](IDrawSurface& s) {
        s.FillRect({10, 20, 30, 40}, kRed);
        s.FillRect({50, 50, 40, 60}, kRed); // inverted: nothing
        s.SetPen({EPenStyle::Solid, 1, 1, kBlack});
        s.SetBrush(false, 0);
        s.Rectangle({60, 10, 80, 30});
        s.SetBrush(true, kBlue);
        s.Rectangle({100, 10, 120, 30});
        s.Line({10, 80}, {150, 80});
    });
    ASSERT_EQ(bmp.Width(), 200);
    // FillRect: left and top inclusive, right and bottom exclusive.
    EXPECT_EQ(bmp.At(10, 20), kRed);
    EXPECT_EQ(bmp.At(29, 39), kRed);
    EXPECT_EQ(bmp.At(30, 39), kWhite);
    EXPECT_EQ(bmp.At(29, 40), kWhite);
    EXPECT_EQ(bmp.At(9, 20), kWhite);
    EXPECT_EQ(bmp.At(45, 55), kWhite);
    // A one-pixel outline on left..right-1 and top..bottom-1, crisp.
    EXPECT_EQ(bmp.At(60, 20), kBlack);
    EXPECT_EQ(bmp.At(79, 20), kBlack);
    EXPECT_EQ(bmp.At(70, 10), kBlack);
    EXPECT_EQ(bmp.At(70, 29), kBlack);
    EXPECT_EQ(bmp.At(80, 20), kWhite);
    EXPECT_EQ(bmp.At(70, 30), kWhite);
    EXPECT_EQ(bmp.At(61, 20), kWhite);
    EXPECT_EQ(bmp.At(70, 20), kWhite); // not filled without a brush
    EXPECT_EQ(bmp.At(110, 20), kBlue); // filled with one
    EXPECT_EQ(bmp.At(100, 20), kBlack);
    // A one-pixel line covers one row of pixels.
    EXPECT_EQ(bmp.At(80, 80), kBlack);
    EXPECT_EQ(bmp.At(80, 79), kWhite);
    EXPECT_EQ(bmp.At(80, 81), kWhite);
}

TEST_F(PictureTest, PenWidthAndStyleShapeTheLine) {
    struct Case {
        EPenStyle style;
        int width;
        int rows;    // dark rows across the line
        bool broken; // gaps along it
    };
    const Case cases[] = {
        {EPenStyle::Solid, 0, 1, false},  {EPenStyle::Solid, 1, 1, false},
        {EPenStyle::Solid, 3, 3, false},  {EPenStyle::Solid, 4, 4, false},
        {EPenStyle::Dash, 1, 1, true},    {EPenStyle::Dot, 1, 1, true},
        {EPenStyle::DashDot, 1, 1, true}, {EPenStyle::DashDotDot, 1, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "style " << static_cast<int>(c.style) << ", width " << c.width);
        const CBitmap bmp = Draw([&](IDrawSurface& s) {
            s.SetPen({c.style, c.width, c.width, kBlack});
            s.Line({20, 50}, {180, 50});
        });
        const CRect bounds = bmp.DarkBounds();
        EXPECT_EQ(bounds.bottom - bounds.top, c.rows);
        int gaps = 0;
        for (int x = 30; x < 170; ++x) {
            gaps += bmp.Dark(x, 50) ? 0 : 1;
        }
        EXPECT_EQ(gaps > 0, c.broken) << gaps << " gaps";
    }
}

TEST_F(PictureTest, DegenerateShapesDrawNothing) {
    const CBitmap bmp = Draw([](IDrawSurface& s) {
        const CPoint points[] = {{10, 10}, {100, 100}};
        s.SetBrush(true, kBlack);
        s.Polyline(nullptr, 0);
        s.Polyline(points, 1);
        s.Polygon(nullptr, 0);
        s.Polygon(points, 2);
        s.Ellipse({10, 10, 10, 60});
        s.Rectangle({10, 10, 60, 10});
        s.Text({50, 50}, "");
    });
    EXPECT_EQ(bmp.DarkBounds(), CRect{});
}

TEST_F(PictureTest, TextLandsWhereItIsAligned) {
    // Cap letters and a descender; the cell is 20 pixels high.
    struct Case {
        EHAlign h;
        EVAlign v;
    };
    const Case cases[] = {
        {EHAlign::Left, EVAlign::Top},    {EHAlign::Centre, EVAlign::Top},
        {EHAlign::Right, EVAlign::Top},   {EHAlign::Centre, EVAlign::Baseline},
        {EHAlign::Left, EVAlign::Bottom}, {EHAlign::Right, EVAlign::Bottom},
    };
    const CPoint at{100, 60};
    const int cell = 20;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "h " << static_cast<int>(c.h) << ", v " << static_cast<int>(c.v));
        const CRect ink = DrawText(at, "HgH", cell, c.h, c.v).DarkBounds();
        ASSERT_LT(ink.left, ink.right);
        // The ink fits the cell and fills most of it.
        EXPECT_LE(ink.bottom - ink.top, cell);
        EXPECT_GE(ink.bottom - ink.top, cell * 3 / 4);
        switch (c.h) {
        case EHAlign::Left:
            EXPECT_GE(ink.left, at.x);
            EXPECT_LE(ink.left, at.x + 3);
            break;
        case EHAlign::Centre:
            EXPECT_NEAR((ink.left + ink.right) / 2.0, at.x, 2.0);
            break;
        case EHAlign::Right:
            EXPECT_LE(ink.right, at.x);
            EXPECT_GE(ink.right, at.x - 3);
            break;
        }
        switch (c.v) {
        case EVAlign::Top:
            EXPECT_GE(ink.top, at.y);
            EXPECT_LE(ink.top, at.y + cell / 4);
            break;
        case EVAlign::Baseline: // the descender hangs below the baseline
            EXPECT_LT(ink.top, at.y - cell / 2);
            EXPECT_GT(ink.bottom, at.y + 2);
            EXPECT_LE(ink.bottom, at.y + cell / 3);
            break;
        case EVAlign::Bottom:
            EXPECT_LE(ink.bottom, at.y);
            EXPECT_GE(ink.bottom, at.y - 2);
            break;
        }
    }
}

TEST_F(PictureTest, TextSizeFollowsTheCellHeight) {
    const auto inkHeight = [](int cell) {
        const CRect ink = DrawText({20, 20}, "H", cell, EHAlign::Left, EVAlign::Top).DarkBounds();
        return ink.bottom - ink.top;
    };
    const int small = inkHeight(20);
    const int large = inkHeight(40);
    EXPECT_NEAR(static_cast<double>(large) / small, 2.0, 0.25);
    // The cell is ascent plus descent: text hung from the top of a cell and
    // text standing on its bottom share one baseline.
    for (const int cell : {20, 40}) {
        SCOPED_TRACE(cell);
        const CBitmap bmp = Draw([cell](IDrawSurface& s) {
            s.SetFont({cell, 0});
            s.SetTextColour(kBlack);
            s.SetTextAlign(EHAlign::Left, EVAlign::Top);
            s.Text({10, 50}, "H");
            s.SetTextAlign(EHAlign::Left, EVAlign::Bottom);
            s.Text({100, 50 + cell}, "H");
        });
        const auto baseline = [&bmp](int fromX, int toX) {
            int bottom = -1;
            for (int y = 0; y < bmp.Height(); ++y) {
                for (int x = fromX; x < toX; ++x) {
                    bottom = bmp.Dark(x, y) ? y : bottom;
                }
            }
            return bottom;
        };
        EXPECT_NEAR(baseline(0, 90), baseline(90, 200), 1);
    }
    // No height: a readable default size rather than nothing or a giant.
    const int fallback = inkHeight(0);
    EXPECT_GE(fallback, 5);
    EXPECT_LE(fallback, 12);
}

TEST_F(PictureTest, EscapementTurnsTextCounterClockwise) {
    const CPoint at{100, 100};
    // A quarter turn: the text runs upwards from the reference point with its
    // glyphs to the left of the baseline.
    const CRect up =
        DrawText(at, "Dose 1000", 16, EHAlign::Left, EVAlign::Baseline, 900).DarkBounds();
    EXPECT_GT(up.bottom - up.top, 2 * (up.right - up.left));
    EXPECT_LE(up.bottom, at.y + 1);
    EXPECT_LT(up.top, at.y - 40);
    EXPECT_LE(up.right, at.x + 1);
    EXPECT_GE(up.left, at.x - 16);
    // Centred and top-aligned in the turned frame: centred on y, to the right.
    const CRect label =
        DrawText(at, "Dose 1000", 16, EHAlign::Centre, EVAlign::Top, 900).DarkBounds();
    EXPECT_NEAR((label.top + label.bottom) / 2.0, at.y, 2.0);
    EXPECT_GE(label.left, at.x);
    EXPECT_LE(label.right, at.x + 16);
}

TEST_F(PictureTest, FailedPicturesLeaveFilesAlone) {
    CTempDir temp("doseplex-picture");
    ASSERT_FALSE(temp.Path().empty());
    const DrawFunction good = [](IDrawSurface& s) { return s.FillRect({0, 0, 5, 5}, kRed); };
    const DrawFunction failing = [](IDrawSurface&) { return false; };

    const std::string existing = (temp / "existing.png").string();
    std::ofstream(existing, std::ios::binary) << "old contents";

    struct Case {
        const char* what;
        std::string path;
        int width;
        int height;
        const DrawFunction* draw;
    };
    const Case cases[] = {
        {"drawing fails", existing, 40, 30, &failing},
        {"no width", existing, 0, 30, &good},
        {"too high", existing, 40, 16385, &good},
        {"no such folder", (temp / "missing" / "graph.png").string(), 40, 30, &good},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string error;
        EXPECT_FALSE(WritePicture(c.path, EPictureFormat::Png, c.width, c.height, *c.draw, error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(ReadFile(existing), "old contents");
    EXPECT_FALSE(fs::exists(temp / "missing"));
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 1);

    // And a good one replaces the file with the whole picture.
    std::string error;
    ASSERT_TRUE(WritePicture(existing, EPictureFormat::Png, 40, 30, good, error)) << error;
    const std::string written = ReadFile(existing);
    Bytes rendered;
    ASSERT_TRUE(RenderPicture(EPictureFormat::Png, 40, 30, good, rendered, error)) << error;
    EXPECT_EQ(written, std::string(rendered.begin(), rendered.end()));
}

} // namespace
