#include "core/App.h"
#include "support/ScriptedServer.h"
#include "ui/common/GuiNotifier.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>

#include <thread>

namespace arvelo {
namespace {

TEST(GuiNotifier, OneBoxAtATimeAndRepeatsFolded)
{
    TGuiNotifier notifier;
    notifier.Error("Disk full while zipping.");
    notifier.Error("Disk full while zipping.");
    // From a worker thread, as the engine's threads report.
    std::thread worker([&] { notifier.Information("All files extracted successfully."); });
    worker.join();
    notifier.Error("Disk full while zipping.");

    std::vector<std::string> shown;
    while (test::PumpUntil([&] { return notifier.Shown() != nullptr; }, 2)) {
        QMessageBox *box = notifier.Shown();
        shown.push_back((box->icon() == QMessageBox::Critical ? "error: " : "information: ") +
                        box->text().toStdString());
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        ASSERT_TRUE(test::PumpUntil([&] { return notifier.Shown() != box; }));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"error: Disk full while zipping.",
                                               "information: All files extracted successfully."}));
}

} // namespace
} // namespace arvelo
