#include "platform/settings/settings_store.h"

namespace movinta::platform {

SettingsStore::SettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QString::fromLatin1(kOrganization),
                                            QString::fromLatin1(kApplication))) {}

SettingsStore::SettingsStore(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() { settings_->sync(); }

QString SettingsStore::groupPath(const QString& section) {
  QStringList parts = section.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
  return parts.join(QLatin1Char('/'));
}

QString SettingsStore::key(const QString& section, const QString& name) const {
  const QString group = groupPath(section);
  return group.isEmpty() ? name : group + QLatin1Char('/') + name;
}

int SettingsStore::readInt(const QString& section, const QString& name, int defaultValue) const {
  const QVariant v = settings_->value(key(section, name));
  if (!v.isValid()) return defaultValue;
  bool ok = false;
  const int n = v.toString().trimmed().toInt(&ok, 0);
  return ok ? n : defaultValue;
}

void SettingsStore::writeInt(const QString& section, const QString& name, int value) {
  settings_->setValue(key(section, name), QString::number(value));
}

QString SettingsStore::readString(const QString& section, const QString& name,
                                  const QString& defaultValue) const {
  const QVariant v = settings_->value(key(section, name));
  return v.isValid() ? v.toString() : defaultValue;
}

void SettingsStore::writeString(const QString& section, const QString& name, const QString& value) {
  settings_->setValue(key(section, name), value);
}

bool SettingsStore::readBool(const QString& section, const QString& name, bool defaultValue) const {
  return readInt(section, name, defaultValue ? 1 : 0) != 0;
}

void SettingsStore::writeBool(const QString& section, const QString& name, bool value) {
  writeInt(section, name, value ? 1 : 0);
}

bool SettingsStore::valueExists(const QString& section, const QString& name) const {
  return settings_->contains(key(section, name));
}

QStringList SettingsStore::valueNames(const QString& section) const {
  settings_->beginGroup(groupPath(section));
  QStringList names = settings_->childKeys();
  settings_->endGroup();
  return names;
}

void SettingsStore::eraseSection(const QString& section) {
  const QString group = groupPath(section);
  if (group.isEmpty()) return;
  settings_->remove(group);
}

bool SettingsStore::flush() {
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

QString SettingsStore::fileName() const { return settings_->fileName(); }

}  // namespace movinta::platform
