#pragma once
// CRecentFileList: the most recently used projects, newest first, kept in the settings
// group "Recent File List" as "File1" to "File10".

#include <QString>
#include <QStringList>

class CRecentFileList {
public:
    static constexpr int kMaxFiles = 10;
    static constexpr int kMenuTextLength = 30;

    void Load();
    void Save() const;

    // Moves path to the front, adding it when new.
    void Add(const QString& path);
    void Remove(const QString& path);
    const QStringList& Files() const { return m_files; }
    bool IsEmpty() const { return m_files.isEmpty(); }

    // The menu text of entry index: "&1 " and the path abbreviated to 30 characters.
    QString MenuText(int index) const;

private:
    QStringList m_files;
};

// Shortens a path to at most maxLength characters by replacing folders after the first
// with "...", keeping the file name whole (only the file name when even that is too long).
QString AbbreviatePath(const QString& path, int maxLength);
