#include "graph/graph.h"
#include "recording_surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

namespace doseplex {
namespace {

using testing_support::CRecordingSurface;

// A series with fixed points and, optionally, a curve and per-point labels.
class CTestDataset : public CDataset {
public:
    CTestDataset(std::vector<double> x, std::vector<double> y, std::uint16_t style = kNextStyle) {
        SetPoints(std::move(x), std::move(y));
        m_nStyle = style;
    }
    bool HasCurve() const override { return static_cast<bool>(m_curve); }
    bool Evaluate(double x, double& y, double& low, double& high) const override {
        if (!m_curve || !m_curve(x, y)) {
            return false;
        }
        low = y - 0.1;
        high = y + 0.1;
        return true;
    }
    bool PerPointLegend() const override { return m_perPoint; }
    std::string GetPointLabel(int index) const override { return "p" + std::to_string(index); }

    std::function<bool(double, double&)> m_curve;
    bool m_perPoint = false;
};

std::unique_ptr<CDataset> Points(std::vector<double> x, std::vector<double> y,
                                 std::uint16_t style = kNextStyle) {
    return std::make_unique<CTestDataset>(std::move(x), std::move(y), style);
}

// The graph laid out on 0,0,1000,500: X(p) = 10p, Y(p) = 500 - 5p, so the plot
// runs from x 160 to 950 and from y 400 (bottom) to 100 (top).
CRecordingSurface DrawGraph(CGraph& graph) {
    graph.Layout(0, 0, 1000, 500, 0, 0);
    CRecordingSurface surface;
    EXPECT_TRUE(graph.Draw(surface, graph.m_rect));
    return surface;
}

TEST(GraphScale, WorkedRanges) {
    struct Case {
        double lo, hi;
        double min, max;
        int ticks, decimals;
    };
    const Case cases[] = {
        {0.0, 1.0, 0.0, 1.0, 5, 1},
        {0.31, 2.4, 0.3, 2.8, 5, 1},
        {-0.7, 1.3, -1.0, 1.5, 5, 1},
        {3.7, 10.0, 3.7, 11.7, 4, 1},
        {0.0, 0.05, 0.0, 0.05, 5, 3},
        {0.0, 0.1, 0.0, 0.1, 5, 2},
        {-2.0, 2.0, -2.0, 2.0, 4, 1},
        {0.0, 250.0, 0.0, 250.0, 5, 0},
        // Rounding pushes the span past 80 units: the next unit up is used.
        {0.5, 80.4, 0.0, 100.0, 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.lo) + ".." + std::to_string(c.hi));
        const CAxisScale s = ScaleAxis(c.lo, c.hi);
        EXPECT_NEAR(s.min, c.min, 1e-12);
        EXPECT_NEAR(s.max, c.max, 1e-12);
        EXPECT_EQ(s.ticks, c.ticks);
        EXPECT_EQ(s.decimals, c.decimals);
    }
}

TEST(GraphScale, RangesThatCannotBeScaledGiveNoTicks) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (auto [lo, hi] : {std::pair{1e10, -1e10},
                          {0.0, inf},
                          {nan, 1.0},
                          {2.0, 1.0},
                          {-1e308, 1e308},
                          {0.0, 1.79e308}}) {
        EXPECT_EQ(ScaleAxis(lo, hi).ticks, 0) << lo << ".." << hi;
    }
}

TEST(GraphScale, TickLabels) {
    const auto labels = [](double lo, double hi) {
        const CAxisScale s = ScaleAxis(lo, hi);
        std::string out;
        for (int i = 0; i <= s.ticks; ++i) {
            out += TickLabel(s.min + (s.max - s.min) * i / s.ticks, s.decimals) + " ";
        }
        return out;
    };
    EXPECT_EQ(labels(0.0, 0.05), "0 1.0e-02 2.0e-02 3.0e-02 4.0e-02 5.0e-02 ");
    EXPECT_EQ(labels(0.0, 0.1), "0 0.02 0.04 0.06 0.08 0.10 ");
    EXPECT_EQ(labels(3.7, 10.0), "3.7 5.7 7.7 9.7 11.7 ");
    EXPECT_EQ(labels(0.0, 250.0), "0 50 100 150 200 250 ");
}

