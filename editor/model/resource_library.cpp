#include "editor/model/resource_library.h"

#include "editor/model/string_tables.h"
#include "editor/model/ui_services.h"
#include "platform/program_folders/program_folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QResource>

namespace movinta::editor {

namespace {
QString ResourceFile(const QString& libraryName) {
  QFileInfo info(libraryName);
  QString name = info.completeBaseName() + QStringLiteral(".rcc");
  if (!info.path().isEmpty() && info.path() != QLatin1String(".")) return QDir(info.path()).filePath(name);
  // Installed, the file is data of the program; in the build tree it is made beside the program.
  for (const QString& folder : {platform::SharedDataFolder(), platform::ProgramFolder()}) {
    const QString path = QDir(folder).filePath(name);
    if (QFileInfo::exists(path)) return path;
  }
  return name;
}
}  // namespace

std::optional<QByteArray> LoadResource(const QString& libraryName, const QString& resourceName,
                                       const QString& resourceType) {
  const QString file = ResourceFile(libraryName);
  const QString root = QStringLiteral("/movinta-resources/") + QFileInfo(file).completeBaseName();
  if (!QFileInfo::exists(file) || !QResource::registerResource(file, root)) {
    ShowMessage(Tr(texts::kCouldNotLoadLibrary).arg(libraryName), MessageType::Error, kOk);
    return std::nullopt;
  }
  QFile entry(QLatin1Char(':') + root + QLatin1Char('/') + resourceType.toUpper() + QLatin1Char('/') +
              resourceName.toUpper());
  std::optional<QByteArray> bytes;
  if (entry.open(QIODevice::ReadOnly)) bytes = entry.readAll();
  QResource::unregisterResource(file, root);
  if (!bytes) ShowMessage(Tr(texts::kCouldNotLoadLibrary).arg(libraryName), MessageType::Error, kOk);
  return bytes;
}

QImage LoadBitmapResource(const QString& libraryName, const QString& resourceName) {
  const std::optional<QByteArray> bytes = LoadResource(libraryName, resourceName, QStringLiteral("BITMAP"));
  return bytes ? QImage::fromData(*bytes) : QImage();
}

std::unique_ptr<TGIFImage> LoadGifResource(const QString& libraryName, const QString& resourceName,
                                           const QString& resourceType) {
  const std::optional<QByteArray> bytes = LoadResource(libraryName, resourceName, resourceType);
  if (!bytes) return nullptr;
  auto image = std::make_unique<TGIFImage>();
  try {
    image->LoadFromMemory(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes->constData()),
                                                        static_cast<std::size_t>(bytes->size())));
  } catch (const std::exception&) {
    return nullptr;
  }
  return image;
}

}  // namespace movinta::editor
