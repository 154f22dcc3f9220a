// The experiment file: byte layout of what is written, reading of both
// generations, refusal of damaged files, the raw-data sheet, the document's
// open and save operations and the command line's use of them.
#include "core/document.h"
#include "core/document_file.h"
#include "core/encoding.h"
#include "core/message_sink.h"
#include "core/raw_sheet.h"
#include "core/text_import.h"

#include "cli/common.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <bit>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace doseplex;
using doseplex::testing_support::MakeDrug;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// --- Expected bytes, spelled out independently of the writer ---------------

struct CExpect {
    Bytes b;
    CExpect& Byte(unsigned v) {
        b.push_back(static_cast<std::uint8_t>(v));
        return *this;
    }
    CExpect& W(unsigned v) { return Byte(v & 0xFF).Byte((v >> 8) & 0xFF); }
    CExpect& L(std::uint32_t v) { return W(v & 0xFFFF).W(v >> 16); }
    CExpect& D(double v) {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        return L(static_cast<std::uint32_t>(bits)).L(static_cast<std::uint32_t>(bits >> 32));
    }
    CExpect& Raw(std::string_view bytes) {
        b.insert(b.end(), bytes.begin(), bytes.end());
        return *this;
    }
    CExpect& S(std::string_view bytes) {
        return Byte(static_cast<unsigned>(bytes.size())).Raw(bytes);
    }
    CExpect& NewClass(std::string_view name, unsigned schema = 1) {
        return W(0xFFFF).W(schema).W(static_cast<unsigned>(name.size())).Raw(name);
    }
    CExpect& Header(std::string_view title = "") {
        return S("qqcwl_xx2.0").S(title).S("").S("").S("").W(0); // no raw data sheet
    }
    CExpect& DefaultOverrides() {
        for (int i = 0; i < 6; ++i) {
            L(0).L(1).D(0.0).D(0.0).L(1).D(0.0).D(0.0);
        }
        return *this;
    }
    // Fields 8 to 33 and the selection's terminator.
    CExpect& DisplayParameters(const CDoseplexDoc& doc) {
        const CAnalysisOptions& a = doc.m_analysis;
        const CGraphOptions& g = doc.m_graph;
        W(a.m_nMonteCarlo).W(a.m_nErrorBand).W(a.m_nNonExCI).W(a.m_nDRI).W(a.m_nEffectTable);
        L(a.m_nGraphRepeats).L(a.m_nReportRepeats);
        D(a.m_dEffectEnd).D(a.m_dEffectFirst).D(a.m_dEffectLast).D(a.m_dEffectStart);
        D(a.m_dEffectStep).D(a.m_dEffect1).D(a.m_dEffect2).D(a.m_dEffect3).D(a.m_dSdMultiple);
        W(g.m_nGraphsPerRow).W(g.m_nGraphsPerPage).W(g.m_nLogPlots).W(g.m_nConservativeIso);
        W(g.m_nColourPrint).W(g.m_nNonExclusiveCI);
        W(doc.m_nDrugsPerMedianGraph).W(doc.m_nDrugsPerCIGraph);
        return W(g.m_nCILine).W(g.m_nCIPoints);
    }
};

Bytes Write(const CDoseplexDoc& doc) {
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(WriteDocument(doc, bytes, &error)) << error;
    return bytes;
}

std::unique_ptr<CDrugInfo> Combination(const std::string& name, std::vector<std::uint16_t> ids,
                                       std::vector<double> ratio, bool constant,
                                       const std::vector<std::pair<double, double>>& points) {
    auto combo = std::make_unique<CDrugInfo>();
    combo->m_strName = name;
    const auto count = static_cast<std::uint16_t>(ids.size());
    EXPECT_TRUE(combo->SetComponents(count, ids.data()));
    EXPECT_TRUE(combo->SetConstantRatio(constant ? 1 : 0));
    if (constant) { // the file holds no record ratio without a constant ratio
        EXPECT_TRUE(combo->SetRatio(count, ratio.data()));
    }
    for (std::size_t i = 0; i < points.size(); ++i) {
        std::vector<double> own = ratio;
        own[0] += static_cast<double>(i); // non-constant points carry ratios of their own
        EXPECT_TRUE(combo->AddPoint(
            combo->CreatePoint(points[i].first, points[i].second, count, own.data())));
    }
    return combo;
}

