#pragma once

#include <QStyledItemDelegate>

namespace arvelo {

// Draws a progress column as a bar filled to the percent that the model
// gives in its percent role, with the column's text over it.
class TBarDelegate : public QStyledItemDelegate {
public:
    TBarDelegate(int percentRole, QObject *parent = nullptr)
        : QStyledItemDelegate(parent), percentRole_(percentRole)
    {
    }
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int percentRole_;
};

} // namespace arvelo
