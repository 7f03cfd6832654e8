#pragma once

#include <QSettings>
#include <QString>
#include <memory>

#include "frame/settings_store.h"

namespace quorvel::ui {

// The settings store of the program: the per-user INI file
// <XDG config folder>/Velkorn/Quorvel.ini, section [Quorvel].  Every save is
// written to the file at once.
class QtSettingsStore : public frame::SettingsStore {
  public:
    QtSettingsStore();
    // A store kept in the given INI file instead (tests, portable set-ups).
    explicit QtSettingsStore(const QString& iniFile);

    std::string GetSetting(const std::string& key) const override;
    void SaveSetting(const std::string& key, const std::string& value) override;

    QString fileName() const { return settings_->fileName(); }

  private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace quorvel::ui
