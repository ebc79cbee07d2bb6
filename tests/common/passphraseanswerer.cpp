#include "passphraseanswerer.h"

#include <passworddialogprivate.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using Quillmark::Internal::PasswordDialogPrivate;

PassPhraseAnswerer::PassPhraseAnswerer(const QList<Action> &actions)
    : m_answerer(onPassPhraseDialogs(actions), [this](QDialog *dialog) {
        if (auto prompt = dialog->findChild<QLabel *>("promptLabel"))
            m_prompts << prompt->text();
    })
{}

// Another dialog in place of a pass-phrase dialog is rejected, like one beyond the actions.
QList<ModalDialogAnswerer::Action> PassPhraseAnswerer::onPassPhraseDialogs(
    const QList<Action> &actions)
{
    QList<ModalDialogAnswerer::Action> result;
    for (const Action &action : actions) {
        result << [action](QDialog *dialog) {
            if (auto passPhraseDialog = qobject_cast<PasswordDialogPrivate *>(dialog))
                action(passPhraseDialog);
        };
    }
    return result;
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
