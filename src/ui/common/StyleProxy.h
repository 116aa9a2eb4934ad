#pragma once

#include <QIdentityProxyModel>

namespace arvelo {

// Shows an engine model's tones and icons (enum roles, since colours and
// icons are not the engine's) as the view's colours and pictures.
class TStyleProxy : public QIdentityProxyModel {
    Q_OBJECT
public:
    // toneRole answers 0 running (olive), 1 waiting (grey), 2 finished (navy);
    // iconRole answers 0 run, 1 stop, 2 scheduled.
    TStyleProxy(int toneRole, int iconRole, QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    int toneRole_, iconRole_;
};

} // namespace arvelo