// Every stored field of two documents is equal.
void ExpectSameDocument(const CDoseplexDoc& a, const CDoseplexDoc& b) {
    EXPECT_EQ(a.m_strTitle, b.m_strTitle);
    EXPECT_EQ(a.m_strNotes, b.m_strNotes);
    EXPECT_EQ(a.m_strDate, b.m_strDate);
    EXPECT_EQ(a.m_strInvestigator, b.m_strInvestigator);
    ASSERT_EQ(a.DrugCount(), b.DrugCount());
    for (int i = 0; i < a.DrugCount(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        const CDrugInfo& x = *a.GetDrug(i);
        const CDrugInfo& y = *b.GetDrug(i);
        EXPECT_EQ(x.m_strName, y.m_strName);
        EXPECT_EQ(x.m_strUnits, y.m_strUnits);
        EXPECT_EQ(x.m_strComment, y.m_strComment);
        EXPECT_EQ(x.m_bConstantRatio, y.m_bConstantRatio);
        EXPECT_EQ(x.m_nComponents, y.m_nComponents);
        EXPECT_EQ(x.m_pComponents, y.m_pComponents);
        EXPECT_EQ(x.m_pRatio, y.m_pRatio);
        EXPECT_EQ(x.m_graphOverride, y.m_graphOverride);
        EXPECT_EQ(x.m_bFitValid, y.m_bFitValid);
        ASSERT_EQ(x.PointCount(), y.PointCount());
        for (int j = 0; j < x.PointCount(); ++j) {
            EXPECT_EQ(x.GetPoint(j)->m_nComponents, y.GetPoint(j)->m_nComponents);
            EXPECT_EQ(x.GetPoint(j)->m_fa, y.GetPoint(j)->m_fa);
            EXPECT_EQ(x.GetPoint(j)->m_dose, y.GetPoint(j)->m_dose);
            EXPECT_EQ(x.GetPoint(j)->m_pRatio, y.GetPoint(j)->m_pRatio);
        }
    }
    const auto positions = [](const CDoseplexDoc& doc) {
        std::vector<long> out;
        for (const CDrugInfo* selected : doc.m_summaryDrugs) {
            for (int i = 0; i < doc.DrugCount(); ++i) {
                if (doc.GetDrug(i) == selected) {
                    out.push_back(i);
                }
            }
        }
        return out;
    };
    EXPECT_EQ(positions(a), positions(b));
    EXPECT_EQ(a.m_analysis, b.m_analysis);
    EXPECT_EQ(a.m_graph, b.m_graph);
    EXPECT_EQ(a.m_nDrugsPerMedianGraph, b.m_nDrugsPerMedianGraph);
    EXPECT_EQ(a.m_nDrugsPerCIGraph, b.m_nDrugsPerCIGraph);
    ASSERT_EQ(a.m_pRawData == nullptr, b.m_pRawData == nullptr);
    if (a.m_pRawData) {
        EXPECT_TRUE(*a.m_pRawData == *b.m_pRawData);
    }
}

// Options unlike every default, so that a value read from the wrong place
// shows.
void SetDistinctOptions(CDoseplexDoc& doc) {
    doc.m_analysis = {2,    3,    4,    5,    6,    70000, -8,   0.11,
                      0.12, 0.13, 0.14, 0.15, 0.16, 0.17,  0.18, 1.9};
    doc.m_graph = {21, 22, 23, 24, 25, 26, 27, 28};
    doc.m_nDrugsPerMedianGraph = 6;
    doc.m_nDrugsPerCIGraph = 4;
}

// Two drugs, a constant-ratio and a non-constant-ratio combination, a raw
// data sheet, overrides, options and a selection: every kind of field.
std::unique_ptr<CDoseplexDoc> FullDocument() {
    auto doc = std::make_unique<CDoseplexDoc>();
    doc->EditDetails("Synergy µ", "Dr. Ölund", "1 Jan 2024", "line one\r\nline two €");
    doc->AddDrug(MakeDrug("A", "µM", {{1, 0.2}, {2, 0.35}, {4, 0.6}}));
    doc->AddDrug(MakeDrug("B", "µg/ml", {{2, 0.15}, {4, 0.3}, {8, 0.55}}));
    doc->AddDrug(Combination("A+B", {0, 1}, {1, 2}, true, {{3, 0.3}, {6, 0.5}, {12, 0.75}}));
    doc->AddDrug(Combination("B+A", {1, 0}, {1, 3}, false, {{1, 0.1}, {5, 0.4}}));
    doc->GetDrug(0)->m_strComment = "first";
    doc->GetDrug(1)->m_graphOverride[kGraphMedianEffect] = {1, 0, -1.5, 2.5, 0, 0.01, 0.99};
    SetDistinctOptions(*doc);
    doc->m_summaryDrugs = {doc->GetDrug(3), doc->GetDrug(0)};
    doc->m_pRawData = std::make_unique<CRawSheet>();
    doc->m_pRawData->SetText(1, 1, "Dose (µM)");
    doc->m_pRawData->SetStyle(1, 1, {CCellStyle::kBold, 120, CCellStyle::kAlignCentre});
    doc->m_pRawData->SetText(1000, 50, "last");
    doc->m_pRawData->SetText(2, 1, "0.5");
    return doc;
}

class DocumentFileTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_temp.Path().empty());
        m_dir = m_temp.Path();
    }

    // Reads into a new document; false and the reason on failure.
    bool Read(const Bytes& bytes, CDoseplexDoc& doc) {
        m_error.clear();
        return ReadDocument(bytes, doc, &m_error);
    }

    std::string Put(const std::string& name, const Bytes& bytes) const {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
        return path.string();
    }

    static Bytes Get(const std::string& path) {
        const std::string content = testing_support::ReadFile(path);
        return {content.begin(), content.end()};
    }

    std::vector<std::string>& Messages() { return m_sink.m_messages; }

    CCollectingMessageSink m_sink;
    CScopedMessageSink m_scope{m_sink};
    testing_support::CTempDir m_temp{"doseplex-file"};
    fs::path m_dir;
    std::string m_error;
};

// --- Layout of what is written ---------------------------------------------

TEST_F(DocumentFileTest, EmptyExperiment) {
    const CDoseplexDoc doc;
    CExpect expected;
    expected.Header().W(0).DisplayParameters(doc).W(0xFFFF);
    ASSERT_EQ(expected.b.size(), 12u + 4 + 2 + 2 + 110 + 2);
    EXPECT_EQ(Write(doc), expected.b);

    CDoseplexDoc back;
    ASSERT_TRUE(Read(expected.b, back)) << m_error;
    ExpectSameDocument(doc, back);
    EXPECT_TRUE(Messages().empty());
}

// Fields 30 and 31 (the summary counts) sit between NonExclusiveCI and
// CILine; the selection is written as positions.
TEST_F(DocumentFileTest, DisplayParametersAndSelection) {
    CDoseplexDoc doc;
    doc.AddDrug(MakeDrug("A", "", {}));
    doc.AddDrug(MakeDrug("B", "", {}));
    doc.AddDrug(MakeDrug("C", "", {}));
    SetDistinctOptions(doc);
    doc.m_summaryDrugs = {doc.GetDrug(2), doc.GetDrug(0)};
    const Bytes bytes = Write(doc);

    CExpect tail;
    tail.DisplayParameters(doc).W(2).W(0).W(0xFFFF);
    ASSERT_GE(bytes.size(), tail.b.size());
    EXPECT_TRUE(std::equal(tail.b.begin(), tail.b.end(), bytes.end() - 116));

    CDoseplexDoc back;
    ASSERT_TRUE(Read(bytes, back)) << m_error;
    ExpectSameDocument(doc, back);
}

