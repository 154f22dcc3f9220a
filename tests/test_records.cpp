// Drug and dose records, their texts, the number formatter and the document's
// drug list.
#include "core/document.h"
#include "core/dose_data.h"
#include "core/drug_info.h"
#include "core/format.h"
#include "core/message_sink.h"

#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace doseplex;
using doseplex::testing_support::MakeDrug;

// A combination with no points yet.
std::unique_ptr<CDrugInfo> MakeCombination(const std::string& name,
                                           const std::vector<std::uint16_t>& ids,
                                           const std::vector<double>& ratio,
                                           bool constantRatio = true) {
    auto combo = std::make_unique<CDrugInfo>();
    combo->m_strName = name;
    const auto count = static_cast<std::uint16_t>(ids.size());
    EXPECT_TRUE(combo->SetComponents(count, ids.data()));
    if (!ratio.empty()) {
        EXPECT_TRUE(combo->SetRatio(count, ratio.data()));
    }
    EXPECT_TRUE(combo->SetConstantRatio(constantRatio ? 1 : 0));
    return combo;
}

std::vector<double> Doses(const CDrugInfo& drug) {
    std::vector<double> doses;
    for (int i = 0; i < drug.PointCount(); ++i) {
        doses.push_back(drug.PointDose(i));
    }
    return doses;
}

// Every test here that builds a bad point keeps its messages off stderr.
class RecordTest : public testing::Test {
protected:
    CCollectingMessageSink m_sink;
    CScopedMessageSink m_scope{m_sink};
};

// ---------------------------------------------------------------------------
// CDoseData

TEST(DoseDataTest, ConstructorCopiesRatioOnlyForCombinations) {
    double ratio[] = {1.0, 3.0};
    CDoseData single(2.0, 0.4, 1, ratio);
    EXPECT_FALSE(single.HasRatio());
    EXPECT_EQ(single.GetRatio(1), nullptr);

    CDoseData combo(2.0, 0.4, 2, ratio);
    ratio[1] = 99.0; // the point keeps its own copy
    ASSERT_NE(combo.GetRatio(2), nullptr);
    EXPECT_EQ(combo.GetRatio(2)[1], 3.0);
    EXPECT_EQ(combo.GetRatio(3), nullptr);
    EXPECT_EQ(combo.m_dose, 2.0);
    EXPECT_EQ(combo.m_fa, 0.4);

    const CDoseData fresh;
    EXPECT_EQ(fresh.m_nComponents, 1);
    EXPECT_EQ(fresh.m_dose, 0.0);
    EXPECT_EQ(fresh.m_fa, 0.0);
    EXPECT_FALSE(fresh.HasRatio());
}

TEST(DoseDataTest, MatchesNeedsCountAndRatio) {
    const double ratio[] = {1.0, 2.0};
    const CDoseData single(1.0, 0.5, 1, nullptr);
    const CDoseData combo(1.0, 0.5, 2, ratio);
    const CDoseData comboWithoutRatio(1.0, 0.5, 2, nullptr);

    EXPECT_TRUE(single.Matches(1));
    EXPECT_FALSE(single.Matches(2));
    EXPECT_TRUE(combo.Matches(2));
    EXPECT_FALSE(combo.Matches(1));
    EXPECT_FALSE(combo.Matches(3));
    EXPECT_FALSE(comboWithoutRatio.Matches(2));
}

TEST(DoseDataTest, SetRatioAndRatioAt) {
    CDoseData point(1.0, 0.5, 1, nullptr);
    point.SetRatio(3, nullptr); // no ratio given and none present: stays a single drug
    EXPECT_EQ(point.m_nComponents, 1);

    const double ratio[] = {1.0, 2.0, 4.0};
    point.SetRatio(3, ratio);
    EXPECT_EQ(point.m_nComponents, 3);
    EXPECT_EQ(point.RatioAt(0), 1.0);
    EXPECT_EQ(point.RatioAt(2), 4.0);
    EXPECT_EQ(point.RatioAt(-1), 0.0);
    EXPECT_EQ(point.RatioAt(3), 0.0);
    EXPECT_EQ(CDoseData().RatioAt(0), 0.0);

    // Raising the count without new values must not hand out a ratio that is
    // shorter than the count.
    point.SetRatio(4, nullptr);
    EXPECT_EQ(point.m_nComponents, 4);
    EXPECT_EQ(point.GetRatio(4), nullptr);
    EXPECT_EQ(point.RatioAt(3), 0.0);
}

TEST(DoseDataTest, CloneIsDeep) {
    const double ratio[] = {1.0, 5.0};
    CDoseData point(3.0, 0.25, 2, ratio);
    const auto copy = point.Clone();
    point.m_pRatio[1] = 7.0;
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_dose, 3.0);
    EXPECT_EQ(copy->m_fa, 0.25);
    EXPECT_EQ(copy->m_nComponents, 2);
    EXPECT_EQ(copy->RatioAt(1), 5.0);
}

// ---------------------------------------------------------------------------
// CDrugInfo: structure and points

