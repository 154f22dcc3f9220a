#include "entry/add_drug.h"

#include "entry/cell_range.h"
#include "entry/dose_entry.h"
#include "entry/number_text.h"

#include <algorithm>

namespace doseplex::entry {

namespace {

CStatus PointValuesFailure() {
    return CStatus::Fail(std::string(kPointValuesMessage));
}

CStatus PointRefusedFailure() {
    return CStatus::Fail(std::string(kPointRefusedMessage));
}

double CellValue(const CRawSheet& sheet, const CCellRange& range, int i) {
    return CellNumber(sheet.GetText(range.m_nTop + i, range.m_nLeft));
}

bool IsEffect(double fa) {
    return fa > 0.0 && fa < 1.0;
}

} // namespace

CStatus CheckDrugNamePage(std::string_view name, bool single, int drugsInExperiment) {
    if (name.empty()) {
        return CStatus::Fail(std::string(kNoDrugNameMessage));
    }
    if (!single && drugsInExperiment < 2) {
        return CStatus::Fail(std::string(kTooFewDrugsMessage));
    }
    return CStatus::Ok();
}

CStatus CheckDrugSelection(int selectedCount) {
    if (selectedCount < 2) {
        return CStatus::Fail(std::string(kSelectTwoDrugsMessage));
    }
    if (selectedCount > kMaxWizardDrugs) {
        return CStatus::Fail(std::string(kTooManyDrugsMessage));
    }
    return CStatus::Ok();
}

std::string DoseRowLabel(const CAddDrugRequest& request, const DrugList& drugs, int row) {
    if (request.m_bSingle) {
        return row == 1 ? request.m_strName : std::string();
    }
    if (row < 1 || row > static_cast<int>(request.m_positions.size())) {
        return "Drug " + std::to_string(row);
    }
    const CDrugInfo* drug = FindDrug(drugs, request.m_positions[static_cast<std::size_t>(row - 1)]);
    return drug ? drug->m_strName : "Drug " + std::to_string(row);
}

int DoseRowCount(const CAddDrugRequest& request) {
    if (request.m_bSingle || request.m_bConstantRatio) {
        return 1;
    }
    return static_cast<int>(request.m_positions.size());
}

CResult<std::unique_ptr<CDrugInfo>>
BuildDrugFromSheet(const CAddDrugRequest& request, const DrugList& drugs, const CRawSheet& sheet) {
    // A fresh record each time, so a Finish that fails leaves nothing half
    // set, and a later Finish with other drugs gets those drugs.
    auto record = std::make_unique<CDrugInfo>();
    record->m_strName = request.m_strName;
    record->m_strComment = request.m_strComment;
    record->m_strUnits = request.m_strUnits;

    const std::size_t count = request.m_bSingle ? 1 : request.m_positions.size();
    if (count == 0 || count > kMaxWizardDrugs || (!request.m_bSingle && count < 2)) {
        return PointRefusedFailure();
    }
    const auto n = static_cast<std::uint16_t>(count);
    if (!request.m_bSingle) {
        record->SetComponents(n, request.m_positions.data());
        if (request.m_bConstantRatio && request.m_ratio.size() == count) {
            record->SetRatio(n, request.m_ratio.data());
        }
        record->SetConstantRatio(request.m_bConstantRatio ? 1 : 0);
    }

    const auto effects = CheckDataRange(request.m_strEffectRange, "Effect");
    if (!effects) {
        return CStatus::Fail(effects.Message());
    }
    std::vector<CCellRange> doseRanges;
    const int rows = DoseRowCount(request);
    for (int row = 1; row <= rows; ++row) {
        const auto range = CheckDataRange(request.m_doseRanges[static_cast<std::size_t>(row - 1)],
                                          DoseRowLabel(request, drugs, row));
        if (!range) {
            return CStatus::Fail(range.Message());
        }
        doseRanges.push_back(range.Value());
    }

    int points = effects.Value().RowCount();
    for (const CCellRange& range : doseRanges) {
        points = std::min(points, range.RowCount());
    }

    const double* constantRatio = nullptr;
    if (!request.m_bSingle && request.m_bConstantRatio) {
        constantRatio = record->GetRatio(n, 1);
        if (constantRatio == nullptr) {
            return CStatus::Fail(std::string(kCombinationRatioMessage));
        }
    }

    for (int i = 0; i < points; ++i) {
        const double effect = CellValue(sheet, effects.Value(), i);
        std::vector<double> doses;
        for (const CCellRange& range : doseRanges) {
            doses.push_back(CellValue(sheet, range, i));
        }
        if (!IsEffect(effect) ||
            std::any_of(doses.begin(), doses.end(), [](double dose) { return !(dose > 0.0); })) {
            return PointValuesFailure();
        }
        std::vector<double> ratio;
        const double* pointRatio = constantRatio;
        if (doses.size() > 1) {
            ratio = RatioFromDoses(doses);
            pointRatio = ratio.data();
        }
        auto point = record->CreatePoint(doses.front(), effect, n, pointRatio);
        if (!point || !record->AddPoint(point)) {
            return PointRefusedFailure();
        }
    }
    return record;
}

} // namespace doseplex::entry
