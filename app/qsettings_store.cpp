#include "app/qsettings_store.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace doseplex {

namespace {

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString MakeKey(std::string_view section, std::string_view key) {
    return ToQString(section) + QLatin1Char('/') + ToQString(key);
}

#ifdef _WIN32
constexpr QSettings::Format kUserFormat = QSettings::NativeFormat;
#else
constexpr QSettings::Format kUserFormat = QSettings::IniFormat;
#endif

} // namespace

CQSettingsStore::CQSettingsStore()
    : m_settings(std::make_unique<QSettings>(kUserFormat, QSettings::UserScope,
                                             QStringLiteral("Labwerk"),
                                             QStringLiteral("DosePlex"))) {}

CQSettingsStore::CQSettingsStore(const std::string& iniPath)
    : m_settings(
          std::make_unique<QSettings>(QString::fromStdString(iniPath), QSettings::IniFormat)) {}

CQSettingsStore::~CQSettingsStore() = default;

int CQSettingsStore::ReadInt(std::string_view section, std::string_view key,
                             int defaultValue) const {
    const QVariant value = m_settings->value(MakeKey(section, key));
    if (!value.isValid()) {
        return defaultValue;
    }
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok ? number : defaultValue;
}

std::string CQSettingsStore::ReadString(std::string_view section, std::string_view key,
                                        std::string_view defaultValue) const {
    const QVariant value = m_settings->value(MakeKey(section, key));
    if (!value.isValid()) {
        return std::string(defaultValue);
    }
    // An unquoted INI value with commas in it (a hand-written "Arial, Bold")
    // reads as a list of trimmed parts; put it back together.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QStringLiteral(", ")).toStdString();
    }
    return value.toString().toStdString();
}

void CQSettingsStore::WriteInt(std::string_view section, std::string_view key, int value) {
    m_settings->setValue(MakeKey(section, key), value);
}

void CQSettingsStore::WriteString(std::string_view section, std::string_view key,
                                  std::string_view value) {
    m_settings->setValue(MakeKey(section, key), ToQString(value));
}

std::string CQSettingsStore::FileName() const {
    return m_settings->fileName().toStdString();
}

void CQSettingsStore::Sync() {
    m_settings->sync();
}

} // namespace doseplex
