#pragma once

#include "core/UpdateBatch.h"
#include "monitor/Resources.h"
#include "monitor/StatusLine.h"
#include "monitor/TransferSamples.h"

#include <QWidget>

#include <vector>

class QChart;
class QChartView;
class QLabel;
class QLCDNumber;
class QLineSeries;
class QProgressBar;
class QToolButton;
class QValueAxis;

namespace arvelo {

class TAVTask;

// The panel along the main window's lower edge: the bound task's name, run
// and stop buttons, gauges, LEDs, the transfer graph and the status line.
// Every figure comes from the task (TStatusFigures) and the samples; the
// panel redraws its counters four times a second at most, its graph once.
class TFormStatus : public QWidget {
    Q_OBJECT
public:
    explicit TFormStatus(QWidget *parent = nullptr);

    void BindTask(TAVTask *task);
    // While a run goes on its Run button rests.
    void SetRunning(bool running);
    // The run and stop pictures of the current skin; the captions stay
    // when the skin has none.
    void ApplySkin();
    TAVTask *Task() const { return task_; }
    // Asks for a redraw of the counters soon (coalesced).
    void UpdateCounters();
    // The status line, with the progress of a long operation; shown a few
    // times a second at most (TStatusLine).
    void ShowStatus(const QString &text, int position, int maximum);
    void ClearStats();
    void AddSample(int connections, int seconds, int interval, double kilobytes);
    // Free memory into the small gauge; the low-memory warning is posted.
    void CheckResources();
    const TTransferSamples &Samples() const { return samples_; }

    // The most points the graph draws, whatever the length of the run.
    static constexpr qsizetype kMaxChartPoints = 2000;

Q_SIGNALS:
    void RunRequested(TAVTask *task);
    void StopRequested(TAVTask *task);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void ShowCounters();
    void ShowStatusLine();
    void DrawChart();
    void PlaceProgressBar();

    TAVTask *task_ = nullptr;
    bool running_ = false;
    TTransferSamples samples_;
    TResourceWatch resources_;
    // A little over a quarter second: a repaint may come a few ms after its
    // update, and five must never fall within one second.
    TUpdateBatch counters_{260, [this] { ShowCounters(); }};
    TUpdateBatch chartUpdate_{1000, [this] { DrawChart(); }};
    TStatusLine statusLine_;
    TUpdateBatch statusUpdate_{260, [this] { ShowStatusLine(); }};

    QLabel *lblTaskName;
    QToolButton *btnRun, *btnStop;
    QProgressBar *gaugePages, *gaugeRes, *gaugeErrors;
    QLCDNumber *ledHour, *ledMin, *ledSec, *ledTotalBytes, *ledTotalBytesDec, *ledRate, *ledRateDec;
    QChartView *chartStats;
    QChart *chart_;
    QLineSeries *seriesTransferRate, *seriesTotalKBytes, *seriesConnections;
    QValueAxis *axisTime_, *axisRate_;
    QWidget *MMPanel2;
    // The gauges and LEDs, which repaint together.
    std::vector<QWidget *> figures_;
    QLabel *lblStatus;
    QProgressBar *ProgressBar;
    QProgressBar *MMLEDGaugeResources;
};

} // namespace arvelo