TEST_F(DocumentFileTest, SingleDrugWithOnePoint) {
    CDoseplexDoc doc;
    doc.AddDrug(MakeDrug("A", "µM", {{2.5, 0.4}}));
    CExpect expected;
    expected.Header().W(1);
    expected.NewClass("CDrugInfo").S("A").S("\xB5M").S("").W(1).W(1).DefaultOverrides();
    expected.W(1).NewClass("CDoseData").W(1).D(0.4).D(2.5);
    expected.DisplayParameters(doc).W(0xFFFF);
    EXPECT_EQ(Write(doc), expected.b);
}

// Later records and points name their class by number: the first record
// took number 2, so "CDoseData" is class 3.
TEST_F(DocumentFileTest, LaterObjectsUseClassNumbers) {
    CDoseplexDoc doc;
    doc.AddDrug(MakeDrug("A", "", {{1, 0.2}, {2, 0.4}}));
    doc.AddDrug(MakeDrug("B", "", {{3, 0.5}}));
    CExpect expected;
    expected.Header().W(2);
    expected.NewClass("CDrugInfo").S("A").S("").S("").W(1).W(1).DefaultOverrides().W(2);
    expected.NewClass("CDoseData").W(1).D(0.2).D(1.0);
    expected.W(0x8003).W(1).D(0.4).D(2.0);
    expected.W(0x8001).S("B").S("").S("").W(1).W(1).DefaultOverrides().W(1);
    expected.W(0x8003).W(1).D(0.5).D(3.0);
    expected.DisplayParameters(doc).W(0xFFFF);
    EXPECT_EQ(Write(doc), expected.b);
}

// A constant-ratio combination stores its ids and its ratio; a non-constant
// one only its ids, and each point its own ratio.
TEST_F(DocumentFileTest, CombinationRecords) {
    CDoseplexDoc doc;
    doc.AddDrug(MakeDrug("A", "", {}));
    doc.AddDrug(MakeDrug("B", "", {}));
    doc.AddDrug(Combination("C", {1, 0}, {1, 3}, true, {{2, 0.5}}));
    doc.AddDrug(Combination("N", {0, 1}, {2, 1}, false, {{4, 0.6}}));
    CExpect expected;
    expected.Header().W(4);
    expected.NewClass("CDrugInfo").S("A").S("").S("").W(1).W(1).DefaultOverrides().W(0);
    expected.W(0x8001).S("B").S("").S("").W(1).W(1).DefaultOverrides().W(0);
    expected.W(0x8001).S("C").S("").S("").W(1).W(2).W(1).W(0).D(1).D(3).DefaultOverrides();
    expected.W(1).NewClass("CDoseData").W(2).D(0.5).D(2.0).D(1).D(3);
    expected.W(0x8001).S("N").S("").S("").W(0).W(2).W(0).W(1).DefaultOverrides();
    expected.W(1).W(0x8005).W(2).D(0.6).D(4.0).D(2).D(1);
    expected.DisplayParameters(doc).W(0xFFFF);
    EXPECT_EQ(Write(doc), expected.b);
}

TEST_F(DocumentFileTest, LongTitleUsesWordLength) {
    CDoseplexDoc doc;
    doc.m_strTitle = std::string(255, 'T');
    const Bytes bytes = Write(doc);
    EXPECT_EQ((Bytes{bytes[12], bytes[13], bytes[14], bytes[15]}), (Bytes{0xFF, 0xFF, 0x00, 'T'}));
    CDoseplexDoc back;
    ASSERT_TRUE(Read(bytes, back)) << m_error;
    EXPECT_EQ(back.m_strTitle, doc.m_strTitle);
}

// --- Round trips ----------------------------------------------------------

TEST_F(DocumentFileTest, EveryFieldRoundTrips) {
    const auto doc = FullDocument();
    // Flags keep whatever 16-bit value the file holds.
    doc->GetDrug(2)->m_bConstantRatio = 0xFFFF;
    const Bytes bytes = Write(*doc);
    CDoseplexDoc back;
    ASSERT_TRUE(Read(bytes, back)) << m_error;
    ExpectSameDocument(*doc, back);
    EXPECT_EQ(Write(back), bytes);
    EXPECT_EQ(back.GetDrug(1)->m_strUnits, "µg/ml");
    EXPECT_EQ(back.m_pRawData->GetText(1, 1), "Dose (µM)");
    EXPECT_TRUE(back.m_pRawData->GetStyle(1, 1).IsBold());
    EXPECT_EQ(back.GetDrug(0)->m_bFitValid, 1); // refitted on reading
    EXPECT_TRUE(Messages().empty());

    // A set flag whose low 16 bits are 0 is stored as 1, so that the ratio
    // it announces is read back.
    doc->GetDrug(2)->m_bConstantRatio = 0x10000;
    CDoseplexDoc wide;
    ASSERT_TRUE(Read(Write(*doc), wide)) << m_error;
    EXPECT_EQ(wide.GetDrug(2)->m_bConstantRatio, 1);
    EXPECT_EQ(wide.GetDrug(2)->m_pRatio, doc->GetDrug(2)->m_pRatio);
}

std::string RandomText(std::mt19937& rng) {
    static const char* const pieces[] = {"a", "Z", "0", " ",  "\t",   "\r\n",        "µ",
                                         "é", "€", "ÿ", "Ã©", "日本", "\xE2\x80\x9C"};
    std::uniform_int_distribution<int> length(0, 8);
    std::uniform_int_distribution<std::size_t> piece(0, std::size(pieces) - 1);
    std::string text;
    const int n = rng() % 20 == 0 ? 300 : length(rng);
    for (int i = 0; i < n; ++i) {
        text += pieces[piece(rng)];
    }
    return text;
}

