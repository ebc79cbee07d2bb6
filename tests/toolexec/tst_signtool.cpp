#include "passphraseanswerer.h"
#include "toolexectestcase.h"

#include <passworddialogprivate.h>
#include <signtool.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

using namespace Quillmark::Internal;

namespace {

// The operations are Pkgseal's; here only the output handling of the base counts.
class LineTool : public SignTool
{
public:
    using SignTool::processOutput;
    using SignTool::processStream;
    using SignTool::publishPendingLines;

    RunResult sign(const QStringList &, const KeySet &) override { return {}; }
    RunResult removeSignature(const QStringList &) override { return {}; }
    RunResult verify(const QStringList &, const KeySet &) override { return {}; }
    RunResult dump(const QStringList &) override { return {}; }
    RunResult generateRequest(const RequestParameters &) override { return {}; }
};

// What one dialog showed while a test answered it.
struct DialogObservation
{
    QString errorText;
    bool errorVisible = false;
    bool stillOpen = false;
    QString textAfterRefusal;
};

} // namespace

class tst_SignTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void linesArePublished_data();
    void linesArePublished();
    void promptsAreAnswered_data();
    void promptsAreAnswered();
    void cancelStopsTheRest();

    void dialogRefusesAndStaysOpen_data();
    void dialogRefusesAndStaysOpen();
    void dialogShowsThePromptAndMasksTheField();

private:
    QStringList published(QSignalSpy &spy) const;

    std::unique_ptr<ToolExecTestCase> m_case;
};

void tst_SignTool::initTestCase()
{
    m_case = std::make_unique<ToolExecTestCase>();
}

void tst_SignTool::cleanupTestCase()
{
    m_case.reset();
}

void tst_SignTool::init()
{
    m_case->clearMessages();
}

QStringList tst_SignTool::published(QSignalSpy &spy) const
{
    QStringList lines;
    for (const QList<QVariant> &arguments : spy)
        lines << arguments.first().toString();
    return lines;
}

void tst_SignTool::linesArePublished_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<bool>("isError");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("mixed line ends, last line without end")
        << QByteArrayList{"a\r\nb\n\nc"} << false << QStringList({"a", "b", "c"});
    QTest::newRow("error lines") << QByteArrayList{"error: bad key\rsecond\n"} << true
                                 << QStringList({"error: bad key", "second"});
    QTest::newRow("invalid utf-8")
        << QByteArrayList{"x\xffy\n"} << false << QStringList(QString("x") + QChar(0xfffd) + "y");
    QTest::newRow("prompt in lower case or after blanks")
        << QByteArrayList{"enter pass phrase:\n  Enter pass phrase:"} << true
        << QStringList({"enter pass phrase:", "  Enter pass phrase:"});
    QTest::newRow("line and line end split across chunks")
        << QByteArrayList{"first li", "", "ne\r", "\nsec", "ond"} << false
        << QStringList({"first line", "second"});
    QTest::newRow("letter split across chunks") << QByteArrayList{"Gr\xc3", "\xbc\xc3\x9f", "e\n"}
                                                << true << QStringList(QString::fromUtf8("Grüße"));
}

void tst_SignTool::linesArePublished()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(bool, isError);
    QFETCH(QStringList, lines);

    LineTool tool;
    QSignalSpy outputSpy(&tool, &SignTool::addOutput);
    QSignalSpy errorSpy(&tool, &SignTool::addError);
    QByteArray input;
    PassPhraseAnswerer answerer({});

    for (const QByteArray &chunk : chunks)
        QVERIFY(tool.processStream(chunk, isError, input));
    tool.publishPendingLines();

    QVERIFY(input.isEmpty());
    QVERIFY(answerer.prompts().isEmpty());
    QCOMPARE(published(isError ? errorSpy : outputSpy), lines);
    QCOMPARE((isError ? outputSpy : errorSpy).size(), 0);
    QStringList paneLines;
    for (const QString &line : lines)
        paneLines << (isError ? "[E]\t" : "[I]\t") + line;
    QCOMPARE(m_case->messages(), paneLines);
}

void tst_SignTool::promptsAreAnswered_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("error");
    QTest::addColumn<QStringList>("prompts");

    QTest::newRow("pkgseal") << QByteArray("before\nEnter passphrase for binaries key: ")
                             << QByteArray() << QStringList("Enter passphrase for binaries key: ");
    QTest::newRow("key file") << QByteArray("before")
                              << QByteArray("Enter pass phrase for /ws/k.pem:")
                              << QStringList("Enter pass phrase for /ws/k.pem:");
    QTest::newRow("two prompts in one chunk")
        << QByteArray("before\n")
        << QByteArray("Enter PEM pass phrase:\nVerifying - Enter PEM pass phrase:\n")
        << QStringList({"Enter PEM pass phrase:", "Verifying - Enter PEM pass phrase:"});
}

