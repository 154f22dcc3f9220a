#include "cli/analysis_json.h"

#include "core/analysis.h"
#include "core/document.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <string_view>

namespace doseplex {

namespace {

// Writes JSON text with two spaces of indent per level, the layout of
// nlohmann::json's dump(2): every member and element on a line of its own,
// empty arrays as [].
class CJsonWriter {
public:
    explicit CJsonWriter(std::string& out) : m_out(out) {}

    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }

    // The next member's name (plain ASCII, needing no escapes); its value
    // follows.
    void Key(std::string_view key) {
        NextItem();
        m_out += '"';
        m_out += key;
        m_out += "\": ";
        m_afterKey = true;
    }

    void Null() { Scalar("null"); }
    void Bool(bool value) { Scalar(value ? "true" : "false"); }
    void Integer(long long value) { Scalar(std::to_string(value)); }
    // Whatever is not finite has no meaningful value: it prints as null.
    void Number(double value) {
        if (!std::isfinite(value)) {
            Null();
            return;
        }
        // The shortest text that reads back as the same double, as the JSON
        // library prints it.
        char buffer[64];
        char* end = nlohmann::detail::to_chars(buffer, buffer + sizeof buffer, value);
        Scalar(std::string_view(buffer, static_cast<size_t>(end - buffer)));
    }
    void Number(const OptionalValue& value) {
        if (value) {
            Number(*value);
        } else {
            Null();
        }
    }
    void Text(std::string_view text) {
        BeforeValue();
        String(text);
    }

