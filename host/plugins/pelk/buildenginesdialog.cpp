#include "buildenginesdialog.h"

#include "buildengine.h"
#include "sdk.h"

#include <utils/pathchooser.h>

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace Pelk {
namespace Internal {

BuildEnginesDialog::BuildEnginesDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Build Engines"));
    auto layout = new QVBoxLayout(this);

    auto sdkLabel = new QLabel(tr("SDK: %1").arg(Sdk::installationPath()), this);
    sdkLabel->setObjectName("sdkLabel");
    layout->addWidget(sdkLabel);

    auto form = new QFormLayout;
    for (BuildEngine *engine : Sdk::buildEngines()) {
        auto chooser = new Utils::PathChooser(this);
        chooser->setObjectName(engine->name());
        chooser->setExpectedKind(Utils::PathChooser::ExistingDirectory);
        chooser->setPromptDialogTitle(tr("Shared Source Folder of %1").arg(engine->name()));
        chooser->setFilePath(engine->sharedSrcPath());
        form->addRow(tr("%1, shared source folder:").arg(engine->name()), chooser);
        m_rows.append({engine, chooser});
    }
    if (m_rows.isEmpty())
        form->addRow(new QLabel(tr("The SDK has no build engines."), this));
    layout->addLayout(form);

    m_errorLabel = new QLabel(this);
    m_errorLabel->setObjectName("errorLabel");
    m_errorLabel->setStyleSheet("color: red");
    m_errorLabel->setWordWrap(true);
    m_errorLabel->hide();
    layout->addWidget(m_errorLabel);

    auto buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Apply
                                            | QDialogButtonBox::Cancel,
                                        this);
    connect(buttons, &QDialogButtonBox::accepted, this, &BuildEnginesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &BuildEnginesDialog::reject);
    connect(buttons->button(QDialogButtonBox::Apply),
            &QPushButton::clicked,
            this,
            &BuildEnginesDialog::apply);
    layout->addWidget(buttons);
}

bool BuildEnginesDialog::apply()
{
    m_errorLabel->hide();
    for (const EngineRow &row : qAsConst(m_rows)) {
        if (!row.engine || row.chooser->filePath() == row.engine->sharedSrcPath())
            continue;
        QString errorString;
        if (!Sdk::setSharedSrcPath(row.engine, row.chooser->filePath(), &errorString)) {
            m_errorLabel->setText(errorString);
            m_errorLabel->show();
            return false;
        }
    }
    return true;
}

void BuildEnginesDialog::accept()
{
    if (apply())
        QDialog::accept();
}

} // namespace Internal
} // namespace Pelk