std::unique_ptr<CDoseplexDoc> RandomDocument(std::mt19937& rng) {
    auto doc = std::make_unique<CDoseplexDoc>();
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto real = [&rng] { return std::uniform_real_distribution<double>(-2.0, 50.0)(rng); };
    doc->EditDetails(RandomText(rng), RandomText(rng), RandomText(rng), RandomText(rng));
    const int drugs = pick(0, 8);
    for (int i = 0; i < drugs; ++i) {
        auto record = std::make_unique<CDrugInfo>();
        record->m_strName = RandomText(rng);
        record->m_strUnits = RandomText(rng);
        record->m_strComment = RandomText(rng);
        const auto count = static_cast<std::uint16_t>(i == 0 ? 1 : pick(1, 6));
        record->m_nComponents = count;
        record->m_bConstantRatio = pick(0, 3) == 0 ? pick(0, 0xFFFF) : 1;
        if (count >= 2) {
            for (int k = 0; k < count; ++k) {
                record->m_pComponents.push_back(static_cast<std::uint16_t>(pick(0, drugs - 1)));
            }
            if (record->m_bConstantRatio != 0) {
                for (int k = 0; k < count; ++k) {
                    record->m_pRatio.push_back(real());
                }
            }
        }
        for (CGraphOverride& graph : record->m_graphOverride) {
            graph = {pick(-1, 1), pick(0, 1), real(), real(), pick(0, 1), real(), real()};
        }
        const int points = pick(0, 6);
        for (int j = 0; j < points; ++j) {
            auto point = std::make_unique<CDoseData>();
            point->m_nComponents = count;
            point->m_fa = std::uniform_real_distribution<double>(-0.1, 1.1)(rng);
            point->m_dose = real();
            for (int k = 0; count >= 2 && k < count; ++k) {
                point->m_pRatio.push_back(real());
            }
            record->m_points.push_back(std::move(point));
        }
        std::stable_sort(record->m_points.begin(), record->m_points.end(),
                         [](const auto& a, const auto& b) { return a->m_dose < b->m_dose; });
        record->Fit();
        doc->AddDrug(std::move(record));
    }
    doc->m_analysis = {pick(0, 0xFFFF), pick(0, 1),      pick(0, 1), pick(0, 1),
                       pick(0, 1),      pick(-5, 40000), pick(0, 9), real(),
                       real(),          real(),          real(),     real(),
                       real(),          real(),          real(),     real()};
    doc->m_graph = {pick(0, 9), pick(0, 9), pick(0, 1), pick(0, 1),
                    pick(0, 1), pick(0, 1), pick(0, 1), pick(0, 1)};
    doc->m_nDrugsPerMedianGraph = pick(1, 6);
    doc->m_nDrugsPerCIGraph = pick(1, 4);
    for (int i = 0; drugs > 0 && i < pick(0, 4); ++i) {
        CDrugInfo* selected = doc->GetDrug(pick(0, drugs - 1));
        if (std::find(doc->m_summaryDrugs.begin(), doc->m_summaryDrugs.end(), selected) ==
            doc->m_summaryDrugs.end()) {
            doc->m_summaryDrugs.push_back(selected); // a drug is selected once
        }
    }
    if (pick(0, 2) > 0) {
        doc->m_pRawData = std::make_unique<CRawSheet>();
        for (int i = pick(0, 30); i > 0; --i) {
            CRawCell cell{RandomText(rng),
                          {static_cast<std::uint16_t>(pick(0, 7)),
                           static_cast<std::uint16_t>(pick(0, 200)),
                           static_cast<std::uint16_t>(pick(0, 3))}};
            doc->m_pRawData->SetCell(pick(1, 1000), pick(1, 50), std::move(cell));
        }
    }
    return doc;
}

TEST_F(DocumentFileTest, RandomDocumentsRoundTrip) {
    std::mt19937 rng(20240611);
    for (int n = 0; n < 200; ++n) {
        SCOPED_TRACE("document " + std::to_string(n));
        const auto doc = RandomDocument(rng);
        const Bytes bytes = Write(*doc);
        CDoseplexDoc back;
        ASSERT_TRUE(Read(bytes, back)) << m_error;
        ExpectSameDocument(*doc, back);
        ASSERT_EQ(Write(back), bytes);
    }
}