TEST(DrugInfoTest, NewRecordDefaults) {
    const CDrugInfo drug;
    EXPECT_EQ(drug.m_bConstantRatio, 1);
    EXPECT_EQ(drug.m_nComponents, 1);
    EXPECT_EQ(drug.m_bFitValid, 0);
    EXPECT_EQ(drug.PointCount(), 0);
    EXPECT_EQ(drug.GetComponents(1), nullptr);
    EXPECT_EQ(drug.GetRatio(1, 0), nullptr);
    for (const auto& override : drug.m_graphOverride) {
        EXPECT_EQ(override, CGraphOverride{});
    }
}

TEST_F(RecordTest, AddPointKeepsDoseOrderAndArrivalOrderForEqualDoses) {
    CDrugInfo drug;
    const std::pair<double, double> arrivals[] = {{2.0, 0.3}, {1.0, 0.1}, {2.0, 0.4}, {3.0, 0.6}};
    for (const auto& [dose, fa] : arrivals) {
        ASSERT_TRUE(drug.AddPoint(drug.CreatePoint(dose, fa, 1, nullptr)));
    }
    EXPECT_EQ(Doses(drug), (std::vector<double>{1.0, 2.0, 2.0, 3.0}));
    EXPECT_EQ(drug.PointEffect(1), 0.3); // first of the two equal doses
    EXPECT_EQ(drug.PointEffect(2), 0.4);
    EXPECT_EQ(drug.m_bFitValid, 1);

    // A new smallest dose becomes the head; an equal head dose goes after it.
    ASSERT_TRUE(drug.AddPoint(drug.CreatePoint(0.5, 0.05, 1, nullptr)));
    ASSERT_TRUE(drug.AddPoint(drug.CreatePoint(0.5, 0.06, 1, nullptr)));
    EXPECT_EQ(drug.PointEffect(0), 0.05);
    EXPECT_EQ(drug.PointEffect(1), 0.06);
}

TEST_F(RecordTest, AddPointRefusesMismatchedPointAndLeavesItWithCaller) {
    auto drug = MakeDrug("A", "mg", {{1.0, 0.2}, {10.0, 0.8}});
    const double ratio[] = {1.0, 2.0};
    auto point = std::make_unique<CDoseData>(5.0, 0.5, 2, ratio);
    EXPECT_FALSE(drug->AddPoint(point));
    EXPECT_NE(point, nullptr);
    EXPECT_EQ(Doses(*drug), (std::vector<double>{1.0, 10.0}));

    std::unique_ptr<CDoseData> none;
    EXPECT_FALSE(drug->AddPoint(none));

    // A combination refuses a point without a ratio.
    auto combo = MakeCombination("A+B", {0, 1}, {1.0, 2.0});
    auto bare = std::make_unique<CDoseData>(5.0, 0.5, 2, nullptr);
    EXPECT_FALSE(combo->AddPoint(bare));
    EXPECT_EQ(combo->PointCount(), 0);
}

TEST_F(RecordTest, AddPointSucceedsEvenWhenTheRefitFails) {
    auto drug = MakeDrug("A", "mg", {{1.0, 0.2}, {10.0, 0.8}});
    ASSERT_EQ(drug->m_bFitValid, 1);
    m_sink.m_messages.clear();
    EXPECT_TRUE(drug->AddPoint(drug->CreatePoint(5.0, 1.0, 1, nullptr)));
    EXPECT_EQ(drug->PointCount(), 3);
    EXPECT_EQ(drug->m_bFitValid, 0);
    EXPECT_EQ(m_sink.m_messages, std::vector<std::string>{"Bad effect"});
}

TEST(DrugInfoTest, ConstantRatioCombinationGivesItsRatioToEveryPoint) {
    auto combo = MakeCombination("A+B", {0, 1}, {1.0, 3.0});
    const double other[] = {2.0, 9.0};

    // CreatePoint ignores the ratio argument of a constant-ratio record ...
    auto created = combo->CreatePoint(1.0, 0.3, 2, other);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->RatioAt(1), 3.0);
    EXPECT_EQ(combo->CreatePoint(1.0, 0.3, 1, nullptr), nullptr);
    EXPECT_EQ(combo->CreatePoint(1.0, 0.3, 3, other), nullptr);

    // ... and AddPoint overwrites the ratio of a point built elsewhere.
    auto foreign = std::make_unique<CDoseData>(2.0, 0.6, 2, other);
    ASSERT_TRUE(combo->AddPoint(foreign));
    ASSERT_TRUE(combo->AddPoint(created));
    for (int i = 0; i < combo->PointCount(); ++i) {
        EXPECT_EQ(combo->GetPoint(i)->RatioAt(0), 1.0);
        EXPECT_EQ(combo->GetPoint(i)->RatioAt(1), 3.0);
    }

    // A non-constant-ratio record keeps each point's own ratio.
    auto varying = MakeCombination("A+B", {0, 1}, {1.0, 3.0}, false);
    ASSERT_TRUE(varying->AddPoint(varying->CreatePoint(1.0, 0.3, 2, other)));
    EXPECT_EQ(varying->GetPoint(0)->RatioAt(1), 9.0);
}

