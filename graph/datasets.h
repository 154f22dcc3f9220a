#pragma once

// The data series of the analysis graphs. Each one copies its points from a
// drug record when it is built and evaluates its curve through the record
// (which must outlive the series) whenever the graph samples it.

#include "core/drug_info.h"
#include "graph/graph.h"

#include <cstdint>
#include <string>
#include <vector>

namespace doseplex {

// Usable median-effect data: at least two points, not all at the same dose.
bool HasUsableMedianData(const CDrugInfo& record);

// (dose, fa) of every point; the curve is the fitted dose-effect curve.
class CDoseDataset : public CDataset {
public:
    CDoseDataset(CDrugInfo& record, int join, std::uint16_t style);

    bool GetXRange(double& min, double& max) const override;
    bool GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                   bool withErrors) const override;
    bool Evaluate(double x, double& y, double& low, double& high) const override;
    bool HasCurve() const override;

    CDrugInfo* m_pDrug = nullptr;
};

// (log10 D, log10(fa/fu)) of every point; the curve is the median-effect line.
class CMedianDataset : public CDataset {
public:
    CMedianDataset(CDrugInfo& record, int join, std::uint16_t style);

    bool GetXRange(double& min, double& max) const override;
    bool GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                   bool withErrors) const override;
    bool Evaluate(double x, double& y, double& low, double& high) const override;
    bool HasCurve() const override;

    CDrugInfo* m_pDrug = nullptr;
};

// One isobole of a two-drug constant-ratio combination at effect level fa:
// the points (0, (Dx)1), (d2, d1) and ((Dx)2, 0), drug 1 on the y axis.
class CIsoDataset : public CDataset {
public:
    // `conservative` selects the curved isobole (Dx)1((Dx)2 - x)/(x + (Dx)2)
    // instead of the straight line between the intercepts.
    CIsoDataset(double fa, CDrugInfo& record, const DrugList& drugs, bool conservative,
                std::uint16_t style);

    bool GetXRange(double& min, double& max) const override;
    bool GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                   bool withErrors) const override;
    bool Evaluate(double x, double& y, double& low, double& high) const override;
    bool HasCurve() const override { return m_nCount > 0; }

    CDrugInfo* m_pDrug = nullptr;
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
    CNormalisedIsoDataset(CDrugInfo& record, const DrugList& drugs, std::uint16_t style);

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

    CDrugInfo* m_pDrug = nullptr;
};

// (fa, CI) of every experimental point of a combination (log10 CI in the
// logarithmic form), the CI curve, and an error band computed on a fixed
// grid of effect levels and interpolated linearly between them.
class CCIDataset : public CDataset {
public:
    static constexpr int kBandLevels = 20;

    // `iterations` above 0 estimates the band by Monte Carlo simulation,
    // otherwise algebraically; `sdMultiple` is the band's half-width in
    // standard deviations. Style kConstantLineStyle hides the points.
    CCIDataset(CDrugInfo& record, const DrugList& drugs, int iterations, double sdMultiple,
               bool log, bool showCurve, std::uint16_t style);

    // The effect level of band entry k (0..19): 0.05, 0.10 .. 0.95, 0.99.
    static double BandLevel(int k);

    bool GetXRange(double& min, double& max) const override;
    bool GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                   bool withErrors) const override;
    bool Evaluate(double x, double& y, double& low, double& high) const override;
    bool HasCurve() const override;
    bool ShowPoints() const override { return m_bShowPoints != 0; }
    bool NumberPoints() const override { return m_bNumber != 0; }

    CDrugInfo* m_pDrug = nullptr;
    const DrugList* m_pDrugs = nullptr; // the document's list, for the components
    int m_nIterations = 0;              // 0: algebraic estimate
    std::vector<double> m_pUpper;       // kBandLevels values, empty: no band
    std::vector<double> m_pLower;
    double m_sdMultiple = 1.0;
    int m_bExclusive = 1; // the record's flag when the series was built
    int m_bLog = 0;
    int m_bShowPoints = 1;
    int m_bShowCurve = 1;
    int m_bNumber = 0; // number the points (combinations without a constant ratio)

private:
    void ComputeBand();
    bool ComputeMonteCarloBand();
    bool ComputeAlgebraicBand();
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
