// Tests of the "[start]" text importer: errors and their messages, the records
// it builds, and the layouts and encodings it must accept.
#include "core/document.h"
#include "core/file_io.h"
#include "core/message_sink.h"
#include "core/text_import.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace doseplex;

// One set of two drugs with three doses each, in the usual layout.
const std::string kTwoDrugSet = "Exp1\t2\t3\tuM\t1\t2\n"
                                "DrugA\t1\t2\t4\n"
                                "0.2\t0.35\t0.6\n"
                                "DrugB\t2\t4\t8\n"
                                "0.15\t0.3\t0.55\n"
                                "Mix\t3\t6\t12\n"
                                "0.3\t0.5\t0.75\n";

std::string File(const std::string& sets, const std::string& setCount = "1") {
    return "[start]\t" + setCount + "\n" + sets;
}

// `text` with its first `from` replaced by `to`; the pattern must occur.
std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) {
        text.replace(at, from.size(), to);
    }
    return text;
}

struct CImportResult {
    bool ok = false;
    CImportError error;
    std::vector<std::string> messages;
};

CImportResult Import(const std::string& text, CDoseplexDoc& doc) {
    CCollectingMessageSink sink;
    CScopedMessageSink scope(sink);
    std::istringstream in(text);
    CImportResult result;
    result.ok = ImportText(in, doc, result.error);
    result.messages = sink.m_messages;
    return result;
}

// Everything the importer decides about the records, in one comparable text.
std::string Describe(const CDoseplexDoc& doc) {
    std::ostringstream out;
    out.precision(17);
    for (int id = 0; id < doc.DrugCount(); ++id) {
        const CDrugInfo& record = *doc.GetDrug(id);
        out << id << " [" << record.m_strName << "] [" << record.m_strUnits
            << "] n=" << record.m_nComponents << " constant=" << record.m_bConstantRatio
            << " components=";
        for (auto component : record.m_pComponents) {
            out << component << ",";
        }
        out << " ratio=";
        for (double value : record.m_pRatio) {
            out << value << ",";
        }
        out << "\n";
        for (const auto& point : record.m_points) {
            out << "  " << point->m_dose << " " << point->m_fa << " n=" << point->m_nComponents
                << " ratio=";
            for (double value : point->m_pRatio) {
                out << value << ",";
            }
            out << "\n";
        }
    }
    return out.str();
}

std::vector<std::string> Names(const CDoseplexDoc& doc) {
    std::vector<std::string> names;
    for (int id = 0; id < doc.DrugCount(); ++id) {
        names.push_back(doc.GetDrug(id)->m_strName);
    }
    return names;
}

const std::string kPrefix = "Import Error! \n\nCannot Import File.\n\n";

// The full message the user must see for `code` with `context`.
std::string ExpectedMessage(int code, const std::string& context) {
    static const std::map<int, std::string> texts = {
        {1001, "Error 1001. \nCould not open file: "},
        {1002, "Error 1002. \nEnd of File reached, Could not find start of data.\nFile must "
               "contain tab separated text. \n[start] must be included on the line before the "
               "first Set of drug data begins."},
        {1003, "Error 1003. \nEnd of File reached before data is complete.\nProblem occurred "
               "in: "},
        {1004, "Error 1004. \nInvalid number of drugs entered. \nThere must be between 1 and 20 "
               "drugs in each Set. \nProblem occurred in: "},
        {1005, "Error 1005. \nInvalid number of doses entered. \nThere must be between 2 and 40 "
               "doses for each drug in a Set. \nProblem occurred in: "},
        {1006, "Error 1006. \nInvalid (or missing) ratio. Ratios must be expressed as integers. "
               "\nProblem occurred in: "},
        {1007, "Error 1007. \nInvalid number of sets of drug data entered. This number (>=1 "
               "<=20) should appear after [start] - separated by a tab."},
        {1008, "Error 1008. \nInvalid Dose entered. \nDoses must be more than zero. \nProblem "
               "occurred in: "},
        {1009, "Error 1009. \nInvalid Effect entered. \nEffects must be more than 0 and less "
               "than 1. \nProblem occurred in: "},
        {1010, "Error 1010. \nInvalid Dose entered for Combined drug. \nDoses must be more than "
               "zero. \nProblem occurred in: "},
        {1011, "Error 1011. \nInvalid Effect entered for Combined drug. \nEffects must be more "
               "than 0 and less than 1. \nProblem occurred in: "},
    };
    const bool withContext = code != 1002 && code != 1007;
    return kPrefix + texts.at(code) + (withContext ? context : "");
}

