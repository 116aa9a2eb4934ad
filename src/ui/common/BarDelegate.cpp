#include "ui/common/BarDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionProgressBar>

namespace arvelo {

void TBarDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, QModelIndex()); // the row's background
    QStyleOptionProgressBar bar;
    bar.rect = option.rect.adjusted(2, 2, -2, -2);
    bar.minimum = 0;
    bar.maximum = 100;
    int percent = index.data(percentRole_).toInt();
    bar.progress = std::clamp(percent, 0, 100);
    bar.text = index.data().toString().trimmed();
    bar.textVisible = true;
    bar.textAlignment = Qt::AlignCenter;
    bar.state = option.state | QStyle::State_Horizontal;
    QApplication::style()->drawControl(QStyle::CE_ProgressBar, &bar, painter);
}

} // namespace arvelo
