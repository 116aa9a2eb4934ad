#include "core/App.h"
#include "model/Task.h"
#include "support/ScriptedServer.h"
#include "support/TestHome.h"
#include "ui/monitor/FormStatus.h"
#include "ui/support/NamedChild.h"
#include "ui/support/Screenshot.h"

#include <gtest/gtest.h>

#include <QChartView>
#include <QLCDNumber>
#include <QLabel>
#include <QLineSeries>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>

namespace arvelo {
namespace {

class FormStatus : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        app = std::make_unique<TAVApp>();
        panel = std::make_unique<TFormStatus>();
        panel->resize(760, 220);
        panel->show();
        task.taskName = "python docs";
        task.pagesSaved = 120;
        task.totalPages = 480;
        task.resourcesSaved = 9;
        task.totalResources = 12;
        task.pageErrors = 2;
        task.totalBytes = int64_t(38) * 1024 * 1024 + 1536;
        task.elapsedTime = TDateTime::FromTime(0, 1, 40);
    }

    template <typename T>
    T *Child(const char *name) const
    {
        return test::NamedChild<T>(*panel, name);
    }
    std::string GaugeText(const char *name) const { return Child<QProgressBar>(name)->text().toStdString(); }

    std::unique_ptr<TAVApp> app;
    std::unique_ptr<TFormStatus> panel;
    TAVTask task;
};

TEST_F(FormStatus, ShowsTheBoundTasksFigures)
{
    EXPECT_FALSE(Child<QToolButton>("btnRun")->isEnabled());
    EXPECT_FALSE(Child<QToolButton>("btnStop")->isEnabled());
    EXPECT_EQ(Child<QLabel>("lblTaskName")->text().toStdString(), "Arvelo 2.61.125");
    EXPECT_EQ(Child<QLabel>("lblStatus")->text().toStdString(), "Ready");

    panel->BindTask(&task);
    EXPECT_TRUE(Child<QToolButton>("btnRun")->isEnabled());
    EXPECT_EQ(Child<QLabel>("lblTaskName")->text().toStdString(), "python docs");
    EXPECT_EQ(GaugeText("gaugePages"), "120/480 ->  25%");
    EXPECT_EQ(GaugeText("gaugeRes"), "9/12 ->  75%");
    EXPECT_EQ(GaugeText("gaugeErrors"), "2/492 ->  0%");
    EXPECT_EQ(Child<QLCDNumber>("ledMin")->intValue(), 1);
    EXPECT_EQ(Child<QLCDNumber>("ledSec")->intValue(), 40);
    EXPECT_EQ(Child<QLCDNumber>("ledTotalBytes")->intValue(), 38913);
    EXPECT_EQ(Child<QLCDNumber>("ledTotalBytesDec")->intValue(), 5);
    EXPECT_EQ(Child<QLCDNumber>("ledRate")->intValue(), 389);
    EXPECT_EQ(Child<QLCDNumber>("ledRateDec")->intValue(), 13);

    std::vector<std::string> asked;
    QObject::connect(panel.get(), &TFormStatus::RunRequested,
                     [&](TAVTask *t) { asked.push_back(t == &task ? "run" : "run ?"); });
    QObject::connect(panel.get(), &TFormStatus::StopRequested,
                     [&](TAVTask *t) { asked.push_back(t == &task ? "stop" : "stop ?"); });
    QTest::mouseClick(Child<QToolButton>("btnStop"), Qt::LeftButton);
    QTest::mouseClick(Child<QToolButton>("btnRun"), Qt::LeftButton);
    EXPECT_EQ(asked, (std::vector<std::string>{"stop", "run"}));

    for (int second = 1; second <= 100; ++second)
        panel->AddSample(10, second, 1, 389.0 * second * (1.0 + 0.3 * ((second / 7) % 3)) / 1.3);
    test::PumpUntil([] { return false; }, 1.2); // the graph's redraw
    panel->ShowStatus(QStringLiteral("Loading Page: a.html"), 0, 0);
    panel->ShowStatus(QStringLiteral("Opening task...."), 40, 100);
    panel->ShowStatus(QString(), 0, 0); // cleared at once: the message still shows first
    ASSERT_TRUE(test::PumpUntil([&] { return Child<QProgressBar>("ProgressBar")->isVisible(); }));
    EXPECT_EQ(Child<QLabel>("lblStatus")->text().toStdString(), "Opening task....");
    test::Screenshot(*panel, "during-a-run");
    panel->ShowStatus(QStringLiteral("Ready"), 100, 100);
    EXPECT_TRUE(test::PumpUntil([&] { return !Child<QProgressBar>("ProgressBar")->isVisible(); }));
    EXPECT_EQ(Child<QLabel>("lblStatus")->text().toStdString(), "Ready");

    panel->BindTask(nullptr);
    EXPECT_FALSE(Child<QToolButton>("btnRun")->isEnabled());
    EXPECT_EQ(Child<QLabel>("lblTaskName")->text().toStdString(), "");
}

TEST_F(FormStatus, TheGraphTakesOnePointASecondAndDrawsFewPointsOfALongRun)
{
    panel->BindTask(&task);
    QLineSeries *rate = nullptr;
    for (QAbstractSeries *series : Child<QChartView>("chartStats")->chart()->series())
        if (series->objectName() == QStringLiteral("seriesTransferRate"))
            rate = qobject_cast<QLineSeries *>(series);
    ASSERT_NE(rate, nullptr);
    panel->AddSample(10, 60, 1, 600.0); // a whole minute
    panel->AddSample(10, 61, 1, 610.0);
    panel->AddSample(10, 61, 1, 620.0); // the same second, from another slot
    // The graph is redrawn once a second, not at every sample.
    EXPECT_EQ(rate->count(), 0);
    ASSERT_TRUE(test::PumpUntil([&] { return rate->count() > 0; }));
    ASSERT_EQ(rate->count(), 1);
    EXPECT_EQ(rate->at(0), QPointF(61, 10));

    for (int second = 62; second <= 86400; ++second)
        panel->AddSample(10, second, 1, 10.0 * second);
    ASSERT_TRUE(test::PumpUntil([&] { return rate->count() > 1; }));
    EXPECT_LE(rate->count(), TFormStatus::kMaxChartPoints);
    EXPECT_GE(rate->count(), 1000);
    EXPECT_EQ(rate->at(rate->count() - 1).x(), 86399.0);
    panel->ClearStats();
    EXPECT_EQ(rate->count(), 0);
    EXPECT_EQ(Child<QLCDNumber>("ledTotalBytes")->intValue(), 0);
}

} // namespace
} // namespace arvelo