void ExpectFailure(const CImportResult& result, const CDoseplexDoc& doc, int code,
                   const std::string& context) {
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.m_nCode, code);
    EXPECT_EQ(result.error.m_strContext, context);
    ASSERT_EQ(result.messages.size(), 1u);
    // Error 1001 gives the system's reason on a line of its own.
    const std::string& reason = result.error.m_strReason;
    EXPECT_EQ(result.messages[0],
              ExpectedMessage(code, context) + (reason.empty() ? "" : "\n") + reason);
    EXPECT_EQ(doc.DrugCount(), 0);
    EXPECT_FALSE(doc.IsModified());
}

struct CErrorCase {
    const char* label;
    std::string text;
    int code;
    std::string context;
};

TEST(ImportErrors, EachErrorHasItsMessageAndBuildsNothing) {
    const std::string header = "Exp1\t2\t3\tuM\t1\t2";
    const std::string second = "Exp2\t1\t2\tmg\nC\t1\t2\n0.3\t0.6\n";
    const std::vector<CErrorCase> cases = {
        {"empty file", "", 1002, ""},
        {"only white space", " \n\t\r\n", 1002, ""},
        {"no marker", kTwoDrugSet, 1002, ""},
        {"marker inside a word", "x[start]\t1\n" + kTwoDrugSet, 1002, ""},
        {"marker with a suffix", "[start]x\t1\n" + kTwoDrugSet, 1002, ""},
        {"marker is the last byte", "notes\n[start]", 1002, ""},
        {"partial byte-order mark before the marker", "\xEF\xBB[start]\t1\n" + kTwoDrugSet, 1002,
         ""},
        {"word of 4999 bytes ending in the marker",
         std::string(4999, 'a') + "[start]\t1\n" + kTwoDrugSet, 1002, ""},
        {"word of 5000 bytes ending in the marker",
         std::string(5000, 'a') + "[start]\t1\n" + kTwoDrugSet, 1002, ""},

        {"end after the number of sets", "[start]\t1\n", 1003, ""},
        {"end inside the number of sets", "[start]\t1", 1003, ""},
        {"end inside the set header", "[start]\t1\nExp1\t2\t3", 1003, "Exp1"},
        {"end before the combination", File(kTwoDrugSet.substr(0, kTwoDrugSet.find("Mix"))), 1003,
         "Exp1"},
        {"last field without a line end", File(kTwoDrugSet.substr(0, kTwoDrugSet.size() - 1)), 1003,
         "Exp1"},
        {"end inside the second set", File(kTwoDrugSet + "Exp2\t1\t2\tmg\nC\t1\t2\n0.3", "2"), 1003,
         "Exp2"},

        {"no drugs", File(Replace(kTwoDrugSet, header, "Exp1\t0\t3\tuM")), 1004, "Exp1"},
        {"21 drugs", File(Replace(kTwoDrugSet, header, "Exp1\t21\t3\tuM\t1\t2")), 1004, "Exp1"},
        {"drugs not a number", File(Replace(kTwoDrugSet, header, "Exp1\tabc\t3\tuM\t1\t2")), 1004,
         "Exp1"},
        {"empty drugs field", File(Replace(kTwoDrugSet, header, "Exp1\t\t2\t3\tuM\t1\t2")), 1004,
         "Exp1"},
        {"negative drugs", File(Replace(kTwoDrugSet, header, "Exp1\t-2\t3\tuM\t1\t2")), 1004,
         "Exp1"},
        {"drugs 2^32+2", File(Replace(kTwoDrugSet, header, "Exp1\t4294967298\t3\tuM\t1\t2")), 1004,
         "Exp1"},

        {"one dose", File(Replace(kTwoDrugSet, header, "Exp1\t2\t1\tuM\t1\t2")), 1005, "Exp1"},
        {"41 doses", File(Replace(kTwoDrugSet, header, "Exp1\t2\t41\tuM\t1\t2")), 1005, "Exp1"},
        {"empty doses field", File(Replace(kTwoDrugSet, header, "Exp1\t2\t\tuM\t1\t2")), 1005,
         "Exp1"},
        {"in the second set", File(kTwoDrugSet + Replace(second, "1\t2\tmg", "1\t1\tmg"), "2"),
         1005, "Exp2"},
        {"Windows-1252 set name in the message",
         File(Replace(kTwoDrugSet, header, "Exp\xB5\t2\t1\tuM\t1\t2")), 1005, "Exp\xC2\xB5"},

        {"ratio 0", File(Replace(kTwoDrugSet, header, "Exp1\t2\t3\tuM\t0\t2")), 1006, "Exp1"},
        {"second ratio 0", File(Replace(kTwoDrugSet, header, "Exp1\t2\t3\tuM\t1\t0")), 1006,
         "Exp1"},
        {"ratio abc", File(Replace(kTwoDrugSet, header, "Exp1\t2\t3\tuM\tabc\t2")), 1006, "Exp1"},
        {"ratio empty", File(Replace(kTwoDrugSet, header, "Exp1\t2\t3\tuM\t\t2")), 1006, "Exp1"},
        {"ratio 0.5", File(Replace(kTwoDrugSet, header, "Exp1\t2\t3\tuM\t0.5\t2")), 1006, "Exp1"},
        {"negative ratio", File(Replace(kTwoDrugSet, header, "Exp1\t2\t3\tuM\t1\t-2")), 1006,
         "Exp1"},

        {"no sets", File(kTwoDrugSet, "0"), 1007, ""},
        {"21 sets", File(kTwoDrugSet, "21"), 1007, ""},
        {"sets abc", File(kTwoDrugSet, "abc"), 1007, ""},
        {"sets field empty", "[start]\t\t1\n" + kTwoDrugSet, 1007, ""},
        {"sets 2^32+1", File(kTwoDrugSet, "4294967297"), 1007, ""},

        {"dose 0", File(Replace(kTwoDrugSet, "DrugA\t1", "DrugA\t0")), 1008, "Exp1"},
        {"negative dose", File(Replace(kTwoDrugSet, "DrugB\t2\t4", "DrugB\t2\t-4")), 1008, "Exp1"},
        {"dose abc", File(Replace(kTwoDrugSet, "DrugA\t1", "DrugA\tabc")), 1008, "Exp1"},
        {"dose overflowing a double", File(Replace(kTwoDrugSet, "DrugA\t1", "DrugA\t1e999")), 1008,
         "Exp1"},

        {"effect 0", File(Replace(kTwoDrugSet, "0.2\t", "0\t")), 1009, "Exp1"},
        {"effect 1", File(Replace(kTwoDrugSet, "0.55", "1")), 1009, "Exp1"},
        {"effect 1.5", File(Replace(kTwoDrugSet, "0.35", "1.5")), 1009, "Exp1"},
        {"negative effect", File(Replace(kTwoDrugSet, "0.15", "-0.15")), 1009, "Exp1"},

        {"combination dose 0", File(Replace(kTwoDrugSet, "Mix\t3", "Mix\t0")), 1010, "Exp1"},
        {"negative combination dose", File(Replace(kTwoDrugSet, "\t12\n", "\t-12\n")), 1010,
         "Exp1"},
        {"combination dose 1e999", File(Replace(kTwoDrugSet, "\t12\n", "\t1e999\n")), 1010, "Exp1"},

        {"combination effect 0", File(Replace(kTwoDrugSet, "\n0.3\t0.5", "\n0\t0.5")), 1011,
         "Exp1"},
        {"combination effect 1", File(Replace(kTwoDrugSet, "0.75", "1")), 1011, "Exp1"},
    };
    for (const CErrorCase& c : cases) {
        SCOPED_TRACE(c.label);
        CDoseplexDoc doc;
        ExpectFailure(Import(c.text, doc), doc, c.code, c.context);
    }
}