TEST_F(RecordTest, ReplacePointResortsAndRefits) {
    auto drug = MakeDrug("A", "mg", {{1.0, 0.2}, {2.0, 0.4}, {10.0, 0.8}});
    auto point = drug->CreatePoint(20.0, 0.9, 1, nullptr);
    ASSERT_TRUE(drug->ReplacePoint(0, point));
    EXPECT_EQ(Doses(*drug), (std::vector<double>{2.0, 10.0, 20.0}));

    // Expected slope of the three remaining points, by least squares.
    const double xs[] = {std::log10(2.0), 1.0, std::log10(20.0)};
    const double ys[] = {std::log10(0.4 / 0.6), std::log10(0.8 / 0.2), std::log10(0.9 / 0.1)};
    double mx = 0.0, my = 0.0;
    for (int i = 0; i < 3; ++i) {
        mx += xs[i] / 3.0;
        my += ys[i] / 3.0;
    }
    double sxy = 0.0, sxx = 0.0;
    for (int i = 0; i < 3; ++i) {
        sxy += (xs[i] - mx) * (ys[i] - my);
        sxx += (xs[i] - mx) * (xs[i] - mx);
    }
    EXPECT_EQ(drug->m_bFitValid, 1);
    EXPECT_NEAR(drug->m_m, sxy / sxx, 1e-12);

    auto spare = drug->CreatePoint(3.0, 0.5, 1, nullptr);
    EXPECT_FALSE(drug->ReplacePoint(3, spare));
    EXPECT_FALSE(drug->ReplacePoint(-1, spare));
    EXPECT_NE(spare, nullptr);
    EXPECT_EQ(drug->PointCount(), 3);
}

TEST_F(RecordTest, ReplacePointWithRefusedPointLeavesRecordUnchanged) {
    auto drug = MakeDrug("A", "mg", {{1.0, 0.2}, {2.0, 0.4}, {10.0, 0.8}});
    const double slope = drug->m_m;
    const CDoseData* middle = drug->GetPoint(1);
    const double ratio[] = {1.0, 1.0};
    auto refused = std::make_unique<CDoseData>(5.0, 0.5, 2, ratio);

    EXPECT_FALSE(drug->ReplacePoint(1, refused));
    EXPECT_NE(refused, nullptr);
    EXPECT_EQ(Doses(*drug), (std::vector<double>{1.0, 2.0, 10.0}));
    EXPECT_EQ(drug->GetPoint(1), middle);
    EXPECT_EQ(drug->m_bFitValid, 1);
    EXPECT_EQ(drug->m_m, slope);
}

TEST_F(RecordTest, RemovePointRefitsAndRemoveAllHandsPointsBack) {
    auto drug = MakeDrug("A", "mg", {{1.0, 0.2}, {10.0, 0.8}});
    EXPECT_FALSE(drug->RemovePoint(2));
    EXPECT_FALSE(drug->RemovePoint(-1));
    ASSERT_TRUE(drug->RemovePoint(0));
    EXPECT_EQ(Doses(*drug), std::vector<double>{10.0});
    EXPECT_EQ(drug->m_bFitValid, 0);

    ASSERT_TRUE(drug->AddPoint(drug->CreatePoint(2.0, 0.3, 1, nullptr)));
    auto points = drug->RemoveAllPoints();
    EXPECT_EQ(drug->PointCount(), 0);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0]->m_dose, 2.0);
    EXPECT_EQ(points[1]->m_dose, 10.0);
}

TEST(DrugInfoTest, PointAccessOutOfRange) {
    auto drug = MakeDrug("A", "mg", {{1.0, 0.2}, {10.0, 0.8}});
    for (const int index : {-1, 2, 100}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(drug->GetPoint(index), nullptr);
        EXPECT_EQ(drug->PointEffect(index), -1.0);
        EXPECT_EQ(drug->PointDose(index), -1.0);
    }
    EXPECT_EQ(drug->PointEffect(1), 0.8);
    EXPECT_EQ(drug->PointDose(1), 10.0);
}

TEST(DrugInfoTest, SetComponentsAndConstantRatioRules) {
    CDrugInfo single;
    EXPECT_FALSE(single.SetConstantRatio(0));
    EXPECT_EQ(single.m_bConstantRatio, 1);
    EXPECT_FALSE(single.SetComponents(2, nullptr));
    EXPECT_EQ(single.m_nComponents, 1);

    const std::uint16_t ids[] = {4, 2, 7};
    ASSERT_TRUE(single.SetComponents(3, ids));
    ASSERT_NE(single.GetComponents(3), nullptr);
    EXPECT_EQ(single.GetComponents(3)[2], 7);
    EXPECT_EQ(single.GetComponents(2), nullptr);

    // The same count succeeds at once and keeps the old ids.
    const std::uint16_t others[] = {0, 1, 2};
    EXPECT_TRUE(single.SetComponents(3, others));
    EXPECT_EQ(single.GetComponents(3)[0], 4);

    const double wrongLength[] = {1.0, 2.0};
    EXPECT_FALSE(single.SetRatio(2, wrongLength));
    EXPECT_FALSE(single.SetRatio(3, nullptr));

    // Once the record has points its structure is fixed.
    auto combo = MakeCombination("A+B", {0, 1}, {1.0, 2.0});
    ASSERT_TRUE(combo->AddPoint(combo->CreatePoint(1.0, 0.3, 2, nullptr)));
    EXPECT_FALSE(combo->SetComponents(3, ids));
    EXPECT_FALSE(combo->SetComponents(1, nullptr));
    EXPECT_EQ(combo->m_nComponents, 2);
}

