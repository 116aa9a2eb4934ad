#include "core/AppPaths.h"
#include "core/FileUtils.h"
#include "core/Settings.h"
#include "ui/editors/DlgOptions.h"
#include "ui/support/Modal.h"
#include "ui/support/Screenshot.h"
#include "ui/support/WindowFixture.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <cstdlib>

namespace arvelo {
namespace {

class DlgOptions : public test::WindowFixture {
protected:
    void TearDown() override
    {
        test::ForgetModalWatchers();
        ::unsetenv("http_proxy");
        WindowFixture::TearDown();
    }
    template <typename T>
    static T *In(const QWidget &parent, const char *name)
    {
        return test::NamedChild<T>(parent, name);
    }
};

TEST_F(DlgOptions, CancelChangesNothingButAClearedHistory)
{
    OpenWindow();
    WriteSetting(std::string(kRootKey) + "\\Recent URLs", "F0", std::string("http://a.example/"));
    Settings().Save();
    const std::string before = ReadFileBytes(SettingsFilePath());
    test::OnNextModal<TdlgOptions>([&](TdlgOptions &dialog) {
        EXPECT_EQ(dialog.windowTitle().toStdString(), "Arvelo - Preferences");
        In<QLineEdit>(dialog, "edMaxURLHistory")->setText(QStringLiteral("3"));
        In<QCheckBox>(dialog, "cbZipLast")->setChecked(true);
        In<QLineEdit>(dialog, "edAddress")->setText(QStringLiteral("proxy"));
        test::Screenshot(dialog, "general");
        QTest::mouseClick(In<QPushButton>(dialog, "TransparentButton3"), Qt::LeftButton);
    });
    window->findChild<QAction *>(QStringLiteral("miPreferences"))->trigger();
    EXPECT_EQ(ReadFileBytes(SettingsFilePath()), before);

    notifier.answer = true;
    test::OnNextModal<TdlgOptions>([&](TdlgOptions &dialog) {
        QTest::mouseClick(In<QPushButton>(dialog, "btnURLHistoryClear"), Qt::LeftButton);
        QTest::mouseClick(In<QPushButton>(dialog, "TransparentButton3"), Qt::LeftButton);
    });
    window->findChild<QAction *>(QStringLiteral("miPreferences"))->trigger();
    EXPECT_EQ(notifier.questions.back(), "Clear all items in your recently typed URL's list?");
    EXPECT_TRUE(LoadSettingList(std::string(kRootKey) + "\\Recent URLs").empty());
}

TEST_F(DlgOptions, TheDesktopsProxyIsOfferedOnceAndYesFillsIt)
{
    ::setenv("http_proxy", "http://proxy.example:3128/", 1);
    OpenWindow();
    notifier.answer = true;
    std::string address, port;
    bool proxy = false;
    test::OnNextModal<TdlgOptions>([&](TdlgOptions &dialog) {
        QTest::qWait(50); // the question comes once the dialog shows
        address = In<QLineEdit>(dialog, "edAddress")->text().toStdString();
        port = In<QLineEdit>(dialog, "edPort")->text().toStdString();
        proxy = In<QCheckBox>(dialog, "cbProxy")->isChecked();
        EXPECT_EQ(In<QTabWidget>(dialog, "PageControl1")->currentIndex(), TdlgOptions::kConnection);
        test::Screenshot(dialog, "connection");
        QTest::mouseClick(In<QPushButton>(dialog, "TransparentButton2"), Qt::LeftButton);
    });
    window->findChild<QAction *>(QStringLiteral("miPreferences"))->trigger();
    EXPECT_EQ(notifier.questions.size(), 1u);
    EXPECT_EQ(address, "proxy.example");
    EXPECT_EQ(port, "3128");
    EXPECT_TRUE(proxy);
    EXPECT_TRUE(app->UseProxy());
    EXPECT_EQ(app->ProxyAddress(), "proxy.example");
}

} // namespace
} // namespace arvelo
