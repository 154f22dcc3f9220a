// Median-effect fit: least squares of log10(fa/(1-fa)) on log10(D).
#include "core/drug_info.h"
#include "core/message_sink.h"

#include <algorithm>
#include <cmath>

namespace doseplex {

bool CDrugInfo::Fit() {
    m_bFitValid = 0;
    if (IsCombination() && !m_bConstantRatio) {
        return false;
    }
    const size_t count = m_points.size();
    if (count < 2) {
        return false;
    }
    const double n = static_cast<double>(count);
    double sumX = 0.0, sumY = 0.0, sumXX = 0.0, sumYY = 0.0, sumXY = 0.0;
    bool oneDose = true;
    for (const auto& point : m_points) {
        if (point->m_dose <= 0.0) {
            ShowMessage("Negative dose");
            return false;
        }
        if (point->m_fa <= 0.0 || point->m_fa >= 1.0) {
            ShowMessage("Bad effect");
            return false;
        }
        const double x = std::log10(point->m_dose);
        const double y = std::log10(point->m_fa / (1.0 - point->m_fa));
        sumX += x;
        sumY += y;
        sumXX += x * x;
        sumYY += y * y;
        sumXY += x * y;
        oneDose = oneDose && point->m_dose == m_points.front()->m_dose;
    }
    // Points that all share one dose determine no slope.
    if (oneDose) {
        return false;
    }

    const double m = (n * sumXY - sumX * sumY) / (n * sumXX - sumX * sumX);
    const double yInt = (sumY - m * sumX) / n;
    if (!std::isfinite(m) || !std::isfinite(yInt)) {
        return false;
    }
    m_m = m;
    m_yInt = yInt;

    double sse = 0.0;
    for (const auto& point : m_points) {
        const double x = std::log10(point->m_dose);
        const double y = std::log10(point->m_fa / (1.0 - point->m_fa));
        const double residual = y - (m * x + yInt);
        sse += residual * residual;
    }

    if (count == 2) {
        m_seM = 0.0;
        m_seYInt = 0.0;
        m_ccsi = 0.0;
        m_r2 = 1.0;
        m_bFitValid = 1;
        return true;
    }

    const double sxx = sumXX - sumX * sumX / n;
    const double syy = sumYY - sumY * sumY / n;
    const double sxy = sumXY - sumX * sumY / n;
    const double s2 = sse / (n - 2.0);
    m_seM = std::sqrt(s2 / sxx);
    m_seYInt = std::sqrt((sumX * sumX / (n * n * sxx) + 1.0 / n) * s2);
    // A perfect fit has no scatter, so the estimates are uncorrelated: 0, not 0/0.
    m_ccsi = m_seYInt == 0.0 ? 0.0 : -(sumX * m_seM) / (n * m_seYInt);
    m_r2 = sxy * sxy / (syy * sxx);
    m_bFitValid = 1;
    return true;
}

bool CDrugInfo::GetParameters(double& m, double& seM, double& dm, double& dmLower, double& dmUpper,
                              double& r) const {
    if (!m_bFitValid) {
        return false;
    }
    m = m_m;
    seM = m_seM;
    dm = std::pow(10.0, -m_yInt / m_m);
    if (m_m == 0.0) {
        dmLower = 0.0;
        dmUpper = 0.0;
    } else {
        // The delta method on the fitted line: log10 Dm = q = -y-int/m, whose
        // standard error comes from the variances of both estimates and their
        // covariance. In absolute form it follows the dose unit exactly (a unit
        // change only shifts q) and equals the dose-effect table's limits at
        // fa 0.5.
        const double q = -m_yInt / m_m;
        const double variance =
            m_seYInt * m_seYInt + q * q * m_seM * m_seM + 2.0 * q * m_ccsi * m_seYInt * m_seM;
        const double se = std::sqrt(std::max(variance, 0.0)) / std::fabs(m_m);
        dmLower = std::pow(10.0, q - kLimitFactor * se);
        dmUpper = std::pow(10.0, q + kLimitFactor * se);
    }
    r = std::sqrt(m_r2);
    return true;
}

bool CDrugInfo::GetAllParameters(double& m, double& seM, double& dm, double& dmLower,
                                 double& dmUpper, double& r, double& ccsi, double& yInt,
                                 double& seYInt) const {
    if (!GetParameters(m, seM, dm, dmLower, dmUpper, r)) {
        return false;
    }
    ccsi = m_ccsi;
    yInt = m_yInt;
    seYInt = m_seYInt;
    return true;
}

} // namespace doseplex
