#include "core/dose_data.h"

namespace doseplex {

CDoseData::CDoseData(double dose, double fa, std::uint16_t count, const double* ratio)
    : m_nComponents(count), m_fa(fa), m_dose(dose) {
    if (count >= 2 && ratio) {
        m_pRatio.assign(ratio, ratio + count);
    }
}

std::unique_ptr<CDoseData> CDoseData::Clone() const {
    return std::make_unique<CDoseData>(*this);
}

bool CDoseData::Matches(std::uint16_t count) const {
    return m_nComponents == count && (count < 2 || GetRatio(count) != nullptr);
}

void CDoseData::SetRatio(std::uint16_t count, const double* values) {
    if (values) {
        m_pRatio.assign(values, values + count);
    }
    m_nComponents = HasRatio() ? count : std::uint16_t{1};
}

const double* CDoseData::GetRatio(std::uint16_t count) const {
    // A ratio shorter than the count (left by a count change without new
    // values) is never handed out: callers read `count` entries from it.
    if (count != m_nComponents || m_pRatio.empty() || m_pRatio.size() < count) {
        return nullptr;
    }
    return m_pRatio.data();
}

double CDoseData::RatioAt(int k) const {
    if (k < 0 || k >= m_nComponents || static_cast<size_t>(k) >= m_pRatio.size()) {
        return 0.0;
    }
    return m_pRatio[static_cast<size_t>(k)];
}

} // namespace doseplex