class ImportFile : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_temp.Path().empty());
        m_dir = m_temp.Path();
    }
    testing_support::CTempDir m_temp{"import"};
    std::filesystem::path m_dir;
};

TEST_F(ImportFile, ReadsFilesAndReportsUnopenablePaths) {
    const std::string good = (m_dir / "good.txt").string();
    std::ofstream(good, std::ios::binary) << File(kTwoDrugSet);
    {
        CDoseplexDoc doc;
        CImportError error;
        EXPECT_TRUE(ImportTextFile(good, doc, error));
        EXPECT_EQ(doc.DrugCount(), 3);
    }
    // A sparse file far beyond any import is refused before it is read.
    const std::string huge = (m_dir / "huge.txt").string();
    std::ofstream(huge).close();
    std::filesystem::resize_file(huge, kMaxInputBytes + 1);
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {m_dir.string(), "it is a folder"},
        {(m_dir / "missing.txt").string(), "No such file or directory"},
        {huge, "it is larger than 64 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        CDoseplexDoc doc;
        CImportResult result;
        CCollectingMessageSink sink;
        {
            CScopedMessageSink scope(sink);
            result.ok = ImportTextFile(c.path, doc, result.error);
        }
        result.messages = sink.m_messages;
        EXPECT_EQ(result.error.m_strReason, c.reason);
        ExpectFailure(result, doc, 1001, c.path);
    }
}