TEST(DrugInfoTest, ComponentDoseFollowsRatio) {
    auto combo = MakeCombination("A+B", {0, 3}, {1.0, 3.0});
    ASSERT_TRUE(combo->AddPoint(combo->CreatePoint(5.0, 0.4, 2, nullptr)));
    for (const int index : {0, 1, -1}) {
        SCOPED_TRACE(index);
        EXPECT_DOUBLE_EQ(combo->ComponentDose(5.0, 3, index), 15.0);
        EXPECT_DOUBLE_EQ(combo->ComponentDose(5.0, 0, index), 5.0);
    }
    EXPECT_EQ(combo->ComponentDose(5.0, 1, 0), 0.0); // not a component
    EXPECT_DOUBLE_EQ(combo->PointComponentDose(0, 3), 15.0);

    auto single = MakeDrug("A", "mg", {{5.0, 0.4}});
    EXPECT_EQ(single->ComponentDose(5.0, 0, 0), 0.0);

    auto noRatio = MakeCombination("A+B", {0, 1}, {});
    EXPECT_EQ(noRatio->ComponentDose(5.0, 1, 0), 0.0);

    auto zeroFirst = MakeCombination("A+B", {0, 1}, {0.0, 2.0});
    ASSERT_TRUE(zeroFirst->AddPoint(zeroFirst->CreatePoint(5.0, 0.4, 2, nullptr)));
    EXPECT_EQ(zeroFirst->ComponentDose(5.0, 0, 0), 0.0);
    EXPECT_EQ(zeroFirst->ComponentDose(5.0, 1, 0), 0.0);
    EXPECT_EQ(zeroFirst->DoseText(0, true, nullptr, 2), "");
}

TEST(DrugInfoTest, NonConstantRatioUsesEachPointsRatio) {
    auto combo = MakeCombination("A+B", {0, 1}, {1.0, 1.0}, false);
    const double first[] = {1.0, 2.0};
    const double second[] = {2.0, 1.0};
    ASSERT_TRUE(combo->AddPoint(combo->CreatePoint(4.0, 0.5, 2, first)));
    ASSERT_TRUE(combo->AddPoint(combo->CreatePoint(8.0, 0.7, 2, second)));

    EXPECT_DOUBLE_EQ(combo->PointComponentDose(0, 1), 8.0);
    EXPECT_DOUBLE_EQ(combo->PointComponentDose(1, 1), 4.0);
    EXPECT_EQ(combo->GetRatio(2, 1), combo->GetPoint(1)->GetRatio(2));
    EXPECT_EQ(combo->GetRatio(2, 2), nullptr);
    EXPECT_EQ(combo->GetRatio(3, 0), nullptr);
    EXPECT_EQ(combo->PointComponentDose(2, 1), 0.0);
}

TEST_F(RecordTest, CloneCopiesRecordAndFitsOnce) {
    auto combo = MakeCombination("A+B", {0, 2}, {1.0, 4.0});
    combo->m_strUnits = "mg";
    combo->m_strComment = "pilot";
    combo->m_graphOverride[kGraphFaCI].m_bActive = 1;
    for (const auto& [dose, fa] : {std::pair{1.0, 0.2}, {4.0, 0.5}, {10.0, 0.8}}) {
        ASSERT_TRUE(combo->AddPoint(combo->CreatePoint(dose, fa, 2, nullptr)));
    }

    const auto copy = combo->Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_strName, "A+B");
    EXPECT_EQ(copy->m_strUnits, "mg");
    EXPECT_EQ(copy->m_strComment, "pilot");
    EXPECT_EQ(copy->m_nComponents, 2);
    EXPECT_EQ(copy->m_pComponents, (std::vector<std::uint16_t>{0, 2}));
    EXPECT_EQ(copy->m_pRatio, (std::vector<double>{1.0, 4.0}));
    EXPECT_EQ(copy->m_graphOverride[kGraphFaCI], CGraphOverride{});
    EXPECT_EQ(Doses(*copy), Doses(*combo));
    EXPECT_NE(copy->GetPoint(0), combo->GetPoint(0));
    EXPECT_EQ(copy->m_bFitValid, 1);
    EXPECT_EQ(copy->m_m, combo->m_m);
    EXPECT_EQ(copy->m_yInt, combo->m_yInt);

    // A record with a bad point reports it once for the whole clone.
    auto bad = MakeDrug("A", "mg", {{1.0, 0.2}, {2.0, 1.0}, {3.0, 0.5}, {10.0, 0.8}});
    m_sink.m_messages.clear();
    const auto badCopy = bad->Clone();
    EXPECT_EQ(badCopy->PointCount(), 4);
    EXPECT_EQ(badCopy->m_bFitValid, 0);
    EXPECT_EQ(m_sink.m_messages, std::vector<std::string>{"Bad effect"});
}

