#include "controls/shell/dialogs/file_names.h"

#include <climits>

#include <QMimeDatabase>

namespace ptshell {

std::vector<TFileTypeEntry> ParseFilter(const QString& filter) {
  std::vector<TFileTypeEntry> out;
  qsizetype i = 0;
  const qsizetype n = filter.size();
  while (i < n) {
    qsizetype bar = filter.indexOf(QLatin1Char('|'), i);
    TFileTypeEntry entry;
    if (bar < 0) {
      entry.Description = filter.mid(i);
      i = n;
    } else {
      entry.Description = filter.mid(i, bar - i);
      i = bar + 1;
      bar = filter.indexOf(QLatin1Char('|'), i);
      if (bar < 0) bar = n;
      entry.Mask = filter.mid(i, bar - i);
      i = bar + 1;
    }
    out.push_back(entry);
  }
  return out;
}

static QString TrimRight(const QString& s) {
  qsizetype end = s.size();
  while (end > 0 && s.at(end - 1).unicode() <= 32) --end;
  return s.left(end);
}

QStringList SplitFileNames(const QString& text, bool several) {
  if (!several) {
    const QString name = TrimRight(text);
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')) &&
        name.count(QLatin1Char('"')) == 2)
      return {name.mid(1, name.size() - 2)};
    return {text};
  }
  if (!text.contains(QLatin1Char('"'))) return {text};
  QStringList names;
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n) {
    const QChar c = text.at(i);
    if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
      ++i;
      continue;
    }
    qsizetype start = i;
    if (c == QLatin1Char('"')) start = ++i;
    qsizetype end = text.indexOf(QLatin1Char('"'), i);
    if (end < 0) end = n;
    const QString name = TrimRight(text.mid(start, end - start));
    if (!name.isEmpty()) names << name;
    // A closing quote ends a quoted name; an unquoted one leaves the quote to open the next.
    i = (c == QLatin1Char('"') && end < n) ? end + 1 : end;
  }
  return names;
}

QString CombinePath(const QString& folder, const QString& name, const QString& home) {
  if (name.isEmpty()) return {};
  QString base, rest = name;
  if (name.startsWith(QLatin1Char('/'))) {
    base = QStringLiteral("/");
  } else if (name == QLatin1String("~") || name.startsWith(QLatin1String("~/"))) {
    base = home.isEmpty() ? QStringLiteral("/") : home;
    rest = name.mid(1);
  } else {
    if (!folder.startsWith(QLatin1Char('/'))) return {};
    base = folder;
  }
  QStringList parts = base.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  for (const QString& part : rest.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    if (part == QLatin1String(".")) continue;
    if (part == QLatin1String("..")) {
      if (!parts.isEmpty()) parts.removeLast();
      continue;
    }
    parts << part;
  }
  return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

bool IsAcceptableFileName(const QString& text) {
  if (text.contains(QChar(0))) return false;
  for (const QString& part : text.split(QLatin1Char('/'), Qt::SkipEmptyParts))
    if (part.toUtf8().size() > NAME_MAX) return false;
  return true;
}

QString NamePart(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

QString FolderPart(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  if (slash < 0) return {};
  return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString ExtensionOf(const QString& name) {
  const QString base = NamePart(name);
  const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
  return dot > 0 ? base.mid(dot) : QString();
}

bool HasWildcard(const QString& text) {
  return text.contains(QLatin1Char('*')) || text.contains(QLatin1Char('?'));
}

QString MaskExtension(const QString& mask) {
  const QString last = mask.section(QLatin1Char(';'), -1).trimmed();
  const qsizetype dot = last.lastIndexOf(QLatin1Char('.'));
  if (dot < 0) return {};
  const QString ext = last.mid(dot);
  return HasWildcard(ext) ? QString() : ext;
}

bool IsRegisteredExtension(const QString& extension) {
  if (extension.size() < 2) return false;
  static const QMimeDatabase db;
  return !db.mimeTypesForFileName(QLatin1String("x") + extension).isEmpty();
}

TDefaultExtResult ApplyDefaultExt(const QString& path, const QString& defaultExt, const QString& mask,
                                  const std::function<bool(const QString&)>& registered) {
  TDefaultExtResult r{path, -1};
  if (defaultExt.isEmpty()) return r;
  const QString dotDefault = QLatin1Char('.') + defaultExt;
  const QString ext = ExtensionOf(path);
  if (!ext.isEmpty() && registered(ext)) {
    r.ExtensionDifferent = ext.compare(dotDefault, Qt::CaseInsensitive) != 0;
    return r;
  }
  auto withDot = [&] { return path.endsWith(QLatin1Char('.')) ? path : path + QLatin1Char('.'); };
  const QString m = MaskExtension(mask);
  if (m.isEmpty()) {
    r.Path = withDot() + defaultExt;
    r.ExtensionDifferent = 0;
  } else if (ext.compare(m, Qt::CaseInsensitive) != 0) {
    r.Path = withDot() + m.mid(1);
    r.ExtensionDifferent = m.compare(dotDefault, Qt::CaseInsensitive) != 0;
  }
  return r;
}

}  // namespace ptshell