TEST(ImportRecords, BuildsDrugsThenCombinationWithTrimmedNamesAndSortedPoints) {
    const std::string text = "[start]\t1\n"
                             " Exp1 \t2\t3\t uM \t1\t2.5\n"
                             " DrugA \t4\t1\t2\n"
                             "0.6\t0.2\t0.35\n"
                             "DrugB\t2\t4\t8\n"
                             "0.15\t0.3\t0.55\n"
                             "Mix\t12\t3\t6\n"
                             "0.75\t0.3\t0.5\n";
    CDoseplexDoc doc;
    const CImportResult result = Import(text, doc);
    ASSERT_TRUE(result.ok);
    EXPECT_TRUE(result.messages.empty());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(Describe(doc), "0 [Exp1_DrugA] [uM] n=1 constant=1 components= ratio=\n"
                             "  1 0.20000000000000001 n=1 ratio=\n"
                             "  2 0.34999999999999998 n=1 ratio=\n"
                             "  4 0.59999999999999998 n=1 ratio=\n"
                             "1 [Exp1_DrugB] [uM] n=1 constant=1 components= ratio=\n"
                             "  2 0.14999999999999999 n=1 ratio=\n"
                             "  4 0.29999999999999999 n=1 ratio=\n"
                             "  8 0.55000000000000004 n=1 ratio=\n"
                             "2 [Exp1_Mix] [uM] n=2 constant=1 components=0,1, ratio=1,2.5,\n"
                             "  3 0.29999999999999999 n=2 ratio=1,2.5,\n"
                             "  6 0.5 n=2 ratio=1,2.5,\n"
                             "  12 0.75 n=2 ratio=1,2.5,\n");
    // Every record was fitted as its points arrived.
    for (int id = 0; id < doc.DrugCount(); ++id) {
        EXPECT_EQ(doc.GetDrug(id)->m_bFitValid, 1) << id;
    }
}

