#include "modaldialoganswerer.h"

#include <QApplication>
#include <QDialog>

ModalDialogAnswerer::ModalDialogAnswerer(const QList<Action> &actions, const Action &shown)
    : m_actions(actions)
    , m_shown(shown)
{
    connect(&m_timer, &QTimer::timeout, this, &ModalDialogAnswerer::answerOpenDialog);
    m_timer.start(10);
}

void ModalDialogAnswerer::answerOpenDialog()
{
    auto dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible() || (m_answering && dialog == m_lastDialog))
        return;
    if (dialog != m_lastDialog) {
        m_lastDialog = dialog;
        if (m_shown)
            m_shown(dialog);
        if (!m_actions.isEmpty()) {
            answer(dialog);
            return;
        }
    }
    ++m_unanswered;
    dialog->reject();
}

// The action runs outside the poll, which goes on meanwhile: a dialog that the action opens in
// turn is answered too, while the dialog being answered is left to its action.
void ModalDialogAnswerer::answer(QDialog *dialog)
{
    m_answering = true;
    QTimer::singleShot(0,
                       this,
                       [this, action = m_actions.takeFirst(), dialog = QPointer<QDialog>(dialog)] {
                           if (dialog)
                               action(dialog);
                           m_answering = false;
                       });
}
