// Median-effect fit, predictions, combination and dose reduction indices, and
// their algebraic and Monte Carlo error estimates.
#include "core/drug_info.h"
#include "core/message_sink.h"
#include "core/random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace doseplex;

using Points = std::vector<std::pair<double, double>>; // (dose, fa)

const double kSqrt10 = std::sqrt(10.0);
const double kLog16 = std::log10(16.0);

// Two points each: slope log10(16), no standard errors, Dm = sqrt(10) x scale.
const Points kTwoPointA = {{1.0, 0.2}, {10.0, 0.8}};
const Points kTwoPointB = {{2.0, 0.2}, {20.0, 0.8}};
const Points kTwoPointC = {{3.0, 0.2}, {30.0, 0.8}};

// Scattered data with non-zero standard errors.
const Points kScatterA = {{1.0, 0.15}, {2.0, 0.35}, {5.0, 0.55}, {10.0, 0.8}};
const Points kScatterB = {{2.0, 0.1}, {5.0, 0.3}, {10.0, 0.6}, {20.0, 0.75}};
const Points kScatterC = {{1.0, 0.1}, {4.0, 0.3}, {8.0, 0.5}, {30.0, 0.85}};
const Points kScatterSmallDm = {{0.01, 0.3}, {0.05, 0.55}, {0.1, 0.7}, {0.5, 0.85}};

std::unique_ptr<CDrugInfo> MakeDrug(const Points& points) {
    auto drug = std::make_unique<CDrugInfo>();
    for (const auto& [dose, fa] : points) {
        EXPECT_TRUE(drug->AddPoint(drug->CreatePoint(dose, fa, 1, nullptr)));
    }
    return drug;
}

std::unique_ptr<CDrugInfo> MakeCombination(const std::vector<std::uint16_t>& ids,
                                           const std::vector<double>& ratio, const Points& points) {
    auto combo = std::make_unique<CDrugInfo>();
    const auto count = static_cast<std::uint16_t>(ids.size());
    EXPECT_TRUE(combo->SetComponents(count, ids.data()));
    if (!ratio.empty()) {
        EXPECT_TRUE(combo->SetRatio(count, ratio.data()));
    }
    for (const auto& [dose, fa] : points) {
        EXPECT_TRUE(combo->AddPoint(combo->CreatePoint(dose, fa, count, nullptr)));
    }
    return combo;
}

// --- Reference computations, written out from the model's formulas ----------

struct Line {
    double m = 0.0;
    double yInt = 0.0;
    double seM = 0.0;
    double seYInt = 0.0;
    double ccsi = 0.0;
    double r2 = 1.0;
    double Dm() const { return std::pow(10.0, -yInt / m); }
};

// Least squares in centred form; the correlation of the estimates from their
// covariance.
Line ReferenceFit(const Points& points) {
    const double n = static_cast<double>(points.size());
    std::vector<double> xs, ys;
    double mx = 0.0, my = 0.0;
    for (const auto& [dose, fa] : points) {
        xs.push_back(std::log10(dose));
        ys.push_back(std::log10(fa / (1.0 - fa)));
        mx += xs.back() / n;
        my += ys.back() / n;
    }
    double sxx = 0.0, sxy = 0.0, syy = 0.0;
    for (size_t i = 0; i < xs.size(); ++i) {
        sxx += (xs[i] - mx) * (xs[i] - mx);
        sxy += (xs[i] - mx) * (ys[i] - my);
        syy += (ys[i] - my) * (ys[i] - my);
    }
    Line line;
    line.m = sxy / sxx;
    line.yInt = my - line.m * mx;
    if (points.size() == 2) {
        return line;
    }
    double sse = 0.0;
    for (size_t i = 0; i < xs.size(); ++i) {
        const double residual = ys[i] - (line.m * xs[i] + line.yInt);
        sse += residual * residual;
    }
    const double s2 = sse / (n - 2.0);
    line.seM = std::sqrt(s2 / sxx);
    line.seYInt = std::sqrt(s2 * (1.0 / n + mx * mx / sxx));
    const double covariance = -mx * s2 / sxx;
    line.ccsi = covariance / (line.seM * line.seYInt);
    line.r2 = 1.0 - sse / syy;
    return line;
}

double ReferenceDose(const Line& line, double fa) {
    return line.Dm() * std::pow(fa / (1.0 - fa), 1.0 / line.m);
}

// log10 of the predicted dose and its standard error.
std::pair<double, double> ReferenceLogDose(const Line& line, double fa) {
    const double u = std::log10(fa / (1.0 - fa)) - line.yInt;
    const double logDose = u / line.m;
    const double a = line.seM / line.m;
    const double b = line.seYInt / u;
    return {logDose, std::fabs(logDose) * std::sqrt(a * a + 2.0 * line.ccsi * a * b + b * b)};
}

double ReferenceDoseSD(const std::pair<double, double>& logDose) {
    const auto [value, se] = logDose;
    return std::fabs(std::pow(10.0, value + se) - std::pow(10.0, value - se)) / 2.0;
}

// The generator and polar method written out independently.
class ReferenceRandom {
public:
    int Uniform() {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7FFFu);
    }
    double Normal() {
        for (;;) {
            const double u1 = Uniform() * (2.0 / 32767.0) - 1.0;
            const double u2 = Uniform() * (2.0 / 32767.0) - 1.0;
            const double s = u1 * u1 + u2 * u2;
            if (s < 1.0) {
                return u1 * std::sqrt(-2.0 * std::log(s) / s);
            }
        }
    }
    double SimulatedDose(const Line& line, double fa) {
        const double z1 = Normal();
        const double z2 = Normal();
        const double m = line.m + line.seM * z1;
        const double yInt = line.yInt + line.seYInt * (line.ccsi * z1 +
                                                       std::sqrt(1.0 - line.ccsi * line.ccsi) * z2);
        return std::pow(fa / (1.0 - fa), 1.0 / m) * std::pow(10.0, -yInt / m);
    }

private:
    std::uint32_t m_state = 1;
};

// Relative comparison for quantities of arbitrary size.
void ExpectRelNear(double actual, double expected, double tolerance = 1e-9) {
    EXPECT_NEAR(actual, expected, tolerance * std::fabs(expected)) << "expected " << expected;
}

