#include "widgets/AppSettings.h"

#include <QSettings>

#include <algorithm>

namespace dapplix {

namespace {
// One store for the program, whatever the executable is called.
QSettings Store() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Dapplix", "Dapplix"); }
}  // namespace

QStringList AppSettings::RecentFiles() const { return Store().value("recentFiles").toStringList().mid(0, kMaxRecent); }

void AppSettings::AddRecentFile(const QString& path) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    Store().setValue("recentFiles", files.mid(0, kMaxRecent));
}

void AppSettings::RemoveRecentFile(const QString& path) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    Store().setValue("recentFiles", files);
}

QString AppSettings::Folder() const { return Store().value("folder").toString(); }
void AppSettings::SetFolder(const QString& folder) { Store().setValue("folder", folder); }

QByteArray AppSettings::WindowGeometry() const { return Store().value("windowGeometry").toByteArray(); }
void AppSettings::SetWindowGeometry(const QByteArray& geometry) { Store().setValue("windowGeometry", geometry); }

int AppSettings::Zoom() const { return std::clamp(Store().value("zoom", 1).toInt(), 1, 4); }
void AppSettings::SetZoom(int zoom) { Store().setValue("zoom", zoom); }

bool AppSettings::DimColors() const { return Store().value("dimColors", true).toBool(); }
void AppSettings::SetDimColors(bool dim) { Store().setValue("dimColors", dim); }
bool AppSettings::ShowGrid() const { return Store().value("showGrid", true).toBool(); }
void AppSettings::SetShowGrid(bool show) { Store().setValue("showGrid", show); }

}  // namespace dapplix
