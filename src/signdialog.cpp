#include "signdialog.h"
#include "ui_signdialog.h"

#include <coreplugin/fileutils.h>
#include <pelk/sdk.h>
#include <utils/fileutils.h>
#include <utils/pathchooser.h>
#include <utils/qtcassert.h>
#include <utils/utilsicons.h>

#include <QAbstractButton>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>

namespace Quillmark {
namespace Internal {

namespace {

const char generationAlgorithmKey[] = "KamRpmSign.History.GenerationAlgorythm";
const char generationEncryptKey[] = "KamRpmSign.History.GenerationEncrypt";
const char folderLinkPlaceholder[] = "%folder_link%";

QPixmap outcomePixmap(bool success)
{
    return success ? Utils::Icons::OK.pixmap() : Utils::Icons::BROKEN.pixmap();
}

Utils::FancyLineEdit::ValidationFunction existingFileValidator()
{
    return [](Utils::FancyLineEdit *edit, QString *errorMessage) {
        const QString path = edit->text();
        return path.isEmpty() || SignDialog::validateFilePath(path, true, errorMessage);
    };
}

Utils::FancyLineEdit::ValidationFunction anyPathValidator()
{
    return [](Utils::FancyLineEdit *edit, QString *errorMessage) {
        return SignDialog::validateFilePath(edit->text(), false, errorMessage);
    };
}

} // namespace

SignDialog::SignDialog(QWidget *parent)
    : QDialog(parent)
    , m_ui(new ::Ui::SignDialog)
{
    m_ui->setupUi(this);
    m_ui->clientSignatureTextBrowser->hide();

    setupPathChoosers();
    connectActionButtons();
    setupStatusBar();
    m_actionButtons = {m_ui->addSignaturePushButton,
                       m_ui->removeSignaturePushButton,
                       m_ui->dumpPushButton,
                       m_ui->verifySignaturePushButton,
                       m_ui->genReqButton};
    setupGenerationChoices();
    setupRegularKeysLabel();
    connect(m_ui->tabWidget, &QTabWidget::currentChanged, this, &SignDialog::onTabChanged);
    m_ui->m_comboBoxBuildTargets->setVisible(false);
    m_ui->targetLabel->setVisible(false);
}

SignDialog::~SignDialog()
{
    QSettings settings;
    settings.setValue(generationAlgorithmKey, m_ui->generationKeyAlgoComboBox->currentIndex());
    settings.setValue(generationEncryptKey, m_ui->generationKeyEncryptCheckBox->isChecked());
    delete m_ui;
}

void SignDialog::onTabChanged(int index)
{
    Q_UNUSED(index)
}

void SignDialog::setupPathChoosers()
{
    const QString home = QDir::homePath();
    const QString pemTitle = tr("Select Privacy-Enhanced Mail container");
    const QString pemFilter = tr("Privacy-Enhanced Mail container (*.pem)");
    const QString keyPlaceholder = tr("Select key file (*.pem)");
    const QString certificatePlaceholder = tr("Select certificate (*.pem)");

    setupPathChooser(m_ui->rpmPathChooser,
                     home,
                     tr("Select RPM package"),
                     tr("RPM package (*.rpm)"),
                     tr("Select RPM package"),
                     "KamRpmSign.Data.Completer.RpmPackage",
                     existingFileValidator());
    // Connected only now, so that the path restored from history starts no verify or dump.
    connect(m_ui->rpmPathChooser,
            &Utils::PathChooser::pathChanged,
            this,
            &SignDialog::onPackagePathChanged);

    setupPathChooser(m_ui->developerKeyPathChooser,
                     home,
                     keyPlaceholder,
                     pemFilter,
                     pemTitle,
                     "KamRpmSign.Data.Completer.DeveloperKey",
                     existingFileValidator());
    setupPathChooser(m_ui->developerCertificatePathChooser,
                     home,
                     certificatePlaceholder,
                     pemFilter,
                     pemTitle,
                     "KamRpmSign.Data.Completer.DeveloperCertificate",
                     existingFileValidator());
    setupPathChooser(m_ui->clientKeyPathChooser,
                     home,
                     keyPlaceholder,
                     pemFilter,
                     pemTitle,
                     "KamRpmSign.Data.Completer.ClientKey",
                     existingFileValidator());
    setupPathChooser(m_ui->clientCertificatePathChooser,
                     home,
                     certificatePlaceholder,
                     pemFilter,
                     pemTitle,
                     "KamRpmSign.Data.Completer.ClientCertificate",
                     existingFileValidator());

    setupPathChooser(m_ui->caCertificatePathChooser,
                     home,
                     tr("Select root certificate"),
                     pemFilter,
                     pemTitle,
                     "KamRpmSign.Data.Completer.CaCertificate",
                     existingFileValidator());
    m_ui->caCertificatePathChooser->setToolTip(
        tr("Path to PEM-encoded bundle with root certificates. If not set, default value will be "
           "used."));

    setupPathChooser(m_ui->generatedKeyPathChooser,
                     home,
                     tr("Specify path to save key file or select existing key file"),
                     pemFilter,
                     pemTitle,
                     "KamRpmSign.Data.Completer.GeneratedKey",
                     anyPathValidator());
    m_ui->generatedKeyPathChooser->setExpectedKind(Utils::PathChooser::SaveFile);

    setupPathChooser(m_ui->generatedReqPathChooser,
                     home,
                     tr("Specify path to save Certificate Signing Request file"),
                     pemFilter,
                     pemTitle,
                     "KamRpmSign.Data.Completer.GeneratedCsr",
                     anyPathValidator());
    m_ui->generatedReqPathChooser->setExpectedKind(Utils::PathChooser::SaveFile);
}

void SignDialog::setupPathChooser(Utils::PathChooser *chooser,
                                  const QString &initialBrowsePath,
                                  const QString &placeholder,
                                  const QString &filter,
                                  const QString &title,
                                  const QString &historyKey,
                                  const Utils::FancyLineEdit::ValidationFunction &validator)
{
    chooser->setExpectedKind(Utils::PathChooser::File);
    chooser->setInitialBrowsePathBackup(initialBrowsePath);
    chooser->setPromptDialogFilter(filter);
    chooser->setPromptDialogTitle(title);
    chooser->setHistoryCompleter(historyKey, true);
    chooser->setValidationFunction(validator);
    chooser->lineEdit()->setPlaceholderText(placeholder);
    QAbstractButton *browseButton = chooser->buttonAtIndex(0);
    QTC_ASSERT(browseButton, return );
    browseButton->setIcon(Utils::Icons::NEWFILE.icon());
    browseButton->setText(QString());
    // Return in a path field confirms the path; it must not open a file dialog.
    if (auto pushButton = qobject_cast<QPushButton *>(browseButton))
        pushButton->setAutoDefault(false);
}

void SignDialog::connectActionButtons()
{
    connect(m_ui->addSignaturePushButton, &QPushButton::pressed, this, &SignDialog::onAddSignature);
    connect(m_ui->removeSignaturePushButton,
            &QPushButton::pressed,
            this,
            &SignDialog::onRemoveSignature);
    connect(m_ui->verifySignaturePushButton, &QPushButton::pressed, this, &SignDialog::onVerify);
    connect(m_ui->dumpPushButton, &QPushButton::pressed, this, &SignDialog::onDump);
    connect(m_ui->genReqButton, &QPushButton::pressed, this, &SignDialog::onGenerateRequest);
}

void SignDialog::setupStatusBar()
{
    m_statusBar = new QStatusBar(this);
    m_ui->statusBarLayout->addWidget(m_statusBar);
}

void SignDialog::setupGenerationChoices()
{
    m_ui->generationKeyAlgoComboBox->addItem(tr("RSA (2048)"));
    m_ui->generationKeyAlgoComboBox->addItem(tr("GOST R 34.10-2012 (256)"));

    const QSettings settings;
    m_ui->generationKeyAlgoComboBox->setCurrentIndex(
        settings.value(generationAlgorithmKey, 0).toInt());
    m_ui->generationKeyEncryptCheckBox->setChecked(
        settings.value(generationEncryptKey, true).toBool());
}

void SignDialog::setupRegularKeysLabel()
{
    const QString folder = Pelk::Sdk::installationPath() + QDir::separator() + "package-signing";
    connect(m_ui->regularKeysLabel, &QLabel::linkActivated, this, [this, folder] {
        Core::FileUtils::showInGraphicalShell(m_ui->regularKeysLabel,
                                              folder + QDir::separator() + "regular_key.pem");
    });
    QString text = m_ui->regularKeysLabel->text();
    text.replace(folderLinkPlaceholder, QDir::toNativeSeparators(folder));
    m_ui->regularKeysLabel->setText(text);
}

bool SignDialog::validateFilePath(const QString &path, bool mustExist, QString *errorMessage)
{
    if (mustExist && !QFileInfo::exists(path)) {
        if (errorMessage)
            *errorMessage = tr("File does not exist");
        return false;
    }
    return true;
}

SignTool *SignDialog::signTool()
{
    if (m_signTools.isEmpty())
        m_signTools.append(new Pkgseal(this));
    return m_signTools.first();
}

KeySet SignDialog::collectKeys() const
{
    KeySet keys;
    keys.clientKey = m_ui->clientKeyPathChooser->filePath().toString();
    keys.clientCertificate = m_ui->clientCertificatePathChooser->filePath().toString();
    keys.developerCertificate = m_ui->developerCertificatePathChooser->filePath().toString();
    keys.developerKey = m_ui->developerKeyPathChooser->filePath().toString();
    keys.caCertificate = m_ui->caCertificatePathChooser->filePath().toString();
    return keys;
}

RequestParameters SignDialog::collectRequestParameters() const
{
    RequestParameters parameters;
    parameters.companyName = m_ui->generateCompanyNameLineEdit->text();
    parameters.requestPath = m_ui->generatedReqPathChooser->filePath();
    parameters.encrypt = m_ui->generationKeyEncryptCheckBox->isChecked();
    parameters.keyPath = m_ui->generatedKeyPathChooser->filePath();
    parameters.algorithm = static_cast<KeyAlgorithm>(
        m_ui->generationKeyAlgoComboBox->currentIndex());
    return parameters;
}

QStringList SignDialog::packages() const
{
    return {m_ui->rpmPathChooser->filePath().toString()};
}

bool SignDialog::hasPackage() const
{
    return !m_ui->rpmPathChooser->filePath().isEmpty();
}

void SignDialog::setBusy(bool busy)
{
    m_busy = busy;
    for (QPushButton *button : qAsConst(m_actionButtons))
        button->setEnabled(!busy);
    // A package chosen while a tool ran is looked at once the dialog's call stack has unwound.
    if (!busy && m_packageRefreshPending) {
        QMetaObject::invokeMethod(
            this, [this] { refreshPendingPackageState(); }, Qt::QueuedConnection);
    }
}

RunResult SignDialog::runBusy(const std::function<RunResult()> &operation)
{
    setBusy(true);
    const RunResult result = operation();
    setBusy(false);
    return result;
}

SignTool *SignDialog::packageTool()
{
    return hasPackage() ? signTool() : nullptr;
}

void SignDialog::onAddSignature()
{
    SignTool *tool = packageTool();
    if (!tool)
        return;

    const RunResult result = runBusy([&] { return tool->sign(packages(), collectKeys()); });

    m_ui->signStateLabel->setPixmap(outcomePixmap(succeeded(result)));
    refreshPackageState();
}

void SignDialog::onRemoveSignature()
{
    SignTool *tool = packageTool();
    if (!tool)
        return;

    runBusy([&] { return tool->removeSignature(packages()); });

    refreshPackageState();
}

void SignDialog::onPackagePathChanged()
{
    // Running the tools now would nest inside the operation in progress and unlock its buttons.
    if (m_busy) {
        m_packageRefreshPending = true;
        return;
    }
    refreshPackageState();
}

void SignDialog::refreshPackageState()
{
    m_packageRefreshPending = false;
    onVerify();
    onDump();
}

void SignDialog::refreshPendingPackageState()
{
    if (m_busy || !m_packageRefreshPending)
        return;
    refreshPackageState();
}

void SignDialog::onVerify()
{
    m_ui->verifyLabel->clear();
    m_ui->verifyIconLabel->clear();
    if (!hasPackage())
        return;
    SignTool *tool = signTool();
    if (!tool) {
        m_ui->verifyLabel->setText(tr("Package can't be verified"));
        m_ui->verifyIconLabel->setPixmap(outcomePixmap(false));
        return;
    }

    const RunResult result = runBusy([&] { return tool->verify(packages(), collectKeys()); });

    const bool verified = succeeded(result);
    m_ui->verifyLabel->setText(verified ? tr("Signatures successfully verified")
                                        : tr("Could not verify signatures"));
    m_ui->verifyIconLabel->setPixmap(outcomePixmap(verified));
}

void SignDialog::onDump()
{
    if (!hasPackage())
        return;
    m_ui->developerSignatureTextBrowser->clear();
    m_ui->clientSignatureTextBrowser->clear();
    m_ui->developerSignatureShortLabel->clear();
    m_ui->clientSignatureShortLabel->clear();
    SignTool *tool = signTool();
    if (!tool) {
        m_ui->developerSignatureTextBrowser->setPlainText(tr("Package can't be dumped"));
        return;
    }

    const RunResult result = runBusy([&] { return tool->dump(packages()); });

    showDump(splitSignatures(QString::fromUtf8(result.output)));
}

void SignDialog::showDump(const QStringList &signatures)
{
    if (signatures.isEmpty()) {
        const QString message = tr("No signatures found in package");
        m_ui->developerSignatureTextBrowser->setText(message);
        m_ui->developerSignatureShortLabel->setText(message);
        return;
    }

    m_ui->developerSignatureTextBrowser->setText(signatures.at(0));
    m_ui->developerSignatureTextBrowser->show();
    m_ui->developerSignatureShortLabel->setText(shortSignature(signatures.at(0)));
    if (signatures.size() == 1) {
        m_ui->clientSignatureTextBrowser->hide();
        return;
    }
    m_ui->clientSignatureTextBrowser->setText(signatures.at(1));
    m_ui->clientSignatureTextBrowser->show();
    m_ui->clientSignatureShortLabel->setText(shortSignature(signatures.at(1)));
}

QStringList SignDialog::splitSignatures(const QString &dump)
{
    static const QRegularExpression subject("(Subject.*)");
    QVector<int> starts;
    QRegularExpressionMatchIterator it = subject.globalMatch(dump);
    while (it.hasNext())
        starts.append(it.next().capturedStart());

    QStringList signatures;
    for (int i = 0; i < starts.size(); ++i) {
        const int end = i + 1 < starts.size() ? starts.at(i + 1) : dump.size();
        signatures.append(dump.mid(starts.at(i), end - starts.at(i)));
    }
    return signatures;
}

QString SignDialog::shortSignature(const QString &signature)
{
    static const QRegularExpression field("(?:Subject:(.*))|(?:Group:(.*))|(?:Subgroup:(.*))"
                                          "|(?:Key ID:(.*))|(?:Signature:(.*))");
    QString summary;
    QRegularExpressionMatchIterator it = field.globalMatch(signature);
    while (it.hasNext()) {
        const QString line = it.next().captured(0);
        qDebug() << line;
        if (line.startsWith("Subject") || line.startsWith("Group"))
            summary += line + '\n';
    }
    return summary;
}

void SignDialog::onGenerateRequest()
{
    m_statusBar->clearMessage();
    if (!checkGenerationFields())
        return;
    SignTool *tool = signTool();
    if (!tool)
        return;

    const RunResult result = runBusy(
        [&] { return tool->generateRequest(collectRequestParameters()); });
    const bool generated = succeeded(result);
    m_ui->generateLabel->setPixmap(outcomePixmap(generated));
    if (!generated) {
        m_statusBar->showMessage(tr("Failed to generate request: %1")
                                     .arg(QString::fromUtf8(result.output)),
                                 0);
    }
}

bool SignDialog::checkGenerationFields()
{
    if (m_ui->generateCompanyNameLineEdit->text().isEmpty()) {
        showGenerationProblem(tr("Company name field cannot be empty"));
        return false;
    }
    if (m_ui->generatedKeyPathChooser->filePath().isEmpty()) {
        showGenerationProblem(tr("Key field cannot be empty"));
        return false;
    }
    if (m_ui->generatedReqPathChooser->filePath().isEmpty()) {
        showGenerationProblem(tr("Request field cannot be empty"));
        return false;
    }
    return true;
}

void SignDialog::showGenerationProblem(const QString &message)
{
    m_statusBar->showMessage(message, 0);
    m_ui->generateLabel->setPixmap(outcomePixmap(false));
}

} // namespace Internal
} // namespace Quillmark