TEST(DrugInfoTest, CollectDrugsAndComponentRemoval) {
    DrugList drugs;
    for (const char* name : {"A", "B", "C", "D"}) {
        drugs.push_back(MakeDrug(name, "mg"));
    }
    auto combo = MakeCombination("A+D", {0, 3}, {1.0, 1.0});

    std::vector<const CDrugInfo*> collected;
    ASSERT_TRUE(combo->CollectDrugs(drugs, collected));
    EXPECT_EQ(collected,
              (std::vector<const CDrugInfo*>{combo.get(), drugs[0].get(), drugs[3].get()}));
    ASSERT_TRUE(drugs[1]->CollectDrugs(drugs, collected));
    EXPECT_EQ(collected, std::vector<const CDrugInfo*>{drugs[1].get()});

    EXPECT_FALSE(combo->DoesNotUse(0));
    EXPECT_FALSE(combo->DoesNotUse(3));
    EXPECT_TRUE(combo->DoesNotUse(1));
    EXPECT_TRUE(drugs[0]->DoesNotUse(0));

    // Drug 1 of four was deleted: ids above it drop by one.
    combo->ComponentRemoved(1);
    EXPECT_EQ(combo->m_pComponents, (std::vector<std::uint16_t>{0, 2}));
    drugs.erase(drugs.begin() + 1);
    ASSERT_TRUE(combo->CollectDrugs(drugs, collected));
    EXPECT_EQ(collected.back()->m_strName, "D");

    // The list shrinks further: id 2 now has no record.
    drugs.pop_back();
    EXPECT_FALSE(combo->CollectDrugs(drugs, collected));
}

// ---------------------------------------------------------------------------
// CDrugInfo: texts

class DrugTextTest : public testing::Test {
protected:
    void SetUp() override {
        m_drugs.push_back(MakeDrug("Alpha", "mg"));
        m_drugs.push_back(MakeDrug("Beta", "ug"));
        m_drugs.push_back(MakeDrug("Gamma", "nM"));
        m_combo = MakeCombination("Alpha+Beta", {0, 1}, {1.0, 3.0});
        ASSERT_TRUE(m_combo->AddPoint(m_combo->CreatePoint(5.0, 0.4, 2, nullptr)));
    }

    DrugList m_drugs;
    std::unique_ptr<CDrugInfo> m_combo;
};

TEST_F(DrugTextTest, DoseTexts) {
    EXPECT_EQ(m_combo->DoseText(0, true, nullptr, 2), "5.00\t15.00");
    EXPECT_EQ(m_combo->DoseText(0, false, nullptr, 2), "5.00 15.00");
    EXPECT_EQ(m_combo->DoseText(0, true, &m_drugs, -1), "5mg\t15ug");
    EXPECT_EQ(m_combo->DoseTextFor(2.0, false, &m_drugs, 1), "2.0mg 6.0ug");

    auto single = MakeDrug("Alpha", "mg", {{0.25, 0.3}});
    EXPECT_EQ(single->DoseText(0, true, nullptr, 3), "0.250");
    EXPECT_EQ(single->DoseText(0, true, &m_drugs, 3), "0.250mg");
    EXPECT_EQ(single->DoseTextFor(12.5, false, &m_drugs, 1), "12.5mg");

    auto orphan = MakeCombination("Alpha+?", {0, 9}, {1.0, 2.0});
    ASSERT_TRUE(orphan->AddPoint(orphan->CreatePoint(5.0, 0.4, 2, nullptr)));
    EXPECT_EQ(orphan->DoseText(0, true, &m_drugs, 2), "");
    EXPECT_EQ(orphan->DoseText(0, true, nullptr, 2), "5.00\t10.00");
}

TEST_F(DrugTextTest, NameAndUnitTexts) {
    EXPECT_EQ(m_combo->ComponentNamesText(m_drugs, false), "Alpha\tBeta");
    EXPECT_EQ(m_combo->ComponentNamesText(m_drugs, true), "Alpha(mg)\tBeta(ug)");
    EXPECT_EQ(m_combo->ComponentUnitsText(m_drugs), "(mg)\t(ug)");
    EXPECT_EQ(m_combo->ComponentListText(m_drugs), "Alpha(mg) / Beta(ug)");
    std::string first, second;
    ASSERT_TRUE(m_combo->TwoComponentNames(m_drugs, first, second));
    EXPECT_EQ(first, "Alpha");
    EXPECT_EQ(second, "Beta");

    const CDrugInfo& single = *m_drugs[2];
    EXPECT_EQ(single.ComponentNamesText(m_drugs, true), "Gamma");
    EXPECT_EQ(single.ComponentUnitsText(m_drugs), "nM");
    EXPECT_EQ(single.ComponentListText(m_drugs), "Not a combination");
    EXPECT_FALSE(single.TwoComponentNames(m_drugs, first, second));

    auto orphan = MakeCombination("Alpha+?", {0, 9}, {1.0, 2.0});
    EXPECT_EQ(orphan->ComponentNamesText(m_drugs, true), "Alpha(mg)\tNK");
    EXPECT_FALSE(orphan->TwoComponentNames(m_drugs, first, second));

    auto triple = MakeCombination("All", {0, 1, 2}, {1.0, 1.0, 1.0});
    EXPECT_FALSE(triple->TwoComponentNames(m_drugs, first, second));
    EXPECT_EQ(triple->ComponentNamesText(m_drugs, false), "Alpha\tBeta\tGamma");
}

