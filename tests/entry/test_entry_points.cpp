// Points built by hand (the Dose / Effect dialog) and from sheet columns (the
// Add Drug Wizard's Finish).

#include "core/raw_sheet.h"
#include "entry/add_drug.h"
#include "entry/cell_range.h"
#include "entry/dose_entry.h"
#include "entry/sheet_import.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace doseplex::entry {
namespace {

using testing_support::MakeDrug;

DrugList ThreeDrugs() {
    DrugList drugs;
    drugs.push_back(MakeDrug("Taxol", "nM"));
    drugs.push_back(MakeDrug("Cisplatin", "uM"));
    drugs.push_back(MakeDrug("Etoposide", "uM"));
    return drugs;
}

std::unique_ptr<CDrugInfo> Combination(bool constant, std::vector<double> ratio = {}) {
    auto record = std::make_unique<CDrugInfo>();
    const std::uint16_t ids[] = {0, 1};
    record->SetComponents(2, ids);
    if (!ratio.empty()) {
        record->SetRatio(2, ratio.data());
    }
    record->SetConstantRatio(constant ? 1 : 0);
    return record;
}

TEST(DoseEntry, RatioFromARowOfDosesHasOneAsItsSmallestEntry) {
    EXPECT_EQ(RatioFromDoses({2, 1}), (std::vector<double>{2, 1}));
    EXPECT_EQ(RatioFromDoses({1, 4}), (std::vector<double>{1, 4}));
    EXPECT_EQ(RatioFromDoses({4, 2, 8}), (std::vector<double>{2, 1, 4}));
    EXPECT_EQ(RatioFromDoses({3}), (std::vector<double>{1}));
}

TEST(DoseEntry, EffectMustLieStrictlyBetweenZeroAndOne) {
    const auto drug = MakeDrug("Taxol", "nM");
    const struct {
        const char* effect;
        bool accepted;
    } cases[] = {{"1", false},    {"0", false}, {"0.9999", true}, {"0.0001", true},
                 {"-0.5", false}, {"", false},  {"half", false},  {"1.5", false}};
    for (const auto& c : cases) {
        const auto result = BuildDoseEntryPoint(*drug, nullptr, {"2"}, c.effect);
        EXPECT_EQ(result.IsOk(), c.accepted) << c.effect;
        if (!c.accepted) {
            EXPECT_EQ(result.Message(), "The Effect must be greater than zero and less than one.");
        }
    }
}

TEST(DoseEntry, EveryShownDoseMustBeAPositiveNumber) {
    const auto mixed = Combination(false);
    for (const std::vector<std::string>& cells :
         {std::vector<std::string>{"1", "0"}, {"1", "abc"}, {"-1", "2"}, {"1"}, {"", "2"}}) {
        const auto result = BuildDoseEntryPoint(*mixed, nullptr, cells, "0.5");
        EXPECT_FALSE(result);
        EXPECT_EQ(result.Message(),
                  "The dose data is not valid - all doses must be greater than zero.");
    }
    // The effect is checked first.
    EXPECT_EQ(BuildDoseEntryPoint(*mixed, nullptr, {"0", "0"}, "1").Message(), kEffectRangeMessage);
}

TEST(DoseEntry, BuildsNewAndEditedPointsOfEachKind) {
    const auto single = MakeDrug("Taxol", "nM");
    auto point = BuildDoseEntryPoint(*single, nullptr, {"2.5"}, "0.5");
    ASSERT_TRUE(point);
    EXPECT_EQ(point.Value()->m_dose, 2.5);
    EXPECT_EQ(point.Value()->m_nComponents, 1);
    EXPECT_FALSE(point.Value()->HasRatio());
    EXPECT_EQ(DoseListLine(*point.Value()), "2.5\t0.5000");

    const auto constant = Combination(true, {1, 3});
    point = BuildDoseEntryPoint(*constant, nullptr, {"5"}, "0.25");
    ASSERT_TRUE(point && point.Value());
    EXPECT_EQ(point.Value()->m_pRatio, (std::vector<double>{1, 3}));
    // No ratio to give the point: nothing is built, and nothing is said.
    const auto noRatio = Combination(true);
    point = BuildDoseEntryPoint(*noRatio, nullptr, {"5"}, "0.25");
    ASSERT_TRUE(point);
    EXPECT_EQ(point.Value(), nullptr);

    const auto mixed = Combination(false);
    point = BuildDoseEntryPoint(*mixed, nullptr, {"2", "1"}, "0.3");
    ASSERT_TRUE(point);
    EXPECT_EQ(point.Value()->m_dose, 2.0);
    EXPECT_EQ(point.Value()->m_pRatio, (std::vector<double>{2, 1}));

    // Editing keeps the point's count and replaces its dose, effect and ratio.
    const CDoseData old(2.0, 0.3, 2, std::vector<double>{2, 1}.data());
    EXPECT_EQ(DoseEntryCells(*mixed, &old), (std::vector<std::string>{"2", "1"}));
    point = BuildDoseEntryPoint(*mixed, &old, {"1", "4"}, "0.4");
    ASSERT_TRUE(point);
    EXPECT_EQ(point.Value()->m_dose, 1.0);
    EXPECT_EQ(point.Value()->m_fa, 0.4);
    EXPECT_EQ(point.Value()->m_pRatio, (std::vector<double>{1, 4}));
    EXPECT_EQ(old.m_pRatio, (std::vector<double>{2, 1}));
}

TEST(DoseEntry, MedianEffectPreviewNeedsTwoDoses) {
    EXPECT_FALSE(HasTwoDistinctDoses(*MakeDrug("A", "nM")));
    EXPECT_FALSE(HasTwoDistinctDoses(*MakeDrug("A", "nM", {{2, 0.2}, {2, 0.4}, {2, 0.5}})));
    EXPECT_TRUE(HasTwoDistinctDoses(*MakeDrug("A", "nM", {{2, 0.2}, {2, 0.4}, {3, 0.5}})));
}

TEST(DoseEntry, TableRowsFollowTheKindOfRecord) {
    const DrugList drugs = ThreeDrugs();
    const auto single = MakeDrug("Mine", "nM");
    EXPECT_EQ(DoseEntryRowLabels(*single, drugs), (std::vector<std::string>{"Mine"}));
    EXPECT_EQ(DoseEntryRowLabels(*Combination(true, {1, 2}), drugs),
              (std::vector<std::string>{"Taxol"}));
    EXPECT_EQ(DoseEntryRowLabels(*Combination(false), drugs),
              (std::vector<std::string>{"Taxol", "Cisplatin"}));
    EXPECT_EQ(DoseEntryCells(*single, nullptr), (std::vector<std::string>{""}));
    const CDoseData precise(1.0 / 3.0, 0.5, 1, nullptr);
    EXPECT_EQ(DoseEntryCells(*single, &precise), (std::vector<std::string>{"0.3333333333333"}));
    // A first ratio entry of 0 leaves the other doses unknown.
    const CDoseData zeroRatio(2.0, 0.5, 2, std::vector<double>{0, 1}.data());
    EXPECT_EQ(DoseEntryCells(*Combination(false), &zeroRatio), (std::vector<std::string>{"2", ""}));
}

// A sheet with the given texts at (row, column).
CRawSheet Sheet(const std::vector<std::tuple<int, int, std::string>>& cells) {
    CRawSheet sheet;
    for (const auto& [row, column, text] : cells) {
        sheet.SetText(row, column, text);
    }
    return sheet;
}

// Effects in column A and doses in columns B and C, rows 2 to 9.
CRawSheet PlateSheet() {
    CRawSheet sheet;
    for (int row = 2; row <= 9; ++row) {
        sheet.SetText(row, 1, std::to_string(0.1 * (row - 1)));
        sheet.SetText(row, 2, std::to_string(row - 1));
        sheet.SetText(row, 3, std::to_string(3 * (row - 1)));
    }
    return sheet;
}

CAddDrugRequest SingleRequest(std::string effects, std::string doses) {
    CAddDrugRequest request;
    request.m_strName = "New drug";
    request.m_strUnits = "nM";
    request.m_strComment = "from the plate";
    request.m_strEffectRange = std::move(effects);
    request.m_doseRanges[0] = std::move(doses);
    return request;
}

TEST(AddDrugWizard, PageChecks) {
    EXPECT_EQ(CheckDrugNamePage("", true, 5).Message(), "Please enter a name for your Drug.");
    EXPECT_TRUE(CheckDrugNamePage("  ", true, 0));
    EXPECT_EQ(CheckDrugNamePage("Mix", false, 1).Message(),
              "There are less than two drugs in existence. Please add a non-combination drug or "
              "cancel the wizard.");
    EXPECT_TRUE(CheckDrugNamePage("Mix", false, 2));
    EXPECT_EQ(CheckDrugSelection(1).Message(),
              "Please select 2 or more drugs for your combination.");
    EXPECT_EQ(CheckDrugSelection(7).Message(),
              "You cannot create a combination with more that 6 drugs using the wizard.");
    EXPECT_TRUE(CheckDrugSelection(6));
    EXPECT_TRUE(CheckDrugSelection(2));
}

TEST(AddDrugWizard, SingleDrugTakesAsManyPointsAsTheShorterRange) {
    const DrugList drugs = ThreeDrugs();
    const auto result = BuildDrugFromSheet(SingleRequest("A2..A9", "B2..B6"), drugs, PlateSheet());
    ASSERT_TRUE(result) << result.Message();
    const CDrugInfo& drug = *result.Value();
    EXPECT_EQ(drug.m_strName, "New drug");
    EXPECT_EQ(drug.m_strUnits, "nM");
    EXPECT_EQ(drug.m_strComment, "from the plate");
    EXPECT_FALSE(drug.IsCombination());
    ASSERT_EQ(drug.PointCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_DOUBLE_EQ(drug.PointDose(i), i + 1.0);
        EXPECT_DOUBLE_EQ(drug.PointEffect(i), 0.1 * (i + 1));
    }
    EXPECT_EQ(drug.m_bFitValid, 1);
}

TEST(AddDrugWizard, BadCellsStopFinishWithTheirMessage) {
    const DrugList drugs = ThreeDrugs();
    const std::string values =
        "There was an error adding dose data to the drug. \nDoses must be > 0, Effects must be "
        ">0 and <1. \nPlease check your data and try again.";
    const struct {
        int row;
        int column;
        const char* text;
    } cases[] = {{4, 2, "ten"},  {4, 2, "0"}, {4, 2, "-1"}, {4, 2, ""},
                 {4, 2, "5 mg"}, {4, 1, "1"}, {4, 1, "0"},  {9, 1, "1.2"}};
    for (const auto& c : cases) {
        CRawSheet sheet = PlateSheet();
        sheet.SetText(c.row, c.column, c.text);
        const auto result = BuildDrugFromSheet(SingleRequest("A2..A9", "B2..B9"), drugs, sheet);
        EXPECT_FALSE(result) << c.text;
        EXPECT_EQ(result.Message(), values) << c.text;
    }
    // Rows past the end of the sheet hold nothing.
    EXPECT_EQ(BuildDrugFromSheet(
                  SingleRequest("A999..A1002", "B999..B1002"), drugs,
                  Sheet({{999, 1, "0.5"}, {999, 2, "1"}, {1000, 1, "0.6"}, {1000, 2, "2"}}))
                  .Message(),
              values);
}

TEST(AddDrugWizard, RangesAreCheckedEffectFirstWithTheirLabels) {
    const DrugList drugs = ThreeDrugs();
    EXPECT_EQ(BuildDrugFromSheet(SingleRequest("A2:A9", "B2..C6"), drugs, PlateSheet()).Message(),
              RangeFormatMessage("Effect"));
    EXPECT_EQ(BuildDrugFromSheet(SingleRequest("A2..A9", "B2..C6"), drugs, PlateSheet()).Message(),
              RangeOneColumnMessage("New drug"));

    CAddDrugRequest mixed = SingleRequest("A2..A9", "B2..B9");
    mixed.m_bSingle = false;
    mixed.m_bConstantRatio = false;
    mixed.m_positions = {0, 2};
    mixed.m_doseRanges[1] = "C2..C2";
    EXPECT_EQ(BuildDrugFromSheet(mixed, drugs, PlateSheet()).Message(),
              RangeTwoPointsMessage("Etoposide"));
    EXPECT_EQ(DoseRowCount(mixed), 2);
    EXPECT_EQ(DoseRowLabel(mixed, drugs, 1), "Taxol");
}

TEST(AddDrugWizard, ConstantRatioCombinationUsesItsRatioForEveryPoint) {
    const DrugList drugs = ThreeDrugs();
    CAddDrugRequest request = SingleRequest("A2..A9", "B2..B9");
    request.m_bSingle = false;
    request.m_positions = {0, 1, 2};
    request.m_ratio = {1, 2, 3};
    // The second and third dose rows are not shown and not checked.
    request.m_doseRanges[1] = "nonsense";
    const auto result = BuildDrugFromSheet(request, drugs, PlateSheet());
    ASSERT_TRUE(result) << result.Message();
    const CDrugInfo& mix = *result.Value();
    EXPECT_EQ(mix.m_nComponents, 3);
    EXPECT_EQ(mix.m_pComponents, (std::vector<std::uint16_t>{0, 1, 2}));
    EXPECT_EQ(mix.m_bConstantRatio, 1);
    ASSERT_EQ(mix.PointCount(), 8);
    for (int i = 0; i < mix.PointCount(); ++i) {
        EXPECT_EQ(mix.GetPoint(i)->m_pRatio, (std::vector<double>{1, 2, 3}));
    }
    EXPECT_DOUBLE_EQ(mix.PointComponentDose(7, 2), 24.0);

    request.m_ratio.clear(); // never parsed: no ratio for the points
    EXPECT_EQ(BuildDrugFromSheet(request, drugs, PlateSheet()).Message(),
              "There was an error adding dose data to the Combination. \nThis problem was with "
              "the drug ratios\nPlease recheck your ratios and try again.");
}

TEST(AddDrugWizard, CombinationWithoutConstantRatioTakesEachRowsRatio) {
    const DrugList drugs = ThreeDrugs();
    CAddDrugRequest request = SingleRequest("A2..A9", "B2..B9");
    request.m_bSingle = false;
    request.m_bConstantRatio = false;
    request.m_positions = {1, 2};
    request.m_doseRanges[1] = "C2..C5"; // the shortest range sets the count
    CRawSheet sheet = PlateSheet();
    sheet.SetText(3, 3, "1"); // row 3: doses 2 and 1
    const auto result = BuildDrugFromSheet(request, drugs, sheet);
    ASSERT_TRUE(result) << result.Message();
    const CDrugInfo& mix = *result.Value();
    EXPECT_EQ(mix.m_bConstantRatio, 0);
    EXPECT_TRUE(mix.m_pRatio.empty());
    ASSERT_EQ(mix.PointCount(), 4);
    // Sorted by the first drug's dose: rows 2, 3, 4, 5.
    EXPECT_EQ(mix.GetPoint(0)->m_pRatio, (std::vector<double>{1, 3}));
    EXPECT_EQ(mix.GetPoint(1)->m_pRatio, (std::vector<double>{2, 1}));
    EXPECT_DOUBLE_EQ(mix.PointDose(1), 2.0);
    EXPECT_DOUBLE_EQ(mix.PointEffect(1), 0.2);

    sheet.SetText(4, 3, "x");
    EXPECT_EQ(BuildDrugFromSheet(request, drugs, sheet).Message(), kPointValuesMessage);
}

// A plate export imported at the current cell, then built into a drug from
// the columns it landed in.
TEST(AddDrugWizard, BuildsADrugFromImportedText) {
    CRawSheet sheet;
    std::istringstream plate("Dose\tEffect\r\n0.5\t0.12\r\n1\t0.3\r\n2\t0.55\r\n4\t0.81\r\n");
    ImportSheetText(plate, sheet, {5, 3});
    const auto result = BuildDrugFromSheet(SingleRequest("D6..D9", "C6..C9"), ThreeDrugs(), sheet);
    ASSERT_TRUE(result) << result.Message();
    ASSERT_EQ(result.Value()->PointCount(), 4);
    EXPECT_EQ(result.Value()->PointDose(3), 4.0);
    EXPECT_EQ(result.Value()->PointEffect(3), 0.81);
    EXPECT_EQ(result.Value()->m_bFitValid, 1);
    // The heading row is text: taking it in stops Finish.
    EXPECT_EQ(BuildDrugFromSheet(SingleRequest("D5..D9", "C5..C9"), ThreeDrugs(), sheet).Message(),
              kPointValuesMessage);
}

TEST(AddDrugWizard, NoDrugsGiveTheGeneralMessage) {
    CAddDrugRequest request = SingleRequest("A2..A9", "B2..B9");
    request.m_bSingle = false;
    EXPECT_EQ(BuildDrugFromSheet(request, ThreeDrugs(), PlateSheet()).Message(),
              "There was an error adding dose data to the drug.");
}

} // namespace
} // namespace doseplex::entry