TEST(GraphDraw, AxesTicksAndLabelsAtExactPositions) {
    CGraph graph;
    graph.SetTitles("T", "X", "Y");
    ASSERT_TRUE(graph.AddDataset(Points({0.0, 1.0}, {0.31, 2.4})));
    const CRecordingSurface s = DrawGraph(graph);

    EXPECT_EQ(s.m_calls.front(), "fill 0,0,1000,500 #FFFFFF");
    const std::vector<std::string> texts = {
        "text 160,410 0",   "text 318,410 0.2", "text 476,410 0.4", "text 634,410 0.6",
        "text 792,410 0.8", "text 950,410 1.0", "text 110,400 0.3", "text 110,340 0.8",
        "text 110,280 1.3", "text 110,220 1.8", "text 110,160 2.3", "text 110,100 2.8",
        "text 530,450 X",   "text 530,25 T",    "text 50,250 Y"};
    std::vector<std::string> drawn = s.Calls("text ");
    drawn.resize(texts.size());
    EXPECT_EQ(drawn, texts);
    const std::vector<std::string> lines = s.Calls("line");
    EXPECT_EQ(lines[0], "line 100,400 950,400"); // x axis
    EXPECT_EQ(lines[1], "line 160,400 160,410"); // first x tick
    EXPECT_EQ(lines[7], "line 160,425 160,100"); // y axis
    EXPECT_EQ(lines[8], "line 160,400 140,400"); // first y tick
    // Fonts: small 500/22; title 500/18 for the x title and the title; vertical
    // 500/18 turned a quarter; the small font again for the legend.
    EXPECT_EQ(s.Calls("font"), (std::vector<std::string>{"font 22 0", "font 27 0", "font 27 0",
                                                         "font 27 900", "font 22 0"}));
    EXPECT_EQ(s.Calls("pen").front(), "pen solid 1 #000000");
}

TEST(GraphDraw, LongTitlesGetASmallerFont) {
    // The recording surface measures 0.55 x height per character: 100
    // characters in the 27-unit title font would need 1485 units of the 920
    // the graph offers, so the title is drawn 16 units high.
    CGraph graph;
    graph.SetTitles(std::string(100, 't'), "X", std::string(40, 'y'));
    ASSERT_TRUE(graph.AddDataset(Points({0.0, 1.0}, {0.0, 1.0})));
    const CRecordingSurface s = DrawGraph(graph);
    const auto& calls = s.m_calls;
    const auto title =
        std::find(calls.begin(), calls.end(), "text 530,25 " + std::string(100, 't'));
    ASSERT_NE(title, calls.end());
    EXPECT_EQ(*(title - 2), "font 16 0");
    // 40 characters of the y title (594 units) fit the graph's 490 units at 22.
    const auto yTitle =
        std::find(calls.begin(), calls.end(), "text 50,250 " + std::string(40, 'y'));
    ASSERT_NE(yTitle, calls.end());
    EXPECT_EQ(*(yTitle - 2), "font 22 900");
}

TEST(GraphDraw, XAxisMovesToZeroButOriginModeNeedsANegativeX) {
    CGraph graph;
    ASSERT_TRUE(graph.AddDataset(Points({0.0, 1.0}, {-0.7, 1.3})));
    const CRecordingSurface s = DrawGraph(graph);
    // y -1.0..1.5: value 0 lies 2/5 up the plot: 400 - 120.
    EXPECT_EQ(s.Calls("line").front(), "line 100,280 950,280");
    // The y label "0" is drawn normally, with its tick.
    EXPECT_EQ(s.Calls("text 110,280").front(), "text 110,280 0");
    const auto lines = s.Calls("line 160,280 140,280");
    EXPECT_EQ(lines.size(), 1u);
}

