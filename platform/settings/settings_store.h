// Per-user settings store. Stands in for the registry key "Software\Larkspur Software\GIF Movinta\":
// an INI file kept by QSettings (organisation "Larkspur Software", application "GIF Movinta") where a
// section path with backslashes becomes nested groups. Leaves out registry value types other than
// integers, booleans (stored as 0/1) and strings, and other keys of the registry.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

#include <memory>

namespace movinta::platform {

class SettingsStore {
public:
  static constexpr const char* kOrganization = "Larkspur Software";
  static constexpr const char* kApplication = "GIF Movinta";

  // The user's own store; QSettings::setPath decides where it lives (tests point it at a temp dir).
  SettingsStore();
  // A store in a given INI file.
  explicit SettingsStore(const QString& iniFile);
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // A missing value, or one that is not a number, yields the default.
  int readInt(const QString& section, const QString& name, int defaultValue) const;
  void writeInt(const QString& section, const QString& name, int value);
  QString readString(const QString& section, const QString& name, const QString& defaultValue) const;
  void writeString(const QString& section, const QString& name, const QString& value);
  bool readBool(const QString& section, const QString& name, bool defaultValue) const;
  void writeBool(const QString& section, const QString& name, bool value);

  bool valueExists(const QString& section, const QString& name) const;
  QStringList valueNames(const QString& section) const;
  // Removes the section with its values and everything below it.
  void eraseSection(const QString& section);

  // Writes pending changes; false when the file cannot be written.
  bool flush();
  QString fileName() const;

  // "Settings\Toolbars\Standard" -> "Settings/Toolbars/Standard".
  static QString groupPath(const QString& section);

private:
  QString key(const QString& section, const QString& name) const;
  std::unique_ptr<QSettings> settings_;
};

}  // namespace movinta::platform
