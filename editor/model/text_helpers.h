// Small text helpers and the prompt with a remembered answer.
#pragma once

#include "editor/model/ui_services.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <QVariant>

#include <cstdint>

namespace movinta::editor {

// Text helpers.
bool IsNumericText(const QString& s);
QString RemoveSpaces(const QString& s);
bool IsNumberText(const QString& s);
bool IsYesText(const QString& s);
// Valid when text is a number of at most 32767 (smallRange) or 65535; otherwise shows why.
bool ValidateIntegerText(const QString& text, bool smallRange);
std::int64_t SizeInKB(std::int64_t bytes);
int CenterOffset(int low, int high, int size);

// A one-cell grid selection at col, row; negative values become 0 when clampToZero.
QRect MakeGridRect(int col, int row, bool clampToZero);

// Bytes to and from the variant form the automation interfaces carry.
QVariant StreamToVariant(const QByteArray& bytes);
QByteArray VariantToStream(const QVariant& variant);
// False when the bytes hold no picture.
bool VariantToBitmap(const QVariant& variant, QImage& bitmap);

// Returns a remembered Yes (6) or No (7) of settingName at once; otherwise asks, and when the check
// box is ticked hands the answer to remember (unless it is Cancel).
int ShowPromptWithDefault(const QString& message, const QString& checkCaption, const QString& settingName,
                          void (*remember)(int result), ButtonSet buttons, MessageType type);

}  // namespace movinta::editor