TEST_F(DrugTextTest, RatioTexts) {
    EXPECT_EQ(m_combo->RatioText(2), "1.00:3.00");
    EXPECT_EQ(m_combo->PointRatioText(0, 1), "1.0:3.0");
    EXPECT_EQ(m_drugs[0]->RatioText(2), "Not a combination");

    // Ratios never switch to exponent form.
    auto wide = MakeCombination("Alpha+Beta", {0, 1}, {1.0, 20000.0});
    EXPECT_EQ(wide->RatioText(0), "1:20000");

    auto varying = MakeCombination("Alpha+Beta", {0, 1}, {1.0, 1.0}, false);
    const double ratio[] = {2.0, 5.0};
    ASSERT_TRUE(varying->AddPoint(varying->CreatePoint(1.0, 0.5, 2, ratio)));
    EXPECT_EQ(varying->RatioText(1), "");
    EXPECT_EQ(varying->PointRatioText(0, 1), "2.0:5.0");
    EXPECT_EQ(varying->PointRatioText(1, 1), "N/A");
}

// ---------------------------------------------------------------------------
// FormatNumber

struct FormatCase {
    double value;
    int precision;
    bool autoExponent;
    const char* expected;
};

TEST(FormatNumberTest, FixedOrExponentForm) {
    const FormatCase cases[] = {
        {12345.6, 3, true, "1.23e+04"},   // at or above 10000: significant digits
        {10000.0, 2, true, "1e+04"},      // the upper bound itself
        {9999.5, 1, true, "9999.5"},      // just inside: decimals
        {0.5, 3, true, "0.500"},          //
        {0.5, -1, true, "0.5"},           // negative precision: plain %g
        {0.0001, 3, true, "0.0001"},      // the lower bound itself
        {0.00011, 3, true, "0.000"},      // just inside
        {0.0, 3, true, "0"},              // zero is outside the range
        {-0.5, 2, true, "-0.5"},          // so are negatives
        {-12345.6, 3, true, "-1.23e+04"}, //
        {12345.6, 1, false, "12345.6"},   // no automatic exponent
        {0.00001, 2, false, "0.00"},      //
        {1234567.0, -1, false, "1.23457e+06"},
        {-2.0, -1, false, "-2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.value << " precision " << c.precision << " auto " << c.autoExponent);
        EXPECT_EQ(FormatNumber(c.value, c.precision, c.autoExponent), c.expected);
    }
}

TEST(FormatNumberTest, TooLongFixedTextFallsBackToExponentForm) {
    // 34 characters in fixed form: printed with two significant digits.
    EXPECT_EQ(FormatNumber(1e30, 2, false), "1e+30");
    EXPECT_EQ(FormatNumber(-1e30, 0, false), "-1e+30");
    // 26 characters still fit in fixed form.
    EXPECT_EQ(FormatNumber(1e25, 0, false).size(), 26u);

    // Far too many decimals: the text keeps every digit a double has.
    const double third = 1.0 / 3.0;
    const std::string text = FormatNumber(third, 40, false);
    EXPECT_LE(text.size(), 29u);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), third);
    EXPECT_LE(FormatNumber(-1e300, 3, false).size(), 29u);
}

// ---------------------------------------------------------------------------
// CDoseplexDoc

TEST(DocumentTest, NewDocumentDefaults) {
    const std::uint32_t before = TickCount();
    const CDoseplexDoc doc;
    const std::uint32_t after = TickCount();

    EXPECT_TRUE(doc.m_strTitle.empty());
    EXPECT_TRUE(doc.m_strNotes.empty());
    EXPECT_TRUE(doc.m_strDate.empty());
    EXPECT_TRUE(doc.m_strInvestigator.empty());
    EXPECT_EQ(doc.DrugCount(), 0);
    EXPECT_EQ(doc.GetDrug(0), nullptr);
    EXPECT_TRUE(doc.m_summaryDrugs.empty());
    EXPECT_EQ(doc.m_nCurrentDrug, -1);
    EXPECT_EQ(doc.m_nDrugsPerMedianGraph, 5);
    EXPECT_EQ(doc.m_nDrugsPerCIGraph, 3);
    EXPECT_EQ(doc.m_bOpenSummaryReport, 0);
    EXPECT_EQ(doc.m_bOpenSummaryGraphs, 0);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_GE(doc.m_lastChange, before);
    EXPECT_LE(doc.m_lastChange, after);

    const CAnalysisOptions& a = doc.m_analysis;
    EXPECT_EQ(a.m_nMonteCarlo, 0);
    EXPECT_EQ(a.m_nErrorBand, 1);
    EXPECT_EQ(a.m_nNonExCI, 1);
    EXPECT_EQ(a.m_nDRI, 1);
    EXPECT_EQ(a.m_nEffectTable, 1);
    EXPECT_EQ(a.m_nGraphRepeats, 100);
    EXPECT_EQ(a.m_nReportRepeats, 200);
    EXPECT_EQ(a.m_dEffectEnd, 0.95);
    EXPECT_EQ(a.m_dEffectFirst, 0.02);
    EXPECT_EQ(a.m_dEffectLast, 0.99);
    EXPECT_EQ(a.m_dEffectStart, 0.05);
    EXPECT_EQ(a.m_dEffectStep, 0.05);
    EXPECT_EQ(a.m_dEffect1, 0.50);
    EXPECT_EQ(a.m_dEffect2, 0.75);
    EXPECT_EQ(a.m_dEffect3, 0.90);
    EXPECT_EQ(a.m_dSdMultiple, 1.96);

    const CGraphOptions& g = doc.m_graph;
    EXPECT_EQ(g.m_nGraphsPerRow, 2);
    EXPECT_EQ(g.m_nGraphsPerPage, 6);
    for (const int flag : {g.m_nLogPlots, g.m_nConservativeIso, g.m_nColourPrint,
                           g.m_nNonExclusiveCI, g.m_nCILine, g.m_nCIPoints}) {
        EXPECT_EQ(flag, 1);
    }
}

