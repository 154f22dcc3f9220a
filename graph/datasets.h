#pragma once

// The data series of the analysis graphs. Each one copies its points from a
// drug record when it is built and evaluates its curve through the record
// whenever the graph samples it. A series shares ownership of the records it
// reads (and of the drug list it found the components in), so the document
// may replace or delete them while the graph is still shown: the graph then
// shows the data it was built from until it is rebuilt.

#include "core/analysis.h"
#include "core/drug_info.h"
#include "graph/graph.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace doseplex {

// Usable median-effect data: at least two points, not all at the same dose.
bool HasUsableMedianData(const CDrugInfo& record);

// (dose, fa) of every point; the curve is the fitted dose-effect curve.
class CDoseDataset : public CDataset {
public:
    CDoseDataset(std::shared_ptr<const CDrugInfo> record, int join, std::uint16_t style);

    bool GetXRange(double& min, double& max) const override;
    bool GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                   bool withErrors) const override;
    bool Evaluate(double x, double& y, double& low, double& high) const override;
    bool HasCurve() const override;

    std::shared_ptr<const CDrugInfo> m_pDrug;
};

// (log10 D, log10(fa/fu)) of every point; the curve is the median-effect line.
class CMedianDataset : public CDataset {
public:
    CMedianDataset(std::shared_ptr<const CDrugInfo> record, int join, std::uint16_t style);

    bool GetXRange(double& min, double& max) const override;
    bool GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                   bool withErrors) const override;
    bool Evaluate(double x, double& y, double& low, double& high) const override;
    bool HasCurve() const override;

    std::shared_ptr<const CDrugInfo> m_pDrug;
};

// One isobole of a two-drug constant-ratio combination at effect level fa:
// the points (0, (Dx)1), (d2, d1) and ((Dx)2, 0), drug 1 on the y axis.
class CIsoDataset : public CDataset {
public:
    // `conservative` selects the curved isobole (Dx)1((Dx)2 - x)/(x + (Dx)2)
    // instead of the straight line between the intercepts.
    CIsoDataset(double fa, std::shared_ptr<const CDrugInfo> record, const DrugList& drugs,
                bool conservative, std::uint16_t style);

    bool GetXRange(double& min, double& max) const override;
    bool GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                   bool withErrors) const override;
    bool Evaluate(double x, double& y, double& low, double& high) const override;
    bool HasCurve() const override { return m_nCount > 0; }

    std::shared_ptr<const CDrugInfo> m_pDrug;
    double m_dx1 = 0.0; // single-drug dose of drug 1 giving fa
    double m_dx2 = 0.0; // single-drug dose of drug 2 giving fa
    double m_d1 = 0.0;  // drug 1's dose in the combination giving fa
    double m_d2 = 0.0;
    int m_bConservative = 0;
};

// The normalised isobologram of a combination without a constant ratio: one
// point (d2/(Dx)2, d1/(Dx)1) per experimental point and the line of
// additivity y = 1 - x.
class CNormalisedIsoDataset : public CDataset {
public:
    CNormalisedIsoDataset(std::shared_ptr<const CDrugInfo> record, const DrugList& drugs,
                          std::uint16_t style);

    bool GetXRange(double& min, double& max) const override;
    bool GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                   bool withErrors) const override;
    bool Evaluate(double x, double& y, double& low, double& high) const override;
    bool HasCurve() const override { return m_nCount > 0; }
    bool PerPointLegend() const override { return true; }
    bool ShowPoints() const override { return true; }
    bool NumberPoints() const override { return true; }
    // The mixing ratio of point j.
    std::string GetPointLabel(int j) const override;

    std::shared_ptr<const CDrugInfo> m_pDrug;
};

// (fa, CI) of every experimental point of a combination (log10 CI in the
// logarithmic form), the CI curve, and an error band given on a fixed grid of
// effect levels (CCIBand) and interpolated linearly between them.
class CCIDataset : public CDataset {
public:
    static constexpr int kBandLevels = CCIBand::kLevels;

    // `band` is the record's error band for `form` (see ComputeCIBand), empty
    // for none; `iterations` (the simulation asked for, 0 for the algebraic
    // estimate) and `sdMultiple` (the band's half-width in standard
    // deviations) name the series. Style kConstantLineStyle hides the points.
    CCIDataset(std::shared_ptr<const CDrugInfo> record, std::shared_ptr<const DrugList> drugs,
               const CCIBand& band, int iterations, double sdMultiple, bool log, bool showCurve,
               std::uint16_t style, ECIForm form = ECIForm::MutuallyExclusive);

    // The effect level of band entry k (0..19): 0.05, 0.10 .. 0.95, 0.99.
    static double BandLevel(int k) { return CCIBand::Level(k); }

    bool GetXRange(double& min, double& max) const override;
    bool GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                   bool withErrors) const override;
    bool Evaluate(double x, double& y, double& low, double& high) const override;
    bool HasCurve() const override;
    bool ShowPoints() const override { return m_bShowPoints != 0; }
    bool NumberPoints() const override { return m_bNumber != 0; }

    std::shared_ptr<const CDrugInfo> m_pDrug;
    std::shared_ptr<const DrugList> m_pDrugs; // the list the components are found in
    int m_nIterations = 0;                    // 0: algebraic estimate
    std::vector<double> m_pUpper;             // kBandLevels values, empty: no band
    std::vector<double> m_pLower;
    double m_sdMultiple = 1.0;
    ECIForm m_form = ECIForm::MutuallyExclusive;
    int m_bLog = 0;
    int m_bShowPoints = 1;
    int m_bShowCurve = 1;
    int m_bNumber = 0; // number the points (combinations without a constant ratio)
};

// A horizontal reference line y = value, drawn without a point.
class CConstDataset : public CDataset {
public:
    CConstDataset(double value, const std::string& name);

    bool GetXRange(double& min, double& max) const override;
    bool GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                   bool withErrors) const override;
    bool Evaluate(double x, double& y, double& low, double& high) const override;
    bool HasCurve() const override { return true; }
    bool ShowPoints() const override { return false; }

    double m_value = 0.0;
};

} // namespace doseplex
