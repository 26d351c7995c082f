#include "platform/shellnamespace/shell_mime.h"

#include <QMimeData>

#include "platform/shellnamespace/shell_folder.h"
#include "platform/shellnamespace/user_folders.h"

namespace shellns {

namespace {

void Put32(QByteArray& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[static_cast<qsizetype>(at) + i] = static_cast<char>(v >> (8 * i));
}


}  // namespace

QString ShellIdListArrayMimeType() {
  return QStringLiteral("application/x-qt-windows-mime;value=\"%1\"").arg(QLatin1String(kShellIdListArrayFormat));
}

QByteArray MakeIdListArray(const uint8_t* parent, const std::vector<const uint8_t*>& children) {
  const IdList parentList = ToIdList(parent);
  size_t size = 4 + 4 * (children.size() + 1) + parentList.size();
  for (const uint8_t* c : children) size += c ? ListSize(c) : 2;
  QByteArray block(static_cast<qsizetype>(size), '\0');
  Put32(block, 0, static_cast<uint32_t>(children.size()));
  size_t pos = 4 + 4 * (children.size() + 1);
  Put32(block, 4, static_cast<uint32_t>(pos));
  std::copy(parentList.begin(), parentList.end(), block.begin() + static_cast<qsizetype>(pos));
  pos += parentList.size();
  for (size_t i = 0; i < children.size(); ++i) {
    Put32(block, 8 + 4 * i, static_cast<uint32_t>(pos));
    const IdList child = ToIdList(children[i]);
    std::copy(child.begin(), child.end(), block.begin() + static_cast<qsizetype>(pos));
    pos += child.size();
  }
  return block;
}

bool ParseIdListArray(const QByteArray& block, IdList& parent, std::vector<IdList>& children) {
  return ParseIdListArrayBytes(reinterpret_cast<const uint8_t*>(block.constData()), static_cast<size_t>(block.size()),
                               parent, children);
}

QByteArray MakeUriList(const std::vector<std::string>& paths) {
  QByteArray out;
  for (const std::string& p : paths) {
    out += QByteArray::fromStdString("file://" + PercentEncode(p));
    out += "\r\n";
  }
  return out;
}

std::vector<std::string> ParseUriList(const QByteArray& text) {
  std::vector<std::string> out;
  for (QByteArray line : text.split('\n')) {
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith('#')) continue;
    std::string uri = line.toStdString();
    if (uri.compare(0, 7, "file://") != 0) continue;
    std::string rest = uri.substr(7);
    if (rest.compare(0, 9, "localhost") == 0) rest.erase(0, 9);
    if (rest.empty() || rest.front() != '/') continue;
    auto path = PercentDecode(rest);
    if (path && path->find('\0') == std::string::npos) out.push_back(CleanPath(*path));
  }
  return out;
}

QMimeData* MakeShellMimeData(const uint8_t* parent, const std::vector<const uint8_t*>& children, ClipOperation op) {
  auto* data = new QMimeData;
  data->setData(ShellIdListArrayMimeType(), MakeIdListArray(parent, children));
  std::vector<std::string> paths;
  for (const uint8_t* c : children) {
    const IdList whole = Concat(parent, c);
    std::string path = IdListToPath(whole.data());
    if (!path.empty()) paths.push_back(std::move(path));
  }
  const QByteArray uris = MakeUriList(paths);
  data->setData(QString::fromLatin1(kUriListMimeType), uris);
  QStringList plain;
  for (const std::string& p : paths) plain << QString::fromStdString(DisplayableName(p));
  data->setText(plain.join(QLatin1Char('\n')));
  if (op != ClipOperation::None) {
    QByteArray gnome = op == ClipOperation::Cut ? "cut" : "copy";
    for (const QByteArray& u : uris.split('\n'))
      if (!u.trimmed().isEmpty()) gnome += "\n" + u.trimmed();
    data->setData(QString::fromLatin1(kGnomeCopiedFilesMimeType), gnome);
    data->setData(QString::fromLatin1(kKdeCutSelectionMimeType), op == ClipOperation::Cut ? "1" : "0");
  }
  return data;
}

bool ReadShellMimeData(const QMimeData* data, ShellItems& out) {
  out = ShellItems{};
  if (!data) return false;
  IdList parent;
  std::vector<IdList> children;
  if (data->hasFormat(ShellIdListArrayMimeType()) &&
      ParseIdListArray(data->data(ShellIdListArrayMimeType()), parent, children)) {
    for (const IdList& c : children) {
      out.absolute.push_back(Concat(parent.data(), c.data()));
      std::string path = IdListToPath(out.absolute.back().data());
      if (!path.empty()) out.paths.push_back(std::move(path));
    }
  }
  const QString gnomeType = QString::fromLatin1(kGnomeCopiedFilesMimeType);
  if (data->hasFormat(gnomeType)) {
    const QByteArray gnome = data->data(gnomeType);
    const qsizetype nl = gnome.indexOf('\n');
    const QByteArray first = (nl < 0 ? gnome : gnome.left(nl)).trimmed();
    out.operation = first == "cut" ? ClipOperation::Cut : first == "copy" ? ClipOperation::Copy : ClipOperation::None;
    if (out.absolute.empty() && nl >= 0) out.paths = ParseUriList(gnome.mid(nl + 1));
  }
  if (out.absolute.empty() && out.paths.empty() && data->hasFormat(QString::fromLatin1(kUriListMimeType)))
    out.paths = ParseUriList(data->data(QString::fromLatin1(kUriListMimeType)));
  const QString kdeType = QString::fromLatin1(kKdeCutSelectionMimeType);
  if (out.operation == ClipOperation::None && data->hasFormat(kdeType))
    out.operation = data->data(kdeType).trimmed() == "1" ? ClipOperation::Cut : ClipOperation::Copy;
  return !out.absolute.empty() || !out.paths.empty();
}

}  // namespace shellns
