#pragma once

#include <QDialog>
#include <QPointer>

QT_BEGIN_NAMESPACE
class QLabel;
class QLineEdit;
QT_END_NAMESPACE

namespace Quillmark {
namespace Internal {

class PasswordDialogPrivate : public QDialog
{
    Q_OBJECT

public:
    explicit PasswordDialogPrivate(const QString &prompt);

    QString password() const;
    void clearPassword();

private:
    void validate();
    void showError(const QString &message);

    QLineEdit *m_passwordLineEdit = nullptr;
    QLabel *m_errorLabel = nullptr;
};

// Asks for a pass phrase; ok is false and the result empty when the user cancelled. While the
// dialog is open, *openDialog (when given) points to it, so that the caller can close it.
QString getPassword(const QString &prompt, bool *ok, QPointer<QDialog> *openDialog = nullptr);

} // namespace Internal
} // namespace Quillmark