// Fits that meet bad points report them; keep those messages in the test.
class AnalysisTest : public testing::Test {
protected:
    CCollectingMessageSink m_sink;
    CScopedMessageSink m_scope{m_sink};
};

// ---------------------------------------------------------------------------
// Median-effect fit

TEST_F(AnalysisTest, TwoPointFitIsExact) {
    const auto drug = MakeDrug(kTwoPointA);
    double m = 0, seM = 1, dm = 0, lower = 0, upper = 0, r = 0, ccsi = 1, yInt = 0, seYInt = 1;
    ASSERT_TRUE(drug->GetAllParameters(m, seM, dm, lower, upper, r, ccsi, yInt, seYInt));
    EXPECT_NEAR(m, 1.20412, 1e-5);
    EXPECT_NEAR(yInt, -0.60206, 1e-5);
    EXPECT_NEAR(dm, 3.16228, 1e-5);
    EXPECT_EQ(seM, 0.0);
    EXPECT_EQ(seYInt, 0.0);
    EXPECT_EQ(ccsi, 0.0);
    EXPECT_DOUBLE_EQ(r, 1.0);
    EXPECT_DOUBLE_EQ(lower, dm);
    EXPECT_DOUBLE_EQ(upper, dm);
}

TEST_F(AnalysisTest, ScatteredFitMatchesLeastSquares) {
    for (const Points* points : {&kScatterA, &kScatterB, &kScatterSmallDm}) {
        const Line ref = ReferenceFit(*points);
        SCOPED_TRACE(testing::Message() << "Dm " << ref.Dm());
        const auto drug = MakeDrug(*points);
        double m = 0, seM = 0, dm = 0, lower = 0, upper = 0, r = 0, ccsi = 0, yInt = 0, seYInt = 0;
        ASSERT_TRUE(drug->GetAllParameters(m, seM, dm, lower, upper, r, ccsi, yInt, seYInt));
        ExpectRelNear(m, ref.m);
        ExpectRelNear(yInt, ref.yInt);
        ExpectRelNear(seM, ref.seM);
        ExpectRelNear(seYInt, ref.seYInt);
        ExpectRelNear(ccsi, ref.ccsi);
        ExpectRelNear(r, std::sqrt(ref.r2));
        ExpectRelNear(dm, ref.Dm());

        // 95% limits of Dm: the delta method on log10 Dm = -yInt/m, written out
        // from the covariance matrix of the two estimates.
        const double q = -ref.yInt / ref.m;
        const double covariance = ref.ccsi * ref.seM * ref.seYInt;
        const double se =
            std::sqrt(ref.seYInt * ref.seYInt + q * q * ref.seM * ref.seM + 2.0 * q * covariance) /
            std::fabs(ref.m);
        ExpectRelNear(lower, std::pow(10.0, q - 1.96 * se));
        ExpectRelNear(upper, std::pow(10.0, q + 1.96 * se));
        EXPECT_LT(lower, dm);
        EXPECT_GT(upper, dm);
    }
}

TEST_F(AnalysisTest, PerfectFitOfThreePointsHasNoErrorsAndFiniteCorrelation) {
    // log10(D) equals log10(fa/fu) at every point: slope 1, intercept 0, Dm 1.
    const auto drug = MakeDrug({{1.0 / 3.0, 0.25}, {1.0, 0.5}, {3.0, 0.75}});
    double m = 0, seM = 1, dm = 0, lower = 1, upper = 1, r = 0, ccsi = 1, yInt = 1, seYInt = 1;
    ASSERT_TRUE(drug->GetAllParameters(m, seM, dm, lower, upper, r, ccsi, yInt, seYInt));
    EXPECT_DOUBLE_EQ(m, 1.0);
    EXPECT_NEAR(yInt, 0.0, 1e-15);
    EXPECT_NEAR(seM, 0.0, 1e-12);
    EXPECT_NEAR(seYInt, 0.0, 1e-12);
    EXPECT_EQ(ccsi, 0.0);
    EXPECT_DOUBLE_EQ(r, 1.0);
    EXPECT_DOUBLE_EQ(dm, 1.0);
    // Without scatter the limits close on Dm, an intercept of 0 included.
    EXPECT_DOUBLE_EQ(lower, 1.0);
    EXPECT_DOUBLE_EQ(upper, 1.0);
}

// The limits of Dm are a property of the data, not of the unit the doses were
// typed in: the same data in nM, pM, uM and M give the same limits up to the
// unit, equal to the dose-effect table's limits at fa 0.5.
TEST_F(AnalysisTest, DmLimitsFollowTheDoseUnit) {
    const Points nanomolar = {{0.5, 0.12}, {1.0, 0.27}, {2.0, 0.46}, {4.0, 0.71}, {8.0, 0.84}};
    double nmDm = 0, nmLower = 0, nmUpper = 0;
    for (const double scale : {1.0, 1e3, 1e-3, 1e-9}) {
        SCOPED_TRACE(testing::Message() << "unit factor " << scale);
        Points points;
        for (const auto& [dose, fa] : nanomolar) {
            points.emplace_back(dose * scale, fa);
        }
        const auto drug = MakeDrug(points);
        double m = 0, seM = 0, dm = 0, lower = 0, upper = 0, r = 0;
        ASSERT_TRUE(drug->GetParameters(m, seM, dm, lower, upper, r));
        if (scale == 1.0) {
            nmDm = dm;
            nmLower = lower;
            nmUpper = upper;
        }
        ExpectRelNear(dm, nmDm * scale, 1e-12);
        ExpectRelNear(lower, nmLower * scale, 1e-12);
        ExpectRelNear(upper, nmUpper * scale, 1e-12);
        EXPECT_LT(lower, dm);
        EXPECT_GT(upper, dm);
        double logDose = 0, se = 0;
        ASSERT_TRUE(drug->LogDoseForEffect(0.5, logDose, se));
        ExpectRelNear(lower, std::pow(10.0, logDose - 1.96 * se), 1e-12);
        ExpectRelNear(upper, std::pow(10.0, logDose + 1.96 * se), 1e-12);
    }
    // The same interval from R (below).
    ExpectRelNear(nmLower, 2.07884072527, 1e-11);
    ExpectRelNear(nmUpper, 2.30159043005, 1e-11);

    // R: lm(log10(fa/(1-fa)) ~ log10(D)), delta-method interval of -b0/b1 from vcov().
    const struct {
        double scale, lower, upper;
    } fromR[] = {{1e-3, 0.00269652674399, 0.00338565689470}, {1.0, 2.69652674399, 3.38565689470}};
    for (const auto& expected : fromR) {
        const auto drug = MakeDrug({{1.0 * expected.scale, 0.2},
                                    {2.0 * expected.scale, 0.35},
                                    {4.0 * expected.scale, 0.6}});
        double m = 0, seM = 0, dm = 0, lower = 0, upper = 0, r = 0;
        ASSERT_TRUE(drug->GetParameters(m, seM, dm, lower, upper, r));
        ExpectRelNear(lower, expected.lower, 1e-11);
        ExpectRelNear(upper, expected.upper, 1e-11);
    }

    // An intercept of exactly 0 (Dm exactly 1) is no special case.
    auto drug = MakeDrug(kScatterA);
    drug->m_yInt = 0.0;
    double m = 0, seM = 0, dm = 0, lower = 0, upper = 0, r = 0;
    ASSERT_TRUE(drug->GetParameters(m, seM, dm, lower, upper, r));
    EXPECT_EQ(dm, 1.0);
    ExpectRelNear(lower, std::pow(10.0, -1.96 * drug->m_seYInt / m), 1e-12);
    ExpectRelNear(upper, std::pow(10.0, 1.96 * drug->m_seYInt / m), 1e-12);
}

