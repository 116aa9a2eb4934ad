#include "ui/support/Screenshot.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPixmap>
#include <QWidget>

namespace arvelo::test {

std::string Screenshot(QWidget &widget, const std::string &name)
{
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    QString folder = QStringLiteral(ARVELO_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    QString file = folder + QStringLiteral("/%1.%2-%3.png")
                                .arg(QString::fromLatin1(test->test_suite_name()), QString::fromLatin1(test->name()),
                                     QString::fromStdString(name));
    EXPECT_TRUE(widget.grab().save(file)) << file.toStdString();
    return file.toStdString();
}

} // namespace arvelo::test
