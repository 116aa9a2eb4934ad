#include "ui/monitor/FormStatus.h"

#include "core/App.h"
#include "core/Notifier.h"
#include "core/Version.h"
#include "core/WindowThread.h"
#include "model/Task.h"
#include "monitor/StatusFigures.h"
#include "ui/common/Colours.h"
#include "ui/common/SkinPictures.h"

#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLCDNumber>
#include <QLabel>
#include <QLineSeries>
#include <QProgressBar>
#include <QToolButton>
#include <QValueAxis>
#include <QVBoxLayout>

namespace arvelo {
namespace {

QLCDNumber *Led(const char *name, int digits, QWidget *parent)
{
    auto *led = new QLCDNumber(digits, parent);
    led->setObjectName(QString::fromLatin1(name));
    led->setSegmentStyle(QLCDNumber::Flat);
    led->setFrameShape(QFrame::NoFrame);
    led->setMinimumHeight(24);
    return led;
}

QProgressBar *Gauge(const char *name, const char *colour, QWidget *parent)
{
    auto *gauge = new QProgressBar(parent);
    gauge->setObjectName(QString::fromLatin1(name));
    gauge->setTextVisible(true);
    gauge->setAlignment(Qt::AlignCenter);
    gauge->setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid #506070; background: #203040; color: white; }"
                                        "QProgressBar::chunk { background: %1; }")
                             .arg(QString::fromLatin1(colour)));
    gauge->setValue(0);
    return gauge;
}

QLabel *Caption(const char *text, QWidget *parent)
{
    auto *label = new QLabel(QString::fromLatin1(text), parent);
    label->setStyleSheet(QStringLiteral("color: white;"));
    return label;
}

// Holds back the repaints of a set of widgets while they change, so that
// they repaint once, together, afterwards: a gauge would repaint at once on
// each new value.
class TOneRepaint {
public:
    explicit TOneRepaint(const std::vector<QWidget *> &widgets) : widgets_(widgets)
    {
        for (QWidget *widget : widgets_)
            widget->setUpdatesEnabled(false);
    }
    ~TOneRepaint()
    {
        for (QWidget *widget : widgets_)
            widget->setUpdatesEnabled(true);
    }
    TOneRepaint(const TOneRepaint &) = delete;
    TOneRepaint &operator=(const TOneRepaint &) = delete;

private:
    const std::vector<QWidget *> &widgets_;
};

} // namespace