struct BadPointCase {
    const char* name;
    Points points;
    const char* message;
};

TEST_F(AnalysisTest, BadPointStopsFitWithOneMessage) {
    const BadPointCase cases[] = {
        {"zero dose", {{0.0, 0.3}, {1.0, 0.2}, {10.0, 0.8}}, "Negative dose"},
        {"negative dose", {{-1.0, 0.3}, {1.0, 0.2}, {10.0, 0.8}}, "Negative dose"},
        {"fa 1 in the middle", {{1.0, 0.2}, {5.0, 1.0}, {10.0, 0.8}}, "Bad effect"},
        {"fa 0 last", {{1.0, 0.2}, {10.0, 0.8}, {20.0, 0.0}}, "Bad effect"},
        {"fa above 1", {{1.0, 0.2}, {10.0, 1.5}}, "Bad effect"},
        {"first bad point in dose order wins",
         {{5.0, 1.0}, {0.0, 0.5}, {10.0, 0.8}},
         "Negative dose"},
        {"two bad effects", {{1.0, 0.2}, {5.0, 1.0}, {10.0, -0.5}}, "Bad effect"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto drug = MakeDrug(c.points);
        m_sink.m_messages.clear();
        EXPECT_FALSE(drug->Fit());
        EXPECT_EQ(m_sink.m_messages, std::vector<std::string>{c.message});
        EXPECT_EQ(drug->m_bFitValid, 0);
        EXPECT_EQ(drug->PointCount(), static_cast<int>(c.points.size()));

        double m = 7, seM = 7, dm = 7, lower = 7, upper = 7, r = 7;
        EXPECT_FALSE(drug->GetParameters(m, seM, dm, lower, upper, r));
        EXPECT_EQ(m, 7.0);
        EXPECT_EQ(dm, 7.0);
        EXPECT_EQ(r, 7.0);
    }
}

TEST_F(AnalysisTest, SilentlyNoFit) {
    auto nonConstant = MakeCombination({0, 1}, {1.0, 1.0}, {});
    ASSERT_TRUE(nonConstant->SetConstantRatio(0));
    const double ratio[] = {1.0, 2.0};
    for (const auto& [dose, fa] : kTwoPointA) {
        ASSERT_TRUE(nonConstant->AddPoint(nonConstant->CreatePoint(dose, fa, 2, ratio)));
    }

    struct Case {
        const char* name;
        std::unique_ptr<CDrugInfo> drug;
    };
    Case cases[] = {
        {"no points", MakeDrug({})},
        {"one point", MakeDrug({{1.0, 0.5}})},
        {"one dose", MakeDrug({{2.0, 0.3}, {2.0, 0.6}, {2.0, 0.5}})},
        {"non-constant ratio", std::move(nonConstant)},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_sink.m_messages.clear();
        EXPECT_FALSE(c.drug->Fit());
        EXPECT_EQ(c.drug->m_bFitValid, 0);
        EXPECT_TRUE(m_sink.m_messages.empty());
    }

    // A valid fit is lost when a later point leaves only one dose.
    auto drug = MakeDrug({{2.0, 0.3}, {4.0, 0.6}});
    ASSERT_EQ(drug->m_bFitValid, 1);
    ASSERT_TRUE(drug->RemovePoint(1));
    ASSERT_TRUE(drug->AddPoint(drug->CreatePoint(2.0, 0.6, 1, nullptr)));
    EXPECT_EQ(drug->m_bFitValid, 0);
}

TEST_F(AnalysisTest, CombinationFitsFirstComponentDosesAndAnySlopeSign) {
    const auto single = MakeDrug(kScatterA);
    const auto combo = MakeCombination({0, 1}, {1.0, 5.0}, kScatterA);
    ASSERT_EQ(combo->m_bFitValid, 1);
    EXPECT_DOUBLE_EQ(combo->m_m, single->m_m);
    EXPECT_DOUBLE_EQ(combo->m_yInt, single->m_yInt);
    EXPECT_DOUBLE_EQ(combo->m_seM, single->m_seM);

    const auto falling = MakeDrug({{1.0, 0.8}, {10.0, 0.2}});
    EXPECT_EQ(falling->m_bFitValid, 1);
    EXPECT_NEAR(falling->m_m, -kLog16, 1e-12);
}

// ---------------------------------------------------------------------------
// Predictions

TEST_F(AnalysisTest, PredictionsOfTwoPointFit) {
    const auto drug = MakeDrug(kTwoPointA);
    double dose = 0.0, fa = 0.0, y = 0.0;
    ASSERT_TRUE(drug->DoseForEffect(0.5, dose));
    EXPECT_NEAR(dose, kSqrt10, 1e-12);
    ASSERT_TRUE(drug->DoseForEffect(0.8, dose));
    EXPECT_NEAR(dose, 10.0, 1e-12);
    ASSERT_TRUE(drug->DoseForEffect(0.2, dose));
    EXPECT_NEAR(dose, 1.0, 1e-12);

    ASSERT_TRUE(drug->EffectForDose(10.0, fa));
    EXPECT_NEAR(fa, 0.8, 1e-12);
    ASSERT_TRUE(drug->EffectForDose(0.5, fa));
    EXPECT_NEAR(fa, 1.0 / (1.0 + std::pow(kSqrt10 / 0.5, kLog16)), 1e-12);

    ASSERT_TRUE(drug->MedianEffectLine(2.0, y));
    EXPECT_NEAR(y, 2.0 * kLog16 + std::log10(0.25), 1e-12);

    double logDose = 0.0, se = 1.0;
    ASSERT_TRUE(drug->LogDoseForEffect(0.8, logDose, se));
    EXPECT_NEAR(logDose, 1.0, 1e-12);
    EXPECT_EQ(se, 0.0);

    // Just inside the open interval.
    for (const double inside : {0.02, 0.99}) {
        ASSERT_TRUE(drug->DoseForEffect(inside, dose));
        ExpectRelNear(dose, kSqrt10 * std::pow(inside / (1.0 - inside), 1.0 / kLog16));
    }
}

TEST_F(AnalysisTest, EffectAtDmIsHalf) {
    for (const Points* points : {&kTwoPointA, &kScatterB, &kScatterSmallDm}) {
        const auto drug = MakeDrug(*points);
        const double dm = ReferenceFit(*points).Dm();
        double fa = 0.0;
        ASSERT_TRUE(drug->EffectForDose(dm, fa));
        EXPECT_NEAR(fa, 0.5, 1e-12);
    }
    const auto falling = MakeDrug({{1.0, 0.8}, {10.0, 0.2}});
    double fa = 0.0;
    ASSERT_TRUE(falling->EffectForDose(kSqrt10, fa));
    EXPECT_NEAR(fa, 0.5, 1e-12);
}

TEST_F(AnalysisTest, PredictionsRefuseEffectsOutsideTheOpenInterval) {
    const auto drug = MakeDrug(kScatterA);
    for (const double fa : {0.0, 1.0, -0.2, 1.5}) {
        SCOPED_TRACE(fa);
        double dose = 42.0, logDose = 42.0, se = 42.0;
        EXPECT_FALSE(drug->DoseForEffect(fa, dose));
        EXPECT_FALSE(drug->LogDoseForEffect(fa, logDose, se));
        EXPECT_EQ(dose, 42.0);
        EXPECT_EQ(logDose, 42.0);
        EXPECT_EQ(se, 42.0);
    }
    double fa = 42.0;
    EXPECT_FALSE(drug->EffectForDose(0.0, fa));
    EXPECT_EQ(fa, 42.0);
}

TEST_F(AnalysisTest, PredictionsNeedAValidFit) {
    for (const Points& points : {Points{{2.0, 0.5}}, Points{{2.0, 0.5}, {4.0, 1.0}}}) {
        const auto drug = MakeDrug(points);
        double out = 42.0, se = 42.0;
        EXPECT_FALSE(drug->DoseForEffect(0.5, out));
        EXPECT_FALSE(drug->LogDoseForEffect(0.5, out, se));
        EXPECT_FALSE(drug->EffectForDose(2.0, out));
        EXPECT_FALSE(drug->MedianEffectLine(0.3, out));
        EXPECT_EQ(out, 42.0);
    }
}

TEST_F(AnalysisTest, LogDosePredictionAndItsError) {
    const auto drug = MakeDrug(kScatterA);
    const Line ref = ReferenceFit(kScatterA);
    for (const double fa : {0.02, 0.3, 0.5, 0.95}) {
        SCOPED_TRACE(fa);
        const auto [expectedLog, expectedSe] = ReferenceLogDose(ref, fa);
        double logDose = 0.0, se = 0.0, dose = 0.0;
        ASSERT_TRUE(drug->LogDoseForEffect(fa, logDose, se));
        ExpectRelNear(logDose, expectedLog);
        ExpectRelNear(se, expectedSe);
        ASSERT_TRUE(drug->DoseForEffect(fa, dose));
        ExpectRelNear(dose, ReferenceDose(ref, fa));
    }

    // A predicted dose below 1 still lies inside its limits.
    double logDose = 0.0, se = -1.0;
    ASSERT_TRUE(drug->LogDoseForEffect(0.02, logDose, se));
    ASSERT_LT(logDose, 0.0);
    EXPECT_GT(se, 0.0);
    const double dose = std::pow(10.0, logDose);
    EXPECT_LT(std::pow(10.0, logDose - 1.96 * se), dose);
    EXPECT_GT(std::pow(10.0, logDose + 1.96 * se), dose);
}

TEST_F(AnalysisTest, LogDoseRefusesAPredictedDoseOfExactlyOne) {
    // Intercept 0: fa 0.5 predicts dose 1, whose log has no relative error.
    const auto drug = MakeDrug({{1.0 / 3.0, 0.25}, {1.0, 0.5}, {3.0, 0.75}});
    double dose = 0.0, logDose = 42.0, se = 42.0;
    ASSERT_TRUE(drug->DoseForEffect(0.5, dose));
    EXPECT_DOUBLE_EQ(dose, 1.0);
    EXPECT_FALSE(drug->LogDoseForEffect(0.5, logDose, se));
    EXPECT_TRUE(drug->LogDoseForEffect(0.6, logDose, se));
}

TEST_F(AnalysisTest, PointArrays) {
    const auto drug = MakeDrug({{10.0, 0.8}, {1.0, 0.2}, {4.0, 0.5}});
    double doses[3] = {}, effects[3] = {};
    EXPECT_FALSE(drug->GetDoseEffectPoints(2, doses, effects));
    ASSERT_TRUE(drug->GetDoseEffectPoints(3, doses, effects));
    EXPECT_EQ(std::vector<double>(doses, doses + 3), (std::vector<double>{1.0, 4.0, 10.0}));
    EXPECT_EQ(std::vector<double>(effects, effects + 3), (std::vector<double>{0.2, 0.5, 0.8}));

    double logDoses[3] = {}, logEffects[3] = {};
    ASSERT_TRUE(drug->GetMedianEffectPoints(3, logDoses, logEffects));
    EXPECT_DOUBLE_EQ(logDoses[2], 1.0);
    EXPECT_DOUBLE_EQ(logEffects[0], std::log10(0.25));

    // No fit needed, but a bad point stops the median-effect arrays there.
    const auto bad = MakeDrug({{1.0, 0.2}, {4.0, 0.5}, {10.0, 1.0}});
    double l[3] = {-9, -9, -9}, e[3] = {-9, -9, -9};
    ASSERT_TRUE(bad->GetDoseEffectPoints(3, doses, effects));
    EXPECT_FALSE(bad->GetMedianEffectPoints(3, l, e));
    EXPECT_DOUBLE_EQ(l[1], std::log10(4.0));
    EXPECT_DOUBLE_EQ(e[1], 0.0);
    EXPECT_EQ(l[2], -9.0);
    EXPECT_FALSE(bad->GetMedianEffectPoints(4, l, e));
}

// ---------------------------------------------------------------------------
// Combination index, DRI and isobologram points

// Drugs A, B, C with equal slopes and Dm = sqrt(10) x 1, 2, 3. A combination
// of A and B built so that each component's dose is a fixed share t_k of what
// that drug alone needs, at every effect level.
struct Design {
    double tA;
    double tB;
};

class CombinationTest : public AnalysisTest {
protected:
    void SetUp() override {
        m_drugs.push_back(MakeDrug(kTwoPointA));
        m_drugs.push_back(MakeDrug(kTwoPointB));
        m_drugs.push_back(MakeDrug(kTwoPointC));
    }

    static std::unique_ptr<CDrugInfo> MakeDesigned(const Design& design) {
        // d_B / d_A = tB Dx_B / (tA Dx_A) = 2 tB / tA.
        return MakeCombination({0, 1}, {1.0, 2.0 * design.tB / design.tA},
                               {{design.tA * 1.0, 0.2}, {design.tA * 10.0, 0.8}});
    }

    // Dose of drug A, B or C alone (scale 1, 2, 3) for fa.
    static double AloneDose(double scale, double fa) {
        return scale * kSqrt10 * std::pow(fa / (1.0 - fa), 1.0 / kLog16);
    }

    DrugList m_drugs;
};

TEST_F(CombinationTest, TwoDrugIndicesFollowTheDesign) {
    const Design designs[] = {{0.5, 0.5}, {0.25, 0.5}, {0.8, 0.1}};
    for (const auto& design : designs) {
        SCOPED_TRACE(testing::Message() << "tA " << design.tA << " tB " << design.tB);
        const auto combo = MakeDesigned(design);
        const double exclusive = design.tA + design.tB;
        const double nonExclusive = exclusive + design.tA * design.tB;

        for (const double fa : {0.2, 0.5, 0.9}) {
            SCOPED_TRACE(fa);
            double ci = 0.0;
            ASSERT_TRUE(combo->CombinationIndex(fa, m_drugs, ci));
            EXPECT_NEAR(ci, exclusive, 1e-12);
            ASSERT_TRUE(combo->CombinationIndex(fa, m_drugs, ci, ECIForm::NonExclusive));
            EXPECT_NEAR(ci, nonExclusive, 1e-12);

            double dri = 0.0;
            ASSERT_TRUE(combo->DoseReductionIndex(fa, 0, m_drugs, dri));
            EXPECT_NEAR(dri, 1.0 / design.tA, 1e-10);
            ASSERT_TRUE(combo->DoseReductionIndex(fa, 1, m_drugs, dri));
            EXPECT_NEAR(dri, 1.0 / design.tB, 1e-10);

            double dx1 = 0, dx2 = 0, d1 = 0, d2 = 0;
            ASSERT_TRUE(combo->IsobologramPoint(fa, m_drugs, dx1, dx2, d1, d2));
            ExpectRelNear(dx1, AloneDose(1.0, fa));
            ExpectRelNear(dx2, AloneDose(2.0, fa));
            ExpectRelNear(d1, design.tA * AloneDose(1.0, fa));
            ExpectRelNear(d2, design.tB * AloneDose(2.0, fa));
        }

        // The measured points sit exactly on the design as well.
        for (int j = 0; j < combo->PointCount(); ++j) {
            SCOPED_TRACE(j);
            double ci = 0.0, dri = 0.0, n2 = 0.0, n1 = 0.0;
            ASSERT_TRUE(combo->PointCombinationIndex(j, m_drugs, ci));
            EXPECT_NEAR(ci, exclusive, 1e-12);
            ASSERT_TRUE(combo->PointCombinationIndex(j, m_drugs, ci, ECIForm::NonExclusive));
            EXPECT_NEAR(ci, nonExclusive, 1e-12);
            ASSERT_TRUE(combo->PointDoseReductionIndex(j, 1, m_drugs, dri));
            EXPECT_NEAR(dri, 1.0 / design.tB, 1e-10);
            ASSERT_TRUE(combo->NormalisedIsobologramPoint(j, m_drugs, n2, n1));
            EXPECT_NEAR(n2, design.tB, 1e-12);
            EXPECT_NEAR(n1, design.tA, 1e-12);
        }

        double effects[2] = {}, cis[2] = {};
        ASSERT_TRUE(combo->GetFaCIPoints(2, effects, cis, m_drugs));
        EXPECT_EQ(effects[0], 0.2);
        EXPECT_EQ(effects[1], 0.8);
        EXPECT_NEAR(cis[0], exclusive, 1e-12);
        EXPECT_NEAR(cis[1], exclusive, 1e-12);
        EXPECT_FALSE(combo->GetFaCIPoints(3, effects, cis, m_drugs));
    }
}

TEST_F(CombinationTest, ThreeDrugIndexIgnoresTheExclusiveForm) {
    // Equal parts of A, B, C at half the dose A alone needs.
    const auto combo = MakeCombination({0, 1, 2}, {1.0, 1.0, 1.0}, {{0.5, 0.2}, {5.0, 0.8}});
    const double expected = 0.5 + 0.25 + 0.5 / 3.0;
    for (const ECIForm form : {ECIForm::MutuallyExclusive, ECIForm::NonExclusive}) {
        SCOPED_TRACE(static_cast<int>(form));
        double ci = 0.0;
        ASSERT_TRUE(combo->CombinationIndex(0.7, m_drugs, ci, form));
        EXPECT_NEAR(ci, expected, 1e-12);
        ASSERT_TRUE(combo->PointCombinationIndex(1, m_drugs, ci, form));
        EXPECT_NEAR(ci, expected, 1e-12);
        double sd = 1.0;
        ASSERT_TRUE(combo->CombinationIndexSD(0.7, m_drugs, ci, sd, form));
        EXPECT_NEAR(ci, expected, 1e-12);
        EXPECT_NEAR(sd, 0.0, 1e-12);
    }
    double dri = 0.0;
    ASSERT_TRUE(combo->DoseReductionIndex(0.7, 2, m_drugs, dri));
    EXPECT_NEAR(dri, 6.0, 1e-10);

    double a = 0, b = 0, c = 0, d = 0;
    EXPECT_FALSE(combo->IsobologramPoint(0.7, m_drugs, a, b, c, d));
    EXPECT_FALSE(combo->NormalisedIsobologramPoint(0, m_drugs, a, b));
}

TEST_F(CombinationTest, NonConstantRatioWorksOnlyPointByPoint) {
    auto combo = MakeCombination({0, 1}, {1.0, 1.0}, {});
    ASSERT_TRUE(combo->SetConstantRatio(0));
    const double even[] = {1.0, 1.0};
    const double oneToThree[] = {2.0, 6.0};
    ASSERT_TRUE(combo->AddPoint(combo->CreatePoint(1.0, 0.5, 2, even)));
    ASSERT_TRUE(combo->AddPoint(combo->CreatePoint(2.0, 0.8, 2, oneToThree)));
    ASSERT_EQ(combo->m_bFitValid, 0);

    double ci = 0.0, dri = 0.0;
    EXPECT_FALSE(combo->CombinationIndex(0.5, m_drugs, ci));
    EXPECT_FALSE(combo->DoseReductionIndex(0.5, 0, m_drugs, dri));

    // Point 0: 1 of A and 1 of B at fa 0.5 (alone: sqrt(10) and 2 sqrt(10)).
    ASSERT_TRUE(combo->PointCombinationIndex(0, m_drugs, ci));
    EXPECT_NEAR(ci, 1.0 / kSqrt10 + 1.0 / (2.0 * kSqrt10), 1e-12);
    // Point 1: 2 of A and 6 of B at fa 0.8 (alone: 10 and 20).
    ASSERT_TRUE(combo->PointCombinationIndex(1, m_drugs, ci));
    EXPECT_NEAR(ci, 0.2 + 0.3, 1e-12);
    ASSERT_TRUE(combo->PointCombinationIndex(1, m_drugs, ci, ECIForm::NonExclusive));
    EXPECT_NEAR(ci, 0.2 + 0.3 + 0.2 * 0.3, 1e-12);

    ASSERT_TRUE(combo->PointDoseReductionIndex(1, 1, m_drugs, dri));
    EXPECT_NEAR(dri, 20.0 / 6.0, 1e-10);
    double n2 = 0.0, n1 = 0.0;
    ASSERT_TRUE(combo->NormalisedIsobologramPoint(1, m_drugs, n2, n1));
    EXPECT_NEAR(n2, 0.3, 1e-12);
    EXPECT_NEAR(n1, 0.2, 1e-12);
}

TEST_F(CombinationTest, IndicesFailWithoutUsableComponents) {
    m_drugs.push_back(MakeDrug({{5.0, 0.5}})); // id 3: one point, no fit
    const Points comboPoints = {{0.5, 0.2}, {5.0, 0.8}};
    struct Case {
        const char* name;
        std::vector<std::uint16_t> ids;
        int badPosition;
    };
    const Case cases[] = {
        {"component with one point", {0, 3}, 1},
        {"missing component record", {9, 1}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto combo = MakeCombination(c.ids, {1.0, 1.0}, comboPoints);
        for (const ECIForm form : {ECIForm::MutuallyExclusive, ECIForm::NonExclusive}) {
            double ci = 5.0, sd = 5.0, mean = 5.0;
            EXPECT_FALSE(combo->CombinationIndex(0.5, m_drugs, ci, form));
            EXPECT_FALSE(combo->PointCombinationIndex(0, m_drugs, ci, form));
            EXPECT_FALSE(combo->CombinationIndexSD(0.5, m_drugs, ci, sd, form));
            double dri = 5.0;
            EXPECT_FALSE(combo->DoseReductionIndex(0.5, c.badPosition, m_drugs, dri));
            EXPECT_FALSE(combo->PointDoseReductionIndex(0, c.badPosition, m_drugs, dri));
            double a = 0, b = 0, d1 = 0, d2 = 0;
            EXPECT_FALSE(combo->IsobologramPoint(0.5, m_drugs, a, b, d1, d2));
            EXPECT_FALSE(combo->NormalisedIsobologramPoint(0, m_drugs, a, b));
            double effects[2] = {}, cis[2] = {};
            EXPECT_FALSE(combo->GetFaCIPoints(2, effects, cis, m_drugs));
            if (c.badPosition == 0) {
                CRandom random;
                EXPECT_FALSE(combo->MonteCarloCI(10, 0.5, m_drugs, random, mean, sd, form));
            }
        }
    }

    // A single drug has no combination index.
    double ci = 0.0, sd = 0.0, dri = 0.0;
    EXPECT_FALSE(m_drugs[0]->CombinationIndex(0.5, m_drugs, ci));
    EXPECT_FALSE(m_drugs[0]->PointCombinationIndex(0, m_drugs, ci));
    EXPECT_FALSE(m_drugs[0]->DoseReductionIndex(0.5, 0, m_drugs, dri));
    EXPECT_FALSE(m_drugs[0]->CombinationIndexSD(0.5, m_drugs, ci, sd));
    CRandom random;
    EXPECT_FALSE(m_drugs[0]->MonteCarloCI(10, 0.5, m_drugs, random, ci, sd));
}

TEST_F(CombinationTest, IndicesRefuseBadEffectsAndPositions) {
    const auto combo = MakeDesigned({0.5, 0.5});
    for (const double fa : {0.0, 1.0, -0.5, 2.0}) {
        SCOPED_TRACE(fa);
        double ci = 0.0, dri = 0.0, sd = 0.0;
        EXPECT_FALSE(combo->CombinationIndex(fa, m_drugs, ci));
        EXPECT_FALSE(combo->DoseReductionIndex(fa, 0, m_drugs, dri));
        EXPECT_FALSE(combo->CombinationIndexSD(fa, m_drugs, ci, sd));
    }
    double dri = 0.0, ci = 0.0;
    EXPECT_FALSE(combo->DoseReductionIndex(0.5, 2, m_drugs, dri));
    EXPECT_FALSE(combo->DoseReductionIndex(0.5, -1, m_drugs, dri));
    EXPECT_FALSE(combo->PointDoseReductionIndex(0, 2, m_drugs, dri));
    EXPECT_FALSE(combo->PointCombinationIndex(2, m_drugs, ci));
    EXPECT_FALSE(combo->PointCombinationIndex(-1, m_drugs, ci));
}

// ---------------------------------------------------------------------------
// Error estimates

class ScatterCombinationTest : public AnalysisTest {
protected:
    void SetUp() override {
        m_drugs.push_back(MakeDrug(kScatterA));
        m_drugs.push_back(MakeDrug(kScatterB));
        m_drugs.push_back(MakeDrug(kScatterC));
        m_lines = {ReferenceFit(kScatterA), ReferenceFit(kScatterB), ReferenceFit(kScatterC)};
    }

    DrugList m_drugs;
    std::vector<Line> m_lines;
};

const Points kScatterAB = {{0.5, 0.2}, {1.0, 0.4}, {2.0, 0.55}, {4.0, 0.8}};
const Points kScatterABC = {{0.2, 0.15}, {0.5, 0.35}, {1.0, 0.55}, {3.0, 0.85}};

TEST_F(ScatterCombinationTest, AlgebraicSDPropagatesEachFitsError) {
    struct Case {
        std::vector<std::uint16_t> ids;
        std::vector<double> ratio;
        const Points* points;
    };
    const Case cases[] = {{{0, 1}, {1.0, 2.0}, &kScatterAB},
                          {{0, 1, 2}, {1.0, 1.0, 2.0}, &kScatterABC}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ids.size());
        const auto combo = MakeCombination(c.ids, c.ratio, *c.points);
        const Line comboLine = ReferenceFit(*c.points);
        for (const double fa : {0.1, 0.5, 0.9}) {
            SCOPED_TRACE(fa);
            const auto logD = ReferenceLogDose(comboLine, fa);
            const double dose = std::pow(10.0, logD.first);
            double ci = 0.0, q = 0.0, t = 0.0;
            for (size_t k = 0; k < c.ids.size(); ++k) {
                const auto logDx = ReferenceLogDose(m_lines[c.ids[k]], fa);
                const double dx = std::pow(10.0, logDx.first);
                const double dk = dose * c.ratio[k] / c.ratio[0];
                ci += dk / dx;
                t += c.ratio[k] / (c.ratio[0] * dx);
                const double term = c.ratio[k] / (c.ratio[0] * dx) * ReferenceDoseSD(logDx) / dx;
                q += term * term;
            }
            const double relDose = ReferenceDoseSD(logD) / dose;
            const double expectedSd = ci * std::sqrt(relDose * relDose + q / (t * t));

            double value = 0.0, sd = 0.0, plain = 0.0;
            ASSERT_TRUE(combo->CombinationIndexSD(fa, m_drugs, value, sd));
            ExpectRelNear(value, ci);
            ExpectRelNear(sd, expectedSd);
            ASSERT_TRUE(combo->CombinationIndex(fa, m_drugs, plain));
            ExpectRelNear(plain, value);

            // No algebraic error under the non-exclusive assumption.
            ASSERT_TRUE(combo->CombinationIndexSD(fa, m_drugs, value, sd, ECIForm::NonExclusive));
            ASSERT_TRUE(combo->CombinationIndex(fa, m_drugs, plain, ECIForm::NonExclusive));
            EXPECT_EQ(value, plain);
            EXPECT_EQ(sd, 0.0);
        }
    }
}

TEST(RandomTest, GeneratorIsTheClassicLcg) {
    CRandom random;
    EXPECT_EQ(random.Uniform(), 41);
    EXPECT_EQ(random.Uniform(), 18467);
    EXPECT_EQ(random.Uniform(), 6334);

    random.Reset();
    ReferenceRandom reference;
    for (int i = 0; i < 5000; ++i) {
        const int value = random.Uniform();
        ASSERT_EQ(value, reference.Uniform()) << "draw " << i;
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 32767);
    }
    random.Reset();
    EXPECT_EQ(random.Uniform(), 41);
    // Generators are independent of each other.
    CRandom other;
    EXPECT_EQ(other.Uniform(), 41);
}

