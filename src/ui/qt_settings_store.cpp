#include "ui/qt_settings_store.h"

#include "frame/app_info.h"

namespace quorvel::ui {

namespace {
QString groupKey(const std::string& key) {
    return QString::fromLatin1(frame::kSettingsSection) + '/' + QString::fromStdString(key);
}
}  // namespace

QtSettingsStore::QtSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QString::fromLatin1(frame::kSettingsApplication),
                                            QString::fromLatin1(frame::kProductTitle))) {}

QtSettingsStore::QtSettingsStore(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

std::string QtSettingsStore::GetSetting(const std::string& key) const {
    return settings_->value(groupKey(key), QString()).toString().toStdString();
}

void QtSettingsStore::SaveSetting(const std::string& key, const std::string& value) {
    settings_->setValue(groupKey(key), QString::fromStdString(value));
    settings_->sync();
}

}  // namespace quorvel::ui
