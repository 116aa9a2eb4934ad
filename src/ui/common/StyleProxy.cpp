#include "ui/common/StyleProxy.h"

#include <QApplication>
#include <QStyle>

#include <algorithm>

namespace arvelo {

TStyleProxy::TStyleProxy(int toneRole, int iconRole, QObject *parent)
    : TStyleProxy(toneRole, {QColor(128, 128, 0), QColor(128, 128, 128), QColor(0, 0, 128)}, iconRole,
                  {QApplication::style()->standardIcon(QStyle::SP_MediaPlay),
                   QApplication::style()->standardIcon(QStyle::SP_MediaStop),
                   QApplication::style()->standardIcon(QStyle::SP_BrowserReload)},
                  parent)
{
}

TStyleProxy::TStyleProxy(int toneRole, std::vector<QColor> tones, int iconRole, std::vector<QIcon> icons,
                         QObject *parent)
    : QIdentityProxyModel(parent), toneRole_(toneRole), iconRole_(iconRole), tones_(std::move(tones)),
      icons_(std::move(icons))
{
}

QVariant TStyleProxy::data(const QModelIndex &index, int role) const
{
    auto pick = [&](int sourceRole, const auto &table) -> QVariant {
        QVariant value = QIdentityProxyModel::data(index, sourceRole);
        if (!value.isValid() || table.empty())
            return {};
        return table[static_cast<size_t>(std::clamp(value.toInt(), 0, static_cast<int>(table.size()) - 1))];
    };
    if (role == Qt::ForegroundRole)
        return pick(toneRole_, tones_);
    if (role == Qt::DecorationRole)
        return pick(iconRole_, icons_);
    return QIdentityProxyModel::data(index, role);
}

} // namespace arvelo