TFormStatus::TFormStatus(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pnlStatus"));
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("MMPanel1"));
    const TPalette palette = TAVApp::Instance() ? TAVApp::Instance()->Palette() : PaletteForColours(kManyColours);
    panel->setStyleSheet(QStringLiteral("#MMPanel1 { background: %1; }").arg(CssColour(palette.colour[0])));
    panel->setAutoFillBackground(true);

    lblTaskName = new QLabel(QStringLiteral("Arvelo %1").arg(QString::fromLatin1(kFullVersion)), panel);
    lblTaskName->setObjectName(QStringLiteral("lblTaskName"));
    lblTaskName->setStyleSheet(QStringLiteral("color: white; font-weight: bold;"));
    // A new name never moves the panel's columns (and so redraws the graph).
    lblTaskName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    btnRun = new QToolButton(panel);
    btnRun->setObjectName(QStringLiteral("btnRun"));
    btnRun->setText(QStringLiteral("Run"));
    btnRun->setToolTip(QStringLiteral("Run"));
    btnStop = new QToolButton(panel);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnStop->setText(QStringLiteral("Stop"));
    btnStop->setToolTip(QStringLiteral("Stop"));
    btnRun->setEnabled(false);
    btnStop->setEnabled(false);
    connect(btnRun, &QToolButton::clicked, this, [this] {
        if (task_)
            Q_EMIT RunRequested(task_);
    });
    connect(btnStop, &QToolButton::clicked, this, [this] {
        if (task_)
            Q_EMIT StopRequested(task_);
    });

    ApplySkin();

    gaugePages = Gauge("gaugePages", "#00c0c0", panel);
    gaugeRes = Gauge("gaugeRes", "#d0c000", panel);
    gaugeErrors = Gauge("gaugeErrors", "#d03030", panel);
    ledHour = Led("ledHour", 3, panel);
    ledMin = Led("ledMin", 2, panel);
    ledSec = Led("ledSec", 2, panel);
    ledTotalBytes = Led("ledTotalBytes", 7, panel);
    ledTotalBytesDec = Led("ledTotalBytesDec", 1, panel);
    ledRate = Led("ledRate", 4, panel);
    ledRateDec = Led("ledRateDec", 2, panel);
    for (QLCDNumber *led : {ledHour, ledMin, ledSec, ledTotalBytes, ledTotalBytesDec, ledRate, ledRateDec})
        led->setStyleSheet(QStringLiteral("color: #40ff40; background: #102010;"));
    figures_ = {gaugePages, gaugeRes,      gaugeErrors,      ledHour, ledMin,
                ledSec,     ledTotalBytes, ledTotalBytesDec, ledRate, ledRateDec};

    seriesTransferRate = new QLineSeries;
    seriesTransferRate->setObjectName(QStringLiteral("seriesTransferRate"));
    seriesTotalKBytes = new QLineSeries;
    seriesTotalKBytes->setObjectName(QStringLiteral("seriesTotalKBytes"));
    seriesTotalKBytes->setName(QStringLiteral("Total Bytes Transferred"));
    seriesConnections = new QLineSeries;
    seriesConnections->setObjectName(QStringLiteral("seriesConnections"));
    seriesConnections->setName(QStringLiteral("Connections"));
    chart_ = new QChart;
    chart_->setTitle(QStringLiteral("Transfer Rate"));
    chart_->legend()->hide();
    chart_->setMargins(QMargins(2, 2, 2, 2));
    for (QLineSeries *series : {seriesTransferRate, seriesTotalKBytes, seriesConnections})
        chart_->addSeries(series);
    seriesTotalKBytes->hide();
    seriesConnections->hide();
    axisTime_ = new QValueAxis;
    axisTime_->setTitleText(QStringLiteral("Time (secs)"));
    axisTime_->setLabelFormat(QStringLiteral("%.0f"));
    axisRate_ = new QValueAxis;
    axisRate_->setTitleText(QStringLiteral("( KB/sec )"));
    axisRate_->setLabelFormat(QStringLiteral("%.2f"));
    axisTime_->setRange(0, 60);
    axisRate_->setRange(0, 1);
    chart_->addAxis(axisTime_, Qt::AlignBottom);
    chart_->addAxis(axisRate_, Qt::AlignLeft);
    seriesTransferRate->attachAxis(axisTime_);
    seriesTransferRate->attachAxis(axisRate_);
    chartStats = new QChartView(chart_, panel);
    chartStats->setObjectName(QStringLiteral("chartStats"));
    chartStats->setRenderHint(QPainter::Antialiasing);
    chartStats->setMinimumSize(240, 130);
    ClearStats();

    auto *head = new QHBoxLayout;
    head->addWidget(lblTaskName, 1);
    head->addWidget(btnRun);
    head->addWidget(btnStop);
    auto *gauges = new QGridLayout;
    gauges->addWidget(Caption("Pages:", panel), 0, 0);
    gauges->addWidget(gaugePages, 0, 1);
    gauges->addWidget(Caption("Media Files:", panel), 1, 0);
    gauges->addWidget(gaugeRes, 1, 1);
    gauges->addWidget(Caption("Errors:", panel), 2, 0);
    gauges->addWidget(gaugeErrors, 2, 1);
    auto *leds = new QGridLayout;
    leds->addWidget(ledHour, 0, 0);
    leds->addWidget(Caption(":", panel), 0, 1);
    leds->addWidget(ledMin, 0, 2);
    leds->addWidget(Caption(":", panel), 0, 3);
    leds->addWidget(ledSec, 0, 4);
    leds->addWidget(ledTotalBytes, 1, 0, 1, 3);
    leds->addWidget(Caption(".", panel), 1, 3);
    leds->addWidget(ledTotalBytesDec, 1, 4);
    leds->addWidget(Caption("Kb", panel), 1, 5);
    leds->addWidget(ledRate, 2, 0, 1, 3);
    leds->addWidget(Caption(".", panel), 2, 3);
    leds->addWidget(ledRateDec, 2, 4);
    leds->addWidget(Caption("Kb/sec", panel), 2, 5);
    auto *left = new QVBoxLayout;
    left->addLayout(head);
    left->addLayout(gauges);
    left->addLayout(leds);
    left->addStretch();
    auto *body = new QHBoxLayout(panel);
    body->setContentsMargins(6, 4, 6, 4);
    body->addLayout(left, 0);
    body->addWidget(chartStats, 1);

    MMPanel2 = new QWidget(this);
    MMPanel2->setObjectName(QStringLiteral("MMPanel2"));
    MMPanel2->setStyleSheet(QStringLiteral("#MMPanel2 { background: %1; }").arg(CssColour(palette.colour[2])));
    MMPanel2->setAutoFillBackground(true);
    MMPanel2->setFixedHeight(24);
    lblStatus = new QLabel(QStringLiteral("Ready"), MMPanel2);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    ProgressBar = new QProgressBar(MMPanel2);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setTextVisible(false);
    ProgressBar->hide();
    MMLEDGaugeResources = new QProgressBar(MMPanel2);
    MMLEDGaugeResources->setObjectName(QStringLiteral("MMLEDGaugeResources"));
    MMLEDGaugeResources->setRange(0, 100);
    MMLEDGaugeResources->setTextVisible(false);
    MMLEDGaugeResources->setFixedSize(60, 14);

    auto *all = new QVBoxLayout(this);
    all->setContentsMargins(0, 0, 0, 0);
    all->setSpacing(0);
    all->addWidget(panel, 1);
    all->addWidget(MMPanel2);
    CheckResources();
}

