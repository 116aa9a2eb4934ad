#include "ui/common/StyleProxy.h"

#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QStyle>

namespace arvelo {

TStyleProxy::TStyleProxy(int toneRole, int iconRole, QObject *parent)
    : QIdentityProxyModel(parent), toneRole_(toneRole), iconRole_(iconRole)
{
}

QVariant TStyleProxy::data(const QModelIndex &index, int role) const
{
    if (role == Qt::ForegroundRole) {
        QVariant tone = QIdentityProxyModel::data(index, toneRole_);
        if (!tone.isValid())
            return {};
        static const QColor kTones[] = {QColor(128, 128, 0), QColor(128, 128, 128), QColor(0, 0, 128)};
        return kTones[std::clamp(tone.toInt(), 0, 2)];
    }
    if (role == Qt::DecorationRole) {
        QVariant icon = QIdentityProxyModel::data(index, iconRole_);
        if (!icon.isValid())
            return {};
        static const QStyle::StandardPixmap kIcons[] = {QStyle::SP_MediaPlay, QStyle::SP_MediaStop,
                                                         QStyle::SP_BrowserReload};
        return QApplication::style()->standardIcon(kIcons[std::clamp(icon.toInt(), 0, 2)]);
    }
    return QIdentityProxyModel::data(index, role);
}

} // namespace arvelo