TEST(RandomTest, NormalDeviateUsesThePolarMethod) {
    CRandom random;
    ReferenceRandom reference;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_DOUBLE_EQ(random.NormalDeviate(), reference.Normal()) << "deviate " << i;
    }
    // Rejected pairs and the discarded second deviate consume draws alike.
    EXPECT_EQ(random.Uniform(), reference.Uniform());

    const int count = 20000;
    double sum = 0.0, sumSq = 0.0;
    for (int i = 0; i < count; ++i) {
        const double z = random.NormalDeviate();
        ASSERT_TRUE(std::isfinite(z));
        sum += z;
        sumSq += z * z;
    }
    EXPECT_NEAR(sum / count, 0.0, 0.05);
    EXPECT_NEAR(sumSq / count, 1.0, 0.05);
}

TEST_F(ScatterCombinationTest, SimulatedDosePerturbsSlopeThenIntercept) {
    const CDrugInfo& drug = *m_drugs[0];
    ASSERT_NE(m_lines[0].ccsi, 0.0);
    CRandom random;
    ReferenceRandom reference;
    for (int i = 0; i < 20; ++i) {
        const double fa = 0.05 + 0.045 * i;
        double dose = 0.0;
        ASSERT_TRUE(drug.SimulatedDoseForEffect(fa, random, dose));
        ExpectRelNear(dose, reference.SimulatedDose(m_lines[0], fa));
    }

    double dose = 42.0;
    EXPECT_FALSE(drug.SimulatedDoseForEffect(1.0, random, dose));
    EXPECT_EQ(dose, 42.0);

    CDrugInfo flat; // slope 0 with no error: the perturbed slope stays 0
    flat.m_m = 0.0;
    flat.m_seM = 0.0;
    EXPECT_FALSE(flat.SimulatedDoseForEffect(0.5, random, dose));

    // Without standard errors every simulated dose is the predicted one.
    const auto exact = MakeDrug(kTwoPointB);
    double predicted = 0.0;
    ASSERT_TRUE(exact->DoseForEffect(0.3, predicted));
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(exact->SimulatedDoseForEffect(0.3, random, dose));
        EXPECT_DOUBLE_EQ(dose, predicted);
    }
}

