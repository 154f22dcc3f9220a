// The data series of the analysis graphs: points copied from a record, curves
// evaluated through it.
#include "graph/datasets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace doseplex {

namespace {

// log10 for plotting: values that have no logarithm go far below any axis.
double PlotLog10(double value) {
    return value > 0.0 ? std::log10(value) : -100.0;
}

bool SetSingleValue(double value, double& y, double& low, double& high) {
    y = value;
    low = value;
    high = value;
    return true;
}

// Shifts a range that was found (`found`) to start at 0 and, when `atLeast`
// is above 0, to reach at least that far: the axes of dose-effect curves and
// isobolograms start at zero dose.
bool FromZero(bool found, double& min, double& max, double atLeast = 0.0) {
    if (found) {
        min = 0.0;
        max = std::max(max, atLeast);
    }
    return found;
}

} // namespace

bool HasUsableMedianData(const CDrugInfo& record) {
    const int count = record.PointCount();
    if (count < 2) {
        return false;
    }
    const double first = record.PointDose(0);
    for (int i = 1; i < count; ++i) {
        if (record.PointDose(i) != first) {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// Dose-effect series

CDoseDataset::CDoseDataset(std::shared_ptr<const CDrugInfo> drug, int join, std::uint16_t style)
    : m_pDrug(std::move(drug)) {
    const CDrugInfo& record = *m_pDrug;
    m_strName = record.m_strName;
    m_bJoin = join;
    m_nStyle = style;
    const int count = record.PointCount();
    std::vector<double> doses(static_cast<size_t>(count));
    std::vector<double> effects(static_cast<size_t>(count));
    if (count > 0 && record.GetDoseEffectPoints(count, doses.data(), effects.data())) {
        SetPoints(std::move(doses), std::move(effects));
    }
}

bool CDoseDataset::GetXRange(double& min, double& max) const {
    return FromZero(CDataset::GetXRange(min, max), min, max);
}

bool CDoseDataset::GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                             bool withErrors) const {
    return FromZero(CDataset::GetYRange(xLow, xHigh, min, max, samples, withErrors), min, max);
}

bool CDoseDataset::Evaluate(double x, double& y, double& low, double& high) const {
    double fa = 0.0;
    if (!m_pDrug->EffectForDose(x, fa)) {
        return false;
    }
    return SetSingleValue(fa, y, low, high);
}

bool CDoseDataset::HasCurve() const {
    return m_pDrug->m_bFitValid != 0;
}

// ---------------------------------------------------------------------------
// Median-effect series

CMedianDataset::CMedianDataset(std::shared_ptr<const CDrugInfo> drug, int join, std::uint16_t style)
    : m_pDrug(std::move(drug)) {
    const CDrugInfo& record = *m_pDrug;
    m_strName = record.m_strName;
    m_bJoin = join;
    m_nStyle = style;
    const int count = record.PointCount();
    std::vector<double> logDoses(static_cast<size_t>(count));
    std::vector<double> logEffects(static_cast<size_t>(count));
    if (count > 0 && record.GetMedianEffectPoints(count, logDoses.data(), logEffects.data())) {
        SetPoints(std::move(logDoses), std::move(logEffects));
    }
}

bool CMedianDataset::GetXRange(double& min, double& max) const {
    if (!CDataset::GetXRange(min, max)) {
        return false;
    }
    // Whole decades, always including log(D) = 0 and reaching past it.
    min = std::floor(min);
    if (min > 0.0) {
        min = 0.0;
    }
    max = std::ceil(max);
    if (max <= 0.0) {
        max = 1.0;
    }
    return true;
}

bool CMedianDataset::GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                               bool withErrors) const {
    if (!CDataset::GetYRange(xLow, xHigh, min, max, samples, withErrors)) {
        return false;
    }
    // Whole units with fa = 0.5 (y = 0) strictly inside.
    min = std::floor(min);
    if (min >= 0.0) {
        min = -1.0;
    }
    max = std::ceil(max);
    if (max <= 0.0) {
        max = 1.0;
    }
    return true;
}

bool CMedianDataset::Evaluate(double x, double& y, double& low, double& high) const {
    double value = 0.0;
    if (!m_pDrug->MedianEffectLine(x, value)) {
        return false;
    }
    return SetSingleValue(value, y, low, high);
}

bool CMedianDataset::HasCurve() const {
    return m_pDrug->m_bFitValid != 0;
}

// ---------------------------------------------------------------------------
// Isobole

CIsoDataset::CIsoDataset(double fa, std::shared_ptr<const CDrugInfo> drug, const DrugList& drugs,
                         bool conservative, std::uint16_t style)
    : m_pDrug(std::move(drug)), m_bConservative(conservative ? 1 : 0) {
    const CDrugInfo& record = *m_pDrug;
    m_nStyle = style;
    double dx1 = 0.0;
    double dx2 = 0.0;
    double d1 = 0.0;
    double d2 = 0.0;
    if (!record.IsobologramPoint(fa, drugs, dx1, dx2, d1, d2)) {
        return;
    }
    m_dx1 = dx1;
    m_dx2 = dx2;
    m_d1 = d1;
    m_d2 = d2;
    SetPoints({0.0, d2, dx2}, {dx1, d1, 0.0});
    char name[64];
    std::snprintf(name, sizeof name, "ED%g", fa * 100.0);
    m_strName = name;
    m_bJoin = 0;
}

bool CIsoDataset::GetXRange(double& min, double& max) const {
    return FromZero(CDataset::GetXRange(min, max), min, max);
}

bool CIsoDataset::GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                            bool withErrors) const {
    return FromZero(CDataset::GetYRange(xLow, xHigh, min, max, samples, withErrors), min, max);
}

