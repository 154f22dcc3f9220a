#pragma once

#include "core/settings.h"

#include <QFont>
#include <QStringList>

namespace doseplex {
class IKeyValueStore;
}

namespace doseplex::app {

// Per-user settings the application keeps while it runs: the report window
// settings, the page margins and the recent-file list. Loaded at start-up,
// written back at exit (only what changed; the recent files whenever they
// change).
class CAppSettings {
public:
    explicit CAppSettings(IKeyValueStore& store);

    IKeyValueStore& Store() { return m_store; }
    void Save();

    CViewSettingsRecord m_view;
    CPageSetup m_page;

    // The recent-file list, newest first, at most kMaxRecentFiles entries.
    static constexpr int kMaxRecentFiles = 4;
    const QStringList& RecentFiles() const { return m_recent; }
    void AddRecentFile(const QString& path);
    void RemoveRecentFile(const QString& path);

private:
    void SaveRecentFiles();

    IKeyValueStore& m_store;
    QStringList m_recent;
};

// A stored font description as a font. The height is in pixels of a device
// with `dpi` dots per inch (the screen for the display font, the printer for
// the printer font) and becomes a point size. Height 0: no font.
QFont FontFromDescription(const CFontDescription& description, double dpi);
CFontDescription DescriptionFromFont(const QFont& font, double dpi);

// The tab stop distance in pixels for an interval in dialog units: four
// units are one average character of `font` on the device of `metrics`.
double TabStopPixels(int dialogUnits, const QFont& font, const QPaintDevice* device = nullptr);

} // namespace doseplex::app
