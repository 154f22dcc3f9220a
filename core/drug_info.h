#pragma once

#include "core/dose_data.h"
#include "core/graph_override.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace doseplex {

class CDrugInfo;
class CRandom;
class CRunControl;

// The document's drug list. A record's position in it is its drug id. The
// records are shared: graphs, and analyses running beside the window, keep
// the records they read alive after the document replaces or deletes them.
using DrugList = std::vector<std::shared_ptr<CDrugInfo>>;

// The 95% limits of Dm and of predicted doses use this fixed factor, whatever
// the sdMultiple option says (that one widens the graphs' error bands only).
constexpr double kLimitFactor = 1.96;

// Which combination index: the drugs' effects mutually exclusive (the sum of
// the dose ratios) or, for two drugs, mutually non-exclusive (plus their
// product).
enum class ECIForm { MutuallyExclusive, NonExclusive };

// The record at `id`, or null when there is none.
const CDrugInfo* FindDrug(const DrugList& drugs, long long id);

// One drug or a combination of 2 to 6 drugs with its measured points (kept in
// ascending dose order) and its median-effect fit, which every change of the
// points brings up to date.
class CDrugInfo {
public:
    CDrugInfo() = default;
    CDrugInfo(const CDrugInfo&) = delete;
    CDrugInfo& operator=(const CDrugInfo&) = delete;

    bool IsCombination() const { return m_nComponents >= 2; }

    // --- Points and structure ---------------------------------------------
    bool SetConstantRatio(int flag);
    bool SetComponents(std::uint16_t count, const std::uint16_t* ids);
    bool SetRatio(std::uint16_t count, const double* values);
    std::unique_ptr<CDoseData> CreatePoint(double dose, double fa, std::uint16_t count,
                                           const double* ratio) const;
    // Takes ownership on success; a refused point stays with the caller.
    bool AddPoint(std::unique_ptr<CDoseData>& point);
    bool AddPoint(std::unique_ptr<CDoseData>&& point) { return AddPoint(point); }
    // Adds every point as AddPoint would, one after another, but fits once at
    // the end: the same points in the same order and the same fit. Refuses
    // them all, leaving them with the caller, when any one does not fit the
    // record.
    bool AddPoints(std::vector<std::unique_ptr<CDoseData>>& points);
    bool ReplacePoint(int index, std::unique_ptr<CDoseData>& point);
    bool RemovePoint(int index);
    // Empties the list and hands the points to the caller.
    std::vector<std::unique_ptr<CDoseData>> RemoveAllPoints();
    const CDoseData* GetPoint(int index) const;
    int PointCount() const { return static_cast<int>(m_points.size()); }
    double PointEffect(int index) const;
    double PointDose(int index) const;
    double PointComponentDose(int index, std::uint16_t id) const;
    double ComponentDose(double dose, std::uint16_t id, int index) const;
    const double* GetRatio(std::uint16_t count, int index) const;
    const std::uint16_t* GetComponents(std::uint16_t count) const;
    std::unique_ptr<CDrugInfo> Clone() const;
    bool CollectDrugs(const DrugList& drugs, std::vector<const CDrugInfo*>& out) const;
    bool DoesNotUse(std::uint16_t id) const;
    void ComponentRemoved(std::uint16_t id);

    // --- Texts ------------------------------------------------------------
    // `drugs` may be null: the texts then carry no units.
    std::string DoseText(int index, bool useTab, const DrugList* drugs, int precision) const;
    std::string DoseTextFor(double dose, bool useTab, const DrugList* drugs, int precision) const;
    std::string ComponentNamesText(const DrugList& drugs, bool withUnits) const;
    std::string ComponentUnitsText(const DrugList& drugs) const;
    bool TwoComponentNames(const DrugList& drugs, std::string& name1, std::string& name2) const;
    std::string ComponentListText(const DrugList& drugs) const;
    std::string RatioText(int precision) const;
    std::string PointRatioText(int index, int precision) const;

    // --- Median-effect fit --------------------------------------------------
    bool Fit();
    bool GetParameters(double& m, double& seM, double& dm, double& dmLower, double& dmUpper,
                       double& r) const;
    bool GetAllParameters(double& m, double& seM, double& dm, double& dmLower, double& dmUpper,
                          double& r, double& ccsi, double& yInt, double& seYInt) const;

