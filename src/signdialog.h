#pragma once

#include "pkgseal.h"

#include <utils/fancylineedit.h>

#include <QDialog>
#include <QList>
#include <QVector>

#include <functional>

QT_BEGIN_NAMESPACE
class QPushButton;
class QStatusBar;
QT_END_NAMESPACE

namespace Ui {
class SignDialog;
}

namespace Utils {
class PathChooser;
}

namespace Quillmark {
namespace Internal {

class SignDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SignDialog(QWidget *parent = nullptr);
    ~SignDialog() override;

    static QStringList splitSignatures(const QString &dump);
    static QString shortSignature(const QString &signature);
    static bool validateFilePath(const QString &path, bool mustExist, QString *errorMessage);

private slots:
    void onTabChanged(int index);

private:
    void setupPathChoosers();
    void setupPathChooser(Utils::PathChooser *chooser,
                          const QString &initialBrowsePath,
                          const QString &placeholder,
                          const QString &filter,
                          const QString &title,
                          const QString &historyKey,
                          const Utils::FancyLineEdit::ValidationFunction &validator);
    void connectActionButtons();
    void setupStatusBar();
    void setupGenerationChoices();
    void setupRegularKeysLabel();

    void onAddSignature();
    void onRemoveSignature();
    void onVerify();
    void onDump();
    void onGenerateRequest();
    void onPackagePathChanged();
    void refreshPackageState();
    void refreshPendingPackageState();
    void showDump(const QStringList &signatures);
    bool checkGenerationFields();
    void showGenerationProblem(const QString &message);

    SignTool *signTool();
    SignTool *packageTool();
    RunResult runBusy(const std::function<RunResult()> &operation);
    KeySet collectKeys() const;
    RequestParameters collectRequestParameters() const;
    QStringList packages() const;
    bool hasPackage() const;
    void setBusy(bool busy);

    QList<SignTool *> m_signTools;
    ::Ui::SignDialog *m_ui = nullptr;
    QVector<QPushButton *> m_actionButtons;
    QStatusBar *m_statusBar = nullptr;
    bool m_busy = false;
    bool m_packageRefreshPending = false;
};

} // namespace Internal
} // namespace Quillmark
