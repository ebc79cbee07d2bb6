#pragma once

#include "modaldialoganswerer.h"

#include <QStringList>

QT_BEGIN_NAMESPACE
class QLabel;
class QLineEdit;
QT_END_NAMESPACE

namespace Quillmark {
namespace Internal {
class PasswordDialogPrivate;
}
} // namespace Quillmark

// Answers the pass-phrase dialogs that open while a test runs, each with the next of its actions,
// as a user would: typing into the field and pressing the dialog's buttons. Every prompt shown
// is recorded, a dialog beyond the actions too, which is cancelled.
class PassPhraseAnswerer
{
public:
    using Action = std::function<void(Quillmark::Internal::PasswordDialogPrivate *)>;

    explicit PassPhraseAnswerer(const QList<Action> &actions);

    static Action typeAndConfirm(const QString &passPhrase);
    static Action cancel();

    static QLineEdit *field(Quillmark::Internal::PasswordDialogPrivate *dialog);
    static QLabel *errorLabel(Quillmark::Internal::PasswordDialogPrivate *dialog);
    static void press(Quillmark::Internal::PasswordDialogPrivate *dialog, int standardButton);

    QStringList prompts() const { return m_prompts; }

private:
    static QList<ModalDialogAnswerer::Action> onPassPhraseDialogs(const QList<Action> &actions);

    QStringList m_prompts;
    ModalDialogAnswerer m_answerer;
};
