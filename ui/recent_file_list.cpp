#include "ui/recent_file_list.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
const QString kGroup = QStringLiteral("Recent File List");

bool SamePath(const QString& a, const QString& b) {
#ifdef Q_OS_WIN
    return a.compare(b, Qt::CaseInsensitive) == 0;
#else
    return a == b;
#endif
}
} // namespace

void CRecentFileList::Load() {
    QSettings settings(QStringLiteral("Tolvane"), QStringLiteral("Quarn"));
    settings.beginGroup(kGroup);
    m_files.clear();
    for (int i = 1; i <= kMaxFiles; ++i) {
        const QString path = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!path.isEmpty())
            m_files.append(path);
    }
}

void CRecentFileList::Save() const {
    QSettings settings(QStringLiteral("Tolvane"), QStringLiteral("Quarn"));
    settings.remove(kGroup);
    settings.beginGroup(kGroup);
    for (int i = 0; i < m_files.size(); ++i)
        settings.setValue(QStringLiteral("File%1").arg(i + 1), m_files[i]);
}

void CRecentFileList::Add(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    Remove(full);
    m_files.prepend(full);
    while (m_files.size() > kMaxFiles)
        m_files.removeLast();
}

void CRecentFileList::Remove(const QString& path) {
    m_files.removeIf([&](const QString& entry) { return SamePath(entry, path); });
}

QString CRecentFileList::MenuText(int index) const {
    QString text = AbbreviatePath(QDir::toNativeSeparators(m_files.value(index)), kMenuTextLength);
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(text);
}

QString AbbreviatePath(const QString& path, int maxLength) {
    if (path.size() <= maxLength)
        return path;
    const QChar separator = QDir::separator();
    QStringList parts = path.split(separator);
    const QString fileName = parts.takeLast();
    if (parts.isEmpty() || fileName.size() + 4 > maxLength)
        return fileName;
    // The root (drive or empty for "/") stays, then "...", then as many trailing folders
    // as fit before the file name.
    const QString head = parts.takeFirst() + separator + QStringLiteral("...");
    QString tail = separator + fileName;
    while (!parts.isEmpty() && head.size() + 1 + parts.last().size() + tail.size() <= maxLength)
        tail = separator + parts.takeLast() + tail;
    const QString result = head + tail;
    return result.size() <= maxLength ? result : fileName;
}
