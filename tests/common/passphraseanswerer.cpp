#include "passphraseanswerer.h"

#include <passworddialogprivate.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using Quillmark::Internal::PasswordDialogPrivate;

PassPhraseAnswerer::PassPhraseAnswerer(const QList<Action> &actions)
    : m_actions(actions)
{
    connect(&m_timer, &QTimer::timeout, this, &PassPhraseAnswerer::answerOpenDialog);
    m_timer.start(10);
}

PassPhraseAnswerer::Action PassPhraseAnswerer::typeAndConfirm(const QString &passPhrase)
{
    return [passPhrase](PasswordDialogPrivate *dialog) {
        // keyClicks() knows ASCII only; other letters arrive as key events with their text.
        for (const QChar c : passPhrase)
            QTest::sendKeyEvent(QTest::Click, field(dialog), Qt::Key_unknown, c, Qt::NoModifier);
        press(dialog, QDialogButtonBox::Ok);
    };
}

PassPhraseAnswerer::Action PassPhraseAnswerer::cancel()
{
    return [](PasswordDialogPrivate *dialog) { press(dialog, QDialogButtonBox::Cancel); };
}

QLineEdit *PassPhraseAnswerer::field(PasswordDialogPrivate *dialog)
{
    return dialog->findChild<QLineEdit *>("passwordLineEdit");
}

QLabel *PassPhraseAnswerer::errorLabel(PasswordDialogPrivate *dialog)
{
    return dialog->findChild<QLabel *>("errorLabel");
}

void PassPhraseAnswerer::press(PasswordDialogPrivate *dialog, int standardButton)
{
    auto buttonBox = dialog->findChild<QDialogButtonBox *>("buttonBox");
    QTest::mouseClick(buttonBox->button(QDialogButtonBox::StandardButton(standardButton)),
                      Qt::LeftButton);
}

void PassPhraseAnswerer::answerOpenDialog()
{
    auto dialog = qobject_cast<PasswordDialogPrivate *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible())
        return;
    if (dialog != m_lastDialog) {
        m_lastDialog = dialog;
        m_prompts << dialog->findChild<QLabel *>("promptLabel")->text();
        if (!m_actions.isEmpty()) {
            m_actions.takeFirst()(dialog);
            return;
        }
    }
    // A dialog that no action is left for, or that its action left open, is cancelled, so that
    // an unexpected prompt fails the test instead of hanging it.
    press(dialog, QDialogButtonBox::Cancel);
}
