#include "signdialog.h"
#include "ui_signdialog.h"

#include "containerpaths.h"
#include "labelelider.h"

#include <coreplugin/fileutils.h>
#include <pelk/sdk.h>
#include <utils/fileutils.h>
#include <utils/pathchooser.h>
#include <utils/qtcassert.h>
#include <utils/utilsicons.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTextBrowser>

namespace Quillmark {
namespace Internal {

namespace {

const char generationAlgorithmKey[] = "KamRpmSign.History.GenerationAlgorythm";
const char generationEncryptKey[] = "KamRpmSign.History.GenerationEncrypt";
const char folderLinkPlaceholder[] = "%folder_link%";
const char clientGroup[] = "client";
// How long a typed package path must stay unchanged before the tools look at the package.
const int packageSettleMs = 400;
// Three signers; the tool tip and the views show them all.
const int summaryLines = 6;

QPixmap outcomePixmap(bool success)
{
    return success ? Utils::Icons::OK.pixmap() : Utils::Icons::BROKEN.pixmap();
}

void showOutcome(QLabel *label, bool success, const QString &reason)
{
    label->setPixmap(outcomePixmap(success));
    label->setToolTip(plainTextToolTip(reason));
}

void clearOutcome(QLabel *label)
{
    label->clear();
    label->setToolTip(QString());
}

Utils::FancyLineEdit::ValidationFunction fileValidator(SignDialog::FileUse use)
{
    return [use](Utils::FancyLineEdit *edit, QString *errorMessage) {
        const QString path = edit->text();
        return path.isEmpty() || SignDialog::validateFilePath(path, use, errorMessage);
    };
}

// Only a line of its own names the group: a subject may hold the same words.
QString signatureGroup(const QString &signature)
{
    static const QRegularExpression groupLine("^Group: (.*)$", QRegularExpression::MultilineOption);
    return groupLine.match(signature).captured(1).trimmed();
}

} // namespace

SignDialog::SignDialog(QWidget *parent)
    : QDialog(parent)
    , m_ui(new ::Ui::SignDialog)
{
    m_ui->setupUi(this);
    m_ui->clientSignatureTextBrowser->hide();
    m_packageSettleTimer.setSingleShot(true);
    m_packageSettleTimer.setInterval(packageSettleMs);
    connect(&m_packageSettleTimer, &QTimer::timeout, this, &SignDialog::onPackagePathSettled);

    setupTextLabels();
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
    connectInputsToOutcomes();
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

// The status bar tells what happened on the tab that was shown.
void SignDialog::onTabChanged(int index)
{
    Q_UNUSED(index)
    m_statusBar->clearMessage();
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
                     fileValidator(FileUse::Read));
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
                     fileValidator(FileUse::Read));
    setupPathChooser(m_ui->developerCertificatePathChooser,
                     home,
                     certificatePlaceholder,
                     pemFilter,
                     pemTitle,
                     "KamRpmSign.Data.Completer.DeveloperCertificate",
                     fileValidator(FileUse::Read));
    setupPathChooser(m_ui->clientKeyPathChooser,
                     home,
                     keyPlaceholder,
                     pemFilter,
                     pemTitle,
                     "KamRpmSign.Data.Completer.ClientKey",
                     fileValidator(FileUse::Read));
    setupPathChooser(m_ui->clientCertificatePathChooser,
                     home,
                     certificatePlaceholder,
                     pemFilter,
                     pemTitle,
                     "KamRpmSign.Data.Completer.ClientCertificate",
                     fileValidator(FileUse::Read));

    setupPathChooser(m_ui->caCertificatePathChooser,
                     home,
                     tr("Select root certificate"),
                     pemFilter,
                     pemTitle,
                     "KamRpmSign.Data.Completer.CaCertificate",
                     fileValidator(FileUse::Read));
    m_ui->caCertificatePathChooser->setToolTip(
        tr("Path to PEM-encoded bundle with root certificates. If not set, default value will be "
           "used."));

    setupPathChooser(m_ui->generatedKeyPathChooser,
                     home,
                     tr("Specify path to save key file or select existing key file"),
                     pemFilter,
                     pemTitle,
                     "KamRpmSign.Data.Completer.GeneratedKey",
                     fileValidator(FileUse::ReadOrWrite));
    m_ui->generatedKeyPathChooser->setExpectedKind(Utils::PathChooser::SaveFile);

