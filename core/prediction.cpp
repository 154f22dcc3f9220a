// Dose and effect predictions from a record's median-effect fit.
#include "core/drug_info.h"

#include <cmath>

namespace doseplex {

bool CDrugInfo::DoseForEffect(double fa, double& dose) const {
    if (!m_bFitValid || fa <= 0.0 || fa >= 1.0 || m_m == 0.0) {
        return false;
    }
    const double dm = std::pow(10.0, -m_yInt / m_m);
    dose = dm * std::pow(fa / (1.0 - fa), 1.0 / m_m);
    return true;
}

bool CDrugInfo::LogDoseForEffect(double fa, double& logDose, double& se) const {
    if (!m_bFitValid || fa <= 0.0 || fa >= 1.0 || m_m == 0.0) {
        return false;
    }
    const double y = std::log10(fa / (1.0 - fa));
    const double u = y - m_yInt;
    if (u == 0.0) {
        return false;
    }
    logDose = u / m_m;
    const double a = m_seM / m_m;
    const double b = m_seYInt / u;
    se = std::fabs(logDose) * std::sqrt(a * a + 2.0 * m_ccsi * a * b + b * b);
    return true;
}

bool CDrugInfo::EffectForDose(double dose, double& fa) const {
    if (!m_bFitValid || dose == 0.0) {
        return false;
    }
    const double dm = std::pow(10.0, -m_yInt / m_m);
    const double denominator = 1.0 + std::pow(dm / dose, m_m);
    if (denominator == 0.0) {
        return false;
    }
    fa = 1.0 / denominator;
    return true;
}

bool CDrugInfo::MedianEffectLine(double x, double& y) const {
    if (!m_bFitValid) {
        return false;
    }
    y = m_m * x + m_yInt;
    return true;
}

bool CDrugInfo::GetDoseEffectPoints(int n, double* doses, double* effects) const {
    if (n != PointCount()) {
        return false;
    }
    for (int i = 0; i < n; ++i) {
        doses[i] = m_points[static_cast<size_t>(i)]->m_dose;
        effects[i] = m_points[static_cast<size_t>(i)]->m_fa;
    }
    return true;
}

bool CDrugInfo::GetMedianEffectPoints(int n, double* logDoses, double* logEffects) const {
    if (n != PointCount()) {
        return false;
    }
    for (int i = 0; i < n; ++i) {
        const CDoseData& point = *m_points[static_cast<size_t>(i)];
        if (point.m_dose <= 0.0 || point.m_fa <= 0.0 || point.m_fa >= 1.0) {
            return false;
        }
        logDoses[i] = std::log10(point.m_dose);
        logEffects[i] = std::log10(point.m_fa / (1.0 - point.m_fa));
    }
    return true;
}

} // namespace doseplex
