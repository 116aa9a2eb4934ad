#include "ui/browse/DlgAutoArvelo.h"

#include "ui/common/Text.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace arvelo {

TdlgAutoArvelo::TdlgAutoArvelo(const std::string &address, const StringList &profiles, QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("dlgAutoArvelo"));
    setWindowTitle(QStringLiteral("Auto-Arvelo"));

    auto *header = new QWidget(this);
    auto *caption = new QLabel(QStringLiteral("Starting Address:"), header);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    lblURL = new QLabel(header);
    lblURL->setObjectName(QStringLiteral("lblURL"));
    lblURL->setWordWrap(true);
    lblURL->setTextFormat(Qt::PlainText);
    // A long address wraps after its slashes.
    lblURL->setText(Q(address).replace(QLatin1Char('/'), QStringLiteral("/\u200B")));
    auto *headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(8, 8, 8, 4);
    headerLayout->addWidget(caption);
    headerLayout->addWidget(lblURL);

    // One button per profile, then the wizard and Cancel, each as wide as the dialog.
    auto *buttons = new QWidget(this);
    auto *buttonsLayout = new QVBoxLayout(buttons);
    buttonsLayout->setContentsMargins(8, 0, 8, 0);
    buttonsLayout->setSpacing(0);
    auto add = [&](const QString &text, const char *name) {
        auto *button = new QPushButton(text, buttons);
        button->setObjectName(QString::fromLatin1(name));
        buttonsLayout->addWidget(button);
        return button;
    };
    for (const std::string &profile : profiles)
        connect(add(Q(profile), "btnProfile"), &QPushButton::clicked, this, [this, profile] {
            profile_ = profile;
            accept();
        });
    QPushButton *wizard = add(QStringLiteral("Use Arvelo Wizard..."), "btnWizard");
    connect(wizard, &QPushButton::clicked, this, &QDialog::accept);
    connect(add(QStringLiteral("Cancel"), "btnCancel"), &QPushButton::clicked, this, &QDialog::reject);
    wizard->setDefault(true);

    // Many profiles scroll rather than outgrow the screen.
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("sbProfiles"));
    scroll->setWidget(buttons);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(scroll, 1);

    const int width = 300;
    header->setFixedWidth(width);
    const int buttonHeight = wizard->sizeHint().height();
    const int wanted = (static_cast<int>(profiles.size()) + 2) * buttonHeight + header->heightForWidth(width) + 16;
    QScreen *screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    resize(width, std::min(wanted, area.height() * 4 / 5));
    move(area.center() - rect().center());
}

} // namespace arvelo