bool CIsoDataset::Evaluate(double x, double& y, double& low, double& high) const {
    if (m_dx2 == 0.0) {
        return false;
    }
    double value = 0.0;
    if (m_bConservative) {
        const double denominator = x + m_dx2;
        if (denominator == 0.0) {
            return false;
        }
        value = m_dx1 * (m_dx2 - x) / denominator;
    } else {
        value = m_dx1 - x * m_dx1 / m_dx2;
    }
    // The isobole ends on the x axis at (Dx)2.
    if (!(value >= 0.0)) {
        return false;
    }
    return SetSingleValue(value, y, low, high);
}

// ---------------------------------------------------------------------------
// Normalised isobologram

CNormalisedIsoDataset::CNormalisedIsoDataset(std::shared_ptr<const CDrugInfo> drug,
                                             const DrugList& drugs, std::uint16_t style)
    : m_pDrug(std::move(drug)) {
    const CDrugInfo& record = *m_pDrug;
    m_nStyle = style;
    const int count = record.PointCount();
    std::vector<double> xs;
    std::vector<double> ys;
    xs.reserve(static_cast<size_t>(count));
    ys.reserve(static_cast<size_t>(count));
    for (int j = 0; j < count; ++j) {
        double n2 = 0.0;
        double n1 = 0.0;
        if (!record.NormalisedIsobologramPoint(j, drugs, n2, n1)) {
            return; // one point that cannot be placed spoils the series
        }
        xs.push_back(n2);
        ys.push_back(n1);
    }
    if (!xs.empty()) {
        SetPoints(std::move(xs), std::move(ys));
    }
}

bool CNormalisedIsoDataset::GetXRange(double& min, double& max) const {
    return FromZero(CDataset::GetXRange(min, max), min, max, 1.0);
}

bool CNormalisedIsoDataset::GetYRange(double xLow, double xHigh, double& min, double& max,
                                      int samples, bool withErrors) const {
    return FromZero(CDataset::GetYRange(xLow, xHigh, min, max, samples, withErrors), min, max, 1.0);
}

bool CNormalisedIsoDataset::Evaluate(double x, double& y, double& low, double& high) const {
    if (x == 0.0) {
        return false;
    }
    const double value = 1.0 - x;
    if (!(value >= 0.0)) {
        return false;
    }
    return SetSingleValue(value, y, low, high);
}

std::string CNormalisedIsoDataset::GetPointLabel(int j) const {
    return m_pDrug->PointRatioText(j, -1);
}

// ---------------------------------------------------------------------------
// Fa-CI series

