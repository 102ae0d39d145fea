// What the window program remembers between runs, in Qt's settings store: the recently
// opened ROMs and projects, the file chooser's folder, the window's size, the zoom and
// the two view options. Tests point the store at a folder of their own
// (QSettings::setPath), so they never touch the user's settings.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace dapplix {

class AppSettings {
public:
    static constexpr int kMaxRecent = 8;

    QStringList RecentFiles() const;
    // Puts path first, removing an older entry of it and anything past the eighth.
    void AddRecentFile(const QString& path);
    void RemoveRecentFile(const QString& path);

    QString Folder() const;
    void SetFolder(const QString& folder);

    QByteArray WindowGeometry() const;
    void SetWindowGeometry(const QByteArray& geometry);

    int Zoom() const;  // 1..4
    void SetZoom(int zoom);

    bool DimColors() const;
    void SetDimColors(bool dim);
    bool ShowGrid() const;
    void SetShowGrid(bool show);
};

}  // namespace dapplix
