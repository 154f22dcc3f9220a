#include "graph/graph.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace doseplex {

bool CVisibleObj::Draw(IDrawSurface&, const CRect&) {
    return true;
}

bool CVisibleObj::HitTest(CPoint point) const {
    const int left = std::min(m_rect.left, m_rect.right);
    const int right = std::max(m_rect.left, m_rect.right);
    const int top = std::min(m_rect.top, m_rect.bottom);
    const int bottom = std::max(m_rect.top, m_rect.bottom);
    return point.x >= left && point.x < right && point.y >= top && point.y < bottom;
}

void CVisibleObj::Layout(int, int, int, int, int, int) {}

namespace {

// Widens [min, max] by a value; values that are not finite (an index the
// analysis could not bound) are left out, so that one of them cannot make the
// whole axis unscalable.
void Widen(double value, double& min, double& max) {
    if (std::isfinite(value)) {
        min = std::min(min, value);
        max = std::max(max, value);
    }
}

// The finite range of `values`; false when there is none.
bool FiniteRange(const std::vector<double>& values, int count, double& min, double& max) {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    const size_t n = std::min(values.size(), static_cast<size_t>(std::max(count, 0)));
    for (size_t i = 0; i < n; ++i) {
        Widen(values[i], lo, hi);
    }
    if (lo > hi) {
        return false;
    }
    min = lo;
    max = hi;
    return true;
}

} // namespace

bool CDataset::GetXRange(double& min, double& max) const {
    return FiniteRange(m_pX, m_nCount, min, max);
}

bool CDataset::GetYRange(double xLow, double xHigh, double& min, double& max, int samples,
                         bool withErrors) const {
    double yMin = 0.0;
    double yMax = 0.0;
    if (!FiniteRange(m_pY, m_nCount, yMin, yMax)) {
        return false;
    }
    if (HasCurve() && samples >= 1) {
        for (int i = 0; i <= samples; ++i) {
            const double x = xLow + i * (xHigh - xLow) / samples;
            double y = 0.0;
            double low = 0.0;
            double high = 0.0;
            if (!Evaluate(x, y, low, high)) {
                continue;
            }
            if (withErrors) {
                Widen(low, yMin, yMax);
                Widen(high, yMin, yMax);
            } else {
                Widen(y, yMin, yMax);
            }
        }
    }
    min = yMin;
    max = yMax;
    return true;
}

bool CDataset::PointAt(int index, double& x, double& y) const {
    if (index < 0 || index >= m_nCount || index >= static_cast<int>(m_pX.size()) ||
        index >= static_cast<int>(m_pY.size())) {
        return false;
    }
    x = m_pX[static_cast<size_t>(index)];
    y = m_pY[static_cast<size_t>(index)];
    return true;
}

bool CDataset::Evaluate(double, double&, double&, double&) const {
    return false;
}

void CDataset::SetPoints(std::vector<double> x, std::vector<double> y) {
    const size_t n = std::min(x.size(), y.size());
    x.resize(n);
    y.resize(n);
    m_pX = std::move(x);
    m_pY = std::move(y);
    m_nCount = static_cast<int>(n);
}

bool CGraph::AddDataset(std::unique_ptr<CDataset>& dataset) {
    if (!dataset || dataset->GetCount() == 0) {
        return false;
    }
    std::uint16_t style = dataset->GetStyle();
    if (style == kNextStyle) {
        int largest = 0;
        for (const auto& existing : m_datasets) {
            largest = std::max<int>(largest, existing->GetStyle());
        }
        style = static_cast<std::uint16_t>(largest + 1);
    }
    style = style == kConstantLineStyle ? 0 : static_cast<std::uint16_t>(style % kStyleCount);
    dataset->SetStyle(style);
    m_datasets.push_back(std::move(dataset));
    Rescale(true, true, 0.0, 0.0, 0.0, 0.0);
    return true;
}

void CGraph::RemoveAllDatasets() {
    m_datasets.clear();
}

void CGraph::SetTitles(const std::string& title, const std::string& xTitle,
                       const std::string& yTitle) {
    m_strTitle = title;
    m_strXTitle = xTitle;
    m_strYTitle = yTitle;
}

void CGraph::SetOverride(std::shared_ptr<CGraphOverride> shared) {
    m_pOverride = std::move(shared);
    CGraphOverride* override = m_pOverride.get();
    if (override == nullptr) {
        return;
    }
    if (override->m_bActive) {
        Rescale(override->m_bAutoX != 0, override->m_bAutoY != 0, override->m_xMin,
                override->m_xMax, override->m_yMin, override->m_yMax);
    }
    override->m_xMin = m_xMin;
    override->m_xMax = m_xMax;
    override->m_yMin = m_yMin;
    override->m_yMax = m_yMax;
}

} // namespace doseplex
