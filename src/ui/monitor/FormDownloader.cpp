#include "ui/monitor/FormDownloader.h"

#include "core/App.h"
#include "crawl/Slots.h"
#include "monitor/SlotTableModel.h"
#include "ui/common/BarDelegate.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSlider>
#include <QTreeView>
#include <QVBoxLayout>

namespace arvelo {

TFormDownloader::TFormDownloader(TSlotList &slots, TSlotTableModel &model, QWidget *parent)
    : QWidget(parent), slots_(slots), model_(model)
{
    setObjectName(QStringLiteral("tsSockets"));
    tbSockets = new QSlider(Qt::Horizontal, this);
    tbSockets->setObjectName(QStringLiteral("tbSockets"));
    tbSockets->setRange(1, 16);
    tbSockets->setPageStep(1);
    tbSockets->setTickPosition(QSlider::TicksBelow);
    tbSockets->setValue(slots.Connections());
    lblSockets = new QLabel(QString::number(slots.Connections()), this);
    lblSockets->setObjectName(QStringLiteral("lblSockets"));
    lblSockets->setMinimumWidth(24);
    tbPriority = new QSlider(Qt::Horizontal, this);
    tbPriority->setObjectName(QStringLiteral("tbPriority"));
    tbPriority->setRange(0, 10);
    tbPriority->setPageStep(1);
    tbPriority->setTickPosition(QSlider::TicksBelow);
    if (TAVApp *app = TAVApp::Instance())
        tbPriority->setValue(app->Priority());
    connect(tbSockets, &QSlider::valueChanged, this, [this](int value) {
        lblSockets->setText(QString::number(value));
        slots_.SetConnections(value);
    });
    connect(tbPriority, &QSlider::valueChanged, this, [](int value) {
        if (TAVApp *app = TAVApp::Instance())
            app->SetPriority(value);
    });

    lvSockets = new QTreeView(this);
    lvSockets->setObjectName(QStringLiteral("lvSockets"));
    lvSockets->setModel(&model);
    lvSockets->setRootIsDecorated(false);
    lvSockets->setUniformRowHeights(true);
    lvSockets->setAlternatingRowColors(true);
    lvSockets->setTextElideMode(Qt::ElideMiddle);
    lvSockets->setItemDelegateForColumn(TSlotTableModel::colProgress,
                                        new TBarDelegate(TSlotTableModel::kPercentRole, lvSockets));
    QHeaderView *header = lvSockets->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(TSlotTableModel::colRetrieving, QHeaderView::Stretch);
    // Narrow enough that the address keeps most of a small window's width.
    header->resizeSection(TSlotTableModel::colProgress, 90);
    header->resizeSection(TSlotTableModel::colBytes, 70);
    header->resizeSection(TSlotTableModel::colSize, 70);
    header->resizeSection(TSlotTableModel::colStatus, 100);

    auto *controls = new QGridLayout;
    controls->addWidget(new QLabel(QStringLiteral("Connections:"), this), 0, 0);
    controls->addWidget(tbSockets, 0, 1, 1, 3);
    controls->addWidget(lblSockets, 0, 4);
    controls->addWidget(new QLabel(QStringLiteral("Download Priority:"), this), 1, 0);
    controls->addWidget(new QLabel(QStringLiteral("Pages"), this), 1, 1);
    controls->addWidget(tbPriority, 1, 2);
    controls->addWidget(new QLabel(QStringLiteral("Media files"), this), 1, 3);
    controls->setColumnStretch(2, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(lvSockets, 1);
}

void TFormDownloader::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    model_.SetShown(true);
}

void TFormDownloader::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    model_.SetShown(false);
}

} // namespace arvelo
