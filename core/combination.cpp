// Combination index, dose reduction index and isobologram points.
#include "core/drug_info.h"

#include <cmath>

namespace doseplex {

namespace {
// Only a positive, finite dose can stand in a dose ratio: 0 (a prediction that
// underflowed, a ratio part of 0), infinity and NaN make the index meaningless.
bool UsableDose(double dose) {
    return dose > 0.0 && std::isfinite(dose);
}
} // namespace

bool CDrugInfo::ComponentDoseForEffect(int k, double fa, const DrugList& drugs, double& dx) const {
    const CDrugInfo* component = ComponentRecord(k, drugs);
    double dose = 0.0;
    if (!component || !component->DoseForEffect(fa, dose) || !UsableDose(dose)) {
        return false;
    }
    dx = dose;
    return true;
}

bool CDrugInfo::CombinationDoseForEffect(double fa, double& dose) const {
    double d = 0.0;
    if (!DoseForEffect(fa, d) || !UsableDose(d)) {
        return false;
    }
    dose = d;
    return true;
}

bool CDrugInfo::CombinationIndex(double fa, const DrugList& drugs, double& ci, ECIForm form) const {
    if (!IsCombination()) {
        return false;
    }
    ci = 0.0;
    double dose = 0.0;
    if (!CombinationDoseForEffect(fa, dose)) {
        return false;
    }
    double d[2] = {0.0, 0.0};
    double dx[2] = {0.0, 0.0};
    for (int k = 0; k < m_nComponents; ++k) {
        double dxk = 0.0;
        if (!ComponentDoseForEffect(k, fa, drugs, dxk)) {
            return false;
        }
        const double dk = ComponentDose(dose, m_pComponents[static_cast<size_t>(k)], 0);
        if (!UsableDose(dk)) {
            return false;
        }
        ci += dk / dxk;
        if (k < 2) {
            d[k] = dk;
            dx[k] = dxk;
        }
    }
    if (m_nComponents == 2 && form == ECIForm::NonExclusive) {
        ci += d[0] * d[1] / (dx[0] * dx[1]);
    }
    return true;
}

bool CDrugInfo::PointCombinationIndex(int j, const DrugList& drugs, double& ci,
                                      ECIForm form) const {
    if (!IsCombination()) {
        return false;
    }
    ci = 0.0;
    const double fa = PointEffect(j);
    double d[2] = {0.0, 0.0};
    double dx[2] = {0.0, 0.0};
    for (int k = 0; k < m_nComponents; ++k) {
        double dxk = 0.0;
        if (!ComponentDoseForEffect(k, fa, drugs, dxk)) {
            return false;
        }
        const double dk = PointComponentDose(j, m_pComponents[static_cast<size_t>(k)]);
        if (!UsableDose(dk)) {
            return false;
        }
        ci += dk / dxk;
        if (k < 2) {
            d[k] = dk;
            dx[k] = dxk;
        }
    }
    if (m_nComponents == 2 && form == ECIForm::NonExclusive) {
        ci += d[0] * d[1] / (dx[0] * dx[1]);
    }
    return true;
}

bool CDrugInfo::DoseReductionIndex(double fa, int k, const DrugList& drugs, double& dri) const {
    if (!IsCombination() || k < 0 || k >= m_nComponents) {
        return false;
    }
    dri = 0.0;
    double dose = 0.0;
    double dx = 0.0;
    if (!CombinationDoseForEffect(fa, dose) || !ComponentDoseForEffect(k, fa, drugs, dx)) {
        return false;
    }
    const double dk = ComponentDose(dose, m_pComponents[static_cast<size_t>(k)], 0);
    if (!UsableDose(dk)) {
        return false;
    }
    dri = dx / dk;
    return true;
}

bool CDrugInfo::PointDoseReductionIndex(int j, int k, const DrugList& drugs, double& dri) const {
    if (!IsCombination() || k < 0 || k >= m_nComponents) {
        return false;
    }
    dri = 0.0;
    double dx = 0.0;
    if (!ComponentDoseForEffect(k, PointEffect(j), drugs, dx)) {
        return false;
    }
    const double dk = PointComponentDose(j, m_pComponents[static_cast<size_t>(k)]);
    if (!UsableDose(dk)) {
        return false;
    }
    dri = dx / dk;
    return true;
}

bool CDrugInfo::IsobologramPoint(double fa, const DrugList& drugs, double& dx1, double& dx2,
                                 double& d1, double& d2) const {
    if (m_nComponents != 2) {
        return false;
    }
    double dose = 0.0;
    double dx[2] = {0.0, 0.0};
    if (!CombinationDoseForEffect(fa, dose) || !ComponentDoseForEffect(0, fa, drugs, dx[0]) ||
        !ComponentDoseForEffect(1, fa, drugs, dx[1])) {
        return false;
    }
    dx1 = dx[0];
    dx2 = dx[1];
    d1 = ComponentDose(dose, m_pComponents[0], 0);
    d2 = ComponentDose(dose, m_pComponents[1], 0);
    return true;
}

bool CDrugInfo::NormalisedIsobologramPoint(int j, const DrugList& drugs, double& n2,
                                           double& n1) const {
    if (m_nComponents != 2) {
        return false;
    }
    const double fa = PointEffect(j);
    const double dose = PointDose(j);
    double dx[2] = {0.0, 0.0};
    if (!ComponentDoseForEffect(0, fa, drugs, dx[0]) ||
        !ComponentDoseForEffect(1, fa, drugs, dx[1])) {
        return false;
    }
    n2 = ComponentDose(dose, m_pComponents[1], j) / dx[1];
    n1 = ComponentDose(dose, m_pComponents[0], j) / dx[0];
    return true;
}

bool CDrugInfo::GetFaCIPoints(int n, double* effects, double* cis, const DrugList& drugs,
                              ECIForm form) const {
    if (n != PointCount()) {
        return false;
    }
    for (int i = 0; i < n; ++i) {
        double ci = 0.0;
        if (!PointCombinationIndex(i, drugs, ci, form)) {
            return false;
        }
        effects[i] = PointEffect(i);
        cis[i] = ci;
    }
    return true;
}

} // namespace doseplex