TEST(ImportRecords, OneDrugSetReadsNoRatioAndNoCombination) {
    // Were a ratio read, "A" would be taken as one and fail; the text after
    // the last set is ignored.
    CDoseplexDoc doc;
    const CImportResult result =
        Import("[start]\t1\nSolo\t1\t2\t\nA\t1\t2\n0.3\t0.6\nnot data\t0\t-1\n", doc);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(Describe(doc), "0 [Solo_A] [] n=1 constant=1 components= ratio=\n"
                             "  1 0.29999999999999999 n=1 ratio=\n"
                             "  2 0.59999999999999998 n=1 ratio=\n");
}

TEST(ImportRecords, TwoSetsKeepFileOrderAndCombinationPositions) {
    const std::string second = "Exp2\t3\t2\tmg\t1\t1\t2\n"
                               "X\t1\t2\n0.3\t0.6\n"
                               "Y\t1\t2\n0.3\t0.6\n"
                               "Z\t1\t2\n0.3\t0.6\n"
                               "XYZ\t1\t2\n0.4\t0.7\n";
    CDoseplexDoc doc;
    ASSERT_TRUE(Import(File(kTwoDrugSet + second, "2"), doc).ok);
    EXPECT_EQ(Names(doc), (std::vector<std::string>{"Exp1_DrugA", "Exp1_DrugB", "Exp1_Mix",
                                                    "Exp2_X", "Exp2_Y", "Exp2_Z", "Exp2_XYZ"}));
    EXPECT_EQ(doc.GetDrug(2)->m_pComponents, (std::vector<std::uint16_t>{0, 1}));
    EXPECT_EQ(doc.GetDrug(6)->m_pComponents, (std::vector<std::uint16_t>{3, 4, 5}));
    EXPECT_EQ(doc.GetDrug(6)->m_pRatio, (std::vector<double>{1, 1, 2}));
    EXPECT_EQ(doc.GetDrug(3)->m_strUnits, "mg");
}

TEST(ImportRecords, SetCountIsReadLeniently) {
    const std::string set = "S\t1\t2\tmg\nA\t1\t2\n0.3\t0.6\n";
    CDoseplexDoc doc;
    ASSERT_TRUE(Import(File(set + set + set + set, "3abc"), doc).ok);
    EXPECT_EQ(doc.DrugCount(), 3);
}

TEST(ImportMarker, FoundInAnyCaseAfterOtherText) {
    const std::string rest = "\t1\n" + kTwoDrugSet;
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"capitals", "[START]" + rest},
        {"mixed case", "[Start]" + rest},
        {"notes and near misses first", "Results 3/4\tx[start] [start]x [star\n\n[start]" + rest},
        {"byte-order mark", "\xEF\xBB\xBF[start]" + rest},
        {"very long word first", std::string(20000, 'w') + "[start] [start]" + rest},
        {"line end after the marker", "[start]\r\n1\r\n" + kTwoDrugSet},
        {"blank after the marker", "[start] 1\n" + kTwoDrugSet},
    };
    for (const auto& [label, text] : cases) {
        SCOPED_TRACE(label);
        CDoseplexDoc doc;
        const CImportResult result = Import(text, doc);
        EXPECT_TRUE(result.ok) << result.error.m_nCode;
        EXPECT_EQ(Names(doc), (std::vector<std::string>{"Exp1_DrugA", "Exp1_DrugB", "Exp1_Mix"}));
    }
}

