#include "editor/model/registry.h"

namespace movinta::editor {

int ReadRegInt(const SettingsStore& file, const QString& section, const QString& name, int defaultValue) {
  return file.readInt(section, name, defaultValue);
}

void WriteRegInt(SettingsStore& file, const QString& section, const QString& name, int value) {
  file.writeInt(section, name, value);
}

QString ReadRegString(const SettingsStore& file, const QString& section, const QString& name,
                      const QString& defaultValue) {
  return file.readString(section, name, defaultValue);
}

void WriteRegString(SettingsStore& file, const QString& section, const QString& name, const QString& value) {
  file.writeString(section, name, value);
}

int ReadSettingInt(const QString& section, const QString& name, int defaultValue) {
  const SettingsStore store;
  return store.readInt(section, name, defaultValue);
}

void WriteSetting(const QString& section, const QString& name, const QString& text, bool asInteger, int value) {
  SettingsStore store;
  if (asInteger)
    store.writeInt(section, name, value);
  else
    store.writeString(section, name, text);
}

}  // namespace movinta::editor
