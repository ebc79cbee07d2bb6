#include <modaldialoganswerer.h>
#include <testide.h>

#include <coreplugin/actionmanager/actionmanager.h>
#include <coreplugin/actionmanager/command.h>
#include <coreplugin/coreconstants.h>
#include <coreplugin/dialogs/ioptionspage.h>
#include <coreplugin/messagemanager.h>
#include <coreplugin/outputpanemanager.h>
#include <coreplugin/outputwindow.h>

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace Core;

// The Core plug-in loaded alone: the message pane, its cap and the options dialog.
class tst_CorePlugin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void messagePaneShowsOrFlashesAsAsked();
    void outputPaneKeepsTheNewestWholeLines_data();
    void outputPaneKeepsTheNewestWholeLines();
    void optionsDialogAppliesPages();

private:
    std::unique_ptr<TestIde> m_ide;
};

void tst_CorePlugin::initTestCase()
{
    m_ide = std::make_unique<TestIde>(QString(), QStringList("Core"));
    QVERIFY(m_ide->errors().isEmpty());
}

void tst_CorePlugin::cleanupTestCase()
{
    m_ide.reset();
}

void tst_CorePlugin::messagePaneShowsOrFlashesAsAsked()
{
    QPlainTextEdit *pane = MessageManager::outputWidget();
    auto other = new QLabel;
    OutputPaneManager::addPane(other, "Other");
    OutputPaneManager::showPane(other);
    const QString before = MessageManager::text();

    MessageManager::writeSilently("[I]\tquiet");
    QCOMPARE(OutputPaneManager::currentPane(), other);
    QVERIFY(!OutputPaneManager::isFlashing(pane));

    MessageManager::writeFlashing("[$] 0\tpkgseal sign");
    QCOMPARE(OutputPaneManager::currentPane(), other);
    QVERIFY(OutputPaneManager::isFlashing(pane));

    MessageManager::writeDisrupting(QStringList({"[E]\tfirst", "second"}));
    QCOMPARE(OutputPaneManager::currentPane(), pane);
    QVERIFY(!OutputPaneManager::isFlashing(pane));

    QCOMPARE(MessageManager::text().mid(before.size()),
             QString("[I]\tquiet\n[$] 0\tpkgseal sign\n[E]\tfirst\nsecond\n"));
    delete other;
}

void tst_CorePlugin::outputPaneKeepsTheNewestWholeLines_data()
{
    // Lines of one length: with two caps one apart, the cut falls inside a line at least once.
    QTest::addColumn<int>("cap");
    QTest::newRow("2000") << 2000;
    QTest::newRow("2001") << 2001;
}

void tst_CorePlugin::outputPaneKeepsTheNewestWholeLines()
{
    QFETCH(int, cap);
    auto pane = qobject_cast<OutputWindow *>(MessageManager::outputWidget());
    QVERIFY(pane);
    pane->clear();
    pane->setMaxCharCount(cap);
    const auto message = [](int i) { return QString("message %1").arg(i, 3, 10, QChar('0')); };
    for (int i = 1; i <= 300; ++i)
        MessageManager::writeSilently(message(i));
    // Written by the event loop, a batch at a time.
    QTRY_VERIFY(pane->toPlainText().contains(message(300)));

    const QStringList lines = pane->toPlainText().split('\n', Qt::SkipEmptyParts);
    const int characters = pane->document()->characterCount();
    pane->setMaxCharCount(OutputWindow::defaultMaxCharCount);
    QVERIFY(characters <= cap);
    QVERIFY(lines.size() > 100);
    QCOMPARE(lines.first(), OutputWindow::discardedNote());
    for (int i = 1; i < lines.size(); ++i)
        QCOMPARE(lines.at(i), message(301 - lines.size() + i));
}

namespace {
class TestOptionsPage : public IOptionsPage
{
public:
    explicit TestOptionsPage(int *applied)
    {
        setId("Test.OptionsPage");
        setDisplayName("Build Engines");
        setCategory("Test.Category");
        setWidgetCreator([applied] { return new Widget(applied); });
    }

private:
    class Widget : public IOptionsPageWidget
    {
    public:
        explicit Widget(int *applied)
            : m_applied(applied)
        {}
        void apply() override { ++*m_applied; }

    private:
        int *m_applied;
    };
};
} // namespace

void tst_CorePlugin::optionsDialogAppliesPages()
{
    int applied = 0;
    TestOptionsPage page(&applied);
    ModalDialogAnswerer answerer({[](QDialog *dialog) {
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    }});
    ActionManager::command(Constants::OPTIONS)->action()->trigger();
    QCOMPARE(applied, 1);
    QCOMPARE(answerer.unanswered(), 0);
}

QTEST_MAIN(tst_CorePlugin)

#include "tst_coreplugin.moc"