// Windows-1252 on disk where it fits, UTF-8 where it does not or where the
// 1252 bytes would read back as other text.
TEST_F(DocumentFileTest, TextEncodings) {
    struct Case {
        const char* text;
        const char* stored;
    };
    const Case cases[] = {
        {"µM", "\xB5M"}, {"µg/ml", "\xB5g/ml"}, {"€ 5", "\x80 5"}, {"日本", "日本"}, {"Ã©", "Ã©"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CDoseplexDoc doc;
        doc.m_strTitle = c.text;
        const Bytes bytes = Write(doc);
        const std::string stored(bytes.begin() + 13, bytes.begin() + 13 + bytes[12]);
        EXPECT_EQ(stored, c.stored);
        CDoseplexDoc back;
        ASSERT_TRUE(Read(bytes, back)) << m_error;
        EXPECT_EQ(back.m_strTitle, c.text);
    }
    // A stored text that is valid UTF-8 reads as UTF-8.
    CExpect utf8;
    utf8.S("qqcwl_xx2.0").S("\xC2\xB5M").S("").S("").S("").W(0).W(0);
    CDoseplexDoc back;
    ASSERT_TRUE(Read(utf8.b, back)) << m_error;
    EXPECT_EQ(back.m_strTitle, "µM");
}

// --- Reading ------------------------------------------------------------------

// A file that ends after the drug list opens with the display-parameters
// message; options not in the file keep the values the document had.
TEST_F(DocumentFileTest, ShortDisplayParametersKeepWhatWasRead) {
    const auto full = FullDocument();
    const Bytes bytes = Write(*full);
    const std::size_t listEnd = bytes.size() - 110 - 6;
    struct Case {
        std::size_t keep; // bytes of the display parameters kept
        bool monteCarloRead;
        bool effectStartRead;
    };
    for (const Case c : {Case{0, false, false}, Case{2, true, false}, Case{49, true, false},
                         Case{50, true, true}, Case{112, true, true}}) {
        SCOPED_TRACE(c.keep);
        Messages().clear();
        const Bytes cut(bytes.begin(), bytes.begin() + static_cast<long>(listEnd + c.keep));
        CDoseplexDoc doc;
        ASSERT_TRUE(Read(cut, doc)) << m_error;
        EXPECT_EQ(Messages(), std::vector<std::string>{kDisplayParametersMessage});
        EXPECT_EQ(doc.DrugCount(), 4);
        const CDoseplexDoc defaults;
        EXPECT_EQ(doc.m_analysis.m_nMonteCarlo,
                  (c.monteCarloRead ? *full : defaults).m_analysis.m_nMonteCarlo);
        EXPECT_EQ(doc.m_analysis.m_dEffectStart,
                  (c.effectStartRead ? *full : defaults).m_analysis.m_dEffectStart);
        EXPECT_EQ(doc.m_graph.m_nCIPoints, c.keep == 112 ? 28 : 1);
        EXPECT_EQ(doc.m_summaryDrugs.size(), c.keep == 112 ? 1u : 0u);
    }
}

TEST_F(DocumentFileTest, Version1File) {
    CExpect v1;
    v1.S("Old title").S("notes").S("date").S("who");
    v1.W(2);
    v1.NewClass("CDrugInfo", 0).S("A").S("\xB5M").S("").W(1).W(1).W(2);
    v1.NewClass("CDoseData", 0).W(1).D(0.2).D(1.0);
    v1.W(0x8003).W(1).D(0.6).D(4.0);
    v1.W(0x8001).S("A+A").S("").S("").W(1).W(2).W(0).W(0).D(1).D(1).W(0);
    CDoseplexDoc options;
    SetDistinctOptions(options);
    v1.DisplayParameters(options).W(1).W(0xFFFF);

    CDoseplexDoc doc;
    ASSERT_TRUE(Read(v1.b, doc)) << m_error;
    EXPECT_EQ(Messages(), std::vector<std::string>{kVersion1Warning});
    EXPECT_EQ(doc.m_strTitle, "Old title");
    EXPECT_EQ(doc.m_strInvestigator, "who");
    EXPECT_EQ(doc.m_pRawData, nullptr);
    ASSERT_EQ(doc.DrugCount(), 2);
    EXPECT_EQ(doc.GetDrug(0)->m_strUnits, "µM");
    EXPECT_EQ(doc.GetDrug(0)->PointCount(), 2);
    EXPECT_EQ(doc.GetDrug(0)->m_bFitValid, 1);
    EXPECT_EQ(doc.GetDrug(0)->m_graphOverride, CDrugInfo().m_graphOverride);
    EXPECT_EQ(doc.GetDrug(1)->m_pRatio, (std::vector<double>{1, 1}));
    EXPECT_EQ(doc.m_analysis, options.m_analysis);
    EXPECT_EQ(doc.m_summaryDrugs, std::vector<CDrugInfo*>{doc.GetDrug(1)});

    // Saved again it is a current file holding the same experiment.
    const Bytes current = Write(doc);
    EXPECT_TRUE(HasDocumentMarker(current));
    CDoseplexDoc back;
    ASSERT_TRUE(Read(current, back)) << m_error;
    ExpectSameDocument(doc, back);
}

// Points stored out of dose order come back in order (equal doses in file
// order); positions outside the list in the selection are skipped, and a
// position stored again selects nothing more.
TEST_F(DocumentFileTest, LenientReading) {
    CExpect file;
    file.Header().W(1);
    file.NewClass("CDrugInfo").S("A").S("").S("").W(1).W(1).DefaultOverrides().W(3);
    file.NewClass("CDoseData").W(1).D(0.5).D(4.0);
    file.W(0x8003).W(1).D(0.1).D(1.0);
    file.W(0x8003).W(1).D(0.6).D(4.0);
    file.DisplayParameters(CDoseplexDoc()).W(7).W(0).W(0xFFFE).W(0).W(0xFFFF);
    CDoseplexDoc doc;
    ASSERT_TRUE(Read(file.b, doc)) << m_error;
    const CDrugInfo& drug = *doc.GetDrug(0);
    EXPECT_EQ(drug.PointDose(0), 1.0);
    EXPECT_EQ(drug.PointEffect(1), 0.5);
    EXPECT_EQ(drug.PointEffect(2), 0.6);
    EXPECT_EQ(doc.m_summaryDrugs, std::vector<CDrugInfo*>{doc.GetDrug(0)});
    EXPECT_TRUE(Messages().empty());
}

// Cut anywhere before the display parameters, a file is refused; cut inside
// them, it opens with the message.
TEST_F(DocumentFileTest, EveryTruncationIsHandled) {
    const Bytes bytes = Write(*FullDocument());
    const std::size_t listEnd = bytes.size() - 110 - 6;
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        const Bytes cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
        CDoseplexDoc doc;
        Messages().clear();
        EXPECT_EQ(Read(cut, doc), n >= listEnd) << "cut at " << n;
        if (n >= listEnd) {
            EXPECT_EQ(Messages().back(), kDisplayParametersMessage) << "cut at " << n;
        }
    }
}