void tst_SignTool::promptsAreAnswered()
{
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, error);
    QFETCH(QStringList, prompts);

    LineTool tool;
    QSignalSpy outputSpy(&tool, &SignTool::addOutput);
    QSignalSpy errorSpy(&tool, &SignTool::addError);
    QList<PassPhraseAnswerer::Action> answers;
    QByteArray expectedInput;
    for (int i = 0; i < prompts.size(); ++i) {
        const QString passPhrase = QString::fromUtf8("s3cret Grüße %1").arg(i);
        answers << PassPhraseAnswerer::typeAndConfirm(passPhrase);
        expectedInput += passPhrase.toUtf8() + '\n';
    }
    PassPhraseAnswerer answerer(answers);
    QByteArray input;

    QVERIFY(tool.processOutput(output, error, input));
    tool.publishPendingLines();

    QCOMPARE(answerer.prompts(), prompts);
    QCOMPARE(input, expectedInput);
    QCOMPARE(published(outputSpy), QStringList("before"));
    QCOMPARE(errorSpy.size(), 0);
    QCOMPARE(m_case->messages(), QStringList("[I]\tbefore"));
}

void tst_SignTool::cancelStopsTheRest()
{
    LineTool tool;
    QSignalSpy outputSpy(&tool, &SignTool::addOutput);
    QSignalSpy errorSpy(&tool, &SignTool::addError);
    PassPhraseAnswerer answerer({PassPhraseAnswerer::cancel()});
    QByteArray input;

    // The tool is stopped: no further prompt is asked, but every line it wrote is published.
    QVERIFY(!tool.processOutput("first\nEnter pass phrase:\nlast\n",
                                "error line\nEnter PEM pass phrase:",
                                input));

    QCOMPARE(answerer.prompts(), QStringList("Enter pass phrase:"));
    QVERIFY(input.isEmpty());
    QCOMPARE(published(outputSpy), QStringList({"first", "last"}));
    QCOMPARE(published(errorSpy), QStringList("error line"));
    QCOMPARE(m_case->messages(), QStringList({"[I]\tfirst", "[I]\tlast", "[E]\terror line"}));
    QVERIFY(!tool.processOutput({}, {}, input));
}

void tst_SignTool::dialogRefusesAndStaysOpen_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty") << QString() << "Password can't be empty";
    QTest::newRow("line feed") << "pass\nword"
                               << "Password contains invalid newline characters";
    QTest::newRow("carriage return") << "pass\rword"
                                     << "Password contains invalid newline characters";
}

void tst_SignTool::dialogRefusesAndStaysOpen()
{
    QFETCH(QString, text);
    QFETCH(QString, message);

    DialogObservation seen;
    PassPhraseAnswerer answerer({[&](PasswordDialogPrivate *dialog) {
        PassPhraseAnswerer::field(dialog)->setText(text);
        PassPhraseAnswerer::press(dialog, QDialogButtonBox::Ok);
        QLabel *errorLabel = PassPhraseAnswerer::errorLabel(dialog);
        seen = {errorLabel->text(),
                errorLabel->isVisible(),
                dialog->isVisible(),
                PassPhraseAnswerer::field(dialog)->text()};
        // Blanks alone are a valid pass phrase.
        PassPhraseAnswerer::field(dialog)->setText("   ");
        PassPhraseAnswerer::press(dialog, QDialogButtonBox::Ok);
    }});
    bool ok = false;
    const QString passPhrase = getPassword("Enter pass phrase:", &ok);

    QCOMPARE(seen.errorText, message);
    QVERIFY(seen.errorVisible);
    QVERIFY(seen.stillOpen);
    QCOMPARE(seen.textAfterRefusal, text);
    QVERIFY(ok);
    QCOMPARE(passPhrase, QString("   "));
}

void tst_SignTool::dialogShowsThePromptAndMasksTheField()
{
    const QString prompt = "Enter passphrase for <b>binaries</b> key: ";
    struct
    {
        QString label;
        Qt::TextFormat format = Qt::AutoText;
        QLineEdit::EchoMode echoMode = QLineEdit::Normal;
        QString displayText;
        bool focused = false;
        bool helpButton = true;
        QWidget *parent = nullptr;
    } seen;
    PassPhraseAnswerer answerer({[&](PasswordDialogPrivate *dialog) {
        QLineEdit *field = PassPhraseAnswerer::field(dialog);
        QTest::keyClicks(field, "visible?");
        seen.label = dialog->findChild<QLabel *>("promptLabel")->text();
        seen.format = dialog->findChild<QLabel *>("promptLabel")->textFormat();
        seen.echoMode = field->echoMode();
        seen.displayText = field->displayText();
        seen.focused = dialog->focusWidget() == field;
        seen.helpButton = dialog->windowFlags().testFlag(Qt::WindowContextHelpButtonHint);
        seen.parent = dialog->parentWidget();
        PassPhraseAnswerer::press(dialog, QDialogButtonBox::Ok);
    }});
    bool ok = false;
    QCOMPARE(getPassword(prompt, &ok), QString("visible?"));

    QCOMPARE(seen.label, prompt);
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.echoMode, QLineEdit::Password);
    QCOMPARE(seen.displayText.size(), 8);
    QVERIFY(!seen.displayText.contains("visible"));
    QVERIFY(seen.focused);
    QVERIFY(!seen.helpButton);
    QVERIFY(!seen.parent);
}

QTEST_MAIN(tst_SignTool)

#include "tst_signtool.moc"
