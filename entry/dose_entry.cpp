#include "entry/dose_entry.h"

#include "entry/number_text.h"

#include <algorithm>
#include <cstdio>

namespace doseplex::entry {

namespace {

bool HasOwnRatios(const CDrugInfo& record) {
    return record.IsCombination() && record.m_bConstantRatio == 0;
}

std::string DrugName(const DrugList& drugs, std::uint16_t id) {
    const CDrugInfo* drug = FindDrug(drugs, id);
    return drug ? drug->m_strName : std::string("NK");
}

} // namespace

std::string DoseListLine(const CDoseData& point) {
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%g\t%.04f", point.m_dose, point.m_fa);
    return buffer;
}

bool HasTwoDistinctDoses(const CDrugInfo& record) {
    for (int i = 1; i < record.PointCount(); ++i) {
        if (record.PointDose(i) != record.PointDose(0)) {
            return true;
        }
    }
    return false;
}

std::vector<double> RatioFromDoses(const std::vector<double>& doses) {
    if (doses.empty()) {
        return {};
    }
    std::vector<double> ratio(doses.size(), 1.0);
    double smallest = 1.0;
    for (std::size_t k = 1; k < doses.size(); ++k) {
        ratio[k] = doses[k] / doses[0];
        smallest = std::min(smallest, ratio[k]);
    }
    if (smallest > 0.0) {
        for (double& entry : ratio) {
            entry /= smallest;
        }
    }
    return ratio;
}

int DoseEntryRowCount(const CDrugInfo& record) {
    return HasOwnRatios(record) ? record.m_nComponents : 1;
}

std::vector<std::string> DoseEntryRowLabels(const CDrugInfo& record, const DrugList& drugs) {
    if (!record.IsCombination()) {
        return {record.m_strName};
    }
    if (record.m_pComponents.empty()) {
        return {"NK"};
    }
    if (!HasOwnRatios(record)) {
        return {DrugName(drugs, record.m_pComponents.front())};
    }
    std::vector<std::string> labels;
    for (const std::uint16_t id : record.m_pComponents) {
        labels.push_back(DrugName(drugs, id));
    }
    return labels;
}

std::vector<std::string> DoseEntryCells(const CDrugInfo& record, const CDoseData* point) {
    std::vector<std::string> cells(static_cast<std::size_t>(DoseEntryRowCount(record)));
    if (point == nullptr) {
        return cells;
    }
    cells[0] = DoseCellText(point->m_dose);
    const double first = point->RatioAt(0);
    if (cells.size() > 1 && first != 0.0) {
        for (std::size_t k = 1; k < cells.size(); ++k) {
            cells[k] = DoseCellText(point->m_dose * point->RatioAt(static_cast<int>(k)) / first);
        }
    }
    return cells;
}

CResult<std::unique_ptr<CDoseData>> BuildDoseEntryPoint(const CDrugInfo& record,
                                                        const CDoseData* edited,
                                                        const std::vector<std::string>& doseCells,
                                                        std::string_view effectText) {
    const auto effect = ParseNumberText(effectText);
    if (!effect || !(*effect > 0.0 && *effect < 1.0)) {
        return CStatus::Fail(std::string(kEffectRangeMessage));
    }
    const std::size_t rows = static_cast<std::size_t>(DoseEntryRowCount(record));
    std::vector<double> doses;
    for (std::size_t k = 0; k < rows; ++k) {
        const auto dose = k < doseCells.size() ? ParseNumberText(doseCells[k]) : std::nullopt;
        if (!dose || !(*dose > 0.0)) {
            return CStatus::Fail(std::string(kDoseInvalidMessage));
        }
        doses.push_back(*dose);
    }

    const std::uint16_t count = record.m_nComponents;
    if (HasOwnRatios(record)) {
        // A working array of its own: the edited point's ratio is replaced
        // only as a whole.
        const std::vector<double> ratio = RatioFromDoses(doses);
        if (edited == nullptr) {
            return std::make_unique<CDoseData>(doses[0], *effect, count, ratio.data());
        }
        auto point = edited->Clone();
        point->m_dose = doses[0];
        point->m_fa = *effect;
        point->SetRatio(count, ratio.data());
        return point;
    }
    if (edited != nullptr) {
        auto point = edited->Clone();
        point->m_dose = doses[0];
        point->m_fa = *effect;
        return point;
    }
    if (!record.IsCombination()) {
        return std::make_unique<CDoseData>(doses[0], *effect, 1, nullptr);
    }
    const double* ratio = record.GetRatio(count, 1);
    if (ratio == nullptr) {
        return std::unique_ptr<CDoseData>();
    }
    return std::make_unique<CDoseData>(doses[0], *effect, count, ratio);
}

} // namespace doseplex::entry
