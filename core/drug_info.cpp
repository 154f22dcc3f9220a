#include "core/drug_info.h"

#include "core/format.h"

#include <algorithm>

namespace doseplex {

const CDrugInfo* FindDrug(const DrugList& drugs, long long id) {
    if (id < 0 || id >= static_cast<long long>(drugs.size())) {
        return nullptr;
    }
    return drugs[static_cast<size_t>(id)].get();
}

bool CDrugInfo::SetConstantRatio(int flag) {
    if (!IsCombination()) {
        return false;
    }
    m_bConstantRatio = flag;
    return true;
}

bool CDrugInfo::SetComponents(std::uint16_t count, const std::uint16_t* ids) {
    if (count == m_nComponents) {
        return true;
    }
    if (!m_points.empty() || (count >= 2 && !ids)) {
        return false;
    }
    m_nComponents = count;
    if (ids) {
        m_pComponents.assign(ids, ids + count);
    } else {
        m_pComponents.clear();
    }
    return true;
}

bool CDrugInfo::SetRatio(std::uint16_t count, const double* values) {
    if (count != m_nComponents || !values) {
        return false;
    }
    m_pRatio.assign(values, values + count);
    return true;
}

std::unique_ptr<CDoseData> CDrugInfo::CreatePoint(double dose, double fa, std::uint16_t count,
                                                  const double* ratio) const {
    if (count != m_nComponents) {
        return nullptr;
    }
    if (IsCombination() && m_bConstantRatio) {
        ratio = GetRatio(count, 0);
    }
    return std::make_unique<CDoseData>(dose, fa, count, ratio);
}

bool CDrugInfo::AddPoint(std::unique_ptr<CDoseData>& point) {
    if (!point || !point->Matches(m_nComponents)) {
        return false;
    }
    InsertPoint(point);
    Fit();
    return true;
}

bool CDrugInfo::AddPoints(std::vector<std::unique_ptr<CDoseData>>& points) {
    for (const auto& point : points) {
        if (!point || !point->Matches(m_nComponents)) {
            return false;
        }
    }
    for (auto& point : points) {
        InsertPoint(point);
    }
    points.clear();
    Fit();
    return true;
}

void CDrugInfo::InsertPoint(std::unique_ptr<CDoseData>& point) {
    if (IsCombination() && m_bConstantRatio) {
        if (const double* ratio = GetRatio(m_nComponents, 0)) {
            point->SetRatio(m_nComponents, ratio);
        }
    }
    // Equal doses keep their order of arrival: the new point goes before the
    // first later point whose dose is strictly greater.
    const double dose = point->m_dose;
    auto position = m_points.end();
    if (m_points.empty() || m_points.front()->m_dose > dose) {
        position = m_points.begin();
    } else {
        position = std::find_if(m_points.begin() + 1, m_points.end(),
                                [dose](const auto& p) { return p->m_dose > dose; });
    }
    m_points.insert(position, std::move(point));
}

bool CDrugInfo::ReplacePoint(int index, std::unique_ptr<CDoseData>& point) {
    if (index < 0 || index >= PointCount()) {
        return false;
    }
    auto removed = std::move(m_points[static_cast<size_t>(index)]);
    m_points.erase(m_points.begin() + index);
    if (!AddPoint(point)) {
        // Keep the record unchanged when the new point is refused.
        m_points.insert(m_points.begin() + index, std::move(removed));
        return false;
    }
    return true;
}

bool CDrugInfo::RemovePoint(int index) {
    if (index < 0 || index >= PointCount()) {
        return false;
    }
    m_points.erase(m_points.begin() + index);
    Fit();
    return true;
}

std::vector<std::unique_ptr<CDoseData>> CDrugInfo::RemoveAllPoints() {
    std::vector<std::unique_ptr<CDoseData>> points;
    points.swap(m_points);
    Fit(); // an empty record has no fit
    return points;
}

const CDoseData* CDrugInfo::GetPoint(int index) const {
    if (index < 0 || index >= PointCount()) {
        return nullptr;
    }
    return m_points[static_cast<size_t>(index)].get();
}

double CDrugInfo::PointEffect(int index) const {
    const CDoseData* point = GetPoint(index);
    return point ? point->m_fa : -1.0;
}

double CDrugInfo::PointDose(int index) const {
    const CDoseData* point = GetPoint(index);
    return point ? point->m_dose : -1.0;
}

double CDrugInfo::PointComponentDose(int index, std::uint16_t id) const {
    return ComponentDose(PointDose(index), id, index);
}

int CDrugInfo::ComponentPosition(std::uint16_t id) const {
    const size_t count = std::min<size_t>(m_nComponents, m_pComponents.size());
    for (size_t k = 0; k < count; ++k) {
        if (m_pComponents[k] == id) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

double CDrugInfo::ComponentDose(double dose, std::uint16_t id, int index) const {
    if (!IsCombination()) {
        return 0.0;
    }
    const double* ratio = GetRatio(m_nComponents, index);
    const int k = ComponentPosition(id);
    if (!ratio || ratio[0] == 0.0 || k < 0) {
        return 0.0;
    }
    return dose * ratio[k] / ratio[0];
}

const double* CDrugInfo::GetRatio(std::uint16_t count, int index) const {
    if (count != m_nComponents) {
        return nullptr;
    }
    if (m_bConstantRatio) {
        return m_pRatio.size() >= count && !m_pRatio.empty() ? m_pRatio.data() : nullptr;
    }
    const CDoseData* point = GetPoint(index);
    return point ? point->GetRatio(count) : nullptr;
}

const std::uint16_t* CDrugInfo::GetComponents(std::uint16_t count) const {
    if (count != m_nComponents || m_pComponents.size() < count || m_pComponents.empty()) {
        return nullptr;
    }
    return m_pComponents.data();
}

std::unique_ptr<CDrugInfo> CDrugInfo::Clone() const {
    auto copy = std::make_unique<CDrugInfo>();
    copy->m_strName = m_strName;
    copy->m_strUnits = m_strUnits;
    copy->m_strComment = m_strComment;
    copy->m_bConstantRatio = m_bConstantRatio;
    copy->m_nComponents = m_nComponents;
    copy->m_pComponents = m_pComponents;
    copy->m_pRatio = m_pRatio;
    // The points are already in dose order; the copy is fitted once at the
    // end rather than after every point, so a bad point is reported once.
    copy->m_points.reserve(m_points.size());
    for (const auto& point : m_points) {
        copy->m_points.push_back(point->Clone());
    }
    copy->Fit();
    return copy;
}

const CDrugInfo* CDrugInfo::ComponentRecord(int k, const DrugList& drugs) const {
    if (k < 0 || k >= m_nComponents || static_cast<size_t>(k) >= m_pComponents.size()) {
        return nullptr;
    }
    return FindDrug(drugs, m_pComponents[static_cast<size_t>(k)]);
}

bool CDrugInfo::CollectDrugs(const DrugList& drugs, std::vector<const CDrugInfo*>& out) const {
    out.clear();
    out.push_back(this);
    if (!IsCombination()) {
        return true;
    }
    for (int k = 0; k < m_nComponents; ++k) {
        const CDrugInfo* component = ComponentRecord(k, drugs);
        if (!component) {
            return false;
        }
        out.push_back(component);
    }
    return true;
}

bool CDrugInfo::DoesNotUse(std::uint16_t id) const {
    return !IsCombination() || ComponentPosition(id) < 0;
}

void CDrugInfo::ComponentRemoved(std::uint16_t id) {
    if (!IsCombination()) {
        return;
    }
    for (auto& component : m_pComponents) {
        if (component > id) {
            --component;
        }
    }
}

// ---------------------------------------------------------------------------
// Texts

std::string CDrugInfo::JoinDoses(double dose, const double* ratio, bool useTab,
                                 const DrugList* drugs, int precision) const {
    if (!ratio || ratio[0] == 0.0) {
        return {};
    }
    std::string text;
    for (int k = 0; k < m_nComponents; ++k) {
        const CDrugInfo* component = nullptr;
        if (drugs) {
            component = ComponentRecord(k, *drugs);
            if (!component) {
                return {};
            }
        }
        if (k > 0) {
            text += useTab ? '\t' : ' ';
        }
        text += FormatNumber(dose * ratio[k] / ratio[0], precision, true);
        if (component) {
            text += component->m_strUnits;
        }
    }
    return text;
}

std::string CDrugInfo::DoseText(int index, bool useTab, const DrugList* drugs,
                                int precision) const {
    const CDoseData* point = GetPoint(index);
    if (!point) {
        return {};
    }
    if (!IsCombination()) {
        return FormatNumber(point->m_dose, precision, true) + (drugs ? m_strUnits : "");
    }
    return JoinDoses(point->m_dose, GetRatio(m_nComponents, index), useTab, drugs, precision);
}

std::string CDrugInfo::DoseTextFor(double dose, bool useTab, const DrugList* drugs,
                                   int precision) const {
    if (!IsCombination()) {
        return FormatNumber(dose, precision, true) + (drugs ? m_strUnits : "");
    }
    return JoinDoses(dose, GetRatio(m_nComponents, 1), useTab, drugs, precision);
}

std::string CDrugInfo::ComponentNamesText(const DrugList& drugs, bool withUnits) const {
    if (!IsCombination()) {
        return m_strName;
    }
    std::string text;
    for (int k = 0; k < m_nComponents; ++k) {
        if (k > 0) {
            text += '\t';
        }
        const CDrugInfo* component = ComponentRecord(k, drugs);
        if (!component) {
            text += "NK";
            continue;
        }
        text += component->m_strName;
        if (withUnits) {
            text += "(" + component->m_strUnits + ")";
        }
    }
    return text;
}

std::string CDrugInfo::ComponentUnitsText(const DrugList& drugs) const {
    if (!IsCombination()) {
        return m_strUnits;
    }
    std::string text;
    for (int k = 0; k < m_nComponents; ++k) {
        if (k > 0) {
            text += '\t';
        }
        const CDrugInfo* component = ComponentRecord(k, drugs);
        text += component ? "(" + component->m_strUnits + ")" : std::string("NK");
    }
    return text;
}

bool CDrugInfo::TwoComponentNames(const DrugList& drugs, std::string& name1,
                                  std::string& name2) const {
    if (m_nComponents != 2) {
        return false;
    }
    const CDrugInfo* first = ComponentRecord(0, drugs);
    const CDrugInfo* second = ComponentRecord(1, drugs);
    if (!first || !second) {
        return false;
    }
    name1 = first->m_strName;
    name2 = second->m_strName;
    return true;
}

std::string CDrugInfo::ComponentListText(const DrugList& drugs) const {
    if (!IsCombination()) {
        return "Not a combination";
    }
    std::string text;
    for (int k = 0; k < m_nComponents; ++k) {
        if (k > 0) {
            text += " / ";
        }
        const CDrugInfo* component = ComponentRecord(k, drugs);
        text += component ? component->m_strName + "(" + component->m_strUnits + ")"
                          : std::string("NK");
    }
    return text;
}

namespace {
std::string JoinRatio(const double* ratio, int count, int precision) {
    std::string text;
    for (int k = 0; k < count; ++k) {
        if (k > 0) {
            text += ':';
        }
        text += FormatNumber(ratio[k], precision, false);
    }
    return text;
}
} // namespace

std::string CDrugInfo::RatioText(int precision) const {
    if (!IsCombination()) {
        return "Not a combination";
    }
    if (!m_bConstantRatio) {
        return {};
    }
    const double* ratio = GetRatio(m_nComponents, 0);
    return ratio ? JoinRatio(ratio, m_nComponents, precision) : std::string();
}

std::string CDrugInfo::PointRatioText(int index, int precision) const {
    if (!IsCombination() || m_bConstantRatio) {
        return RatioText(precision);
    }
    const double* ratio = GetRatio(m_nComponents, index);
    return ratio ? JoinRatio(ratio, m_nComponents, precision) : std::string("N/A");
}

} // namespace doseplex
