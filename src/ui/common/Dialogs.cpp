#include "ui/common/Dialogs.h"

#include "ui/common/Text.h"

#include <QApplication>
#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace arvelo {
namespace {


class TQtDialogs : public TDialogs {
public:
    std::string SaveFileName(QWidget *parent, const std::string &title, const std::string &folder,
                             const std::string &filter, const std::string &suffix) override
    {
        QFileDialog dialog(parent, Q(title), Q(folder), QtFileFilter(filter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(Q(suffix));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().front().toStdString()
                   : std::string();
    }

    std::string OpenFileName(QWidget *parent, const std::string &title, const std::string &folder,
                             const std::string &filter) override
    {
        return QFileDialog::getOpenFileName(parent, Q(title), Q(folder), QtFileFilter(filter)).toStdString();
    }

    std::string FolderName(QWidget *parent, const std::string &title, const std::string &start) override
    {
        return QFileDialog::getExistingDirectory(parent, Q(title), Q(start)).toStdString();
    }

    StringList OpenFileNames(QWidget *parent, const std::string &title, const std::string &folder,
                             const std::string &filter) override
    {
        StringList files;
        for (const QString &file : QFileDialog::getOpenFileNames(parent, Q(title), Q(folder), QtFileFilter(filter)))
            files.push_back(file.toStdString());
        return files;
    }

    TZipReplaceAnswer ReplaceFile(QWidget *parent, const std::string &existing, const std::string &incoming) override
    {
        QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(),
                        Q("Replace File : " + existing + "\rWith File: " + incoming),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::YesToAll, parent);
        box.button(QMessageBox::YesToAll)->setText(QStringLiteral("All"));
        switch (box.exec()) {
        case QMessageBox::Yes: return zraYes;
        case QMessageBox::No: return zraNo;
        case QMessageBox::YesToAll: return zraAll;
        default: return zraCancel;
        }
    }

    bool ConfirmTrash(QWidget *parent, const std::string &file) override
    {
        return QMessageBox::question(parent, QStringLiteral("Confirm File Delete"),
                                     Q("Are you sure you want to move '" + file + "' to the Trash?")) ==
               QMessageBox::Yes;
    }
};

TQtDialogs qtDialogs;
TDialogs *current = &qtDialogs;

} // namespace

TDialogs &Dialogs() { return *current; }

void SetDialogs(TDialogs *dialogs) { current = dialogs ? dialogs : &qtDialogs; }

QString QtFileFilter(const std::string &filter)
{
    // Descriptions and patterns alternate; Qt reads the patterns from the
    // descriptions, which already name them.
    QStringList parts = Q(filter).split(QLatin1Char('|'));
    QStringList descriptions;
    for (int i = 0; i < parts.size(); i += 2)
        descriptions << (i + 1 < parts.size() && !parts[i].contains(QLatin1Char('('))
                             ? parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')')
                             : parts[i]);
    return descriptions.join(QStringLiteral(";;"));
}

} // namespace arvelo