TEST(GraphDraw, OriginModeMovesYAxisAndDropsZeroTick) {
    CGraph graph;
    ASSERT_TRUE(graph.AddDataset(Points({-2.0, 2.0}, {0.0, 1.0})));
    const CRecordingSurface s = DrawGraph(graph);
    // x -2..2: the y axis runs through x = 0 at 160 + 395.
    EXPECT_EQ(s.Calls("line 555,").front(), "line 555,425 555,100");
    for (const std::string& text : s.Calls("text ")) {
        EXPECT_NE(text, "text 555,410 0") << "no x label at the origin";
    }
    EXPECT_TRUE(s.Calls("line 555,400 555,410").empty());
    // The y value 0 is labelled below its place, centre-top, with no tick.
    const auto& calls = s.m_calls;
    const auto zero = std::find(calls.begin(), calls.end(), "text 505,400 0");
    ASSERT_NE(zero, calls.end());
    EXPECT_EQ(*(zero - 1), "align centre-top");
    EXPECT_TRUE(s.Calls("line 555,400 535,400").empty());
    EXPECT_EQ(s.Calls("text 505,340").front(), "text 505,340 0.2");
}

TEST(GraphDraw, GraphWithoutSeriesDrawsBackgroundOnly) {
    CGraph graph;
    graph.SetTitles("T", "X", "Y");
    std::unique_ptr<CDataset> empty = Points({}, {});
    EXPECT_FALSE(graph.AddDataset(empty));
    EXPECT_NE(empty, nullptr) << "a refused series stays with the caller";
    const CRecordingSurface s = DrawGraph(graph);
    EXPECT_EQ(s.m_calls, std::vector<std::string>{"fill 0,0,1000,500 #FFFFFF"});

    CRecordingSurface failing;
    failing.m_fillSucceeds = false;
    EXPECT_FALSE(graph.Draw(failing, graph.m_rect));
}

TEST(GraphDraw, ValuesThatAreNotFiniteAreLeftOut) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    CGraph graph;
    auto d = std::make_unique<CTestDataset>(std::vector<double>{0.0, 0.5, 1.0, nan},
                                            std::vector<double>{0.31, inf, 2.4, 1.0});
    d->m_curve = [&](double x, double& y) {
        y = x < 0.5 ? nan : 1.0;
        return true;
    };
    std::unique_ptr<CDataset> base = std::move(d);
    ASSERT_TRUE(graph.AddDataset(base));
    EXPECT_NEAR(graph.m_yMin, 0.3, 1e-12);
    EXPECT_NEAR(graph.m_yMax, 2.8, 1e-12);
    EXPECT_EQ(graph.m_nXTicks, 5);
    const CRecordingSurface s = DrawGraph(graph);
    // Two of the four points are drawn, and the curve only where it is a number.
    EXPECT_EQ(s.Calls("ellipse").size(), 0u);
    EXPECT_EQ(s.Calls("line 150,389 170,409").size() + s.Calls("line 940,139 960,159").size(), 2u);
    EXPECT_EQ(s.Calls("line").size(), 2 + 6 + 6 + 2 + 2 * 2u)
        << "axes, ticks, the legend's cross and two crosses";
    const std::string curve = s.Calls("polyline").front();
    EXPECT_EQ(curve.rfind("polyline 556,316 ", 0), 0u) << curve.substr(0, 40);
}

TEST(GraphModel, StyleAssignment) {
    CGraph graph;
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(graph.AddDataset(Points({0.0, 1.0}, {0.0, 1.0})));
    }
    std::vector<int> styles;
    for (const auto& d : graph.m_datasets) {
        styles.push_back(d->GetStyle());
    }
    EXPECT_EQ(styles, (std::vector<int>{1, 2, 3, 4, 5, 6, 0, 0}));

    CGraph other;
    ASSERT_TRUE(other.AddDataset(Points({0.0}, {1.0}, 3)));
    ASSERT_TRUE(other.AddDataset(Points({0.0}, {1.0}, kConstantLineStyle)));
    ASSERT_TRUE(other.AddDataset(Points({0.0}, {1.0}, 9)));
    ASSERT_TRUE(other.AddDataset(Points({0.0}, {1.0})));
    EXPECT_EQ(other.m_datasets[0]->GetStyle(), 3);
    EXPECT_EQ(other.m_datasets[1]->GetStyle(), 0);
    EXPECT_EQ(other.m_datasets[2]->GetStyle(), 2);
    EXPECT_EQ(other.m_datasets[3]->GetStyle(), 4);
}

