#include "crawl/Engine.h"
#include "model/Task.h"
#include "support/ScriptedServer.h"
#include "ui/browse/DlgAutoArvelo.h"
#include "ui/support/Modal.h"
#include "ui/support/WindowFixture.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace arvelo {
namespace {

using test::PumpUntil;

class QuickStart : public test::WindowFixture {
protected:
    void TearDown() override
    {
        test::ForgetModalWatchers();
        WindowFixture::TearDown();
    }
    static std::vector<std::string> Buttons(const TdlgAutoArvelo &dialog)
    {
        std::vector<std::string> captions;
        for (const QPushButton *button : dialog.findChildren<QPushButton *>())
            captions.push_back(button->text().toStdString());
        return captions;
    }
};

TEST_F(QuickStart, WithoutProfilesOnlyTheWizardAndCancelAreOffered)
{
    OpenWindow();
    std::vector<std::string> buttons;
    std::string title, address;
    test::OnNextModal<TdlgAutoArvelo>([&](TdlgAutoArvelo &dialog) {
        buttons = Buttons(dialog);
        title = dialog.windowTitle().toStdString();
        address = test::NamedChild<QLabel>(dialog, "lblURL")->text().remove(QChar(0x200B)).toStdString();
        QTest::mouseClick(test::NamedChild<QPushButton>(dialog, "btnCancel"), Qt::LeftButton);
    });
    window->OpenTexts({"http://www.site.example/a/b.html"}, TOpenSource::kDrop);
    EXPECT_EQ(title, "Auto-Arvelo");
    EXPECT_EQ(address, "http://www.site.example/a/b.html");
    EXPECT_EQ(buttons, (std::vector<std::string>{"Use Arvelo Wizard...", "Cancel"}));
    EXPECT_TRUE(window->Engine().tasks.Tasks().empty());
}

TEST_F(QuickStart, AProfileButtonCopiesTheDroppedAddressWithThatProfile)
{
    StartServer();
    WriteProfile("Whole Site");
    WriteProfile("Pages Only");
    app->SetSaveMode(1);
    OpenWindow();
    std::vector<std::string> buttons;
    test::OnNextModal<TdlgAutoArvelo>([&](TdlgAutoArvelo &dialog) {
        buttons = Buttons(dialog);
        for (QPushButton *button : dialog.findChildren<QPushButton *>())
            if (button->text() == QStringLiteral("Whole Site"))
                QTest::mouseClick(button, Qt::LeftButton);
    });
    window->OpenTexts({server->URL("/index.html")}, TOpenSource::kArgument);
    EXPECT_EQ(buttons, (std::vector<std::string>{"Pages Only", "Whole Site", "Use Arvelo Wizard...", "Cancel"}));
    const auto &tasks = window->Engine().tasks.Tasks();
    ASSERT_EQ(tasks.size(), 1u);
    TAVTask *task = tasks.front().get();
    EXPECT_EQ(task->profile.profileName, "Whole Site");
    EXPECT_TRUE(PumpUntil([&] { return task->status == tsTaskComplete; }, 120)) << task->status;
}

} // namespace
} // namespace arvelo
