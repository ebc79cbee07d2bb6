#pragma once

#include <QObject>

QT_BEGIN_NAMESPACE
class QDialog;
class QLineEdit;
QT_END_NAMESPACE

namespace ProjectExplorer {
namespace Internal {

class TerminalPrompt;

// In a headless build nobody sees a dialog, so none may wait for an answer. A modal dialog that
// asks for a pass phrase (it has a line edit in password mode) is answered from the terminal,
// without echo, and asked again as long as the dialog refuses the answer; without a terminal it is
// rejected at once and passPhraseRefused() quotes its question. Any other modal dialog is
// rejected and reported.
class HeadlessDialogAnswerer : public QObject
{
    Q_OBJECT

public:
    explicit HeadlessDialogAnswerer(QObject *parent = nullptr);
    ~HeadlessDialogAnswerer() override;

signals:
    void passPhraseRefused(const QString &message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void answer(QDialog *dialog);
    void answerFromTerminal(QDialog *dialog, QLineEdit *field, TerminalPrompt &terminal);
};

} // namespace Internal
} // namespace ProjectExplorer