TEST(GraphModel, PointAtOutsideTheSeriesLeavesOutputs) {
    CTestDataset d({1.0, 2.0}, {3.0, 4.0});
    double x = -5.0;
    double y = -6.0;
    EXPECT_FALSE(d.PointAt(-1, x, y));
    EXPECT_FALSE(d.PointAt(2, x, y));
    EXPECT_EQ(x, -5.0);
    EXPECT_EQ(y, -6.0);
    EXPECT_TRUE(d.PointAt(1, x, y));
    EXPECT_EQ(x, 2.0);
    EXPECT_EQ(y, 4.0);
}

TEST(GraphModel, OverrideReceivesRangesAndActiveOneRescales) {
    CGraph graph;
    ASSERT_TRUE(graph.AddDataset(Points({0.0, 1.0}, {0.31, 2.4})));
    const auto inactiveShared = std::make_shared<CGraphOverride>();
    CGraphOverride& inactive = *inactiveShared;
    inactive.m_xMin = 7.0;
    graph.SetOverride(inactiveShared);
    EXPECT_EQ(inactive.m_xMin, 0.0);
    EXPECT_EQ(inactive.m_xMax, 1.0);
    EXPECT_NEAR(inactive.m_yMin, 0.3, 1e-12);
    EXPECT_NEAR(inactive.m_yMax, 2.8, 1e-12);
    EXPECT_EQ(inactive.m_bAutoX, 1);

    const auto activeShared = std::make_shared<CGraphOverride>();
    CGraphOverride& active = *activeShared;
    active.m_bActive = 1;
    active.m_bAutoX = 0;
    active.m_xMin = -0.7;
    active.m_xMax = 1.3;
    graph.SetOverride(activeShared);
    EXPECT_EQ(graph.m_xMin, -1.0);
    EXPECT_EQ(graph.m_xMax, 1.5);
    EXPECT_NEAR(graph.m_yMax, 2.8, 1e-12) << "y stays automatic";
    EXPECT_EQ(active.m_xMin, -1.0);
    EXPECT_EQ(active.m_bAutoX, 0);
}

