#include "app/platform/app_settings.h"

#include "core/settings_store.h"

#include <QFontMetricsF>

#include <cmath>
#include <string>

namespace doseplex::app {

namespace {

constexpr std::string_view kSectionRecent = "Recent File List";

std::string RecentKey(int index) {
    return "File" + std::to_string(index + 1);
}

} // namespace

CAppSettings::CAppSettings(IKeyValueStore& store)
    : m_view(LoadViewSettings(store)), m_page(LoadPageSetup(store)), m_store(store) {
    for (int i = 0; i < kMaxRecentFiles; ++i) {
        const std::string path = m_store.ReadString(kSectionRecent, RecentKey(i), "");
        if (!path.empty()) {
            m_recent.append(QString::fromStdString(path));
        }
    }
}

void CAppSettings::Save() {
    SaveViewSettings(m_view, m_store);
    SavePageSetup(m_page, m_store);
    m_view.m_loaded = m_view.m_settings;
    m_page.m_loaded = {m_page.m_margins.m_bMetric, MarginToHundredths(m_page.m_margins.m_dTop),
                       MarginToHundredths(m_page.m_margins.m_dRight),
                       MarginToHundredths(m_page.m_margins.m_dBottom),
                       MarginToHundredths(m_page.m_margins.m_dLeft)};
}

void CAppSettings::AddRecentFile(const QString& path) {
    m_recent.removeAll(path);
    m_recent.prepend(path);
    while (m_recent.size() > kMaxRecentFiles) {
        m_recent.removeLast();
    }
    SaveRecentFiles();
}

void CAppSettings::RemoveRecentFile(const QString& path) {
    if (m_recent.removeAll(path) > 0) {
        SaveRecentFiles();
    }
}

void CAppSettings::SaveRecentFiles() {
    for (int i = 0; i < kMaxRecentFiles; ++i) {
        m_store.WriteString(kSectionRecent, RecentKey(i),
                            i < m_recent.size() ? m_recent[i].toStdString() : std::string());
    }
}

QFont FontFromDescription(const CFontDescription& description, double dpi) {
    QFont font(QString::fromStdString(description.m_strFaceName.substr(0, 31)));
    font.setPointSizeF(std::abs(description.m_nHeight) * 72.0 / dpi);
    if (description.m_nWeight > 0) {
        font.setWeight(static_cast<QFont::Weight>(std::clamp(description.m_nWeight, 1, 1000)));
    }
    font.setItalic(description.m_nItalic != 0);
    font.setUnderline(description.m_nUnderline != 0);
    // The low two bits of the pitch-and-family byte: 1 fixed, 2 variable.
    font.setFixedPitch((description.m_nPitchAndFamily & 3) == 1);
    return font;
}

CFontDescription DescriptionFromFont(const QFont& font, double dpi) {
    CFontDescription description;
    const double points =
        font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / 96.0;
    // A negative height gives the character height, as font pickers store it.
    description.m_nHeight = -std::max(1, static_cast<int>(std::lround(points * dpi / 72.0)));
    description.m_nWeight = static_cast<int>(font.weight());
    description.m_nItalic = font.italic() ? 1 : 0;
    description.m_nUnderline = font.underline() ? 1 : 0;
    description.m_nPitchAndFamily = font.fixedPitch() ? 0x31 : 0x22;
    description.m_strFaceName = font.family().left(31).toStdString();
    return description;
}

double TabStopPixels(int dialogUnits, const QFont& font, const QPaintDevice* device) {
    const QFontMetricsF metrics = device ? QFontMetricsF(font, device) : QFontMetricsF(font);
    return dialogUnits / 4.0 * metrics.averageCharWidth();
}

} // namespace doseplex::app
