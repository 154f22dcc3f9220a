#include "cli/analysis_json.h"

#include "core/document.h"

#include <cmath>

namespace doseplex {

namespace {

using Json = nlohmann::ordered_json;

// Whatever is not finite has no meaningful value: it prints as null.
Json Number(double value) {
    return std::isfinite(value) ? Json(value) : Json(nullptr);
}

template <class F> Json IfOk(F&& compute) {
    double value = 0.0;
    return compute(value) ? Number(value) : Json(nullptr);
}

Json RatioJson(const std::vector<double>& ratio) {
    if (ratio.empty()) {
        return nullptr;
    }
    Json array = Json::array();
    for (double value : ratio) {
        array.push_back(Number(value));
    }
    return array;
}

Json FitJson(const CDrugInfo& record) {
    double m, seM, dm, lower, upper, r, ccsi, yInt, seYInt;
    if (!record.GetAllParameters(m, seM, dm, lower, upper, r, ccsi, yInt, seYInt)) {
        return nullptr;
    }
    return Json{{"m", Number(m)},
                {"se_m", Number(seM)},
                {"y_int", Number(yInt)},
                {"se_y_int", Number(seYInt)},
                {"ccsi", Number(ccsi)},
                {"r2", Number(record.m_r2)},
                {"r", Number(r)},
                {"dm", Number(dm)},
                {"dm_lower", Number(lower)},
                {"dm_upper", Number(upper)}};
}

Json DoseEffectJson(const CDrugInfo& record, const CAnalysisOptions& options) {
    Json rows = Json::array();
    const int count = EffectLevelCount(options);
    for (int i = 0; i < count; ++i) {
        const double fa = EffectLevel(options, i, count);
        double logDose = 0.0, se = 0.0;
        Json row{{"fa", Number(fa)}, {"dose", nullptr}, {"lower", nullptr}, {"upper", nullptr}};
        if (record.LogDoseForEffect(fa, logDose, se)) {
            row["dose"] = Number(std::pow(10.0, logDose));
            row["lower"] = Number(std::pow(10.0, logDose - 1.96 * se));
            row["upper"] = Number(std::pow(10.0, logDose + 1.96 * se));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// (Dx)k at fa from component k's own record, per component.
Json DrugAloneJson(const CDrugInfo& record, double fa, const DrugList& drugs) {
    Json doses = Json::array();
    for (int k = 0; k < record.m_nComponents; ++k) {
        const CDrugInfo* component =
            k < static_cast<int>(record.m_pComponents.size())
                ? FindDrug(drugs, record.m_pComponents[static_cast<size_t>(k)])
                : nullptr;
        doses.push_back(component ? IfOk([&](double& v) { return component->DoseForEffect(fa, v); })
                                  : Json(nullptr));
    }
    return doses;
}

void AddCombination(Json& out, CDrugInfo& record, const CDoseplexDoc& doc) {
    const DrugList& drugs = doc.m_drugs;
    const CAnalysisOptions& options = doc.m_analysis;
    record.m_bExclusive = 1;
    const int n = record.m_nComponents;

    Json pointCi = Json::array();
    Json pointDx = Json::array();
    Json pointDri = Json::array();
    for (int j = 0; j < record.PointCount(); ++j) {
        pointCi.push_back(
            IfOk([&](double& v) { return record.PointCombinationIndex(j, drugs, v); }));
        pointDx.push_back(DrugAloneJson(record, record.PointEffect(j), drugs));
        Json dri = Json::array();
        for (int k = 0; k < n; ++k) {
            dri.push_back(
                IfOk([&](double& v) { return record.PointDoseReductionIndex(j, k, drugs, v); }));
        }
        pointDri.push_back(std::move(dri));
    }
    out["point_ci"] = std::move(pointCi);
    out["point_dx"] = std::move(pointDx);
    out["point_dri"] = std::move(pointDri);

    const bool monteCarlo = options.m_nMonteCarlo != 0 && record.m_bConstantRatio != 0;
    Json levels = Json::array();
    const int count = EffectLevelCount(options);
    for (int i = 0; i < count; ++i) {
        const double fa = EffectLevel(options, i, count);
        double ci = 0.0, dose = 0.0;
        const bool ciOk = record.CombinationIndex(fa, drugs, ci);
        const bool doseOk = record.DoseForEffect(fa, dose);
        Json level{{"fa", Number(fa)}, {"ci", ciOk ? Number(ci) : Json(nullptr)}};
        double sdCi = 0.0, sd = 0.0;
        level["ci_sd"] =
            record.CombinationIndexSD(fa, drugs, sdCi, sd) ? Number(sd) : Json(nullptr);
        Json doses = nullptr;
        const double* ratio = record.GetRatio(record.m_nComponents, 1);
        if (doseOk && ratio && ratio[0] != 0.0) {
            doses = Json::array();
            for (int k = 0; k < n; ++k) {
                doses.push_back(Number(dose * ratio[k] / ratio[0]));
            }
        }
        level["doses"] = std::move(doses);
        level["dx"] = DrugAloneJson(record, fa, drugs);
        Json dri = Json::array();
        for (int k = 0; k < n; ++k) {
            dri.push_back(
                IfOk([&](double& v) { return record.DoseReductionIndex(fa, k, drugs, v); }));
        }
        level["dri"] = std::move(dri);
        level["mc_mean"] = nullptr;
        level["mc_sd"] = nullptr;
        double mean = 0.0, mcSd = 0.0;
        if (monteCarlo && ciOk && doseOk &&
            record.MonteCarloCI(options.m_nReportRepeats, fa, drugs, mean, mcSd)) {
            level["mc_mean"] = Number(mean);
            level["mc_sd"] = Number(mcSd);
        }
        levels.push_back(std::move(level));
    }
    out["levels"] = std::move(levels);

    Json summary = Json::array();
    for (double fa : {options.m_dEffect1, options.m_dEffect2, options.m_dEffect3}) {
        summary.push_back(IfOk([&](double& v) { return record.CombinationIndex(fa, drugs, v); }));
    }
    out["summary_ci"] = std::move(summary);
}

} // namespace

nlohmann::ordered_json AnalysisJson(CDoseplexDoc& doc) {
    Json root;
    root["title"] = doc.m_strTitle;
    Json options = Json::object();
    for (const COptionInfo& info : OptionTable()) {
        const double value = GetOptionValue(info, doc.m_analysis, doc.m_graph);
        options[std::string(info.key)] =
            info.integer ? Json(static_cast<long long>(value)) : Number(value);
    }
    root["options"] = std::move(options);

    Json drugs = Json::array();
    for (int id = 0; id < doc.DrugCount(); ++id) {
        CDrugInfo& record = *doc.GetDrug(id);
        Json out;
        out["id"] = id;
        out["name"] = record.m_strName;
        out["units"] = record.m_strUnits;
        out["comment"] = record.m_strComment;
        Json components = Json::array();
        if (record.IsCombination()) {
            for (std::uint16_t component : record.m_pComponents) {
                components.push_back(component);
            }
        }
        out["components"] = std::move(components);
        out["constant_ratio"] = record.m_bConstantRatio != 0;
        out["ratio"] = RatioJson(record.m_pRatio);
        Json points = Json::array();
        for (const auto& point : record.m_points) {
            points.push_back({{"dose", Number(point->m_dose)},
                              {"fa", Number(point->m_fa)},
                              {"ratio", RatioJson(point->m_pRatio)}});
        }
        out["points"] = std::move(points);
        out["fit"] = FitJson(record);
        out["dose_effect"] = DoseEffectJson(record, doc.m_analysis);
        if (record.IsCombination()) {
            AddCombination(out, record, doc);
        }
        drugs.push_back(std::move(out));
    }
    root["drugs"] = std::move(drugs);
    return root;
}

} // namespace doseplex