// Patches of a valid file that must be refused.
TEST_F(DocumentFileTest, DamagedFilesAreRefused) {
    const auto record = [](CExpect& e, std::string_view tag, unsigned components) -> CExpect& {
        if (tag.empty()) {
            e.NewClass("CDrugInfo");
        } else {
            e.Raw(tag);
        }
        return e.S("X").S("").S("").W(1).W(components);
    };
    const auto header = [] { return CExpect().Header(); };
    struct Case {
        const char* what;
        Bytes bytes;
        const char* reason; // part of the reason given
    };
    std::vector<Case> cases;
    cases.push_back({"empty file", {}, "end of data"});
    cases.push_back(
        {"huge title", CExpect().S("qqcwl_xx2.0").Byte(0xFF).W(0xFFFF).L(0xFFFFFFF0).b, "end"});
    cases.push_back({"huge drug count", header().W(0xFFFF).L(0x7FFFFFFF).b, "count"});
    {
        CExpect e = header().W(1);
        record(e, "", 1).DefaultOverrides().W(0xFFFF).L(0x10000000);
        cases.push_back({"huge point count", e.b, "count"});
    }
    {
        CExpect e = header().W(1).NewClass("CEvil").S("X");
        cases.push_back({"unknown class", e.b, "unknown class"});
    }
    {
        CExpect e = CExpect().S("qqcwl_xx2.0").S("").S("").S("").S("").NewClass("CDrugInfo");
        cases.push_back({"record in place of the sheet", e.b, "raw data sheet"});
    }
    {
        CExpect e = CExpect().S("qqcwl_xx2.0").S("").S("").S("").S("");
        e.NewClass("CGXGridParam", 2).W(1).L(0).W(0);
        cases.push_back({"sheet of schema 2", e.b, "schema 2"});
    }
    {
        CExpect e = header().W(1).NewClass("CGXGridParam").W(1).L(0);
        cases.push_back({"sheet in the drug list", e.b, "CGXGridParam where CDrugInfo"});
    }
    {
        CExpect e = header().W(1).W(0).DisplayParameters(CDoseplexDoc()).W(0xFFFF);
        cases.push_back({"null record", e.b, "missing CDrugInfo"});
    }
    for (const unsigned components : {0u, 21u, 0xFFFFu}) {
        CExpect e = header().W(1);
        record(e, "", components);
        cases.push_back({"component count", e.b, "components"});
    }
    {
        CExpect e = header().W(1);
        record(e, "", 2).W(0).W(1).D(1).D(1).DefaultOverrides().W(0);
        e.DisplayParameters(CDoseplexDoc()).W(0xFFFF);
        cases.push_back({"component id outside the list", e.b, "drug id 1"});
    }
    {
        CExpect e = header().W(1);
        record(e, "", 1).DefaultOverrides().W(1).NewClass("CDoseData").W(2).D(0.5).D(1).D(1).D(1);
        cases.push_back({"point of another count", e.b, "point with 2 components"});
    }
    {
        CExpect e = header().W(2);
        record(e, "", 1).DefaultOverrides().W(0);
        e.W(0x0002); // the first record again
        cases.push_back({"record stored twice", e.b, "stored twice"});
    }
    {
        CExpect e = header().W(1);
        record(e, "", 1).DefaultOverrides().W(1).NewClass("CDrugInfo").S("X").S("").S("");
        e.W(1).W(1).DefaultOverrides().W(0);
        cases.push_back({"record in place of a point", e.b, "CDrugInfo where CDoseData"});
    }
    const auto sheet = [](std::uint32_t length, const Bytes& content) {
        CExpect e = CExpect().S("qqcwl_xx2.0").S("").S("").S("").S("");
        e.NewClass("CGXGridParam").W(1).L(length);
        e.b.insert(e.b.end(), content.begin(), content.end());
        return e.W(0).DisplayParameters(CDoseplexDoc()).W(0xFFFF).b;
    };
    cases.push_back({"sheet longer than the file", sheet(0x1000, {}), "end of data"});
    cases.push_back({"sheet of layout 0",
                     [&] {
                         Bytes b = sheet(0, {});
                         b[16 + 6 + 12] = 0; // the version WORD
                         return b;
                     }(),
                     "layout 0"});
    cases.push_back({"cell outside the sheet",
                     sheet(11, CExpect().L(1).W(1001).W(1).S("x").Byte(0).b), "outside the sheet"});
    cases.push_back({"cells out of order",
                     sheet(18, CExpect().L(2).W(2).W(1).S("x").Byte(0).W(1).W(1).S("y").Byte(0).b),
                     "out of order"});
    cases.push_back({"cell count past the sheet", sheet(4, CExpect().L(1).b), "cell count"});
    cases.push_back({"style block past the sheet",
                     sheet(11, CExpect().L(1).W(1).W(1).S("x").Byte(8).b), "end of data"});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CDoseplexDoc doc;
        EXPECT_FALSE(Read(c.bytes, doc));
        EXPECT_NE(m_error.find(c.reason), std::string::npos) << m_error;
    }
}

// --- The raw-data sheet ------------------------------------------------------

TEST(RawSheetTest, CellsAndExtent) {
    CRawSheet sheet;
    EXPECT_TRUE(sheet.IsEmpty());
    EXPECT_EQ(sheet.UsedRows(), 0);
    EXPECT_FALSE(sheet.SetText(0, 1, "x"));
    EXPECT_FALSE(sheet.SetText(1, 51, "x"));
    EXPECT_FALSE(sheet.SetText(1001, 1, "x"));
    EXPECT_TRUE(sheet.SetText(7, 3, "a"));
    EXPECT_TRUE(sheet.SetStyle(2, 9, {CCellStyle::kItalic, 0, 0}));
    EXPECT_EQ(sheet.UsedRows(), 7);
    EXPECT_EQ(sheet.UsedColumns(), 9);
    EXPECT_EQ(sheet.GetText(2, 9), "");
    EXPECT_EQ(sheet.GetStyle(2, 9).m_nFlags, CCellStyle::kItalic);
    // A cell left with neither text nor style takes no room.
    EXPECT_TRUE(sheet.SetStyle(2, 9, {}));
    EXPECT_TRUE(sheet.SetText(7, 3, ""));
    EXPECT_EQ(sheet.CellCount(), 0u);
    EXPECT_TRUE(sheet.IsEmpty());
}