TEST_F(ScatterCombinationTest, MonteCarloMatchesAnIndependentSimulation) {
    struct Case {
        std::vector<std::uint16_t> ids;
        std::vector<double> ratio;
        const Points* points;
        int exclusive;
    };
    const Case cases[] = {{{0, 1}, {1.0, 2.0}, &kScatterAB, 1},
                          {{0, 1}, {1.0, 2.0}, &kScatterAB, 0},
                          {{0, 1, 2}, {1.0, 1.0, 2.0}, &kScatterABC, 0}};
    CRandom random;
    const int iterations = 40;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ids.size() << " drugs, exclusive " << c.exclusive);
        const auto combo = MakeCombination(c.ids, c.ratio, *c.points);
        const ECIForm form = c.exclusive ? ECIForm::MutuallyExclusive : ECIForm::NonExclusive;
        const Line comboLine = ReferenceFit(*c.points);

        for (const double fa : {0.25, 0.75}) {
            SCOPED_TRACE(fa);
            ReferenceRandom reference;
            double sum = 0.0, sumSq = 0.0;
            for (int i = 0; i < iterations; ++i) {
                const double dose = reference.SimulatedDose(comboLine, fa);
                double ci = 0.0;
                std::vector<double> terms;
                for (size_t k = 0; k < c.ids.size(); ++k) {
                    const double dx = reference.SimulatedDose(m_lines[c.ids[k]], fa);
                    terms.push_back(dose * c.ratio[k] / c.ratio[0] / dx);
                    ci += terms.back();
                }
                if (c.ids.size() == 2 && !c.exclusive) {
                    ci += terms[0] * terms[1];
                }
                sum += ci;
                sumSq += ci * ci;
            }
            const double expectedMean = sum / iterations;
            const double expectedSd = std::sqrt(sumSq / iterations - expectedMean * expectedMean);

            random.Reset();
            double mean = 0.0, sd = 0.0;
            ASSERT_TRUE(combo->MonteCarloCI(iterations, fa, m_drugs, random, mean, sd, form));
            ExpectRelNear(mean, expectedMean, 1e-8);
            ExpectRelNear(sd, expectedSd, 1e-6);
            EXPECT_GT(sd, 0.0);
            // Both consumed the same number of draws.
            EXPECT_EQ(random.Uniform(), reference.Uniform());
        }
    }
}