void TFormStatus::BindTask(TAVTask *task)
{
    task_ = task;
    btnRun->setEnabled(task != nullptr && !running_);
    btnStop->setEnabled(task != nullptr);
    lblTaskName->setText(task ? QString::fromStdString(task->taskName) : QString());
    counters_.Cancel();
    ShowCounters();
}

void TFormStatus::SetRunning(bool running)
{
    running_ = running;
    btnRun->setEnabled(task_ != nullptr && !running);
}

void TFormStatus::UpdateCounters() { counters_.Touch(); }

void TFormStatus::ShowCounters()
{
    TOneRepaint once(figures_);
    TStatusFigures f = task_ ? TStatusFigures::Of(*task_) : TStatusFigures{};
    // Only what changed: each unchanged setter would still ask for a repaint.
    auto set = [](QProgressBar *gauge, const TGaugeFigure &figure) {
        gauge->setValue(figure.Percent());
        gauge->setFormat(QString::fromStdString(figure.Text()));
    };
    set(gaugePages, f.pages);
    set(gaugeRes, f.resources);
    set(gaugeErrors, f.errors);
    ledHour->display(static_cast<double>(f.hours));
    ledMin->display(f.minutes);
    ledSec->display(f.seconds);
    // The panel takes the digits it needs.
    auto digits = [](QLCDNumber *led, int count) {
        if (led->digitCount() != count)
            led->setDigitCount(count);
    };
    digits(ledTotalBytes, std::max(7, static_cast<int>(std::to_string(f.kilobytes).size())));
    ledTotalBytes->display(static_cast<double>(f.kilobytes));
    ledTotalBytesDec->display(f.kilobyteTenths);
    digits(ledRate, std::max(4, static_cast<int>(std::to_string(f.rate).size())));
    ledRate->display(static_cast<double>(f.rate));
    ledRateDec->display(f.rateHundredths);
}

