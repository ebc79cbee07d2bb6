#include <modaldialoganswerer.h>
#include <utils/fancylineedit.h>
#include <utils/pathchooser.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QtTest>

using namespace Utils;

Q_DECLARE_METATYPE(Utils::PathChooser::Kind)

// The path chooser as the dialogs use it: validation by kind and the browse button.
class tst_PathChooser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void validationByKind_data();
    void validationByKind();
    void browseTakesTheChosenFile();

private:
    QString makeFile(const QString &name, QFile::Permissions permissions);

    QTemporaryDir m_dir;
};

QString tst_PathChooser::makeFile(const QString &name, QFile::Permissions permissions)
{
    QFile file(m_dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write("x");
    file.close();
    file.setPermissions(permissions);
    return file.fileName();
}

void tst_PathChooser::initTestCase()
{
    QVERIFY(QDir(m_dir.path()).mkdir("folder"));
    makeFile("key.pem", QFile::ReadOwner | QFile::WriteOwner);
    makeFile("tool", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void tst_PathChooser::validationByKind_data()
{
    QTest::addColumn<PathChooser::Kind>("kind");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("valid");

    QTest::newRow("file exists") << PathChooser::File << "key.pem" << true;
    QTest::newRow("file missing") << PathChooser::File << "nokey.pem" << false;
    QTest::newRow("file is folder") << PathChooser::File << "folder" << false;
    QTest::newRow("no path") << PathChooser::File << QString() << false;
    QTest::newRow("folder exists") << PathChooser::ExistingDirectory << "folder" << true;
    QTest::newRow("folder missing") << PathChooser::ExistingDirectory << "nofolder" << false;
    QTest::newRow("folder is file") << PathChooser::ExistingDirectory << "key.pem" << false;
    QTest::newRow("new folder") << PathChooser::Directory << "nofolder" << true;
    QTest::newRow("save new file") << PathChooser::SaveFile << "new.pem" << true;
    QTest::newRow("save over file") << PathChooser::SaveFile << "key.pem" << true;
    QTest::newRow("save in missing folder") << PathChooser::SaveFile << "nofolder/new.pem" << false;
    QTest::newRow("save onto folder") << PathChooser::SaveFile << "folder" << false;
    QTest::newRow("command") << PathChooser::ExistingCommand << "tool" << true;
    QTest::newRow("command not executable") << PathChooser::ExistingCommand << "key.pem" << false;
    QTest::newRow("command is folder") << PathChooser::ExistingCommand << "folder" << false;
    QTest::newRow("anything") << PathChooser::Any << "no/such/thing" << true;
}

void tst_PathChooser::validationByKind()
{
    QFETCH(PathChooser::Kind, kind);
    QFETCH(QString, path);
    QFETCH(bool, valid);

    PathChooser chooser;
    chooser.setExpectedKind(kind);
    chooser.setPath(path.isEmpty() ? path : m_dir.filePath(path));
    QCOMPARE(chooser.isValid(), valid);
    QCOMPARE(chooser.errorMessage().isEmpty(), valid);
    QCOMPARE(chooser.lineEdit()->state(), valid ? FancyLineEdit::Valid : FancyLineEdit::Invalid);
}

void tst_PathChooser::browseTakesTheChosenFile()
{
    PathChooser chooser;
    chooser.setExpectedKind(PathChooser::File);
    chooser.setPromptDialogTitle("Select RPM package");
    chooser.setPromptDialogFilter("RPM package (*.rpm)");
    chooser.setInitialBrowsePathBackup(m_dir.path());
    const QString package = makeFile("hello.rpm", QFile::ReadOwner);

    QString title;
    QStringList filters;
    ModalDialogAnswerer answerer({[&](QDialog *dialog) {
        auto fileDialog = qobject_cast<QFileDialog *>(dialog);
        QVERIFY(fileDialog);
        title = fileDialog->windowTitle();
        filters = fileDialog->nameFilters();
        // selectFile() leaves the name field alone while the field has the focus.
        if (QWidget *focused = fileDialog->focusWidget())
            focused->clearFocus();
        fileDialog->selectFile(package);
        dialog->accept();
    }});
    chooser.buttonAtIndex(0)->click();

    QCOMPARE(title, QString("Select RPM package"));
    QCOMPARE(filters, QStringList("RPM package (*.rpm)"));
    QCOMPARE(chooser.path(), package);
    QVERIFY(chooser.isValid());
    QCOMPARE(answerer.unanswered(), 0);
}

QTEST_MAIN(tst_PathChooser)

#include "tst_pathchooser.moc"
