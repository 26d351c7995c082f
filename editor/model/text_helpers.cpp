#include "editor/model/text_helpers.h"

#include "editor/model/registry.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"

#include <algorithm>

namespace movinta::editor {

bool IsNumericText(const QString& s) {
  if (s.isEmpty()) return false;
  for (QChar c : s)
    if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && c != QLatin1Char(' ')) return false;
  return true;
}

QString RemoveSpaces(const QString& s) {
  QString out = s;
  out.remove(QLatin1Char(' '));
  return out;
}

bool IsNumberText(const QString& s) { return IsNumericText(RemoveSpaces(s)); }

bool IsYesText(const QString& s) { return s.compare(Tr(texts::kYes), Qt::CaseInsensitive) == 0; }

bool ValidateIntegerText(const QString& text, bool smallRange) {
  const QString digits = RemoveSpaces(text);
  bool ok = IsNumericText(digits);
  if (ok) {
    const qlonglong value = digits.toLongLong(&ok);
    ok = ok && value <= (smallRange ? 32767 : 65535);
  }
  if (!ok) ShowMessage(Tr(texts::kNotValidInteger).arg(text), MessageType::Error, kOk);
  return ok;
}

std::int64_t SizeInKB(std::int64_t bytes) { return bytes <= 1024 ? 1 : bytes / 1024; }

int CenterOffset(int low, int high, int size) { return (low + high - size) / 2; }

QRect MakeGridRect(int col, int row, bool clampToZero) {
  if (clampToZero) {
    col = std::max(col, 0);
    row = std::max(row, 0);
  }
  return QRect(QPoint(col, row), QPoint(col, row));
}

QVariant StreamToVariant(const QByteArray& bytes) { return QVariant(bytes); }

QByteArray VariantToStream(const QVariant& variant) { return variant.toByteArray(); }

bool VariantToBitmap(const QVariant& variant, QImage& bitmap) {
  QImage image;
  if (!image.loadFromData(variant.toByteArray())) return false;
  bitmap = image;
  return true;
}

int ShowPromptWithDefault(const QString& message, const QString& checkCaption, const QString& settingName,
                          void (*remember)(int result), ButtonSet buttons, MessageType type) {
  const int stored = ReadSettingInt(QString::fromLatin1(sections::kSettings), settingName, 0);
  if (stored == mrYes || stored == mrNo) return stored;
  QStringList captions;
  if (settingName == QLatin1String("DropImageDefault"))
    captions = {Tr(kDropPromptButtons[0]), Tr(kDropPromptButtons[1])};
  bool checked = false;
  const int result = ShowMessageWithCheck(message, type, buttons, checkCaption, captions, checked);
  if (checked && remember && result != mrCancel) remember(result);
  return result;
}

}  // namespace movinta::editor
