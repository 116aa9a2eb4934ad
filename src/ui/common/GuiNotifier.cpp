#include "ui/common/GuiNotifier.h"

#include "core/Version.h"
#include "core/WindowThread.h"

#include <QApplication>
#include <QMessageBox>

#include <algorithm>

namespace arvelo {
namespace {

QString Title() { return QString::fromLatin1(kProductName); }

} // namespace

void TGuiNotifier::Error(const std::string &text) { Queue({true, text}); }

void TGuiNotifier::Information(const std::string &text) { Queue({false, text}); }

void TGuiNotifier::Queue(TMessage message)
{
    PostToWindowThread([this, message = std::move(message)]() mutable {
        bool repeated = (shown_ && shownText_ == message.text) ||
                        std::any_of(waiting_.begin(), waiting_.end(),
                                    [&](const TMessage &m) { return m.text == message.text; });
        if (repeated)
            return;
        waiting_.push_back(std::move(message));
        if (!shown_)
            ShowNext();
    });
}

void TGuiNotifier::ShowNext()
{
    if (waiting_.empty())
        return;
    TMessage message = std::move(waiting_.front());
    waiting_.pop_front();
    auto *box = new QMessageBox(message.error ? QMessageBox::Critical : QMessageBox::Information, Title(),
                                QString::fromStdString(message.text), QMessageBox::Ok,
                                QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    shownText_ = message.text;
    shown_ = box;
    QObject::connect(box, &QMessageBox::finished, box, [this] {
        shown_ = nullptr;
        shownText_.clear();
        // The next box once this one has gone.
        PostToWindowThread([this] { ShowNext(); });
    });
    box->open();
}

bool TGuiNotifier::Confirm(const std::string &text)
{
    bool yes = false;
    RunInWindowThread([&] {
        yes = QMessageBox::question(QApplication::activeWindow(), Title(), QString::fromStdString(text),
                                    QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    });
    return yes;
}

void TGuiNotifier::Beep() { PostToWindowThread([] { QApplication::beep(); }); }

} // namespace arvelo
