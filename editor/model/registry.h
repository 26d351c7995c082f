// The editor's access to its settings store: batch access through an open store and one-shot
// readers and writers that open the store for a single value.
#pragma once

#include "platform/settings/settings_store.h"

#include <QString>

namespace movinta::editor {

using platform::SettingsStore;

int ReadRegInt(const SettingsStore& file, const QString& section, const QString& name, int defaultValue);
void WriteRegInt(SettingsStore& file, const QString& section, const QString& name, int value);
// Strings are stored as they are: no terminating character is added to the value or the default.
QString ReadRegString(const SettingsStore& file, const QString& section, const QString& name,
                      const QString& defaultValue);
void WriteRegString(SettingsStore& file, const QString& section, const QString& name, const QString& value);

int ReadSettingInt(const QString& section, const QString& name, int defaultValue);
void WriteSetting(const QString& section, const QString& name, const QString& text, bool asInteger, int value);

}  // namespace movinta::editor