// [A, B, C, A+C]: the combination refers to ids 0 and 2.
class DrugListTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"A", "B", "C"}) {
            ASSERT_TRUE(m_doc.AddDrug(MakeDrug(name, "mg")));
        }
        ASSERT_TRUE(m_doc.AddDrug(MakeCombination("A+C", {0, 2}, {1.0, 1.0})));
        m_a = m_doc.GetDrug(0);
        m_b = m_doc.GetDrug(1);
        m_c = m_doc.GetDrug(2);
        m_ac = m_doc.GetDrug(3);
        m_doc.m_summaryDrugs = {m_c, m_a, m_b};
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int i = 0; i < m_doc.DrugCount(); ++i) {
            names.push_back(m_doc.GetDrug(i)->m_strName);
        }
        return names;
    }

    CDoseplexDoc m_doc;
    CDrugInfo* m_a = nullptr;
    CDrugInfo* m_b = nullptr;
    CDrugInfo* m_c = nullptr;
    CDrugInfo* m_ac = nullptr;
};

TEST_F(DrugListTest, GetAndAddDrug) {
    EXPECT_EQ(m_doc.DrugCount(), 4);
    EXPECT_EQ(m_doc.GetDrug(-1), nullptr);
    EXPECT_EQ(m_doc.GetDrug(4), nullptr);
    EXPECT_EQ(m_ac->m_strName, "A+C");

    EXPECT_FALSE(m_doc.AddDrug(nullptr));
    EXPECT_EQ(m_doc.DrugCount(), 4);
    ASSERT_TRUE(m_doc.AddDrug(MakeDrug("D", "mg")));
    EXPECT_EQ(m_doc.GetDrug(4)->m_strName, "D");
}

TEST_F(DrugListTest, DeleteUnusedDrugRenumbersCombination) {
    ASSERT_TRUE(m_doc.DeleteDrug(1));
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "C", "A+C"}));
    EXPECT_EQ(m_ac->m_pComponents, (std::vector<std::uint16_t>{0, 1}));
    std::vector<const CDrugInfo*> collected;
    ASSERT_TRUE(m_ac->CollectDrugs(m_doc.m_drugs, collected));
    EXPECT_EQ(collected, (std::vector<const CDrugInfo*>{m_ac, m_a, m_c}));
    // The deleted drug also left the summary selection; the rest keep their order.
    EXPECT_EQ(m_doc.m_summaryDrugs, (std::vector<CDrugInfo*>{m_c, m_a}));
}

