#include "ui/main/DlgSelectSkin.h"

#include "core/App.h"
#include "core/Version.h"
#include "shell/Skin.h"
#include "ui/common/Colours.h"
#include "ui/common/SkinPictures.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace arvelo {

TdlgSelectSkin::TdlgSelectSkin(std::function<void()> apply, QWidget *parent)
    : QDialog(parent), apply_(std::move(apply)), opened_(TAVApp::Instance()->Skin())
{
    setObjectName(QStringLiteral("dlgSelectSkin"));
    setWindowTitle(QStringLiteral("Select Skin"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#dlgSelectSkin { background: %1; } #dlgSelectSkin > QLabel { color: white; }")
                      .arg(CssColour(TAVApp::Instance()->Palette().colour[1])));

    lbSkins = new QListWidget(this);
    lbSkins->setObjectName(QStringLiteral("lbSkins"));
    const TSkin current = TSkin::Current();
    for (const std::string &name : SkinNames(SkinsFolders())) {
        lbSkins->addItem(QString::fromStdString(name));
        if (name == current.Name())
            lbSkins->setCurrentRow(lbSkins->count() - 1);
    }
    // A click previews: the skin is stored and shown at once.
    connect(lbSkins, &QListWidget::currentTextChanged, this, [this](const QString &name) {
        if (!name.isEmpty())
            Choose(name.toStdString());
    });

    imgPreview = new QWidget(this);
    imgPreview->setObjectName(QStringLiteral("imgPreview"));
    imgPreview->setAutoFillBackground(true);
    lblGlyphs = new QLabel(this);
    lblGlyphs->setObjectName(QStringLiteral("lblGlyphs"));
    lblGlyphs->setAlignment(Qt::AlignCenter);
    lblGlyphs->setMinimumHeight(40);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnDownload = new QPushButton(QStringLiteral("&Download"), this);
    btnDownload->setObjectName(QStringLiteral("btnDownload"));
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnDownload, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomePage) + QStringLiteral("skins/"))); });

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    buttons->addStretch(1);
    buttons->addWidget(btnDownload);
    auto *top = new QHBoxLayout;
    top->addWidget(lbSkins, 1);
    top->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(imgPreview);
    layout->addWidget(lblGlyphs);
    resize(360, 280);
    ShowPreview();
}

void TdlgSelectSkin::Choose(const std::string &name)
{
    TAVApp::Instance()->SetSkin(name);
    if (apply_)
        apply_();
    ShowPreview();
}

// The chosen skin's banner and glyphs, so the dialog shows it too.
void TdlgSelectSkin::ShowPreview()
{
    const TSkin skin = TSkin::Current();
    ShowSkinBanner(*imgPreview, skin);

    const char *pictures[] = {skin::kNew, skin::kOpen, skin::kDownloads, skin::kArveloMode, skin::kIntranetMode,
                              skin::kAddToZip, skin::kHelp, skin::kGo, skin::kRun, skin::kStop};
    QPixmap strip(int(std::size(pictures)) * 28, 28);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    int x = 0;
    for (const char *picture : pictures) {
        const QPixmap glyph = SkinGlyph(skin, picture);
        if (!glyph.isNull())
            painter.drawPixmap(x + (28 - glyph.width()) / 2, (28 - glyph.height()) / 2, glyph);
        x += 28;
    }
    painter.end();
    lblGlyphs->setPixmap(strip);
    update();
}

void TdlgSelectSkin::reject()
{
    if (TAVApp::Instance()->Skin() != opened_) {
        TAVApp::Instance()->SetSkin(opened_);
        if (apply_)
            apply_();
    }
    QDialog::reject();
}

} // namespace arvelo
