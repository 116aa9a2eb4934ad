#include "archive/ZipBrowser.h"
#include "core/FileUtils.h"
#include "crawl/Engine.h"
#include "model/Task.h"
#include "support/ChildProcess.h"
#include "support/ScriptedServer.h"
#include "ui/editors/DlgEditTask.h"
#include "ui/support/Modal.h"
#include "ui/common/Text.h"
#include "ui/main/SingleInstance.h"
#include "ui/support/WindowFixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPushButton>
#include <QTest>
#include <QtEndian>

#include <zip.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <future>
#include <memory>

namespace arvelo {
namespace {

using test::PumpUntil;
using TRole = TSingleInstance::TRole;

void WriteArchive(const std::string &file)
{
    int error = 0;
    zip_t *archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    static const char page[] = "<html><body>site</body></html>";
    zip_file_add(archive, "index.htm", zip_source_buffer(archive, page, sizeof page - 1, 0), ZIP_FL_ENC_UTF_8);
    ASSERT_EQ(zip_close(archive), 0);
}

// A second start in its own thread: the first, on this one, must go on
// answering while the second waits.
class SecondStart {
public:
    SecondStart(const std::string &home, QStringList arguments)
        : result_(std::async(std::launch::async, [home, arguments] {
              TSingleInstance second(Q(home));
              return second.Start(arguments);
          }))
    {
    }
    // Pumps this thread's events until the second start has ended.
    TRole Result()
    {
        PumpUntil([this] { return result_.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 15);
        return result_.get();
    }

private:
    std::future<TRole> result_;
};

class SingleInstance : public test::WindowFixture {
protected:
    void TearDown() override
    {
        test::ForgetModalWatchers();
        WindowFixture::TearDown();
    }
    // A message header: how many arguments, and the length of the first.
    static QByteArray Header(quint32 count, quint32 length)
    {
        QByteArray bytes(8, '\0');
        qToBigEndian(count, bytes.data());
        qToBigEndian(length, bytes.data() + 4);
        return bytes;
    }
};

TEST_F(SingleInstance, EachArgumentReachesTheFirstAndIsOpenedByItsKind)
{
    OpenWindow();
    TSingleInstance first(Q(Home()));
    ASSERT_EQ(first.Start({}), TRole::kFirst);
    std::vector<QStringList> received;
    QObject::connect(&first, &TSingleInstance::ArgumentsReceived, window.get(), [&](const QStringList &arguments) {
        received.push_back(arguments);
        window->OpenHandedOver(arguments);
    });

    ForceFolders(Path("elsewhere/"));
    TAVTask task;
    task.taskName = "Handed";
    task.category = "General";
    task.intranetMode = true;
    task.profile.profileName = "Custom";
    task.taskFile = Path("elsewhere/Handed.AVT");
    task.url = "http://127.0.0.1:1/";
    task.destination = Path("copy/");
    task.Save();
    WriteArchive(Path("elsewhere/site.zip"));
    const size_t tasksBefore = window->Engine().tasks.Tasks().size();
    // "Add a Task" shows the task before adding it.
    test::OnNextModal<TdlgEditTask>([this](TdlgEditTask &editor) {
        QTest::mouseClick(editor.btnOK, Qt::LeftButton);
        if (editor.isVisible()) {
            ADD_FAILURE() << (notifier.errors.empty() ? "" : notifier.errors.back());
            editor.reject();
        }
    });

    const QStringList arguments = {Q(Path("elsewhere/Handed.AVT")), Q(Path("elsewhere/site.zip")),
                                   QStringLiteral("http://127.0.0.1:1/page.htm"), QStringLiteral("notes.txt"),
                                   QStringLiteral("relative/other.zip")};
    EXPECT_EQ(SecondStart(Home(), arguments).Result(), TRole::kHandedOver);
    ASSERT_TRUE(PumpUntil([&] { return !received.empty(); }));
    // Relative paths arrive made absolute against the second start's folder.
    const QStringList expected = {arguments[0], arguments[1], arguments[2],
                                  QDir::current().absoluteFilePath(QStringLiteral("notes.txt")),
                                  QDir::current().absoluteFilePath(QStringLiteral("relative/other.zip"))};
    EXPECT_EQ(received.front(), expected);
    // The task is added and the archive opened; the address and the text
    // file are ignored, and the missing archive is only reported.
    EXPECT_TRUE(PumpUntil([&] { return window->Engine().tasks.Tasks().size() == tasksBefore + 1; }));
    EXPECT_TRUE(PumpUntil([&] { return window->Archives().TreeModel().Tree().Find(Path("elsewhere/site.zip")) != nullptr; }));

    // Without arguments: the window comes back from hiding.
    window->hide();
    EXPECT_EQ(SecondStart(Home(), {}).Result(), TRole::kHandedOver);
    EXPECT_TRUE(PumpUntil([&] { return window->isVisible(); }));
}

TEST_F(SingleInstance, HostileConnectionsAreDroppedWhileOthersAreServed)
{
    TSingleInstance first(Q(Home()));
    ASSERT_EQ(first.Start({}), TRole::kFirst);
    int messages = 0;
    QObject::connect(&first, &TSingleInstance::ArgumentsReceived, &first, [&] { ++messages; });
    const QString socketPath = TSingleInstance::ServerPath(Q(Home()));

    // An argument over the limit, and more arguments than allowed: the
    // connection is closed as soon as the header says so.
    for (const QByteArray &header : {Header(1, TSingleInstance::kMaxArgumentBytes + 1),
                                     Header(TSingleInstance::kMaxArguments + 1, 1)}) {
        QLocalSocket hostile;
        hostile.connectToServer(socketPath);
        ASSERT_TRUE(hostile.waitForConnected(2000));
        hostile.write(header);
        hostile.flush();
        EXPECT_TRUE(PumpUntil([&] { return hostile.state() == QLocalSocket::UnconnectedState; }, 5));
    }
    // A connection that sends nothing does not hold up the next start.
    QLocalSocket silent;
    silent.connectToServer(socketPath);
    ASSERT_TRUE(silent.waitForConnected(2000));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(SecondStart(Home(), {QStringLiteral("/x.zip")}).Result(), TRole::kHandedOver);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_TRUE(PumpUntil([&] { return messages == 1; }));
    // ... and is dropped in the end.
    EXPECT_TRUE(PumpUntil([&] { return silent.state() == QLocalSocket::UnconnectedState; }, 10));
}

// The real program, started as a user's desktop starts it.
class SingleInstanceProcess : public test::TestHome {
protected:
    std::unique_ptr<test::TChildProcess> Start(const std::vector<std::string> &arguments = {},
                                               const std::string &folder = {})
    {
        std::vector<std::string> argv = {ARVELO_GUI_PATH};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return std::make_unique<test::TChildProcess>(argv, folder);
    }
    // Waits until a program serves the data folder.
    static bool Serving(const std::string &home)
    {
        const QString socketPath = TSingleInstance::ServerPath(Q(home));
        return PumpUntil(
            [&] {
                QLocalSocket probe;
                probe.connectToServer(socketPath);
                return probe.waitForConnected(100);
            },
            30);
    }
    static bool Running(test::TChildProcess &process) { return process.Wait(0) == -1; }
};

TEST_F(SingleInstanceProcess, ASecondStartHandsARelativeArchiveOverAndEnds)
{
    auto first = Start();
    ASSERT_TRUE(Serving(Home()));
    ForceFolders(Path("other/"));
    WriteArchive(Path("other/site.zip"));

    QElapsedTimer clock;
    clock.start();
    auto second = Start({"site.zip"}, Path("other/"));
    EXPECT_EQ(second->Wait(5), 0) << second->Errors();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(second->Output(), "");
    // The first opened it: its full path heads the recent archives.
    EXPECT_TRUE(PumpUntil(
        [&] { return ReadFile("settings.reg").find("\"F0\"=\"" + Path("other/site.zip") + "\"") != std::string::npos; },
        10))
        << ReadFile("settings.reg");
    EXPECT_TRUE(Running(*first));
}

TEST_F(SingleInstanceProcess, OneOfSimultaneousStartsServesAndADeadOneIsReplaced)
{
    std::vector<std::unique_ptr<test::TChildProcess>> starts;
    for (int i = 0; i < 5; ++i)
        starts.push_back(Start());
    ASSERT_TRUE(Serving(Home()));
    // Four hand over (nothing to hand: the window comes up) and end.
    std::vector<int> statuses(starts.size(), -1);
    PumpUntil(
        [&] {
            for (size_t i = 0; i < starts.size(); ++i)
                if (statuses[i] == -1)
                    statuses[i] = starts[i]->Wait(0);
            return std::count(statuses.begin(), statuses.end(), 0) == 4;
        },
        10);
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 0), 4);
    test::TChildProcess *serving = nullptr;
    for (size_t i = 0; i < starts.size(); ++i)
        if (statuses[i] != 0)
            serving = starts[i].get();
    ASSERT_NE(serving, nullptr);
    ASSERT_TRUE(Running(*serving));

    // A program killed outright leaves its lock and socket: the next start serves.
    serving->Signal(SIGKILL);
    serving->Wait(5);
    auto next = Start();
    ASSERT_TRUE(Serving(Home()));
    EXPECT_TRUE(Running(*next));
    auto handing = Start({"x.zip"});
    EXPECT_EQ(handing->Wait(5), 0) << handing->Errors();

    // Another data folder gets a program of its own.
    const std::string otherHome = Path("second-home/");
    ForceFolders(otherHome);
    const std::string ownHome = Home();
    ::setenv("ARVELO_HOME", otherHome.c_str(), 1);
    auto other = Start();
    ::setenv("ARVELO_HOME", ownHome.c_str(), 1);
    ASSERT_TRUE(Serving(otherHome));
    EXPECT_TRUE(Running(*other));
    EXPECT_TRUE(Running(*next));
}

} // namespace
} // namespace arvelo