    setupPathChooser(m_ui->generatedReqPathChooser,
                     home,
                     tr("Specify path to save Certificate Signing Request file"),
                     pemFilter,
                     pemTitle,
                     "KamRpmSign.Data.Completer.GeneratedCsr",
                     fileValidator(FileUse::Write));
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

// An outcome on screen always belongs to the inputs on screen.
void SignDialog::connectInputsToOutcomes()
{
    const auto clearing = [this](void (SignDialog::*clear)()) {
        return [this, clear] {
            m_statusBar->clearMessage();
            (this->*clear)();
        };
    };
    for (Utils::PathChooser *chooser : {m_ui->developerKeyPathChooser,
                                        m_ui->developerCertificatePathChooser,
                                        m_ui->clientKeyPathChooser,
                                        m_ui->clientCertificatePathChooser}) {
        connect(chooser,
                &Utils::PathChooser::pathChanged,
                this,
                clearing(&SignDialog::clearSignOutcome));
    }
    connect(m_ui->caCertificatePathChooser,
            &Utils::PathChooser::pathChanged,
            this,
            clearing(&SignDialog::clearVerdict));
    const auto clearGeneration = clearing(&SignDialog::clearGenerationOutcome);
    for (Utils::PathChooser *chooser :
         {m_ui->generatedKeyPathChooser, m_ui->generatedReqPathChooser})
        connect(chooser, &Utils::PathChooser::pathChanged, this, clearGeneration);
    connect(m_ui->generateCompanyNameLineEdit, &QLineEdit::textChanged, this, clearGeneration);
    connect(m_ui->generationKeyAlgoComboBox,
            QOverload<int>::of(&QComboBox::currentIndexChanged),
            this,
            clearGeneration);
    connect(m_ui->generationKeyEncryptCheckBox, &QCheckBox::toggled, this, clearGeneration);
}

void SignDialog::setupStatusBar()
{
    m_statusBar = new QStatusBar(this);
    m_ui->statusBarLayout->addWidget(m_statusBar);
}

// Texts that change are cut rather than widen the dialog; summaries name signers as their
// certificates do, as plain text.
void SignDialog::setupTextLabels()
{
    m_developerSummary = new LabelElider(m_ui->developerSignatureShortLabel, summaryLines);
    m_clientSummary = new LabelElider(m_ui->clientSignatureShortLabel, summaryLines);
    m_ui->verifyLabel->setMinimumWidth(1);
}

void SignDialog::setupGenerationChoices()
{
    m_ui->generationKeyAlgoComboBox->addItem(tr("RSA (2048)"));
    m_ui->generationKeyAlgoComboBox->addItem(tr("GOST R 34.10-2012 (256)"));

    const QSettings settings;
    const int algorithm = settings.value(generationAlgorithmKey, 0).toInt();
    const bool known = algorithm >= 0 && algorithm < m_ui->generationKeyAlgoComboBox->count();
    m_ui->generationKeyAlgoComboBox->setCurrentIndex(known ? algorithm : 0);
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

// The tools run in the build container: a path is good only if they can reach it there.
bool SignDialog::validateFilePath(const QString &path, FileUse use, QString *errorMessage)
{
    const ContainerPaths paths;
    const bool exists = QFileInfo::exists(paths.absolutePath(path));
    const bool read = use == FileUse::Read || (use == FileUse::ReadOrWrite && exists);
    QString problem;
    if (read && !paths.canRead(path)) {
        problem = tr("Outside the build engine's shared folder %1, the signing tool cannot read "
                     "it.")
                      .arg(paths.sharedFolders());
    } else if (!read && !paths.canWrite(path)) {
        problem = tr("Outside the build engine's shared folder %1, the signing tool cannot write "
                     "it.")
                      .arg(paths.sharedFolders());
    } else if (read && !exists && !paths.isInsideEngine(path)) {
        problem = tr("File does not exist");
    }
    if (errorMessage)
        *errorMessage = problem;
    return problem.isEmpty();
}

SignTool *SignDialog::signTool()
{
    if (m_signTools.isEmpty())
        m_signTools.append(new Pkgseal(this));
    return m_signTools.first();
}

// The tools run in the workspace: a relative path is taken from there, also where the dialog
// looks at the file itself (whether a key to generate is there already).
QString SignDialog::toolPath(const Utils::PathChooser *chooser)
{
    const QString path = chooser->filePath().toString();
    return path.isEmpty() ? path : ContainerPaths().absolutePath(path);
}

KeySet SignDialog::collectKeys() const
{
    KeySet keys;
    keys.clientKey = toolPath(m_ui->clientKeyPathChooser);
    keys.clientCertificate = toolPath(m_ui->clientCertificatePathChooser);
    keys.developerCertificate = toolPath(m_ui->developerCertificatePathChooser);
    keys.developerKey = toolPath(m_ui->developerKeyPathChooser);
    keys.caCertificate = toolPath(m_ui->caCertificatePathChooser);
    return keys;
}

RequestParameters SignDialog::collectRequestParameters() const
{
    RequestParameters parameters;
    parameters.companyName = m_ui->generateCompanyNameLineEdit->text();
    parameters.requestPath = Utils::FilePath::fromString(toolPath(m_ui->generatedReqPathChooser));
    parameters.encrypt = m_ui->generationKeyEncryptCheckBox->isChecked();
    parameters.keyPath = Utils::FilePath::fromString(toolPath(m_ui->generatedKeyPathChooser));
    parameters.algorithm = static_cast<KeyAlgorithm>(
        m_ui->generationKeyAlgoComboBox->currentIndex());
    return parameters;
}

QStringList SignDialog::packages() const
{
    return {toolPath(m_ui->rpmPathChooser)};
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

SignDialog::ToolOutcome SignDialog::runTool(SignTool *tool,
                                            const std::function<RunResult()> &operation)
{
    QStringList errorLines;
    const auto collect = [&errorLines](const QString &line) { errorLines << line; };
    const QMetaObject::Connection collector = connect(tool, &SignTool::addError, this, collect);
    setBusy(true);
    const RunResult result = operation();
    setBusy(false);
    disconnect(collector);

    const bool success = succeeded(result);
    if (success)
        return {true, {}, result.output};
    const QString reason = tool->wasCancelled() ? tr("The pass phrase prompt was cancelled.")
                                                : failureReason(result, errorLines);
    return {false, reason, result.output};
}

// In the tool's own words: its error lines, but for the progress marks of key generation.
QString SignDialog::failureReason(const RunResult &result, const QStringList &errorLines)
{
    static const QRegularExpression progressMarks("^[.+*]+$");
    QStringList reasonLines;
    for (const QString &line : errorLines) {
        if (!progressMarks.match(line).hasMatch())
            reasonLines << line;
    }
    QString reason = reasonLines.join('\n').trimmed();
    if (errorLines.isEmpty())
        reason = QString::fromUtf8(result.errorOutput).trimmed();
    if (!reason.isEmpty())
        return reason;
    return result.crashed ? tr("The tool stopped unexpectedly.")
                          : tr("The tool ended with exit code %1.").arg(result.exitCode);
}

// The first field whose path the tools cannot use, with the reason; empty fields are not looked
// at. The fields are checked anew: the workspace or the engines may have changed.
QString SignDialog::pathProblem(std::initializer_list<LabelledChooser> fields) const
{
    for (const auto &[label, chooser] : fields) {
        if (chooser->filePath().isEmpty())
            continue;
        chooser->triggerChanged();
        if (!chooser->isValid())
            return tr("%1: %2").arg(label->text(), chooser->errorMessage());
    }
    return {};
}

void SignDialog::showProblem(QLabel *outcomeLabel, const QString &message)
{
    m_statusBar->showMessage(message, 0);
    if (outcomeLabel)
        showOutcome(outcomeLabel, false, message);
}

// The status bar has one line; the tool tip keeps the reason as the tool wrote it.
void SignDialog::showFailure(QLabel *outcomeLabel, const QString &message, const QString &reason)
{
    m_statusBar->showMessage(message.arg(reason.simplified()), 0);
    showOutcome(outcomeLabel, false, reason);
}

bool SignDialog::checkPackage(QLabel *outcomeLabel)
{
    const QString problem = hasPackage() ? pathProblem({{m_ui->rpmLabel, m_ui->rpmPathChooser}})
                                         : tr("RPM package field cannot be empty");
    if (problem.isEmpty())
        return true;
    showProblem(outcomeLabel, problem);
    return false;
}

void SignDialog::onAddSignature()
{
    m_statusBar->clearMessage();
    clearSignOutcome();
    if (!checkPackage(m_ui->signStateLabel))
        return;
    const QString keyProblem = pathProblem(
        {{m_ui->developerKeyLabel, m_ui->developerKeyPathChooser},
         {m_ui->developerCertificateLabel, m_ui->developerCertificatePathChooser},
         {m_ui->label, m_ui->clientKeyPathChooser},
         {m_ui->clientCertificateLabel, m_ui->clientCertificatePathChooser}});
    if (!keyProblem.isEmpty()) {
        showProblem(m_ui->signStateLabel, keyProblem);
        return;
    }
    SignTool *tool = signTool();
    if (!tool)
        return;

    const int revision = m_signRevision;
    const QStringList packages = this->packages();
    const ToolOutcome outcome = runTool(tool, [&] { return tool->sign(packages, collectKeys()); });

    if (revision == m_signRevision) {
        if (outcome.succeeded)
            showOutcome(m_ui->signStateLabel, true, {});
        else
            showFailure(m_ui->signStateLabel, tr("Failed to add signature: %1"), outcome.reason);
    }
    refreshPackageState();
}

void SignDialog::onRemoveSignature()
{
    m_statusBar->clearMessage();
    if (!checkPackage(nullptr))
        return;
    SignTool *tool = signTool();
    if (!tool)
        return;

    const QStringList packages = this->packages();
    const ToolOutcome outcome = runTool(tool, [&] { return tool->removeSignature(packages); });

    if (!outcome.succeeded) {
        m_statusBar
            ->showMessage(tr("Failed to remove signature: %1").arg(outcome.reason.simplified()), 0);
    }
    refreshPackageState();
}

void SignDialog::onPackagePathChanged()
{
    m_statusBar->clearMessage();
    clearSignOutcome();
    clearVerdict();
    clearSignatureViews();
    if (hasPackage())
        m_packageSettleTimer.start();
    else
        m_packageSettleTimer.stop();
}

void SignDialog::onPackagePathSettled()
{
    // Running the tools now would nest inside the operation in progress and unlock its buttons.
    if (m_busy) {
        m_packageRefreshPending = true;
        return;
    }
    refreshPackageState();
}

// Verify and dump look at the same package; a path that the tools cannot use is marked by its
// chooser, and nothing runs for it.
void SignDialog::refreshPackageState()
{
    m_packageSettleTimer.stop();
    m_packageRefreshPending = false;
    if (!hasPackage() || !pathProblem({{m_ui->rpmLabel, m_ui->rpmPathChooser}}).isEmpty())
        return;
    const QStringList packages = this->packages();
    verifyPackages(packages);
    // A package chosen meanwhile is looked at on its own.
    if (packages == this->packages())
        dumpPackages(packages);
}

void SignDialog::refreshPendingPackageState()
{
    if (m_busy || !m_packageRefreshPending)
        return;
    refreshPackageState();
}

void SignDialog::onVerify()
{
    m_statusBar->clearMessage();
    clearVerdict();
    if (!checkPackage(nullptr))
        return;
    const QString caProblem = caCertificateProblem();
    if (!caProblem.isEmpty())
        m_statusBar->showMessage(caProblem, 0);
    verifyPackages(packages());
}

void SignDialog::verifyPackages(const QStringList &packages)
{
    clearVerdict();
    SignTool *tool = signTool();
    if (!tool) {
        m_ui->verifyLabel->setText(tr("Package can't be verified"));
        m_ui->verifyIconLabel->setPixmap(outcomePixmap(false));
        return;
    }
    const QString caProblem = caCertificateProblem();
    if (!caProblem.isEmpty()) {
        showVerdict(false, caProblem);
        return;
    }

    const int revision = m_verdictRevision;
    const ToolOutcome outcome = runTool(tool, [&] { return tool->verify(packages, collectKeys()); });

    if (revision == m_verdictRevision)
        showVerdict(outcome.succeeded, outcome.reason);
}

QString SignDialog::caCertificateProblem() const
{
    return pathProblem({{m_ui->label_2, m_ui->caCertificatePathChooser}});
}

void SignDialog::showVerdict(bool verified, const QString &reason)
{
    m_ui->verifyLabel->setText(verified ? tr("Signatures successfully verified")
                                        : tr("Could not verify signatures"));
    m_ui->verifyLabel->setToolTip(plainTextToolTip(reason));
    showOutcome(m_ui->verifyIconLabel, verified, reason);
}

void SignDialog::onDump()
{
    m_statusBar->clearMessage();
    if (checkPackage(nullptr))
        dumpPackages(packages());
}

void SignDialog::dumpPackages(const QStringList &packages)
{
    clearSignatureViews();
    SignTool *tool = signTool();
    if (!tool) {
        m_ui->developerSignatureTextBrowser->setPlainText(tr("Package can't be dumped"));
        return;
    }

    const int revision = m_dumpRevision;
    const ToolOutcome outcome = runTool(tool, [&] { return tool->dump(packages); });

    if (revision == m_dumpRevision)
        showDump(outcome);
}

// Every signature is shown: the client-group ones in the client view, all others with the
// developer's.
void SignDialog::showDump(const ToolOutcome &dump)
{
    if (!dump.succeeded) {
        showDumpMessage(dump.reason);
        return;
    }
    const QStringList signatures = splitSignatures(QString::fromUtf8(dump.output));
    if (signatures.isEmpty()) {
        showDumpMessage(tr("No signatures found in package"));
        return;
    }
    QStringList developerSignatures;
    QStringList clientSignatures;
    for (const QString &signature : signatures) {
        if (signatureGroup(signature) == clientGroup)
            clientSignatures << signature;
        else
            developerSignatures << signature;
    }
    showSignatures(m_ui->developerSignatureTextBrowser, m_developerSummary, developerSignatures);
    showSignatures(m_ui->clientSignatureTextBrowser, m_clientSummary, clientSignatures);
    m_ui->clientSignatureTextBrowser->setVisible(!clientSignatures.isEmpty());
}

void SignDialog::showDumpMessage(const QString &message)
{
    m_ui->developerSignatureTextBrowser->setPlainText(message);
    m_developerSummary->setText(message);
}

void SignDialog::showSignatures(QTextBrowser *view,
                                LabelElider *summary,
                                const QStringList &signatures)
{
    view->setPlainText(signatures.join('\n'));
    QString summaries;
    for (const QString &signature : signatures)
        summaries += shortSignature(signature);
    summary->setText(summaries);
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
    clearGenerationOutcome();
    if (!checkGenerationFields())
        return;
    SignTool *tool = signTool();
    if (!tool)
        return;

    const int revision = m_generationRevision;
    const RequestParameters parameters = collectRequestParameters();
    const ToolOutcome outcome = runTool(tool, [&] { return tool->generateRequest(parameters); });

    if (revision != m_generationRevision)
        return;
    if (outcome.succeeded)
        showOutcome(m_ui->generateLabel, true, {});
    else
        showFailure(m_ui->generateLabel, tr("Failed to generate request: %1"), outcome.reason);
}

// The company name goes into the request as typed, but it must hold more than blanks.
bool SignDialog::checkGenerationFields()
{
    QString problem;
    if (m_ui->generateCompanyNameLineEdit->text().trimmed().isEmpty())
        problem = tr("Company name field cannot be empty");
    else if (m_ui->generatedKeyPathChooser->filePath().isEmpty())
        problem = tr("Key field cannot be empty");
    else if (m_ui->generatedReqPathChooser->filePath().isEmpty())
        problem = tr("Request field cannot be empty");
    else
        problem = pathProblem({{m_ui->generatedKeyLabel, m_ui->generatedKeyPathChooser},
                               {m_ui->generatedCertLabel, m_ui->generatedReqPathChooser}});
    if (problem.isEmpty())
        return true;
    showProblem(m_ui->generateLabel, problem);
    return false;
}

void SignDialog::clearSignOutcome()
{
    ++m_signRevision;
    clearOutcome(m_ui->signStateLabel);
}

void SignDialog::clearVerdict()
{
    ++m_verdictRevision;
    clearOutcome(m_ui->verifyLabel);
    clearOutcome(m_ui->verifyIconLabel);
}

void SignDialog::clearSignatureViews()
{
    ++m_dumpRevision;
    m_ui->developerSignatureTextBrowser->clear();
    m_ui->clientSignatureTextBrowser->clear();
    m_ui->clientSignatureTextBrowser->hide();
    m_developerSummary->setText(QString());
    m_clientSummary->setText(QString());
}

void SignDialog::clearGenerationOutcome()
{
    ++m_generationRevision;
    clearOutcome(m_ui->generateLabel);
}

} // namespace Internal
} // namespace Quillmark