TEST(ImportLayout, EquivalentLayoutsGiveTheSameRecords) {
    CDoseplexDoc reference;
    ASSERT_TRUE(Import(File(kTwoDrugSet), reference).ok);
    const std::string expected = Describe(reference);

    auto withLineEnds = [](const std::string& text, const std::string& end) {
        std::string out;
        for (char c : text) {
            out += c == '\n' ? end : std::string(1, c);
        }
        return out;
    };
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"blank cells and empty lines between values", File("Exp1\t2\t3\tuM\t1\t2\n\n"
                                                            "\tDrugA\t\t1\t\t2\t\t\t4\t\n\n"
                                                            "0.2\t\t0.35\t\t0.6\t\t\n"
                                                            "DrugB\t2\t4\t8\t\t\t\n"
                                                            "\t0.15\t0.3\t0.55\n\n\n"
                                                            "Mix\t\t3\t6\t12\n"
                                                            "0.3\t0.5\t\t0.75\n")},
        {"one value per line", File("Exp1\t2\t3\tuM\t1\t2\n"
                                    "DrugA\n1\n2\n4\n0.2\n0.35\n0.6\n"
                                    "DrugB\n2\n4\n8\n0.15\n0.3\n0.55\n"
                                    "Mix\n3\n6\n12\n0.3\n0.5\n0.75\n")},
        {"all on one line", "[start]\t1\tExp1\t2\t3\tuM\t1\t2\tDrugA\t1\t2\t4\t0.2\t0.35\t0.6\t"
                            "DrugB\t2\t4\t8\t0.15\t0.3\t0.55\tMix\t3\t6\t12\t0.3\t0.5\t0.75\n"},
        {"CR LF line ends", withLineEnds(File(kTwoDrugSet), "\r\n")},
        {"CR line ends", withLineEnds(File(kTwoDrugSet), "\r")},
        {"header fields on lines of their own, CR LF",
         withLineEnds(File(Replace(kTwoDrugSet, "Exp1\t2\t3\tuM\t1\t2", "Exp1\n2\n3\nuM\n1\n2")),
                      "\r\n")},
        {"numbers with trailing text and exponents",
         File("Exp1\t2 drugs\t3 doses\tuM\t1:\t2 parts\n"
              "DrugA\t1uM\t2.0E+0\t4000e-3\n"
              "0.2x\t+0.35\t6e-1\n"
              "DrugB\t2\t4\t8\n"
              "0.15\t0.3\t0.55\n"
              "Mix\t3\t6\t12\n"
              "0.3\t0.5\t0.75\n")},
        {"data after the last set", File(kTwoDrugSet + "Exp2\t0\tjunk\n")},
    };
    for (const auto& [label, text] : cases) {
        SCOPED_TRACE(label);
        CDoseplexDoc doc;
        const CImportResult result = Import(text, doc);
        EXPECT_TRUE(result.ok) << result.error.m_nCode;
        EXPECT_EQ(Describe(doc), expected);
    }
}

TEST(ImportText, NamesAndUnitsBecomeUtf8) {
    const std::string text = "[start]\t1\n"
                             "Caf\xC3\xA9\t2\t2\t\xB5M\t1\t1\n"
                             "Caf\xE9\t1\t2\n0.3\t0.6\n"
                             "\x80 \xC2\xB5\xB5\t1\t2\n0.3\t0.6\n"
                             "\xE2\x82\xAC\t1\t2\n0.3\t0.6\n";
    CDoseplexDoc doc;
    ASSERT_TRUE(Import(text, doc).ok);
    EXPECT_EQ(Names(doc),
              (std::vector<std::string>{"Caf\xC3\xA9_Caf\xC3\xA9",                           //
                                        "Caf\xC3\xA9_\xE2\x82\xAC \xC3\x82\xC2\xB5\xC2\xB5", //
                                        "Caf\xC3\xA9_\xE2\x82\xAC"}));
    EXPECT_EQ(doc.GetDrug(0)->m_strUnits, "\xC2\xB5M");
    EXPECT_EQ(doc.GetDrug(2)->m_strUnits, "\xC2\xB5M");
}

