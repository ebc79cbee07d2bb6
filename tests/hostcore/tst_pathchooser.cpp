#include <utils/fancylineedit.h>
#include <utils/historycompleter.h>
#include <utils/pathchooser.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

using namespace Utils;

Q_DECLARE_METATYPE(Utils::PathChooser::Kind)

// The path chooser as users and the dialogs see it: validation by kind, its signals, the
// browse button and the history kept in the settings.
class tst_PathChooser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void validationByKind_data();
    void validationByKind();
    void errorDisplayAndOwnValidation();
    void pathSignals();
    void typingAndEditingFinished();
    void historyIsKeptAndRestored();
    void historyOrderAndLimit();
    void browseOpensDialogWithPromptAndTakesChoice();
    void browseCancelledKeepsPath();

private:
    QString makeFile(const QString &name);
    void whenFileDialogOpens(QTimer *poll, const std::function<void(QFileDialog *)> &answer);

    QTemporaryDir m_dir;
    QTemporaryDir m_settingsDir;
};

void tst_PathChooser::initTestCase()
{
    QCoreApplication::setOrganizationName(QLatin1String("Kelvara"));
    QCoreApplication::setApplicationName(QLatin1String("KelvaraIDE"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
    QVERIFY(QDir(m_dir.path()).mkdir(QLatin1String("folder")));
    makeFile(QLatin1String("key.pem"));
}

QString tst_PathChooser::makeFile(const QString &name)
{
    QFile file(m_dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write("x");
    return file.fileName();
}

// Answers the modal file dialog that the browse button opens.
void tst_PathChooser::whenFileDialogOpens(QTimer *poll,
                                          const std::function<void(QFileDialog *)> &answer)
{
    connect(poll, &QTimer::timeout, this, [poll, answer] {
        if (auto dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            poll->stop();
            answer(dialog);
        }
    });
    poll->start(10);
}

void tst_PathChooser::validationByKind_data()
{
    QTest::addColumn<PathChooser::Kind>("kind");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("error"); // empty: valid

    const QString notExist = QLatin1String("The path \"%1\" does not exist.");
    QTest::newRow("file exists") << PathChooser::File << "key.pem" << QString();
    QTest::newRow("file missing") << PathChooser::File << "nokey.pem" << notExist;
    QTest::newRow("file is folder") << PathChooser::File << "folder"
                                    << "The path \"%1\" is not a file.";
    QTest::newRow("folder exists") << PathChooser::ExistingDirectory << "folder" << QString();
    QTest::newRow("folder missing") << PathChooser::ExistingDirectory << "nofolder" << notExist;
    QTest::newRow("folder is file") << PathChooser::ExistingDirectory << "key.pem"
                                    << "The path \"%1\" is not a directory.";
    QTest::newRow("new folder") << PathChooser::Directory << "nofolder" << QString();
    QTest::newRow("save new file") << PathChooser::SaveFile << "new.pem" << QString();
    QTest::newRow("save over file") << PathChooser::SaveFile << "key.pem" << QString();
    QTest::newRow("save in missing folder") << PathChooser::SaveFile << "nofolder/new.pem"
                                            << "The directory \"%2\" does not exist.";
    QTest::newRow("save onto folder") << PathChooser::SaveFile << "folder"
                                      << "The path \"%1\" is not a file.";
    QTest::newRow("command not executable") << PathChooser::ExistingCommand << "key.pem"
                                            << "The path \"%1\" is not an executable file.";
    QTest::newRow("anything") << PathChooser::Any << "no/such/thing" << QString();
}

void tst_PathChooser::validationByKind()
{
    QFETCH(PathChooser::Kind, kind);
    QFETCH(QString, path);
    QFETCH(QString, error);

    PathChooser chooser;
    chooser.setExpectedKind(kind);
    const QString fullPath = m_dir.filePath(path);
    chooser.setPath(fullPath);
    QString expectedError = error;
    expectedError.replace(QLatin1String("%1"), fullPath);
    expectedError.replace(QLatin1String("%2"), QFileInfo(fullPath).absolutePath());
    QCOMPARE(chooser.errorMessage(), expectedError);
    QCOMPARE(chooser.isValid(), error.isEmpty());
    QCOMPARE(chooser.lineEdit()->state(),
             error.isEmpty() ? FancyLineEdit::Valid : FancyLineEdit::Invalid);
}

void tst_PathChooser::errorDisplayAndOwnValidation()
{
    PathChooser chooser;
    chooser.setExpectedKind(PathChooser::File);
    chooser.setPath(m_dir.filePath(QLatin1String("missing.pem")));
    const auto textColor = [&] {
        return chooser.lineEdit()->palette().color(QPalette::Active, QPalette::Text);
    };
    QCOMPARE(textColor(), QColor(Qt::red));
    QCOMPARE(chooser.lineEdit()->toolTip(), chooser.errorMessage());
    chooser.setPath(QString());
    QCOMPARE(chooser.errorMessage(), QLatin1String("The path must not be empty."));
    chooser.setPath(m_dir.filePath(QLatin1String("key.pem")));
    QVERIFY(textColor() != QColor(Qt::red));
    QVERIFY(chooser.lineEdit()->toolTip().isEmpty());

    chooser.setValidationFunction([](FancyLineEdit *, QString *) { return true; });
    chooser.setPath(m_dir.filePath(QLatin1String("missing.pem")));
    QVERIFY(chooser.isValid());

    chooser.setValidationFunction([](FancyLineEdit *edit, QString *error) {
        *error = QLatin1String("Not a key: ") + edit->text();
        return edit->text().endsWith(QLatin1String(".key"));
    });
    QVERIFY(!chooser.isValid());
    QCOMPARE(chooser.errorMessage(),
             QLatin1String("Not a key: ") + m_dir.filePath(QLatin1String("missing.pem")));

    // The default function is still to hand, e.g. to combine it with one's own.
    const FancyLineEdit::ValidationFunction defaultFunction = chooser.defaultValidationFunction();
    QString error;
    QVERIFY(!defaultFunction(chooser.lineEdit(), &error));
    QVERIFY(error.contains(QLatin1String("does not exist")));
}

void tst_PathChooser::pathSignals()
{
    PathChooser chooser;
    chooser.setExpectedKind(PathChooser::File);
    QSignalSpy pathChanged(&chooser, &PathChooser::pathChanged);
    QSignalSpy rawPathChanged(&chooser, &PathChooser::rawPathChanged);
    QSignalSpy validChanged(&chooser, &PathChooser::validChanged);

    const QString key = m_dir.filePath(QLatin1String("key.pem"));
    const QString unclean = m_dir.path() + QLatin1String("/folder/../key.pem");
    chooser.setPath(unclean);
    QCOMPARE(pathChanged.count(), 1);
    QCOMPARE(pathChanged.last().first().toString(), key);
    QCOMPARE(rawPathChanged.last().first().toString(), unclean);
    QCOMPARE(chooser.rawPath(), unclean);
    QCOMPARE(chooser.filePath(), FilePath::fromString(key));
    QCOMPARE(validChanged.count(), 1);
    QCOMPARE(validChanged.last().first().toBool(), true);

    chooser.setPath(unclean); // unchanged text: no signal
    QCOMPARE(pathChanged.count(), 1);

    chooser.setFilePath(FilePath::fromString(m_dir.filePath(QLatin1String("gone.pem"))));
    QCOMPARE(pathChanged.count(), 2);
    QCOMPARE(validChanged.last().first().toBool(), false);

    chooser.setPath(QString());
    QVERIFY(chooser.filePath().isEmpty());
    QCOMPARE(pathChanged.last().first().toString(), QString());
}

void tst_PathChooser::typingAndEditingFinished()
{
    QWidget window;
    auto chooser = new PathChooser(&window);
    auto other = new QLineEdit(&window);
    window.setLayout(new QVBoxLayout);
    window.layout()->addWidget(chooser);
    window.layout()->addWidget(other);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QSignalSpy pathChanged(chooser, &PathChooser::pathChanged);
    QSignalSpy editingFinished(chooser, &PathChooser::editingFinished);
    QSignalSpy returnPressed(chooser, &PathChooser::returnPressed);
    chooser->setExpectedKind(PathChooser::Any);
    chooser->lineEdit()->setFocus();
    QTest::keyClicks(chooser->lineEdit(), QLatin1String("/typed"));
    QCOMPARE(pathChanged.count(), 6);
    QCOMPARE(pathChanged.last().first().toString(), QLatin1String("/typed"));
    QCOMPARE(editingFinished.count(), 0);
    QTest::keyClick(chooser->lineEdit(), Qt::Key_Return);
    QCOMPARE(returnPressed.count(), 1);
    QCOMPARE(editingFinished.count(), 1);
}

void tst_PathChooser::historyIsKeptAndRestored()
{
    const QString key = m_dir.filePath(QLatin1String("key.pem"));
    {
        PathChooser chooser;
        chooser.setExpectedKind(PathChooser::File);
        chooser.setHistoryCompleter(QLatin1String("Test.History.Key"));
        chooser.setPath(key);
        emit chooser.lineEdit()->editingFinished();
        QCoreApplication::processEvents(); // the entry is added after the edit settles
    }
    QSettings settings;
    QCOMPARE(settings.value(QLatin1String("CompleterHistory/Test.History.Key")).toStringList(),
             QStringList(key));

    PathChooser notRestoring;
    notRestoring.setHistoryCompleter(QLatin1String("Test.History.Key"));
    QVERIFY(notRestoring.path().isEmpty());
    QCOMPARE(notRestoring.lineEdit()->completer()->model()->rowCount(), 1);

    PathChooser restoring;
    QSignalSpy pathChanged(&restoring, &PathChooser::pathChanged);
    restoring.setHistoryCompleter(QLatin1String("Test.History.Key"), true);
    QCOMPARE(restoring.path(), key);
    QCOMPARE(pathChanged.count(), 1);

    // An emptied field is restored empty.
    restoring.setPath(QString());
    emit restoring.lineEdit()->editingFinished();
    QCoreApplication::processEvents();
    PathChooser afterEmpty;
    afterEmpty.setHistoryCompleter(QLatin1String("Test.History.Key"), true);
    QVERIFY(afterEmpty.path().isEmpty());
    QVERIFY(HistoryCompleter::historyExistsFor(QLatin1String("Test.History.Key")));
    QVERIFY(!HistoryCompleter::historyExistsFor(QLatin1String("Test.History.Unknown")));
}

void tst_PathChooser::historyOrderAndLimit()
{
    HistoryCompleter completer(QLatin1String("Test.History.Order"));
    for (const QString &entry : {"a", "b", "c", "d", "e", "f", "g", "b"})
        completer.addEntry(entry);
    QCOMPARE(completer.historyItems(), QStringList({"b", "g", "f", "e", "d", "c"}));
    QCOMPARE(completer.historyItem(), QLatin1String("b"));
    QVERIFY(completer.removeHistoryItem(0));
    QCOMPARE(completer.historyItem(), QLatin1String("g"));

    HistoryCompleter reread(QLatin1String("Test.History.Order"));
    QCOMPARE(reread.historyItems(), QStringList({"g", "f", "e", "d", "c"}));
    reread.clearHistory();
    QVERIFY(!reread.hasHistory());
}

void tst_PathChooser::browseOpensDialogWithPromptAndTakesChoice()
{
    PathChooser chooser;
    chooser.setExpectedKind(PathChooser::File);
    chooser.setPromptDialogTitle(QLatin1String("Select RPM package"));
    chooser.setPromptDialogFilter(QLatin1String("RPM package (*.rpm)"));
    chooser.setInitialBrowsePathBackup(m_dir.path());
    chooser.setHistoryCompleter(QLatin1String("Test.History.Browse"));
    const QString package = makeFile(QLatin1String("hello.rpm"));

    QAbstractButton *browse = chooser.buttonAtIndex(0);
    QVERIFY(browse);
    QCOMPARE(browse->text(), QLatin1String("Browse..."));
    QVERIFY(!chooser.buttonAtIndex(1));

    QString title;
    QString directory;
    QStringList filters;
    QTimer poll;
    whenFileDialogOpens(&poll, [&](QFileDialog *dialog) {
        title = dialog->windowTitle();
        directory = dialog->directory().absolutePath();
        filters = dialog->nameFilters();
        dialog->selectFile(package);
        static_cast<QDialog *>(dialog)->accept();
    });
    QSignalSpy browsingFinished(&chooser, &PathChooser::browsingFinished);
    QSignalSpy pathChanged(&chooser, &PathChooser::pathChanged);
    browse->click();

    QCOMPARE(title, QLatin1String("Select RPM package"));
    QCOMPARE(directory, QDir(m_dir.path()).absolutePath());
    QCOMPARE(filters, QStringList(QLatin1String("RPM package (*.rpm)")));
    QCOMPARE(chooser.path(), package);
    QCOMPARE(browsingFinished.count(), 1);
    QCOMPARE(pathChanged.count(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(QSettings().value(QLatin1String("CompleterHistory/Test.History.Browse")).toStringList(),
             QStringList(package));
}

void tst_PathChooser::browseCancelledKeepsPath()
{
    PathChooser chooser;
    chooser.setExpectedKind(PathChooser::SaveFile);
    const QString key = m_dir.filePath(QLatin1String("key.pem"));
    chooser.setPath(key);
    QString directory;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    QTimer poll;
    whenFileDialogOpens(&poll, [&](QFileDialog *dialog) {
        directory = dialog->directory().absolutePath();
        mode = dialog->acceptMode();
        dialog->reject();
    });
    chooser.buttonAtIndex(0)->click();
    QCOMPARE(mode, QFileDialog::AcceptSave);
    QCOMPARE(directory, QDir(m_dir.path()).absolutePath());
    QCOMPARE(chooser.path(), key);
}

QTEST_MAIN(tst_PathChooser)

#include "tst_pathchooser.moc"