CCIDataset::CCIDataset(std::shared_ptr<const CDrugInfo> drug, std::shared_ptr<const DrugList> drugs,
                       const CCIBand& band, int iterations, double sdMultiple, bool log,
                       bool showCurve, std::uint16_t style, ECIForm form)
    : m_pDrug(std::move(drug)), m_pDrugs(std::move(drugs)), m_nIterations(std::max(iterations, 0)),
      m_sdMultiple(sdMultiple), m_form(form), m_bLog(log ? 1 : 0), m_bShowCurve(showCurve ? 1 : 0),
      m_bNumber(m_pDrug->m_bConstantRatio ? 0 : 1) {
    const CDrugInfo& record = *m_pDrug;
    m_nStyle = style;
    const int count = record.PointCount();
    if (count == 0 || record.m_nComponents < 2 || !m_pDrugs) {
        return;
    }

    std::vector<double> effects(static_cast<size_t>(count));
    std::vector<double> cis(static_cast<size_t>(count));
    if (record.GetFaCIPoints(count, effects.data(), cis.data(), *m_pDrugs, m_form)) {
        if (m_bLog) {
            for (double& ci : cis) {
                ci = PlotLog10(ci);
            }
        }
        SetPoints(std::move(effects), std::move(cis));
    }

    // The estimation method is named only where a band of some width is
    // drawn for it; the non-exclusive form has an algebraic band of none.
    const bool exclusive = m_form == ECIForm::MutuallyExclusive;
    m_strName = record.m_strName;
    if (m_sdMultiple > 0.0 && (exclusive || m_nIterations > 0)) {
        m_strName += m_nIterations > 0 ? " - Monte Carlo Estimation" : " - Algebraic Estimation";
    }
    if (m_sdMultiple > 0.0 && !exclusive) {
        m_strName += " Non-exclusive";
    }

    if (m_nStyle == kConstantLineStyle) {
        m_nStyle = kNextStyle;
        m_bShowPoints = 0;
    } else {
        m_bShowPoints = 1;
    }

    // A simulation that failed gave way to the algebraic band.
    if (!band.monteCarlo) {
        m_nIterations = 0;
    }
    if (band.Empty()) {
        return;
    }
    m_pLower = band.lower;
    m_pUpper = band.upper;
    if (m_bLog) {
        for (double& value : m_pLower) {
            value = PlotLog10(value);
        }
        for (double& value : m_pUpper) {
            value = PlotLog10(value);
        }
    }
}

bool CCIDataset::GetXRange(double& min, double& max) const {
    min = 0.0;
    max = 1.0;
    return true;
}

bool CCIDataset::GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                           bool withErrors) const {
    if (!CDataset::GetYRange(xLow, xHigh, min, max, samples, withErrors)) {
        return false;
    }
    if (m_bLog) {
        min = std::floor(min);
        max = std::ceil(max);
    } else {
        min = 0.0;
    }
    return true;
}

bool CCIDataset::HasCurve() const {
    return m_bShowCurve && m_pDrug->m_bFitValid && m_pDrug->m_nComponents >= 2;
}

bool CCIDataset::Evaluate(double x, double& y, double& low, double& high) const {
    if (!m_pDrugs) {
        return false;
    }
    double ci = 0.0;
    if (!m_pDrug->CombinationIndex(x, *m_pDrugs, ci, m_form)) {
        return false;
    }
    const double value = m_bLog ? PlotLog10(ci) : ci;

    const auto levels = static_cast<size_t>(kBandLevels);
    if (m_pLower.size() != levels || m_pUpper.size() != levels) {
        return SetSingleValue(value, y, low, high);
    }

    // The band is linear between its grid levels and ends at the outer ones;
    // the negated test also turns away NaN before it reaches floor().
    if (!(x >= 0.05 && x <= 0.99)) {
        return false;
    }
    int segment = 0;
    double t = 0.0;
    if (x < 0.10) {
        segment = 0;
        t = (x - 0.05) * 20.0;
    } else if (x < 0.95) {
        const int j = static_cast<int>(std::floor((x - 0.10) * 20.0));
        segment = j + 1;
        t = (x - (static_cast<double>(j) * 0.05 + 0.10)) * 20.0;
    } else {
        segment = 18;
        t = (x - 0.95) * 25.0;
    }
    // Rounding near a level must not step outside the grid.
    segment = std::clamp(segment, 0, kBandLevels - 2);
    const auto s = static_cast<size_t>(segment);
    y = value;
    low = (1.0 - t) * m_pLower[s] + t * m_pLower[s + 1];
    high = (1.0 - t) * m_pUpper[s] + t * m_pUpper[s + 1];
    return true;
}

// ---------------------------------------------------------------------------
// Reference line

CConstDataset::CConstDataset(double value, const std::string& name) : m_value(value) {
    m_strName = name;
    m_nStyle = kConstantLineStyle;
    SetPoints({0.0}, {value});
}

bool CConstDataset::GetXRange(double& min, double& max) const {
    min = 0.0;
    max = 0.0;
    return true;
}

bool CConstDataset::GetYRange(double, double, double& min, double& max, int, bool) const {
    // From the axis to the line, whichever side of it the line lies.
    min = std::min(0.0, m_value);
    max = std::max(0.0, m_value);
    return true;
}

bool CConstDataset::Evaluate(double, double& y, double& low, double& high) const {
    return SetSingleValue(m_value, y, low, high);
}

} // namespace doseplex