// The stored sheet starts with its layout version and length, so that a
// reader can step over it; style blocks longer than known are stepped over
// too, and a later layout is kept as it was read.
TEST_F(DocumentFileTest, SheetLayoutAndLaterVersions) {
    CDoseplexDoc doc;
    doc.m_pRawData = std::make_unique<CRawSheet>();
    doc.m_pRawData->SetText(3, 2, "x");
    const Bytes bytes = Write(doc);
    CExpect sheet;
    sheet.S("qqcwl_xx2.0").S("").S("").S("").S("").NewClass("CGXGridParam");
    sheet.W(1).L(17).L(1).W(3).W(2).S("x").Byte(6).W(0).W(0).W(0).W(0);
    EXPECT_TRUE(std::equal(sheet.b.begin(), sheet.b.end(), bytes.begin()));

    CExpect longer;
    longer.S("qqcwl_xx2.0").S("").S("").S("").S("").NewClass("CGXGridParam");
    longer.W(1).L(23).L(1).W(3).W(2).S("x").Byte(9).W(1).W(100).W(3).Raw("abc").Raw("tai");
    longer.W(0).DisplayParameters(CDoseplexDoc()).W(0xFFFF);
    CDoseplexDoc read;
    ASSERT_TRUE(Read(longer.b, read)) << m_error;
    EXPECT_EQ(read.m_pRawData->GetStyle(3, 2), (CCellStyle{1, 100, 3}));

    CExpect later;
    later.S("qqcwl_xx2.0").S("").S("").S("").S("").NewClass("CGXGridParam");
    later.W(9).L(5).Raw("?????").W(0).DisplayParameters(CDoseplexDoc()).W(0xFFFF);
    CDoseplexDoc future;
    ASSERT_TRUE(Read(later.b, future)) << m_error;
    ASSERT_NE(future.m_pRawData, nullptr);
    EXPECT_TRUE(future.m_pRawData->HasForeignContent());
    EXPECT_EQ(Write(future), later.b);
    future.m_pRawData->SetText(1, 1, "mine"); // an edit starts a sheet of this layout
    EXPECT_FALSE(future.m_pRawData->HasForeignContent());
    EXPECT_EQ(future.m_pRawData->CellCount(), 1u);
}

// --- Document operations -----------------------------------------------------

TEST_F(DocumentFileTest, OpenReplacesTheExperiment) {
    const std::string path = Put("odd\\name.dpx", Write(*FullDocument()));
    CDoseplexDoc doc;
    int notified = 0;
    doc.m_onContentsChanged = [&notified] { ++notified; };
    doc.m_pRawData = std::make_unique<CRawSheet>();
    doc.m_pRawData->SetText(5, 5, "old sheet");
    doc.SetModifiedFlag(true);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.m_strPathName, path);
    EXPECT_EQ(doc.m_strDocumentTitle, "name.dpx"); // after the last '/' or '\'
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(doc.m_pRawData->GetText(5, 5), "");
    ExpectSameDocument(*FullDocument(), doc);
    EXPECT_TRUE(Messages().empty());
}

// A failed open reports and leaves the experiment exactly as it was.
TEST_F(DocumentFileTest, FailedOpenKeepsTheExperiment) {
    Bytes damaged = Write(*FullDocument());
    damaged.resize(damaged.size() / 2);
    const std::string damagedPath = Put("damaged.dpx", damaged);
    for (const std::string& path :
         {damagedPath, (m_dir / "missing.dpx").string(), m_dir.string()}) {
        SCOPED_TRACE(path);
        const auto doc = FullDocument();
        doc->m_strPathName = "before.dpx";
        doc->SetModifiedFlag(true);
        int notified = 0;
        doc->m_onContentsChanged = [&notified] { ++notified; };
        Messages().clear();
        EXPECT_FALSE(doc->OnOpenDocument(path));
        ASSERT_EQ(Messages().size(), 1u);
        EXPECT_NE(Messages()[0].find("Unable to open \"" + path + "\""), std::string::npos);
        ExpectSameDocument(*FullDocument(), *doc);
        EXPECT_EQ(doc->m_strPathName, "before.dpx");
        EXPECT_TRUE(doc->IsModified());
        EXPECT_EQ(notified, 0);
    }
    EXPECT_NE(Messages()[0].find("folder"), std::string::npos);
    CDoseplexDoc doc;
    EXPECT_FALSE(doc.OnOpenDocument(damagedPath));
    EXPECT_NE(Messages().back().find("damaged or is not a DosePlex experiment"), std::string::npos);
}

TEST_F(DocumentFileTest, SaveReplacesTheFileWhole) {
    const std::string path = Put("exp.dpx", {'o', 'l', 'd'});
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    const auto doc = FullDocument();
    doc->SetModifiedFlag(true);
    ASSERT_TRUE(doc->OnSaveDocument(path));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->m_strDocumentTitle, "exp.dpx");
    EXPECT_EQ(Get(path), Write(*doc));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

// Whatever goes wrong, the old file stays as it was and nothing is left
// behind: no folder, a write that fails half-way, an unwritable document.
TEST_F(DocumentFileTest, FailedSaveKeepsTheOldFile) {
    const Bytes old = {'o', 'l', 'd'};
    const std::string path = Put("exp.dpx", old);
    const std::string plain = Put("plain.txt", old);

    const auto doc = FullDocument();
    doc->SetModifiedFlag(true);
    doc->m_pRawData->SetText(500, 1, std::string(100000, 'x'));
    EXPECT_FALSE(doc->OnSaveDocument(plain + "/exp.dpx"));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("Unable to save"), std::string::npos);

    // The file system refuses more than 4096 bytes per file.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool savedOk = doc->OnSaveDocument(path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(savedOk);
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_NE(Messages()[1].find("too large"), std::string::npos) << Messages()[1];

    doc->GetDrug(0)->m_nComponents = 0; // a record no reader would accept
    EXPECT_FALSE(doc->OnSaveDocument(path));
    ASSERT_EQ(Messages().size(), 3u);
    EXPECT_NE(Messages()[2].find("record 1 has 0 components"), std::string::npos);

    EXPECT_EQ(Get(path), old);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2);
}

