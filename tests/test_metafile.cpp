// The enhanced-metafile writer: the files are read back with a small record
// walker that replays the GDI object state (pens, brushes, fonts), so that
// each shape is checked with what it was drawn with.

#include "graph/emf/metafile_writer.h"

#include "core/file_io.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace doseplex {
namespace {

namespace fs = std::filesystem;
using testing_support::CTempDir;
using testing_support::ReadFile;

// Record types (the EMR_ values of the metafile format).
enum : std::uint32_t {
    kHeader = 1,
    kPolygon = 3,
    kPolyline = 4,
    kSetWindowExt = 9,
    kSetViewportExt = 11,
    kEof = 14,
    kSetMapMode = 17,
    kSetBkMode = 18,
    kSetTextAlign = 22,
    kSetTextColor = 24,
    kMoveTo = 27,
    kSelectObject = 37,
    kCreatePen = 38,
    kCreateBrush = 39,
    kDeleteObject = 40,
    kEllipse = 42,
    kRectangle = 43,
    kLineTo = 54,
    kCreateFont = 82,
    kTextOutA = 83,
    kTextOutW = 84,
    kPolygon16 = 86,
    kPolyline16 = 87,
};

constexpr std::uint32_t kStock = 0x80000000u;
constexpr std::uint32_t kNullBrush = kStock | 5;
constexpr std::uint32_t kNullPen = kStock | 8;

struct CRecord {
    std::uint32_t type = 0;
    std::string bytes; // the whole record