TEST_F(DrugListTest, DeleteIsRefusedWhileACombinationUsesTheDrug) {
    for (const long long id : {0LL, 2LL}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(m_doc.DeleteDrug(id));
        EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B", "C", "A+C"}));
        EXPECT_EQ(m_doc.m_summaryDrugs, (std::vector<CDrugInfo*>{m_c, m_a, m_b}));
        EXPECT_EQ(m_ac->m_pComponents, (std::vector<std::uint16_t>{0, 2}));
    }
    EXPECT_FALSE(m_doc.DeleteDrug(4));
    EXPECT_FALSE(m_doc.DeleteDrug(-1));

    // Once the combination is gone its components can go.
    ASSERT_TRUE(m_doc.DeleteDrug(3));
    ASSERT_TRUE(m_doc.DeleteDrug(0));
    EXPECT_EQ(Names(), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(m_doc.m_summaryDrugs, (std::vector<CDrugInfo*>{m_c, m_b}));
}

TEST(DocumentTest, DeletingTheOnlyDrugEmptiesTheList) {
    CDoseplexDoc doc;
    ASSERT_TRUE(doc.AddDrug(MakeDrug("A", "mg")));
    ASSERT_TRUE(doc.DeleteDrug(0));
    EXPECT_EQ(doc.DrugCount(), 0);
    EXPECT_EQ(doc.GetDrug(0), nullptr);
    EXPECT_FALSE(doc.DeleteDrug(0));
}

TEST_F(DrugListTest, ReplaceDrugKeepsSelectionPlace) {
    auto replacement = MakeDrug("A'", "mg");
    CDrugInfo* fresh = replacement.get();
    ASSERT_TRUE(m_doc.ReplaceDrug(0, std::move(replacement)));
    EXPECT_EQ(m_doc.GetDrug(0), fresh);
    EXPECT_EQ(m_doc.m_summaryDrugs, (std::vector<CDrugInfo*>{m_c, fresh, m_b}));
    EXPECT_EQ(m_doc.DrugCount(), 4);

    EXPECT_FALSE(m_doc.ReplaceDrug(4, MakeDrug("X", "mg")));
    EXPECT_FALSE(m_doc.ReplaceDrug(-1, MakeDrug("X", "mg")));
    EXPECT_FALSE(m_doc.ReplaceDrug(1, nullptr));
    EXPECT_EQ(Names(), (std::vector<std::string>{"A'", "B", "C", "A+C"}));
    EXPECT_EQ(m_doc.m_summaryDrugs, (std::vector<CDrugInfo*>{m_c, fresh, m_b}));
}

TEST_F(DrugListTest, SelectSummaryGraphsChecksCountsAndRecords) {
    struct Counts {
        int median;
        int ci;
        bool accepted;
    };
    const Counts cases[] = {{1, 1, true},  {6, 4, true},  {0, 3, false}, {7, 3, false},
                            {5, 0, false}, {5, 5, false}, {-1, 2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.median << "/" << c.ci);
        m_doc.m_nDrugsPerMedianGraph = 5;
        m_doc.m_nDrugsPerCIGraph = 3;
        m_doc.m_summaryDrugs = {m_c};
        m_doc.SetModifiedFlag(false);
        EXPECT_EQ(m_doc.SelectSummaryGraphs({m_ac, m_a}, c.median, c.ci), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(m_doc.m_summaryDrugs, (std::vector<CDrugInfo*>{m_ac, m_a}));
            EXPECT_EQ(m_doc.m_nDrugsPerMedianGraph, c.median);
            EXPECT_EQ(m_doc.m_nDrugsPerCIGraph, c.ci);
            EXPECT_TRUE(m_doc.IsModified());
        } else {
            EXPECT_EQ(m_doc.m_summaryDrugs, std::vector<CDrugInfo*>{m_c});
            EXPECT_EQ(m_doc.m_nDrugsPerMedianGraph, 5);
            EXPECT_EQ(m_doc.m_nDrugsPerCIGraph, 3);
            EXPECT_FALSE(m_doc.IsModified());
        }
    }

    // A record that is not in the drug list is refused.
    CDrugInfo stranger;
    m_doc.m_summaryDrugs = {m_c};
    EXPECT_FALSE(m_doc.SelectSummaryGraphs({m_a, &stranger}, 5, 3));
    EXPECT_EQ(m_doc.m_summaryDrugs, std::vector<CDrugInfo*>{m_c});

    EXPECT_TRUE(m_doc.SelectSummaryGraphs({}, 5, 3));
    EXPECT_TRUE(m_doc.m_summaryDrugs.empty());
}

TEST(DocumentTest, EditsStampTheChangeAndSetModified) {
    CDoseplexDoc doc;
    auto check = [&doc](const char* what, auto&& edit) {
        SCOPED_TRACE(what);
        doc.SetModifiedFlag(false);
        doc.m_lastChange = 0;
        const std::uint32_t before = TickCount();
        edit();
        EXPECT_TRUE(doc.IsModified());
        EXPECT_GE(doc.m_lastChange, before);
        EXPECT_LE(doc.m_lastChange, TickCount());
    };

    check("details", [&] { doc.EditDetails("Title", "Investigator", "1 May", "line1\nline2"); });
    EXPECT_EQ(doc.m_strTitle, "Title");
    EXPECT_EQ(doc.m_strInvestigator, "Investigator");
    EXPECT_EQ(doc.m_strDate, "1 May");
    EXPECT_EQ(doc.m_strNotes, "line1\nline2");

    CAnalysisOptions analysis;
    analysis.m_nReportRepeats = 500;
    analysis.m_dSdMultiple = 2.5;
    check("options", [&] { doc.EditOptions(analysis); });
    EXPECT_EQ(doc.m_analysis, analysis);

    CGraphOptions graph;
    graph.m_nGraphsPerRow = 4;
    check("graph setup", [&] { doc.EditGraphSetup(graph); });
    EXPECT_EQ(doc.m_graph, graph);

    // Touch alone stamps without marking the document modified.
    doc.SetModifiedFlag(false);
    doc.m_lastChange = 0;
    const std::uint32_t before = TickCount();
    doc.Touch();
    EXPECT_GE(doc.m_lastChange, before);
    EXPECT_FALSE(doc.IsModified());

    // A change within the millisecond of the last one still gives a new
    // stamp, so windows built at the old stamp rebuild.
    for (int i = 0; i < 100; ++i) {
        const std::uint32_t stamp = TickCount();
        doc.m_lastChange = stamp;
        doc.Touch();
        EXPECT_NE(doc.m_lastChange, stamp);
    }
}

TEST_F(DrugListTest, ContentsChangedIsSentOnlyWhenAsked) {
    m_doc.NotifyContentsChanged(); // no listener: nothing happens

    int calls = 0;
    m_doc.m_onContentsChanged = [&calls] { ++calls; };
    // The commands that add or delete drugs send the notification themselves.
    ASSERT_TRUE(m_doc.AddDrug(MakeDrug("D", "mg")));
    ASSERT_TRUE(m_doc.DeleteDrug(4));
    EXPECT_EQ(calls, 0);
    m_doc.NotifyContentsChanged();
    EXPECT_EQ(calls, 1);
}

} // namespace
