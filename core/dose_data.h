#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace doseplex {

// One measured dose-effect point. For a combination, m_dose is the dose of the
// first component and m_pRatio the mixing ratio of this point.
class CDoseData {
public:
    CDoseData() = default;
    // Copies `ratio` (count values) only when count is 2 or more.
    CDoseData(double dose, double fa, std::uint16_t count, const double* ratio);

    std::unique_ptr<CDoseData> Clone() const;

    // True when the point was given as `count` drugs and, for a combination,
    // carries a ratio.
    bool Matches(std::uint16_t count) const;

    // With values: replaces the ratio by a copy of `count` values. The count
    // becomes `count` when a ratio is present, else 1.
    void SetRatio(std::uint16_t count, const double* values);

    // The ratio when `count` equals the point's count, else null.
    const double* GetRatio(std::uint16_t count) const;

    // Ratio entry k; 0.0 when k is out of range or there is no ratio.
    double RatioAt(int k) const;

    bool HasRatio() const { return !m_pRatio.empty(); }

    std::uint16_t m_nComponents = 1;
    double m_fa = 0.0;
    double m_dose = 0.0;
    std::vector<double> m_pRatio; // empty: no ratio
};

} // namespace doseplex