// Legend rows on the 1000 x 500 layout: first row 475, second 495, columns of
// 197 from 160; symbols sit 10 above the text baseline.
TEST(GraphLegend, DatasetEntries) {
    struct Case {
        int series;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {1, {"text 367,495 s0"}},
        {3, {"text 170,495 s0", "text 367,495 s1", "text 564,495 s2"}},
        {5,
         {"text 170,475 s0", "text 367,475 s1", "text 564,475 s2", "text 170,495 s3",
          "text 564,495 s4"}},
        {7,
         {"text 170,475 s0", "text 367,475 s1", "text 564,475 s2", "text 761,475 s3",
          "text 170,495 s4", "text 367,495 s5", "text 564,495 s6"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.series);
        CGraph graph;
        for (int i = 0; i < c.series; ++i) {
            auto d = Points({0.0, 1.0}, {0.0, 1.0});
            d->m_strName = "s" + std::to_string(i);
            ASSERT_TRUE(graph.AddDataset(d));
        }
        const CRecordingSurface s = DrawGraph(graph);
        std::vector<std::string> texts = s.Calls("text ");
        texts.erase(texts.begin(), texts.end() - c.series);
        EXPECT_EQ(texts, c.texts);
    }

    // A lone entry with a long name starts at the first column.
    CGraph graph;
    auto d = Points({0.0, 1.0}, {0.0, 1.0});
    d->m_strName = "Twenty-one characters";
    ASSERT_TRUE(graph.AddDataset(d));
    EXPECT_EQ(DrawGraph(graph).Calls("text ").back(), "text 170,495 Twenty-one characters");
}

TEST(GraphLegend, LongNamesArePackedInASmallerFont) {
    // The recording surface measures 0.55 x height per character: three
    // names of 30 characters need 373 units each in the 22-unit font, more
    // than the columns and the graph's width give them.
    CGraph graph;
    for (const char c : {'a', 'b', 'c'}) {
        auto d = Points({0.0, 1.0}, {0.0, 1.0});
        d->m_strName = std::string(30, c);
        ASSERT_TRUE(graph.AddDataset(d));
    }
    const CRecordingSurface s = DrawGraph(graph);
    std::vector<std::string> texts = s.Calls("text ");
    texts.erase(texts.begin(), texts.end() - 3);
    EXPECT_EQ(texts, (std::vector<std::string>{"text 170,495 " + std::string(30, 'a'),
                                               "text 447,495 " + std::string(30, 'b'),
                                               "text 724,495 " + std::string(30, 'c')}));
    EXPECT_EQ(s.Calls("font").back(), "font 15 0");
}

TEST(GraphLegend, PerPointEntries) {
    const auto legend = [](int points) {
        std::vector<double> x;
        for (int i = 0; i < points; ++i) {
            x.push_back(0.1 * (i + 1));
        }
        auto d = std::make_unique<CTestDataset>(x, x);
        d->m_perPoint = true;
        CGraph graph;
        std::unique_ptr<CDataset> base = std::move(d);
        EXPECT_TRUE(graph.AddDataset(base));
        std::vector<std::string> texts = DrawGraph(graph).Calls("text ");
        texts.erase(texts.begin(), texts.end() - points);
        return texts;
    };
    EXPECT_EQ(legend(3),
              (std::vector<std::string>{"text 170,495 p0", "text 367,495 p1", "text 564,495 p2"}));
    EXPECT_EQ(legend(5),
              (std::vector<std::string>{"text 170,475 p0", "text 367,475 p1", "text 564,475 p2",
                                        "text 761,475 p3", "text 170,495 p4"}));
    // Nine points take two rows of five, in columns of 4 x 197 / 5.
    const auto nine = legend(9);
    EXPECT_EQ(nine[4], "text 798,475 p4");
    EXPECT_EQ(nine[5], "text 170,495 p5");
    EXPECT_EQ(nine[8], "text 641,495 p8");
}

TEST(GraphSymbol, Shapes) {
    // Width 600: half size 6, dot radius 2; symbols at 100,100.
    CGraph graph;
    graph.Layout(0, 0, 600, 400, 0, 0);
    const std::string dot = "brush #0000FF|ellipse 98,98,103,103";
    const std::string lightDot = "brush #FFFFFF|ellipse 98,98,103,103";
    struct Case {
        int symbol;
        std::string shapes;
    };
    const Case cases[] = {
        {0, "brush none|" + dot},
        {1, "brush none|line 94,94 106,106|line 94,106 106,94"},
        {2, "brush none|line 100,94 100,106|line 94,100 106,100"},
        {3, "brush none|ellipse 94,94,106,106|" + dot},
        {4, "brush none|rectangle 94,94,106,106|" + dot},
        {5, "brush none|polygon 94,94 106,94 100,106|" + dot},
        {6, "brush none|polygon 94,106 106,106 100,94|" + dot},
        {7, "brush none|polygon 94,106 94,94 106,100|" + dot},
        {8, "brush none|polygon 106,106 106,94 94,100|" + dot},
        {9, "brush #0000FF|ellipse 94,94,106,106|" + lightDot},
        {10, "brush #0000FF|rectangle 94,94,106,106|" + lightDot},
        {11, "brush #0000FF|polygon 94,94 106,94 100,106|" + lightDot},
        {14, "brush #0000FF|polygon 106,106 106,94 94,100|" + lightDot},
        {15, "brush none|" + dot},
    };
    for (const Case& c : cases) {
        CRecordingSurface s;
        graph.DrawSymbol(s, 100, 100, c.symbol, 0, 0x0000FF);
        std::string shapes;
        for (const std::string& call : s.m_calls) {
            if (call.rfind("pen", 0) != 0) {
                shapes += (shapes.empty() ? "" : "|") + call;
            }
        }
        EXPECT_EQ(shapes, c.shapes) << "symbol " << c.symbol;
    }

    CRecordingSurface numbered;
    graph.DrawSymbol(numbered, 100, 100, 3, 4, 0);
    EXPECT_EQ(numbered.Calls("text "), std::vector<std::string>{"text 92,92 4"});
    CRecordingSurface cross;
    graph.DrawSymbol(cross, 100, 100, 1, 12, 0);
    EXPECT_EQ(cross.Calls("text "), std::vector<std::string>{"text 88,88 12"});
}

TEST(GraphDraw, CurveLeavingTheRectangleIsJoinedByAChord) {
    CGraph graph;
    auto d = std::make_unique<CTestDataset>(std::vector<double>{0.0, 1.0},
                                            std::vector<double>{0.0, 1.0});
    d->m_curve = [](double x, double& y) {
        y = x > 0.4 && x < 0.6 ? 3.0 : x;
        return true;
    };
    std::unique_ptr<CDataset> base = std::move(d);
    ASSERT_TRUE(graph.AddDataset(base));
    const auto fixedShared = std::make_shared<CGraphOverride>();
    CGraphOverride& fixed = *fixedShared;
    fixed.m_bActive = 1;
    fixed.m_bAutoY = 0;
    fixed.m_yMin = 0.0;
    fixed.m_yMax = 1.0;
    graph.SetOverride(fixedShared);
    const CRecordingSurface s = DrawGraph(graph);
    const auto polylines = s.Calls("polyline");
    ASSERT_EQ(polylines.size(), 1u) << "one polyline, no error bands";
    // 395 intervals over 790 units; samples with y = 3 lie above the rectangle.
    const std::string& curve = polylines.front();
    EXPECT_EQ(curve.rfind("polyline 160,400 ", 0), 0u);
    EXPECT_EQ(curve.find(",-"), std::string::npos);
    EXPECT_NE(curve.find(" 476,280 634,220"), std::string::npos) << curve.substr(0, 80);
}

TEST(GraphDraw, MonochromeCurvesUseLineStyles) {
    CGraph graph;
    for (int style : {2, 6, 3, 999}) {
        auto d = std::make_unique<CTestDataset>(std::vector<double>{0.0, 1.0},
                                                std::vector<double>{0.0, 1.0},
                                                static_cast<std::uint16_t>(style));
        d->m_curve = [](double x, double& y) {
            y = x;
            return true;
        };
        std::unique_ptr<CDataset> base = std::move(d);
        ASSERT_TRUE(graph.AddDataset(base));
    }
    graph.m_bMonochrome = 1;
    CRecordingSurface s = DrawGraph(graph);
    std::vector<std::string> curvePens;
    for (size_t i = 1; i < s.m_calls.size(); ++i) {
        if (s.m_calls[i].rfind("polyline", 0) == 0) {
            curvePens.push_back(s.m_calls[i - 1]);
        }
    }
    EXPECT_EQ(curvePens, (std::vector<std::string>{"pen dash 1 #000000", "pen dash 1 #000000",
                                                   "pen dot 1 #000000", "pen dash 1 #000000"}));

    graph.m_bMonochrome = 0;
    s = DrawGraph(graph);
    curvePens.clear();
    for (size_t i = 1; i < s.m_calls.size(); ++i) {
        if (s.m_calls[i].rfind("polyline", 0) == 0) {
            curvePens.push_back(s.m_calls[i - 1]);
        }
    }
    EXPECT_EQ(curvePens, (std::vector<std::string>{"pen solid 1 #00FF00", "pen solid 1 #00FFFF",
                                                   "pen solid 1 #FF0000", "pen dash 1 #000000"}));
}

} // namespace
} // namespace doseplex
