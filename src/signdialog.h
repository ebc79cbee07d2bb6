#pragma once

#include "pkgseal.h"

#include <utils/fancylineedit.h>

#include <QDialog>
#include <QList>
#include <QTimer>
#include <QVector>

#include <functional>
#include <initializer_list>
#include <utility>

QT_BEGIN_NAMESPACE
class QLabel;
class QPushButton;
class QStatusBar;
class QTextBrowser;
QT_END_NAMESPACE

namespace Ui {
class SignDialog;
}

namespace Utils {
class PathChooser;
}

namespace Quillmark {
namespace Internal {

class LabelElider;

class SignDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SignDialog(QWidget *parent = nullptr);
    ~SignDialog() override;

    // What the tools in the build container do with the file at a chooser's path.
    enum class FileUse { Read, Write, ReadOrWrite };

    static QStringList splitSignatures(const QString &dump);
    static QString shortSignature(const QString &signature);
    static bool validateFilePath(const QString &path, FileUse use, QString *errorMessage);

private slots:
    void onTabChanged(int index);

private:
    struct ToolOutcome
    {
        bool succeeded = false;
        QString reason; // why it failed, in the tool's own words
        QByteArray output;
    };
    using LabelledChooser = std::pair<const QLabel *, Utils::PathChooser *>;

    void setupPathChoosers();
    void setupPathChooser(Utils::PathChooser *chooser,
                          const QString &initialBrowsePath,
                          const QString &placeholder,
                          const QString &filter,
                          const QString &title,
                          const QString &historyKey,
                          const Utils::FancyLineEdit::ValidationFunction &validator);
    void connectActionButtons();
    void connectInputsToOutcomes();
    void setupStatusBar();
    void setupTextLabels();
    void setupGenerationChoices();
    void setupRegularKeysLabel();

    void onAddSignature();
    void onRemoveSignature();
    void onVerify();
    void onDump();
    void onGenerateRequest();
    void onPackagePathChanged();
    void onPackagePathSettled();
    void refreshPackageState();
    void refreshPendingPackageState();
    void verifyPackages(const QStringList &packages);
    void dumpPackages(const QStringList &packages);
    QString caCertificateProblem() const;
    void showVerdict(bool verified, const QString &reason);
    void showDump(const ToolOutcome &dump);
    void showDumpMessage(const QString &message);
    static void showSignatures(QTextBrowser *view,
                               LabelElider *summary,
                               const QStringList &signatures);

    bool checkPackage(QLabel *outcomeLabel);
    bool checkGenerationFields();
    QString pathProblem(std::initializer_list<LabelledChooser> fields) const;
    void showProblem(QLabel *outcomeLabel, const QString &message);
    void showFailure(QLabel *outcomeLabel, const QString &message, const QString &reason);

    void clearSignOutcome();
    void clearVerdict();
    void clearSignatureViews();
    void clearGenerationOutcome();

    SignTool *signTool();
    ToolOutcome runTool(SignTool *tool, const std::function<RunResult()> &operation);
    static QString failureReason(const RunResult &result, const QStringList &errorLines);
    static QString toolPath(const Utils::PathChooser *chooser);
    KeySet collectKeys() const;
    RequestParameters collectRequestParameters() const;
    QStringList packages() const;
    bool hasPackage() const;
    void setBusy(bool busy);

    QList<SignTool *> m_signTools;
    ::Ui::SignDialog *m_ui = nullptr;
    QVector<QPushButton *> m_actionButtons;
    QStatusBar *m_statusBar = nullptr;
    LabelElider *m_developerSummary = nullptr;
    LabelElider *m_clientSummary = nullptr;
    QTimer m_packageSettleTimer;
    bool m_busy = false;
    bool m_packageRefreshPending = false;
    // Each counts the clearings of one outcome: an operation shows its outcome only if its
    // inputs did not change while it ran.
    int m_signRevision = 0;
    int m_verdictRevision = 0;
    int m_dumpRevision = 0;
    int m_generationRevision = 0;
};

} // namespace Internal
} // namespace Quillmark