    template <class T, class F> void Array(const T& items, F&& write) {
        BeginArray();
        for (const auto& item : items) {
            write(item);
        }
        EndArray();
    }
    void Numbers(const std::vector<OptionalValue>& values) {
        Array(values, [&](const OptionalValue& v) { Number(v); });
    }
    void Numbers(const std::vector<double>& values) {
        Array(values, [&](double v) { Number(v); });
    }

private:
    void String(std::string_view text) {
        // Invalid UTF-8 becomes U+FFFD, as the library's "replace" handler does.
        m_out += nlohmann::json(std::string(text))
                     .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    void Scalar(std::string_view text) {
        BeforeValue();
        m_out += text;
    }
    void NextItem() {
        if (!m_first) {
            m_out += ',';
        }
        m_out += '\n';
        m_out.append(m_depth * 2, ' ');
        m_first = false;
    }
    void BeforeValue() {
        if (m_afterKey) {
            m_afterKey = false;
        } else if (m_depth > 0) {
            NextItem();
        }
    }
    void Open(char bracket) {
        BeforeValue();
        m_out += bracket;
        ++m_depth;
        m_first = true;
    }
    void Close(char bracket) {
        --m_depth;
        if (!m_first) {
            m_out += '\n';
            m_out.append(m_depth * 2, ' ');
        }
        // An empty array or object closes right after it opens: [] and {}.
        m_out += bracket;
        m_first = false;
    }

    std::string& m_out;
    size_t m_depth = 0;
    bool m_first = true;
    bool m_afterKey = false;
};

void WriteRatio(CJsonWriter& json, const std::vector<double>& ratio) {
    if (ratio.empty()) {
        json.Null();
    } else {
        json.Numbers(ratio);
    }
}

void WriteFit(CJsonWriter& json, const CFitSummary& fit) {
    if (!fit.valid) {
        json.Null();
        return;
    }
    json.BeginObject();
    const std::pair<const char*, double> fields[] = {{"m", fit.m},
                                                     {"se_m", fit.seM},
                                                     {"y_int", fit.yInt},
                                                     {"se_y_int", fit.seYInt},
                                                     {"ccsi", fit.ccsi},
                                                     {"r2", fit.r2},
                                                     {"r", fit.r},
                                                     {"dm", fit.dm},
                                                     {"dm_lower", fit.dmLower},
                                                     {"dm_upper", fit.dmUpper}};
    for (const auto& [key, value] : fields) {
        json.Key(key);
        json.Number(value);
    }
    json.EndObject();
}

void WriteDoseEffect(CJsonWriter& json, const std::vector<CDoseEstimate>& rows) {
    json.Array(rows, [&](const CDoseEstimate& row) {
        json.BeginObject();
        json.Key("fa");
        json.Number(row.fa);
        for (const auto& [key, value] :
             {std::pair{"dose", row.dose}, {"lower", row.lower}, {"upper", row.upper}}) {
            json.Key(key);
            if (row.ok) {
                json.Number(value);
            } else {
                json.Null();
            }
        }
        json.EndObject();
    });
}

void WriteCombination(CJsonWriter& json, const CAnalysisResult& result) {
    json.Key("point_ci");
    json.Array(result.points, [&](const CPointAnalysis& p) { json.Number(p.ci); });
    json.Key("point_dx");
    json.Array(result.points, [&](const CPointAnalysis& p) { json.Numbers(p.dx); });
    json.Key("point_dri");
    json.Array(result.points, [&](const CPointAnalysis& p) { json.Numbers(p.dri); });

    json.Key("levels");
    json.Array(result.levels, [&](const CLevelAnalysis& level) {
        json.BeginObject();
        json.Key("fa");
        json.Number(level.fa);
        json.Key("ci");
        json.Number(level.ci);
        json.Key("ci_sd");
        json.Number(level.estimated ? OptionalValue(level.sd) : std::nullopt);
        json.Key("doses");
        if (level.doses.empty()) {
            json.Null();
        } else {
            json.Numbers(level.doses);
        }
        json.Key("dx");
        json.Numbers(level.dx);
        json.Key("dri");
        json.Numbers(level.dri);
        json.Key("mc_mean");
        json.Number(level.mcMean);
        json.Key("mc_sd");
        json.Number(level.mcSd);
        json.EndObject();
    });
    json.Key("summary_ci");
    json.Array(result.summaryCi, [&](const OptionalValue& ci) { json.Number(ci); });
}

void WriteRecord(CJsonWriter& json, const CDoseplexDoc& doc, int id, CRandom& random) {
    const CDrugInfo& record = *doc.GetDrug(id);
    CAnalysisResult result;
    AnalyseRecord(record, doc.m_drugs, doc.m_analysis, CAnalysisRequest::ForReport(doc.m_analysis),
                  random, result);

    json.BeginObject();
    json.Key("id");
    json.Integer(id);
    json.Key("name");
    json.Text(record.m_strName);
    json.Key("units");
    json.Text(record.m_strUnits);
    json.Key("comment");
    json.Text(record.m_strComment);
    json.Key("components");
    json.BeginArray();
    if (record.IsCombination()) {
        for (const std::uint16_t component : record.m_pComponents) {
            json.Integer(component);
        }
    }
    json.EndArray();
    json.Key("constant_ratio");
    json.Bool(record.m_bConstantRatio != 0);
    json.Key("ratio");
    WriteRatio(json, record.m_pRatio);
    json.Key("points");
    json.Array(record.m_points, [&](const std::unique_ptr<CDoseData>& point) {
        json.BeginObject();
        json.Key("dose");
        json.Number(point->m_dose);
        json.Key("fa");
        json.Number(point->m_fa);
        json.Key("ratio");
        WriteRatio(json, point->m_pRatio);
        json.EndObject();
    });
    json.Key("fit");
    WriteFit(json, result.fit);
    json.Key("dose_effect");
    WriteDoseEffect(json, result.doseEffect);
    if (record.IsCombination()) {
        WriteCombination(json, result);
    }
    json.EndObject();
}

} // namespace

std::string AnalysisJson(const CDoseplexDoc& doc, CRandom& random) {
    std::string text;
    CJsonWriter json(text);
    json.BeginObject();
    json.Key("title");
    json.Text(doc.m_strTitle);
    json.Key("options");
    json.BeginObject();
    for (const COptionInfo& info : OptionTable()) {
        const double value = GetOptionValue(info, doc.m_analysis, doc.m_graph);
        json.Key(info.key);
        if (info.integer) {
            json.Integer(static_cast<long long>(value));
        } else {
            json.Number(value);
        }
    }
    json.EndObject();
    json.Key("drugs");
    json.BeginArray();
    for (int id = 0; id < doc.DrugCount(); ++id) {
        WriteRecord(json, doc, id, random);
    }
    json.EndArray();
    json.EndObject();
    text += '\n';
    return text;
}

} // namespace doseplex
