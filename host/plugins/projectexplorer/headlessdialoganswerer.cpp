#include "headlessdialoganswerer.h"

#include "interruptwatcher.h"
#include "terminalprompt.h"

#include <coreplugin/terminaloutput.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace ProjectExplorer {
namespace Internal {

static QLineEdit *passPhraseField(QDialog *dialog)
{
    const QList<QLineEdit *> fields = dialog->findChildren<QLineEdit *>();
    for (QLineEdit *field : fields) {
        if (field->isVisibleTo(dialog)
            && (field->echoMode() == QLineEdit::Password
                || field->echoMode() == QLineEdit::PasswordEchoOnEdit)) {
            return field;
        }
    }
    return nullptr;
}

// What the dialog says: its shown labels, except those that name a field.
static QStringList shownTexts(QDialog *dialog)
{
    QStringList texts;
    const QList<QLabel *> labels = dialog->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (label->isVisibleTo(dialog) && !label->buddy() && !label->text().trimmed().isEmpty())
            texts.append(label->text().trimmed());
    }
    return texts;
}

static QString questionOf(QDialog *dialog)
{
    const QStringList texts = shownTexts(dialog);
    return texts.isEmpty() ? dialog->windowTitle() : texts.join(' ');
}

// Presses OK as the user would, so that the dialog checks the answer itself.
static void pressOk(QDialog *dialog)
{
    auto buttons = dialog->findChild<QDialogButtonBox *>();
    QPushButton *ok = buttons ? buttons->button(QDialogButtonBox::Ok) : nullptr;
    if (ok)
        ok->click();
    else
        dialog->accept();
}

HeadlessDialogAnswerer::HeadlessDialogAnswerer(QObject *parent)
    : QObject(parent)
{
    qApp->installEventFilter(this);
}

HeadlessDialogAnswerer::~HeadlessDialogAnswerer()
{
    qApp->removeEventFilter(this);
}

bool HeadlessDialogAnswerer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show) {
        auto dialog = qobject_cast<QDialog *>(watched);
        if (dialog && dialog->isModal()) {
            // Answered from inside the dialog's own event loop, once it runs.
            const QPointer<QDialog> shown(dialog);
            QMetaObject::invokeMethod(
                this,
                [this, shown] {
                    if (shown && shown->isVisible())
                        answer(shown);
                },
                Qt::QueuedConnection);
        }
    }
    return false;
}

void HeadlessDialogAnswerer::answer(QDialog *dialog)
{
    const QString question = questionOf(dialog);
    QLineEdit *field = passPhraseField(dialog);
    if (!field) {
        dialog->reject();
        Core::TerminalOutput::writeMessage(
            tr("A dialog was closed unanswered, since nobody can answer it in a headless build: "
               "\"%1\"")
                .arg(question)
            + '\n');
        return;
    }
    TerminalPrompt terminal;
    if (!terminal.isOpen()) {
        dialog->reject();
        emit passPhraseRefused(
            tr("A pass phrase is needed, but there is no terminal to ask for it: \"%1\"")
                .arg(question));
        return;
    }
    answerFromTerminal(dialog, field, terminal);
}

void HeadlessDialogAnswerer::answerFromTerminal(QDialog *dialog,
                                                QLineEdit *field,
                                                TerminalPrompt &terminal)
{
    Core::TerminalOutput::setStatus(QString());
    Core::TerminalOutput::flush();
    const QString question = questionOf(dialog);
    const QStringList textsBefore = shownTexts(dialog);
    const QPointer<QDialog> guard(dialog);
    while (guard && guard->isVisible()) {
        QByteArray answer;
        if (!terminal.readHidden(question + ' ', &answer, &InterruptWatcher::isInterrupted)) {
            if (guard)
                guard->reject();
            return;
        }
        field->setText(QString::fromLocal8Bit(answer));
        answer.fill('\0');
        pressOk(dialog);
        if (!guard || !guard->isVisible())
            return;
        // Refused: tell why, as the dialog does, and ask again.
        for (const QString &text : shownTexts(dialog)) {
            if (!textsBefore.contains(text))
                terminal.writeLine(text);
        }
        field->clear();
    }
}

} // namespace Internal
} // namespace ProjectExplorer