void TFormStatus::ShowStatus(const QString &text, int position, int maximum)
{
    statusLine_.Post({text.toStdString(), position, maximum});
    statusUpdate_.Touch();
}

void TFormStatus::ShowStatusLine()
{
    const TStatusMessage message = statusLine_.Take();
    if (statusLine_.Pending())
        statusUpdate_.Touch();
    lblStatus->setText(QString::fromStdString(message.text));
    const int position = message.position, maximum = message.total;
    if (position == maximum) {
        ProgressBar->hide();
        return;
    }
    ProgressBar->setRange(0, std::max(maximum, 1));
    ProgressBar->setValue(position);
    ProgressBar->show();
    PlaceProgressBar();
}

void TFormStatus::ClearStats()
{
    chartUpdate_.Cancel();
    // An empty graph is left alone: clearing it would still redraw it.
    if (!samples_.Samples().empty() || seriesTransferRate->count() > 0) {
        samples_.Clear();
        for (QLineSeries *series : {seriesTransferRate, seriesTotalKBytes, seriesConnections})
            series->clear();
        axisTime_->setRange(0, 60);
        axisRate_->setRange(0, 1);
    }
    TOneRepaint once(figures_);
    for (QProgressBar *gauge : {gaugePages, gaugeRes, gaugeErrors}) {
        gauge->setValue(0);
        gauge->setFormat(QString());
    }
    for (QLCDNumber *led : {ledHour, ledMin, ledSec, ledTotalBytes, ledTotalBytesDec, ledRate, ledRateDec})
        led->display(0);
}

void TFormStatus::AddSample(int connections, int seconds, int interval, double kilobytes)
{
    if (samples_.Add(connections, seconds, kilobytes, interval))
        chartUpdate_.Touch();
}

void TFormStatus::DrawChart()
{
    if (samples_.Samples().empty())
        return;
    // From at most a few thousand points, however long the run.
    const int64_t seconds = samples_.Samples().back().seconds;
    QList<QPointF> points = samples_.RatePoints(kMaxChartPoints);
    seriesTransferRate->replace(points);
    double highest = 0;
    for (const QPointF &point : points)
        highest = std::max(highest, point.y());
    axisTime_->setRange(0, std::max(60.0, static_cast<double>(seconds)));
    axisRate_->setRange(0, std::max(1.0, highest * 1.1));
}

void TFormStatus::CheckResources()
{
    int percent = FreeMemoryPercent();
    if (percent < 0) {
        MMLEDGaugeResources->hide();
        return;
    }
    MMLEDGaugeResources->setValue(percent);
    MMLEDGaugeResources->setToolTip(QString::fromStdString(TResourceWatch::Hint(percent)));
    // Posted: a box must not open inside the schedule thread's check.
    if (resources_.Check(percent))
        PostToWindowThread([] { Notifier().Information(TResourceWatch::kWarning); });
}

void TFormStatus::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    PlaceProgressBar();
}

void TFormStatus::PlaceProgressBar()
{
    const int width = MMPanel2->width();
    lblStatus->setGeometry(6, 2, std::max(10, lblStatus->sizeHint().width()), 20);
    MMLEDGaugeResources->move(width - 22 - MMLEDGaugeResources->width(), 5);
    if (ProgressBar->isVisible()) {
        int left = lblStatus->x() + lblStatus->width() + 20;
        ProgressBar->setGeometry(left, 5, std::max(20, width - 30 - MMLEDGaugeResources->width() - left), 14);
    }
}

void TFormStatus::ApplySkin()
{
    const TSkin skin = TSkin::Current();
    for (auto [button, picture] : {std::pair{btnRun, skin::kRun}, std::pair{btnStop, skin::kStop}}) {
        const QPixmap glyph = SkinGlyph(skin, picture);
        button->setIcon(QIcon(glyph));
        button->setToolButtonStyle(glyph.isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly);
        button->update();
    }
}

} // namespace arvelo
