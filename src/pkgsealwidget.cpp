#include "pkgsealwidget.h"
#include "ui_pkgsealwidget.h"

#include <utils/fancylineedit.h>
#include <utils/pathchooser.h>

namespace Quillmark {
namespace Internal {

namespace {

const int DefaultKeysRow = 0;

// Paths name files in the build engine, which may not exist on the host.
bool acceptAnyPath(Utils::FancyLineEdit *, QString *)
{
    return true;
}

} // namespace

PkgsealWidget::PkgsealWidget()
    : m_ui(new Ui::PkgsealWidget)
{
    m_ui->setupUi(this);

    connect(m_ui->keyPathChooser,
            &Utils::PathChooser::pathChanged,
            this,
            &PkgsealWidget::keyChanged);
    connect(m_ui->certificatePathChooser,
            &Utils::PathChooser::pathChanged,
            this,
            &PkgsealWidget::certificateChanged);

    m_ui->keyPathChooser->setExpectedKind(Utils::PathChooser::File);
    m_ui->keyPathChooser->setPromptDialogTitle(tr("User private key for signing the package"));
    m_ui->keyPathChooser->setValidationFunction(acceptAnyPath);

    m_ui->certificatePathChooser->setExpectedKind(Utils::PathChooser::File);
    m_ui->certificatePathChooser->setPromptDialogTitle(tr("Certificate to be used in signature"));
    m_ui->certificatePathChooser->setValidationFunction(acceptAnyPath);

    m_ui->keysTypeComboBox->addItem(tr("Default"));
    m_ui->keysTypeComboBox->addItem(tr("Custom keys"));
    m_ui->keysTypeComboBox->setCurrentIndex(DefaultKeysRow);

    connect(m_ui->keysTypeComboBox,
            QOverload<int>::of(&QComboBox::currentIndexChanged),
            this,
            &PkgsealWidget::onKeysTypeChanged);
    onKeysTypeChanged(m_ui->keysTypeComboBox->currentIndex());
}

PkgsealWidget::~PkgsealWidget()
{
    delete m_ui;
}

void PkgsealWidget::setUseDefaultValues(bool useDefault)
{
    m_ui->keysTypeComboBox->setCurrentIndex(useDefault ? DefaultKeysRow : DefaultKeysRow + 1);
}

// The fields show the step's own paths in either mode: "Custom keys" uses them.
void PkgsealWidget::setKey(const QString &filePath)
{
    if (!filePath.isEmpty())
        m_ui->keyPathChooser->setPath(filePath);
}

void PkgsealWidget::setCertificate(const QString &filePath)
{
    if (!filePath.isEmpty())
        m_ui->certificatePathChooser->setPath(filePath);
}

void PkgsealWidget::onKeysTypeChanged(int row)
{
    const bool custom = row != DefaultKeysRow;
    m_ui->keyPathChooser->setVisible(custom);
    m_ui->certificatePathChooser->setVisible(custom);
    m_ui->keyLabel->setVisible(custom);
    m_ui->certificateLabel->setVisible(custom);

    emit useDefaultValuesChanged(!custom);

    m_ui->keysTypeLabel->setText(custom ? tr("Custom keys are used") : tr("Global keys are used"));
}

} // namespace Internal
} // namespace Quillmark