TEST(ImportText, LongFieldsAreCut) {
    const std::string text = "[start]\t1\n" + std::string(5000, 'S') + "\t1\t2\t" +
                             std::string(100000, 'u') + "\n" + std::string(100000, 'N') +
                             "\t1\t2\n0.3\t0.6\n";
    CDoseplexDoc doc;
    ASSERT_TRUE(Import(text, doc).ok);
    ASSERT_EQ(doc.DrugCount(), 1);
    EXPECT_EQ(doc.GetDrug(0)->m_strName, std::string(4096, 'S') + "_" + std::string(4096, 'N'));
    EXPECT_EQ(doc.GetDrug(0)->m_strUnits, std::string(4096, 'u'));
}

// A valid UTF-8 name whose 4096th byte falls inside a character: the cut
// should keep the text UTF-8 rather than turn the whole name into mojibake.
TEST(ImportText, CutInsideUtf8CharacterKeepsTheRestUtf8) {
    std::string name = "\xC2\xB5";
    while (name.size() < 4095) {
        name += 'a';
    }
    name += "\xC2\xB5"; // bytes 4096 and 4097
    CDoseplexDoc doc;
    ASSERT_TRUE(Import("[start]\t1\nS\t1\t2\tmg\n" + name + "\t1\t2\n0.3\t0.6\n", doc).ok);
    const std::string& stored = doc.GetDrug(0)->m_strName;
    EXPECT_EQ(stored.substr(0, 4), "S_\xC2\xB5");
}

TEST(ImportText, BinaryGarbageFailsCleanly) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        std::string garbage;
        for (int i = 0; i < 3000; ++i) {
            garbage += static_cast<char>(byte(random));
        }
        {
            CDoseplexDoc doc;
            ExpectFailure(Import(garbage, doc), doc, 1002, "");
        }
        CDoseplexDoc doc;
        const CImportResult result = Import("[start]\t1\n" + garbage, doc);
        EXPECT_FALSE(result.ok);
        EXPECT_GE(result.error.m_nCode, 1003);
        EXPECT_LE(result.error.m_nCode, 1011);
        EXPECT_EQ(result.messages.size(), 1u);
        EXPECT_EQ(doc.DrugCount(), 0);
    }
}

TEST(ImportLimits, LargestFileImports) {
    constexpr int kSets = 20, kDrugs = 20, kDoses = 40;
    auto values = [](double scale, bool effects) {
        std::string line;
        for (int j = 1; j <= kDoses; ++j) {
            line += std::to_string(effects ? j / (kDoses + 1.0) : j * scale) + "\t";
        }
        line.back() = '\n';
        return line;
    };
    std::string text = "[start]\t20\n";
    for (int s = 1; s <= kSets; ++s) {
        text += "Set" + std::to_string(s) + "\t20\t40\tnM";
        for (int d = 1; d <= kDrugs; ++d) {
            text += "\t" + std::to_string(d);
        }
        text += "\n";
        for (int d = 1; d <= kDrugs; ++d) {
            text += "Drug" + std::to_string(d) + "\n" + values(d, false) + values(0, true);
        }
        text += "Mix\n" + values(0.5, false) + values(0, true);
    }
    CDoseplexDoc doc;
    const CImportResult result = Import(text, doc);
    ASSERT_TRUE(result.ok) << result.error.m_nCode;
    ASSERT_EQ(doc.DrugCount(), kSets * (kDrugs + 1));
    for (int id = 0; id < doc.DrugCount(); ++id) {
        EXPECT_EQ(doc.GetDrug(id)->PointCount(), kDoses) << id;
    }
    const CDrugInfo& last = *doc.GetDrug(doc.DrugCount() - 1);
    EXPECT_EQ(last.m_strName, "Set20_Mix");
    ASSERT_EQ(last.m_pComponents.size(), 20u);
    EXPECT_EQ(last.m_pComponents.front(), 399);
    EXPECT_EQ(last.m_pComponents.back(), 418);
    EXPECT_EQ(last.m_pRatio.back(), 20.0);
    EXPECT_EQ(doc.GetDrug(doc.DrugCount() - 2)->m_strName, "Set20_Drug20");
}

} // namespace
