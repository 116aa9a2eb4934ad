#pragma once

#include <QHash>
#include <QIcon>
#include <QIdentityProxyModel>

namespace arvelo {

// The pictures of the archive views: each row's icon by the file name its
// model names (a folder, an archive, or the type of the file's extension),
// from the desktop's icon theme, fetched once per extension.
class TZipIconProxy : public QIdentityProxyModel {
    Q_OBJECT
public:
    explicit TZipIconProxy(QObject *parent = nullptr);
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QIcon IconFor(const QString &name) const;
    mutable QHash<QString, QIcon> cache_;
};

} // namespace arvelo
