#pragma once

#include <QColor>
#include <QIcon>
#include <QIdentityProxyModel>

#include <vector>

namespace arvelo {

// Shows an engine model's tones and icons (enum roles, since colours and
// icons are not the engine's) as the view's colours and pictures.
class TStyleProxy : public QIdentityProxyModel {
    Q_OBJECT
public:
    // The tasks' rows: toneRole answers 0 running (olive), 1 waiting (grey),
    // 2 finished (navy); iconRole answers 0 run, 1 stop, 2 scheduled.
    TStyleProxy(int toneRole, int iconRole, QObject *parent = nullptr);
    // Any rows: the roles' numbers index the colours and the icons.
    TStyleProxy(int toneRole, std::vector<QColor> tones, int iconRole, std::vector<QIcon> icons,
                QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    int toneRole_, iconRole_;
    std::vector<QColor> tones_;
    std::vector<QIcon> icons_;
};

} // namespace arvelo