TEST_F(DocumentFileTest, NewAndCloseDocument) {
    CDoseplexDoc doc;
    int notified = 0;
    doc.m_onContentsChanged = [&notified] { ++notified; };
    doc.m_pRawData = std::make_unique<CRawSheet>();
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.m_pRawData, nullptr);
    EXPECT_TRUE(doc.IsModified());
    doc.OnCloseDocument();
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(notified, 2);
}

// --- Stored files ----------------------------------------------------------------

// The fuzzing seeds and any file under tests/data (where inputs that once
// broke the reader are kept) open, or are refused when their name says
// "damaged", and what opens saves and reads back unchanged.
TEST_F(DocumentFileTest, StoredFiles) {
    const fs::path root(DOSEPLEX_SOURCE_DIR);
    int seen = 0;
    for (const fs::path& folder :
         {root / "tests" / "fuzz" / "corpus" / "dpx", root / "tests" / "data"}) {
        if (!fs::is_directory(folder)) {
            continue;
        }
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() != ".dpx") {
                continue;
            }
            const std::string name = entry.path().filename().string();
            SCOPED_TRACE(name);
            ++seen;
            CDoseplexDoc doc;
            const bool opens = name.find("damaged") == std::string::npos;
            ASSERT_EQ(doc.OnOpenDocument(entry.path().string()), opens);
            if (opens) {
                const Bytes again = Write(doc);
                CDoseplexDoc back;
                ASSERT_TRUE(Read(again, back)) << m_error;
                EXPECT_EQ(Write(back), again);
            }
        }
    }
    EXPECT_GE(seen, 5);
}

// --- The command line --------------------------------------------------------

TEST_F(DocumentFileTest, AnalyseReadsExperimentsByContent) {
    const auto full = FullDocument();
    const Bytes bytes = Write(*full);
    cli::CCommonArgs common;
    common.input = Put("exp.dpx", bytes);
    common.overrides.push_back({FindOption("GraphRepeats"), 7});
    // The stored repeat counts are beyond the dialog's range; the command
    // checks them separately.
    CDoseplexDoc doc;
    ASSERT_EQ(cli::LoadInput(common, doc, false), cli::kExitOk);
    EXPECT_EQ(doc.DrugCount(), 4);
    EXPECT_EQ(doc.m_analysis.m_dEffect2, full->m_analysis.m_dEffect2); // stored options
    EXPECT_EQ(doc.m_analysis.m_nGraphRepeats, 7);                      // overridden

    // Without the extension: the marker, or a parse as a file of the previous
    // generation, tells an experiment from a text file.
    common.input = Put("current.bin", bytes);
    CDoseplexDoc byMarker;
    ASSERT_EQ(cli::LoadInput(common, byMarker, false), cli::kExitOk);
    EXPECT_EQ(byMarker.DrugCount(), 4);

    CExpect v1;
    v1.S("v1 title").S("").S("").S("").W(0).DisplayParameters(CDoseplexDoc()).W(0xFFFF);
    common.input = Put("old.dat", v1.b);
    CDoseplexDoc old;
    ASSERT_EQ(cli::LoadInput(common, old, false), cli::kExitOk);
    EXPECT_EQ(old.m_strTitle, "v1 title");
    EXPECT_EQ(Messages(), std::vector<std::string>{kVersion1Warning});

    common.input = std::string(DOSEPLEX_SOURCE_DIR) + "/examples/two-drug.txt";
    CDoseplexDoc text;
    ASSERT_EQ(cli::LoadInput(common, text, false), cli::kExitOk);
    EXPECT_EQ(text.DrugCount(), 3);

    Bytes damaged = bytes;
    damaged.resize(40);
    common.input = Put("damaged.dpx", damaged);
    CDoseplexDoc refused;
    EXPECT_EQ(cli::LoadInput(common, refused, false), cli::kExitInput);
}

// convert runs as a user runs it: exit codes, stderr and the file it writes.
TEST_F(DocumentFileTest, ConvertCommand) {
    const auto run = [this](const std::vector<std::string>& args, std::string* err = nullptr) {
        std::vector<std::string> command{"convert"};
        command.insert(command.end(), args.begin(), args.end());
        const testing_support::CCliRun result =
            testing_support::RunCli(command, testing_support::CCliOptions(m_dir));
        if (err) {
            *err = result.err;
        }
        return result.exitCode;
    };
    // An empty settings file: the option defaults do not depend on the user.
    const std::string example = std::string(DOSEPLEX_SOURCE_DIR) + "/examples/two-drug.txt";
    const std::string out = (m_dir / "out.dpx").string();
    ASSERT_EQ(run({example, "-o", out, "--settings", Put("empty.ini", {})}), 0);
    CDoseplexDoc imported;
    CImportError error;
    ASSERT_TRUE(ImportTextFile(example, imported, error));
    CDoseplexDoc converted;
    ASSERT_TRUE(Read(Get(out), converted)) << m_error;
    ExpectSameDocument(imported, converted);

    // A file of the previous generation: the warning, then the current layout.
    CExpect v1;
    v1.S("v1").S("").S("").S("").W(0).DisplayParameters(CDoseplexDoc()).W(0xFFFF);
    const std::string old = Put("old.dpx", v1.b);
    std::string err;
    ASSERT_EQ(run({old, "-o", out}, &err), 0);
    EXPECT_NE(err.find(kVersion1Warning), std::string::npos) << err;
    EXPECT_TRUE(HasDocumentMarker(Get(out)));

    const Bytes before = Get(out);
    EXPECT_EQ(run({Put("bad.dpx", {3, 'a'}), "-o", out}, &err), 1);
    EXPECT_NE(err.find("damaged"), std::string::npos) << err;
    EXPECT_EQ(run({old, "-o", old + "/sub.dpx"}, &err), 1);
    EXPECT_NE(err.find("Unable to save"), std::string::npos) << err;
    EXPECT_EQ(Get(out), before);
    EXPECT_EQ(run({old}), 2);
    EXPECT_EQ(run({"-o", out}), 2);
}

} // namespace
