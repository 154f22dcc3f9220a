// Algebraic and Monte Carlo error estimates of the combination index.
#include "core/drug_info.h"
#include "core/random.h"
#include "core/run_control.h"

#include <algorithm>
#include <cmath>

namespace doseplex {

namespace {
// Half the width of the one-standard-error band of a predicted dose.
double DoseSD(double logDose, double se) {
    return std::fabs(std::pow(10.0, logDose + se) - std::pow(10.0, logDose - se)) * 0.5;
}
} // namespace

bool CDrugInfo::CombinationIndexSD(double fa, const DrugList& drugs, double& ci, double& sd,
                                   ECIForm form) const {
    if (!IsCombination()) {
        return false;
    }
    if (form == ECIForm::NonExclusive) {
        double value = 0.0;
        if (!CombinationIndex(fa, drugs, value, form)) {
            return false;
        }
        ci = value;
        sd = 0.0;
        return true;
    }
    const double* ratio = GetRatio(m_nComponents, 1);
    double logDose = 0.0;
    double seDose = 0.0;
    if (!ratio || !LogDoseForEffect(fa, logDose, seDose)) {
        return false;
    }
    double sumT = 0.0;
    double sumQ = 0.0;
    for (int k = 0; k < m_nComponents; ++k) {
        const CDrugInfo* component = ComponentRecord(k, drugs);
        double logDx = 0.0;
        double seDx = 0.0;
        if (!component || !component->LogDoseForEffect(fa, logDx, seDx)) {
            return false;
        }
        const double dx = std::pow(10.0, logDx);
        if (!(dx > 0.0 && std::isfinite(dx))) {
            return false;
        }
        const double t = ratio[k] / (ratio[0] * dx);
        sumT += t;
        const double term = t * DoseSD(logDx, seDx) / dx;
        sumQ += term * term;
    }
    const double dose = std::pow(10.0, logDose);
    if (!(dose > 0.0 && std::isfinite(dose))) {
        return false;
    }
    const double sdDose = DoseSD(logDose, seDose);
    const double value = dose * sumT;
    const double relDose = sdDose / dose;
    const double relSum = std::sqrt(sumQ) / sumT;
    ci = value;
    sd = value * std::sqrt(relDose * relDose + relSum * relSum);
    return true;
}

bool CDrugInfo::SimulateDose(CRandom& random, double logit, double spread, bool refuse,
                             double& dose) const {
    const double z1 = random.NormalDeviate();
    const double z2 = random.NormalDeviate();
    const double m = m_m + m_seM * z1;
    const double yInt = m_yInt + m_seYInt * (m_ccsi * z1 + spread * z2);
    if (m == 0.0 || refuse) {
        return false;
    }
    // (fa/fu)^(1/m) * 10^(-yInt/m) as one power of ten.
    dose = std::pow(10.0, (logit - yInt) / m);
    return true;
}

double CDrugInfo::DeviateSpread() const {
    // Rounding can push |CCSI| a hair above 1; the root must not turn into NaN.
    return std::sqrt(std::max(0.0, 1.0 - m_ccsi * m_ccsi));
}

bool CDrugInfo::SimulatedDoseForEffect(double fa, CRandom& random, double& dose) const {
    return SimulateDose(random, std::log10(fa / (1.0 - fa)), DeviateSpread(), fa == 1.0, dose);
}

bool CDrugInfo::MonteCarloCI(int iterations, double fa, const DrugList& drugs, CRandom& random,
                             double& mean, double& sd, ECIForm form,
                             const CRunControl* control) const {
    if (!IsCombination()) {
        return false;
    }
    std::vector<const CDrugInfo*> records;
    if (!CollectDrugs(drugs, records)) {
        return false;
    }
    // Zero (or a negative count) iterations would give 0/0.
    if (iterations <= 0) {
        return false;
    }
    // Everything that does not change between iterations is worked out once:
    // the effect's logit, each record's deviate spread and each component's
    // share of the first component's dose.
    const double logit = std::log10(fa / (1.0 - fa));
    const bool refuse = fa == 1.0;
    const size_t n = m_nComponents;
    std::vector<double> spread(n + 1);
    std::vector<double> share(n);
    for (size_t r = 0; r <= n; ++r) {
        spread[r] = records[r]->DeviateSpread();
    }
    for (size_t k = 0; k < n; ++k) {
        share[k] = ComponentDose(1.0, m_pComponents[k], 0);
    }
    const bool productTerm = n == 2 && form == ECIForm::NonExclusive;
    // Cancellation is looked at every few thousand iterations, so even the
    // largest counts stop within milliseconds.
    constexpr int kCancelStride = 4096;
    double sum = 0.0;
    double sumSq = 0.0;
    for (int i = 0; i < iterations; ++i) {
        if (i % kCancelStride == kCancelStride - 1 && IsCancelled(control)) {
            return false;
        }
        double dose = 0.0;
        if (!SimulateDose(random, logit, spread[0], refuse, dose) || !(dose > 0.0) ||
            !std::isfinite(dose)) {
            return false;
        }
        double ci = 0.0;
        double d[2] = {0.0, 0.0};
        double dx[2] = {0.0, 0.0};
        for (size_t k = 0; k < n; ++k) {
            double dxk = 0.0;
            if (!records[k + 1]->SimulateDose(random, logit, spread[k + 1], refuse, dxk) ||
                !(dxk > 0.0) || !std::isfinite(dxk)) {
                return false;
            }
            const double dk = dose * share[k];
            ci += dk / dxk;
            if (k < 2) {
                d[k] = dk;
                dx[k] = dxk;
            }
        }
        if (productTerm) {
            ci += d[0] * d[1] / (dx[0] * dx[1]);
        }
        sum += ci;
        sumSq += ci * ci;
    }
    const double count = static_cast<double>(iterations);
    const double average = sum / count;
    mean = average;
    // Identical simulated values can leave a variance of -1e-17 after rounding.
    sd = std::sqrt(std::max(0.0, sumSq / count - average * average));
    return true;
}

} // namespace doseplex
