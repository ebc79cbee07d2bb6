#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

QT_BEGIN_NAMESPACE
class QDialog;
QT_END_NAMESPACE

// Answers the modal dialogs that open while a test runs, each with the next of its actions. A
// dialog that no action is left for, or that its action left open, is rejected and counted, so
// that an unexpected dialog fails the test instead of hanging it.
class ModalDialogAnswerer : public QObject
{
public:
    using Action = std::function<void(QDialog *)>;

    // shown sees every dialog once, as it comes up, before its action.
    explicit ModalDialogAnswerer(const QList<Action> &actions, const Action &shown = {});

    // The dialogs that had to be rejected.
    int unanswered() const { return m_unanswered; }

private:
    void answerOpenDialog();
    void answer(QDialog *dialog);

    QList<Action> m_actions;
    Action m_shown;
    QPointer<QDialog> m_lastDialog;
    bool m_answering = false;
    int m_unanswered = 0;
    QTimer m_timer;
};