    // --- Predictions --------------------------------------------------------
    bool DoseForEffect(double fa, double& dose) const;
    bool LogDoseForEffect(double fa, double& logDose, double& se) const;
    bool EffectForDose(double dose, double& fa) const;
    bool MedianEffectLine(double x, double& y) const;
    bool GetDoseEffectPoints(int n, double* doses, double* effects) const;
    bool GetMedianEffectPoints(int n, double* logDoses, double* logEffects) const;

    // --- Combination and dose reduction indices -----------------------------
    // A combination index rests on positive, finite doses only: one whose
    // combination or component dose is 0, negative, infinite or NaN fails.
    bool CombinationIndex(double fa, const DrugList& drugs, double& ci,
                          ECIForm form = ECIForm::MutuallyExclusive) const;
    bool PointCombinationIndex(int j, const DrugList& drugs, double& ci,
                               ECIForm form = ECIForm::MutuallyExclusive) const;
    bool DoseReductionIndex(double fa, int k, const DrugList& drugs, double& dri) const;
    bool PointDoseReductionIndex(int j, int k, const DrugList& drugs, double& dri) const;
    bool IsobologramPoint(double fa, const DrugList& drugs, double& dx1, double& dx2, double& d1,
                          double& d2) const;
    bool NormalisedIsobologramPoint(int j, const DrugList& drugs, double& n2, double& n1) const;
    bool GetFaCIPoints(int n, double* effects, double* cis, const DrugList& drugs,
                       ECIForm form = ECIForm::MutuallyExclusive) const;

    // --- Error estimates ----------------------------------------------------
    bool CombinationIndexSD(double fa, const DrugList& drugs, double& ci, double& sd,
                            ECIForm form = ECIForm::MutuallyExclusive) const;
    bool SimulatedDoseForEffect(double fa, CRandom& random, double& dose) const;
    // Draws from `random`. With a run control, stops early (failing) once it
    // is cancelled.
    bool MonteCarloCI(int iterations, double fa, const DrugList& drugs, CRandom& random,
                      double& mean, double& sd, ECIForm form = ECIForm::MutuallyExclusive,
                      const CRunControl* control = nullptr) const;

    // --- Fields -------------------------------------------------------------
    std::string m_strName;
    std::string m_strUnits;
    std::string m_strComment;
    int m_bConstantRatio = 1;
    std::uint16_t m_nComponents = 1;
    std::vector<std::uint16_t> m_pComponents; // empty for a single drug
    std::vector<std::unique_ptr<CDoseData>> m_points;
    std::vector<double> m_pRatio; // empty: no ratio
    int m_bFitValid = 0;
    double m_m = 0.0;
    double m_seM = 0.0;
    double m_yInt = 0.0;
    double m_seYInt = 0.0;
    double m_ccsi = 0.0;
    double m_r2 = 0.0;
    std::array<CGraphOverride, kGraphKindCount> m_graphOverride{};

private:
    // Puts the point in dose order (after any of the same dose) without fitting.
    void InsertPoint(std::unique_ptr<CDoseData>& point);
    // Position of `id` among the components, or -1.
    int ComponentPosition(std::uint16_t id) const;
    // Component k's record, or null when k or its id has no record.
    const CDrugInfo* ComponentRecord(int k, const DrugList& drugs) const;
    // (Dx)_k at fa for component k; fails when the record is missing, its
    // prediction fails or gives 0.
    bool ComponentDoseForEffect(int k, double fa, const DrugList& drugs, double& dx) const;
    // The combination's first-component dose at fa; fails when 0.
    bool CombinationDoseForEffect(double fa, double& dose) const;
    // One simulated dose from slope and intercept redrawn from their joint
    // normal distribution; `logit` is log10(fa/fu), `spread` is sqrt(1 - CCSI^2).
    // Fails when the redrawn slope is 0 or `refuse` is set (fa = 1), after
    // drawing its two deviates either way.
    bool SimulateDose(CRandom& random, double logit, double spread, bool refuse,
                      double& dose) const;
    double DeviateSpread() const;
    std::string JoinDoses(double dose, const double* ratio, bool useTab, const DrugList* drugs,
                          int precision) const;
};

} // namespace doseplex
