#include "ui/archive/ZipIcons.h"

#include "archive/ZipModels.h"

#include <QApplication>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStyle>

namespace arvelo {

TZipIconProxy::TZipIconProxy(QObject *parent) : QIdentityProxyModel(parent) {}

QVariant TZipIconProxy::data(const QModelIndex &index, int role) const
{
    if (role == Qt::DecorationRole && index.column() == 0) {
        const QVariant name = QIdentityProxyModel::data(index, kZipIconRole);
        if (name.isValid())
            return IconFor(name.toString());
    }
    return QIdentityProxyModel::data(index, role);
}

QIcon TZipIconProxy::IconFor(const QString &name) const
{
    const bool folder = name == QLatin1String(kZipFolderIcon);
    // An archive is known by the type of any zip file.
    const QString key = folder ? name : name.isEmpty() ? QStringLiteral(".zip") : QFileInfo(name).suffix().toLower();
    if (auto cached = cache_.constFind(key); cached != cache_.constEnd())
        return *cached;
    QStyle *style = QApplication::style();
    QIcon icon;
    if (folder) {
        icon = QIcon::fromTheme(QStringLiteral("folder"), style->standardIcon(QStyle::SP_DirIcon));
    } else {
        const QMimeType type = QMimeDatabase().mimeTypeForFile(name.isEmpty() ? QStringLiteral("a.zip") : name,
                                                               QMimeDatabase::MatchExtension);
        icon = QIcon::fromTheme(type.iconName());
        if (icon.isNull())
            icon = QIcon::fromTheme(type.genericIconName());
        if (icon.isNull())
            // Without an icon theme: an archive shows as a drive, a file as a file.
            icon = style->standardIcon(name.isEmpty() ? QStyle::SP_DriveFDIcon : QStyle::SP_FileIcon);
    }
    cache_.insert(key, icon);
    return icon;
}

} // namespace arvelo
