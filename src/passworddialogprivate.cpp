#include "passworddialogprivate.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace Quillmark {
namespace Internal {

PasswordDialogPrivate::PasswordDialogPrivate(const QString &prompt)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto promptLabel = new QLabel(prompt, this);
    promptLabel->setObjectName("promptLabel");
    // The tool's line is shown as printed, never interpreted as rich text.
    promptLabel->setTextFormat(Qt::PlainText);

    m_passwordLineEdit = new QLineEdit(this);
    m_passwordLineEdit->setObjectName("passwordLineEdit");
    m_passwordLineEdit->setEchoMode(QLineEdit::Password);

    m_errorLabel = new QLabel(this);
    m_errorLabel->setObjectName("errorLabel");
    m_errorLabel->setStyleSheet("color: red");
    m_errorLabel->hide();

    auto buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttonBox->setObjectName("buttonBox");

    auto formLayout = new QFormLayout;
    formLayout->addRow(tr("Password:"), m_passwordLineEdit);

    auto layout = new QVBoxLayout(this);
    layout->addWidget(promptLabel);
    layout->addLayout(formLayout);
    layout->addWidget(m_errorLabel);
    layout->addWidget(buttonBox);

    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttonBox, &QDialogButtonBox::accepted, this, &PasswordDialogPrivate::validate);

    m_passwordLineEdit->setFocus();
}

QString PasswordDialogPrivate::password() const
{
    return m_passwordLineEdit->text();
}

void PasswordDialogPrivate::clearPassword()
{
    m_passwordLineEdit->clear();
}

void PasswordDialogPrivate::validate()
{
    static const QRegularExpression lineBreak("\r\n|\r|\n");
    const QString text = m_passwordLineEdit->text();
    if (text.isEmpty())
        showError(tr("Password can't be empty"));
    else if (text.contains(lineBreak))
        showError(tr("Password contains invalid newline characters"));
    else
        accept();
}

void PasswordDialogPrivate::showError(const QString &message)
{
    m_errorLabel->setText(message);
    m_errorLabel->show();
}

QString getPassword(const QString &prompt, bool *ok, QPointer<QDialog> *openDialog)
{
    auto dialog = new PasswordDialogPrivate(prompt);
    if (openDialog)
        *openDialog = dialog;
    const bool accepted = dialog->exec() == QDialog::Accepted;
    const QString passPhrase = accepted ? dialog->password() : QString();
    dialog->clearPassword();
    dialog->deleteLater();
    if (ok)
        *ok = accepted;
    return passPhrase;
}

} // namespace Internal
} // namespace Quillmark