    std::uint32_t U32(size_t at) const {
        std::uint32_t v = 0;
        if (at + 4 <= bytes.size()) {
            std::memcpy(&v, bytes.data() + at, 4);
        }
        return v;
    }
    int I32(size_t at) const { return static_cast<int>(U32(at)); }
    int I16(size_t at) const {
        std::int16_t v = 0;
        if (at + 2 <= bytes.size()) {
            std::memcpy(&v, bytes.data() + at, 2);
        }
        return v;
    }
    std::u16string Utf16(size_t at, size_t count) const {
        std::u16string s;
        for (size_t i = 0; i < count && at + 2 * i + 2 <= bytes.size(); ++i) {
            s += static_cast<char16_t>(I16(at + 2 * i) & 0xFFFF);
        }
        return s;
    }
};

// Splits the file into records, checking the framing the format requires: a
// header first that counts the bytes and records, sizes that are multiples of
// four and stay inside the file, EMR_EOF last.
std::vector<CRecord> ReadRecords(const std::string& file) {
    std::vector<CRecord> records;
    size_t at = 0;
    while (at + 8 <= file.size()) {
        CRecord record;
        std::uint32_t size = 0;
        std::memcpy(&record.type, file.data() + at, 4);
        std::memcpy(&size, file.data() + at + 4, 4);
        if (size < 8 || size % 4 != 0 || at + size > file.size()) {
            ADD_FAILURE() << "record " << records.size() << " of size " << size << " at " << at;
            return {};
        }
        record.bytes = file.substr(at, size);
        records.push_back(std::move(record));
        at += size;
    }
    EXPECT_EQ(at, file.size()) << "bytes after the last record";
    if (records.empty()) {
        ADD_FAILURE() << "no records";
        return records;
    }
    const CRecord& header = records.front();
    EXPECT_EQ(header.type, kHeader);
    EXPECT_GE(header.bytes.size(), 108u) << "the header holds szlMicrometers";
    EXPECT_EQ(header.U32(40), 0x464D4520u) << "\" EMF\" signature";
    EXPECT_EQ(header.U32(48), file.size()) << "nBytes";
    EXPECT_EQ(header.U32(52), records.size()) << "nRecords";
    EXPECT_EQ(records.back().type, kEof);
    return records;
}

// Writes the picture and reads its records back; none when writing failed.
std::vector<CRecord> WriteAndRead(const fs::path& path, int width, int height,
                                  const std::string& description, const DrawFunction& draw) {
    std::string error;
    if (!WriteEnhancedMetafile(path.string(), width, height, description, draw, error)) {
        ADD_FAILURE() << "writing " << path << ": " << error;
        return {};
    }
    return ReadRecords(ReadFile(path));
}

// A created or stock object as the records describe it.
struct CObject {
    std::uint32_t kind = 0;  // kCreatePen, kCreateBrush or kCreateFont
    std::uint32_t style = 0; // pen or brush style (PS_NULL 5, BS_NULL 1 for stock)
    int width = 0;
    std::uint32_t colour = 0;
    int height = 0;
    int escapement = 0;
    int orientation = 0;
    std::u16string face;
};

CObject MakeObject(std::uint32_t kind, std::uint32_t style = 0, int width = 0,
                   std::uint32_t colour = 0) {
    CObject object;
    object.kind = kind;
    object.style = style;
    object.width = width;
    object.colour = colour;
    return object;
}

// A drawing record with the state it was drawn in.
struct CDrawn {
    std::uint32_t type = 0;
    CRecord record;
    CObject pen;
    CObject brush;
    CObject font;
    std::uint32_t textAlign = 0;
    std::uint32_t textColour = 0;
    std::uint32_t bkMode = 0;
    CPoint from; // the current position, for EMR_LINETO
};

// Replays object creation, selection and deletion, failing on what GDI would
// refuse or leak: selecting an unknown handle, deleting a selected object,
// reusing a live handle, objects still alive at the end.
std::vector<CDrawn> Replay(const std::vector<CRecord>& records) {
    std::map<std::uint32_t, CObject> live;
    CDrawn state;
    state.pen = MakeObject(kCreatePen, 0, 1, 0);            // BLACK_PEN
    state.brush = MakeObject(kCreateBrush, 0, 0, 0xFFFFFF); // WHITE_BRUSH
    state.bkMode = 2;                                       // OPAQUE
    std::vector<CDrawn> drawn;
    std::map<std::uint32_t, std::uint32_t> selected; // kind -> handle
    for (const CRecord& r : records) {
        switch (r.type) {
        case kCreatePen:
        case kCreateBrush:
        case kCreateFont: {
            const std::uint32_t handle = r.U32(8);
            EXPECT_FALSE(live.contains(handle)) << "handle " << handle << " reused while alive";
            CObject object = MakeObject(r.type);
            if (r.type == kCreatePen) {
                object.style = r.U32(12);
                object.width = r.I32(16);
                object.colour = r.U32(24);
            } else if (r.type == kCreateBrush) {
                object.style = r.U32(12);
                object.colour = r.U32(16);
            } else {
                object.height = r.I32(12);
                object.escapement = r.I32(20);
                object.orientation = r.I32(24);
                object.face = r.Utf16(40, 32);
                object.face = object.face.substr(0, object.face.find(u'\0'));
            }
            live[handle] = object;
            break;
        }
        case kSelectObject: {
            const std::uint32_t handle = r.U32(8);
            CObject object;
            if (handle == kNullPen) {
                object = MakeObject(kCreatePen, 5);
            } else if (handle == kNullBrush) {
                object = MakeObject(kCreateBrush, 1);
            } else if ((handle & kStock) != 0) {
                // The other stock objects only come back at the end.
                object = MakeObject(handle == (kStock | 7) ? kCreatePen
                                    : handle == kStock     ? kCreateBrush
                                                           : kCreateFont);
            } else if (live.contains(handle)) {
                object = live[handle];
            } else {
                ADD_FAILURE() << "selecting unknown handle " << handle;
                break;
            }
            selected[object.kind] = handle;
            (object.kind == kCreatePen     ? state.pen
             : object.kind == kCreateBrush ? state.brush
                                           : state.font) = object;
            break;
        }
        case kDeleteObject: {
            const std::uint32_t handle = r.U32(8);
            EXPECT_TRUE(live.contains(handle)) << "deleting unknown handle " << handle;
            for (const auto& [kind, h] : selected) {
                EXPECT_NE(h, handle) << "deleting selected handle " << handle;
            }
            live.erase(handle);
            break;
        }
        case kSetTextAlign:
            state.textAlign = r.U32(8);
            break;
        case kSetTextColor:
            state.textColour = r.U32(8);
            break;
        case kSetBkMode:
            state.bkMode = r.U32(8);
            break;
        case kMoveTo:
            state.from = {r.I32(8), r.I32(12)};
            break;
        case kPolygon:
        case kPolyline:
        case kPolygon16:
        case kPolyline16:
        case kEllipse:
        case kRectangle:
        case kLineTo:
        case kTextOutA:
        case kTextOutW:
            state.type = r.type;
            state.record = r;
            drawn.push_back(state);
            break;
        default:
            break;
        }
    }
    EXPECT_TRUE(live.empty()) << live.size() << " objects left undeleted";
    return drawn;
}

// The points of a polyline or polygon record, in either coordinate width.
std::vector<CPoint> PolyPoints(const CRecord& r) {
    std::vector<CPoint> points;
    const bool narrow = r.type == kPolygon16 || r.type == kPolyline16;
    const size_t step = narrow ? 4 : 8;
    for (std::uint32_t i = 0; i < r.U32(24); ++i) {
        const size_t at = 28 + i * step;
        points.push_back(narrow ? CPoint{r.I16(at), r.I16(at + 2)}
                                : CPoint{r.I32(at), r.I32(at + 4)});
    }
    return points;
}

CRect Box(const CRecord& r) {
    return {r.I32(8), r.I32(12), r.I32(16), r.I32(20)};
}

bool IsPolyline(std::uint32_t type) {
    return type == kPolyline || type == kPolyline16;
}
bool IsPolygon(std::uint32_t type) {
    return type == kPolygon || type == kPolygon16;
}

std::vector<std::string> FileNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(EmfMetafile, RecordsTheShapesWithTheirPensBrushesAndFonts) {
    CTempDir dir("doseplex-emf");
    const fs::path path = dir / "graph.emf";
    std::string error;
    ASSERT_TRUE(WriteFileSafely(path.string(), std::string("old"), error)) << error;

    const CPoint zigzag[] = {{10, 100}, {50, 60}, {90, 100}};
    const CPoint triangle[] = {{300, 20}, {380, 20}, {340, 80}};
    const CPenDesc dashed{EPenStyle::Dash, 3, 3, 0x000000FF};
    const auto draw = [&](IDrawSurface& s) {
        EXPECT_TRUE(s.YDown());
        // Nothing to draw: no records.
        s.Polyline(nullptr, 3);
        s.Polyline(zigzag, 1);
        s.Polygon(triangle, 1);
        s.Polygon(nullptr, 0);
        s.Text({1, 1}, "");
        EXPECT_TRUE(s.FillRect({50, 50, 50, 80}, 0));

        EXPECT_TRUE(s.FillRect({10, 20, 110, 70}, 0x00336699));
        s.SetPen(dashed);
        s.Line({5, 5}, {395, 5});
        s.Polyline(zigzag, 3);
        s.SetBrush(true, 0x0000FF00);
        s.Polygon(triangle, 3);
        // A fill in between must give the pen and brush back.
        EXPECT_TRUE(s.FillRect({0, 0, 400, 10}, 0x00FF0000));
        s.Rectangle({30, 200, 90, 260});
        s.SetPen({EPenStyle::DashDotDot, 1, 1, 0x00808080});
        s.SetBrush(false, 0x0000FF00);
        s.Ellipse({200, 100, 260, 140});
        s.SetFont({24, 0});
        s.SetTextColour(0x00112233);
        s.SetTextAlign(EHAlign::Centre, EVAlign::Top);
        s.Text({200, 150}, "Dose \xC2\xB5g/mL \xF0\x9D\x9C\x87"); // U+00B5, U+1D707
        s.SetFont({16, 900});
        s.SetTextAlign(EHAlign::Right, EVAlign::Baseline);
        s.Text({20, 280}, "\xB5M"); // not UTF-8: read as Windows-1252
        return true;
    };
    const std::vector<CRecord> records =
        WriteAndRead(path, 400, 300, std::string("DosePlex\0Graph \xC2\xB5", 17), draw);
    ASSERT_FALSE(records.empty());

    const CRecord& header = records.front();
    EXPECT_EQ(header.Utf16(header.U32(64), header.U32(60)),
              std::u16string(u"DosePlex\0Graph \u00B5\0\0", 18));

    const std::vector<CDrawn> drawn = Replay(records);
    ASSERT_EQ(drawn.size(), 9u);

    // Fills: without a pen GDI leaves out the right column and bottom row,
    // so the rectangle reaches one further.
    for (const auto& [index, box, colour] : {std::tuple{0, CRect{10, 20, 111, 71}, 0x00336699u},
                                             std::tuple{4, CRect{0, 0, 401, 11}, 0x00FF0000u}}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(drawn[index].type, kRectangle);
        EXPECT_EQ(Box(drawn[index].record), box);
        EXPECT_EQ(drawn[index].pen.style, 5u) << "PS_NULL";
        EXPECT_EQ(drawn[index].brush.style, 0u) << "BS_SOLID";
        EXPECT_EQ(drawn[index].brush.colour, colour);
    }

    for (int index : {1, 2, 3, 5}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(drawn[index].pen.style, 1u) << "PS_DASH";
        EXPECT_EQ(drawn[index].pen.width, 3);
        EXPECT_EQ(drawn[index].pen.colour, 0x000000FFu);
    }
    EXPECT_EQ(drawn[1].type, kLineTo);
    EXPECT_EQ(drawn[1].from, (CPoint{5, 5}));
    EXPECT_EQ((CPoint{drawn[1].record.I32(8), drawn[1].record.I32(12)}), (CPoint{395, 5}));
    EXPECT_TRUE(IsPolyline(drawn[2].type)) << drawn[2].type;
    EXPECT_EQ(PolyPoints(drawn[2].record),
              std::vector<CPoint>(std::begin(zigzag), std::end(zigzag)));
    EXPECT_TRUE(IsPolygon(drawn[3].type)) << drawn[3].type;
    EXPECT_EQ(PolyPoints(drawn[3].record),
              std::vector<CPoint>(std::begin(triangle), std::end(triangle)));
    EXPECT_EQ(drawn[5].type, kRectangle);
    EXPECT_EQ(Box(drawn[5].record), (CRect{30, 200, 90, 260}));
    for (int index : {3, 5}) {
        EXPECT_EQ(drawn[index].brush.style, 0u) << index;
        EXPECT_EQ(drawn[index].brush.colour, 0x0000FF00u) << index;
    }

    EXPECT_EQ(drawn[6].type, kEllipse);
    EXPECT_EQ(Box(drawn[6].record), (CRect{200, 100, 260, 140}));
    EXPECT_EQ(drawn[6].pen.style, 4u) << "PS_DASHDOTDOT";
    EXPECT_EQ(drawn[6].pen.width, 1);
    EXPECT_EQ(drawn[6].pen.colour, 0x00808080u);
    EXPECT_EQ(drawn[6].brush.style, 1u) << "NULL_BRUSH";

    // Texts: EMR_EXTTEXTOUTW with the reference point and the UTF-16 string.
    const struct {
        int index;
        CPoint at;
        std::u16string text;
        std::uint32_t align;
        int height;
        int escapement;
    } texts[] = {
        {7, {200, 150}, u"Dose \u00B5g/mL \U0001D707", 0x06 /* TA_CENTER | TA_TOP */, 24, 0},
        {8, {20, 280}, u"\u00B5M", 0x1A /* TA_RIGHT | TA_BASELINE */, 16, 900},
    };
    for (const auto& text : texts) {
        SCOPED_TRACE(text.index);
        const CDrawn& d = drawn[text.index];
        ASSERT_EQ(d.type, kTextOutW);
        EXPECT_EQ((CPoint{d.record.I32(36), d.record.I32(40)}), text.at);
        EXPECT_EQ(d.record.Utf16(d.record.U32(48), d.record.U32(44)), text.text);
        EXPECT_EQ(d.textAlign, text.align);
        EXPECT_EQ(d.textColour, 0x00112233u);
        EXPECT_EQ(d.bkMode, 1u) << "TRANSPARENT";
        EXPECT_EQ(d.font.kind, kCreateFont);
        EXPECT_EQ(d.font.height, text.height);
        EXPECT_EQ(d.font.escapement, text.escapement);
        EXPECT_EQ(d.font.orientation, text.escapement);
        EXPECT_EQ(d.font.face, u"Arial");
    }
}

// The frame is the picture at 96 pixels per inch, and the mapping lays the
// picture's width x height logical units exactly onto it on the reference
// device the header names.
TEST(EmfMetafile, FrameAndMappingGiveThePictureSizeAt96PerInch) {
    CTempDir dir("doseplex-emf");
    const struct {
        int width;
        int height;
    } sizes[] = {{1, 1}, {400, 300}, {16384, 16384}, {16384, 7}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
        const std::vector<CRecord> records = WriteAndRead(dir / "size.emf", size.width, size.height,
                                                          "DosePlex Graph", [](IDrawSurface& s) {
                                                              s.Line({0, 0}, {1, 1});
                                                              return true;
                                                          });
        ASSERT_FALSE(records.empty());
        const CRecord& header = records.front();
        // Without a NUL the description is the application's name alone.
        EXPECT_EQ(header.Utf16(header.U32(64), header.U32(60)),
                  std::u16string(u"DosePlex Graph\0\0\0", 17));
        const CRect frame{header.I32(24), header.I32(28), header.I32(32), header.I32(36)};
        EXPECT_EQ(frame.left, 0);
        EXPECT_EQ(frame.top, 0);
        EXPECT_NEAR(frame.right, size.width * 2540.0 / 96, 0.5);
        EXPECT_NEAR(frame.bottom, size.height * 2540.0 / 96, 0.5);

        // Device pixels per millimetre, from szlDevice and szlMillimeters.
        const double perMmX = header.I32(72) / static_cast<double>(header.I32(80));
        const double perMmY = header.I32(76) / static_cast<double>(header.I32(84));
        EXPECT_NEAR(header.I32(16), frame.right / 100.0 * perMmX, 1.0) << "rclBounds";
        EXPECT_NEAR(header.I32(20), frame.bottom / 100.0 * perMmY, 1.0) << "rclBounds";

        // MM_ANISOTROPIC and its extents, set before anything is drawn.
        int mapMode = 0;
        double scaleX = 0;
        double scaleY = 0;
        CPoint window;
        for (const CRecord& r : records) {
            if (r.type == kSetMapMode) {
                mapMode = r.I32(8);
            } else if (r.type == kSetWindowExt) {
                window = {r.I32(8), r.I32(12)};
            } else if (r.type == kSetViewportExt && window.x > 0 && window.y > 0) {
                scaleX = r.I32(8) / static_cast<double>(window.x);
                scaleY = r.I32(12) / static_cast<double>(window.y);
            } else if (r.type == kLineTo) {
                break;
            }
        }
        EXPECT_EQ(mapMode, 8);
        EXPECT_NEAR(size.width * scaleX / perMmX * 100, frame.right, 0.5);
        EXPECT_NEAR(size.height * scaleY / perMmY * 100, frame.bottom, 0.5);
    }
}

TEST(EmfMetafile, FailuresLeaveNoFileBehind) {
    CTempDir dir("doseplex-emf");
    const fs::path existing = dir / "graph.emf";
    std::string error;
    ASSERT_TRUE(WriteFileSafely(existing.string(), std::string("old"), error)) << error;
    const auto unchanged = [&] {
        EXPECT_EQ(FileNames(dir.Path()), std::vector<std::string>{"graph.emf"});
        EXPECT_EQ(ReadFile(existing), "old");
    };

    const DrawFunction line = [](IDrawSurface& s) {
        s.Line({0, 0}, {5, 5});
        return true;
    };
    const DrawFunction refused = [](IDrawSurface& s) {
        s.SetPen({EPenStyle::Dot, 2, 2, 0x00FF00FF});
        s.Line({0, 0}, {5, 5});
        return false;
    };
    const struct {
        const char* name;
        fs::path path;
        int width;
        int height;
        DrawFunction draw;
        std::string reason;
    } cases[] = {
        {"missing folder", dir / "missing" / "graph.emf", 100, 100, line, "No such file"},
        {"drawing fails", existing, 100, 100, refused, "The picture could not be drawn."},
        {"no drawing", existing, 100, 100, DrawFunction{}, "The picture could not be drawn."},
        {"no width", existing, 0, 100, line, "1 to 16384"},
        {"too high", existing, 100, 16385, line, "1 to 16384"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        error.clear();
        EXPECT_FALSE(
            WriteEnhancedMetafile(c.path.string(), c.width, c.height, "DosePlex", c.draw, error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        unchanged();
    }

    // An exception from the drawing passes through and leaves nothing either,
    // and the next picture is written as usual.
    EXPECT_THROW(WriteEnhancedMetafile(
                     existing.string(), 10, 10, "DosePlex",
                     [](IDrawSurface&) -> bool { throw std::runtime_error("drawing"); }, error),
                 std::runtime_error);
    unchanged();
    ASSERT_TRUE(WriteEnhancedMetafile(existing.string(), 10, 10, "DosePlex", line, error)) << error;
    EXPECT_EQ(FileNames(dir.Path()), std::vector<std::string>{"graph.emf"});
    EXPECT_EQ(Replay(ReadRecords(ReadFile(existing))).size(), 1u);
}

} // namespace
} // namespace doseplex