TEST_F(ScatterCombinationTest, MonteCarloRepeatsOnlyAfterReset) {
    const auto combo = MakeCombination({0, 1}, {1.0, 2.0}, kScatterAB);
    double firstMean = 0, firstSd = 0, againMean = 0, againSd = 0, nextMean = 0, nextSd = 0;
    CRandom random;
    ASSERT_TRUE(combo->MonteCarloCI(200, 0.5, m_drugs, random, firstMean, firstSd));
    ASSERT_TRUE(combo->MonteCarloCI(200, 0.5, m_drugs, random, nextMean, nextSd));
    random.Reset();
    ASSERT_TRUE(combo->MonteCarloCI(200, 0.5, m_drugs, random, againMean, againSd));
    EXPECT_EQ(againMean, firstMean);
    EXPECT_EQ(againSd, firstSd);
    EXPECT_NE(nextMean, firstMean);

    // A run of fewer than one iteration has no mean.
    for (const int iterations : {0, -1}) {
        double mean = 42.0, sd = 42.0;
        EXPECT_FALSE(combo->MonteCarloCI(iterations, 0.5, m_drugs, random, mean, sd));
        EXPECT_EQ(mean, 42.0);
        EXPECT_EQ(sd, 42.0);
    }
}

TEST_F(CombinationTest, MonteCarloWithoutFitErrorsReproducesTheIndex) {
    const auto combo = MakeDesigned({0.1, 0.2});
    CRandom random;
    for (const ECIForm form : {ECIForm::MutuallyExclusive, ECIForm::NonExclusive}) {
        SCOPED_TRACE(static_cast<int>(form));
        double ci = 0.0;
        ASSERT_TRUE(combo->CombinationIndex(0.6, m_drugs, ci, form));

        // Identical simulated values: rounding must not turn the variance
        // into a NaN s.d. for any run length.
        double single = 0.0, unused = 0.0;
        ASSERT_TRUE(combo->MonteCarloCI(1, 0.6, m_drugs, random, single, unused, form));
        bool roundingGoesNegative = false;
        for (int n = 1; n <= 100; ++n) {
            double sum = 0.0, sumSq = 0.0;
            for (int i = 0; i < n; ++i) {
                sum += single;
                sumSq += single * single;
            }
            roundingGoesNegative |= sumSq / n - (sum / n) * (sum / n) < 0.0;

            double mean = 0.0, sd = -1.0;
            ASSERT_TRUE(combo->MonteCarloCI(n, 0.6, m_drugs, random, mean, sd, form));
            EXPECT_NEAR(mean, ci, 1e-12);
            ASSERT_FALSE(std::isnan(sd)) << n << " iterations";
            EXPECT_GE(sd, 0.0);
            EXPECT_LT(sd, 1e-7);
        }
        EXPECT_TRUE(roundingGoesNegative) << "the case no longer exercises a negative variance";
    }
}

} // namespace
