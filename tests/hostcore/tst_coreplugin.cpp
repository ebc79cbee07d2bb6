#include <testide.h>

#include <coreplugin/actionmanager/actioncontainer.h>
#include <coreplugin/actionmanager/actionmanager.h>
#include <coreplugin/actionmanager/command.h>
#include <coreplugin/coreconstants.h>
#include <coreplugin/dialogs/ioptionspage.h>
#include <coreplugin/fileutils.h>
#include <coreplugin/icore.h>
#include <coreplugin/messagemanager.h>
#include <coreplugin/outputpanemanager.h>
#include <coreplugin/outputwindow.h>
#include <coreplugin/terminaloutput.h>

#include <extensionsystem/pluginmanager.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

#include <unistd.h>

using namespace Core;

// The Core plug-in loaded alone by the real plug-in manager: main window, menus, commands,
// message pane, options dialog.
class tst_CorePlugin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void mainWindowAndMenus();
    void commandsForwardToRegisteredAction();
    void reregisteredAndUnregisteredCommands();
    void groupsOrderTheMenu();
    void menuIsDisabledWhileNothingInItIsEnabled();
    void messagePane();
    void outputPaneKeepsTheNewestLines();
    void messagesEchoToTerminalWhenAsked();
    void settingsAndWindows();
    void showInGraphicalShellHeadless();
    void optionsDialogAppliesPages();

private:
    static QStringList menuTexts(QWidget *widget);
    std::unique_ptr<TestIde> m_ide;
};

void tst_CorePlugin::initTestCase()
{
    m_ide = std::make_unique<TestIde>(QString(), QStringList(QLatin1String("Core")));
    QVERIFY(ICore::instance());
    QVERIFY(m_ide->errors().isEmpty());
}

void tst_CorePlugin::cleanupTestCase()
{
    m_ide.reset();
    QVERIFY(!ICore::mainWindow());
    QVERIFY(!ActionManager::instance());
}

QStringList tst_CorePlugin::menuTexts(QWidget *widget)
{
    QStringList texts;
    const QList<QAction *> actions = widget->actions();
    for (QAction *action : actions)
        texts.append(action->isSeparator() ? QLatin1String("---") : action->text());
    return texts;
}

void tst_CorePlugin::mainWindowAndMenus()
{
    QMainWindow *window = ICore::mainWindow();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(ICore::dialogParent(), window);
    QCOMPARE(menuTexts(window->menuBar()), QStringList({"&File", "&Tools", "&Help"}));
    QCOMPARE(menuTexts(ActionManager::actionContainer(Constants::M_FILE)->menu()),
             QStringList("E&xit"));
    QVERIFY(ActionManager::command(Constants::EXIT));
    QVERIFY(ActionManager::command(Constants::OPTIONS));

    // One container per id.
    ActionContainer *tools = ActionManager::createMenu("Test.Tools.Menu");
    QCOMPARE(ActionManager::createMenu("Test.Tools.Menu"), tools);
    QCOMPARE(ActionManager::actionContainer("Test.Tools.Menu"), tools);
    QVERIFY(!tools->menuBar());
    QCOMPARE(ActionManager::createMenu(Constants::M_TOOLS),
             ActionManager::actionContainer(Constants::M_TOOLS));
    QVERIFY(ActionManager::actionContainer(Constants::MENU_BAR)->menuBar());

    tools->menu()->setTitle(QLatin1String("&Test"));
    ActionManager::actionContainer(Constants::MENU_BAR)->addMenu(tools, Constants::G_TOOLS);
    QCOMPARE(menuTexts(ICore::mainWindow()->menuBar()),
             QStringList({"&File", "&Tools", "&Test", "&Help"}));
}

void tst_CorePlugin::commandsForwardToRegisteredAction()
{
    QSignalSpy commandAdded(ActionManager::instance(), &ActionManager::commandAdded);
    auto action = new QAction(QLatin1String("&Sign Packages"), this);
    QSignalSpy triggered(action, &QAction::triggered);
    Command *cmd = ActionManager::registerAction(action,
                                                 "Test.SignDialog",
                                                 Context(Constants::C_GLOBAL));
    QVERIFY(cmd);
    QCOMPARE(commandAdded.count(), 1);
    QCOMPARE(ActionManager::command("Test.SignDialog"), cmd);
    QCOMPARE(cmd->context(), Context(Constants::C_GLOBAL));
    QCOMPARE(cmd->description(), QLatin1String("Sign Packages"));

    ActionContainer *tools = ActionManager::createMenu("Test.Tools.Menu");
    tools->addAction(cmd);
    QVERIFY(tools->menu()->actions().contains(cmd->action()));
    QCOMPARE(cmd->action()->text(), QLatin1String("&Sign Packages"));

    cmd->action()->trigger();
    QCOMPARE(triggered.count(), 1);
    QVERIFY(cmd->isActive());

    QSignalSpy activeChanged(cmd, &Command::activeStateChanged);
    action->setEnabled(false);
    QVERIFY(!cmd->action()->isEnabled());
    QVERIFY(!cmd->isActive());
    QCOMPARE(activeChanged.count(), 1);
    cmd->action()->trigger();
    QCOMPARE(triggered.count(), 1);
    action->setEnabled(true);
    action->setText(QLatin1String("Sign"));
    QCOMPARE(cmd->action()->text(), QLatin1String("Sign"));
}

void tst_CorePlugin::reregisteredAndUnregisteredCommands()
{
    auto first = new QAction(QLatin1String("First"), this);
    auto second = new QAction(QLatin1String("Second"), this);
    QSignalSpy firstTriggered(first, &QAction::triggered);
    QSignalSpy secondTriggered(second, &QAction::triggered);
    Command *cmd = ActionManager::registerAction(first, "Test.Twice");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QLatin1String("already registered")));
    QCOMPARE(ActionManager::registerAction(second, "Test.Twice"), cmd);
    cmd->action()->trigger();
    QCOMPARE(firstTriggered.count(), 0);
    QCOMPARE(secondTriggered.count(), 1);
    QCOMPARE(cmd->action()->text(), QLatin1String("Second"));

    // An unregistered command leaves the menus.
    auto action = new QAction(QLatin1String("Temporary"), this);
    ActionContainer *tools = ActionManager::createMenu("Test.Tools.Menu");
    tools->addAction(ActionManager::registerAction(action, "Test.Temporary"));
    QPointer<QAction> proxy = ActionManager::command("Test.Temporary")->action();
    ActionManager::unregisterAction(action, "Test.Temporary");
    QVERIFY(!ActionManager::command("Test.Temporary"));
    QVERIFY(!proxy);
    QVERIFY(!menuTexts(tools->menu()).contains(QLatin1String("Temporary")));

    // A command whose action is deleted stays, but cannot be used.
    auto shortLived = new QAction(QLatin1String("Short"), this);
    Command *orphan = ActionManager::registerAction(shortLived, "Test.ShortLived");
    delete shortLived;
    QCoreApplication::processEvents();
    QCOMPARE(ActionManager::command("Test.ShortLived"), orphan);
    QVERIFY(!orphan->action()->isEnabled());
}

void tst_CorePlugin::groupsOrderTheMenu()
{
    ActionContainer *menu = ActionManager::createMenu("Test.Grouped.Menu");
    menu->appendGroup("Test.Group.Last");
    menu->insertGroup("Test.Group.Last", "Test.Group.BeforeLast");
    const auto add = [menu](const char *id, Utils::Id group) {
        auto action = new QAction(QLatin1String(id), menu);
        menu->addAction(ActionManager::registerAction(action, Utils::Id(id).withPrefix("Test.")),
                        group);
    };
    add("last", "Test.Group.Last");
    add("default", Utils::Id());
    add("three", Constants::G_DEFAULT_THREE);
    add("one", Constants::G_DEFAULT_ONE);
    add("default2", Utils::Id());
    add("beforeLast", "Test.Group.BeforeLast");
    menu->addSeparator(Constants::G_DEFAULT_THREE);
    QCOMPARE(menuTexts(menu->menu()),
             QStringList({"one", "default", "default2", "three", "---", "beforeLast", "last"}));
    QCOMPARE(menu->insertLocation(Constants::G_DEFAULT_TWO)->text(), QLatin1String("three"));

    ActionContainer *sub = ActionManager::createMenu("Test.Sub.Menu");
    sub->menu()->setTitle(QLatin1String("sub"));
    menu->addMenu(sub, Constants::G_DEFAULT_ONE);
    QCOMPARE(menuTexts(menu->menu()).mid(0, 2), QStringList({"one", "sub"}));
}

void tst_CorePlugin::menuIsDisabledWhileNothingInItIsEnabled()
{
    // Menus update once the event loop runs.
    ActionContainer *menu = ActionManager::createMenu("Test.Empty.Menu");
    QCoreApplication::processEvents();
    QVERIFY(!menu->menu()->menuAction()->isEnabled());
    auto action = new QAction(QLatin1String("usable"), menu);
    menu->addAction(ActionManager::registerAction(action, "Test.Usable"));
    QCoreApplication::processEvents();
    QVERIFY(menu->menu()->menuAction()->isEnabled());
    action->setEnabled(false);
    QCoreApplication::processEvents();
    QVERIFY(!menu->menu()->menuAction()->isEnabled());

    menu->setOnAllDisabledBehavior(ActionContainer::Hide);
    action->setText(QLatin1String("still unusable"));
    QCoreApplication::processEvents();
    QVERIFY(!menu->menu()->menuAction()->isVisible());
}

void tst_CorePlugin::messagePane()
{
    QPlainTextEdit *pane = MessageManager::outputWidget();
    QVERIFY(pane);
    QVERIFY(OutputPaneManager::paneTitles().contains(QLatin1String("General Messages")));
    auto other = new QLabel;
    OutputPaneManager::addPane(other, QLatin1String("Other"));
    OutputPaneManager::showPane(other);
    QSignalSpy written(MessageManager::instance(), &MessageManager::messageWritten);
    const QString before = MessageManager::text();

    MessageManager::writeSilently(QLatin1String("[I]\tquiet"));
    QCOMPARE(OutputPaneManager::currentPane(), other);
    QVERIFY(!OutputPaneManager::isFlashing(pane));

    MessageManager::writeFlashing(QLatin1String("[$] 0\tpkgseal sign"));
    QCOMPARE(OutputPaneManager::currentPane(), other);
    QVERIFY(OutputPaneManager::isFlashing(pane));

    MessageManager::writeDisrupting(QStringList({"[E]\tfirst", "second"}));
    QCOMPARE(OutputPaneManager::currentPane(), pane);
    QVERIFY(!OutputPaneManager::isFlashing(pane));

    QCOMPARE(written.count(), 3);
    QCOMPARE(written.last().first().toString(), QLatin1String("[E]\tfirst\nsecond"));
    const QString added = MessageManager::text().mid(before.size());
    QCOMPARE(added.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             QStringList({"[I]\tquiet", "[$] 0\tpkgseal sign", "[E]\tfirst", "second"}));

    // Other panes flash until shown and go when deleted.
    auto compileOutput = new QPlainTextEdit;
    OutputPaneManager::addPane(compileOutput, QLatin1String("Compile Output"));
    OutputPaneManager::flashPane(compileOutput);
    QVERIFY(OutputPaneManager::isFlashing(compileOutput));
    OutputPaneManager::showPane(compileOutput);
    QCOMPARE(OutputPaneManager::currentPane(), compileOutput);
    QVERIFY(!OutputPaneManager::isFlashing(compileOutput));
    delete compileOutput;
    QVERIFY(!OutputPaneManager::paneTitles().contains(QLatin1String("Compile Output")));
}

void tst_CorePlugin::outputPaneKeepsTheNewestLines()
{
    auto pane = qobject_cast<OutputWindow *>(MessageManager::outputWidget());
    QVERIFY(pane);
    pane->setMaxCharCount(2000);
    for (int i = 1; i <= 300; ++i)
        MessageManager::writeSilently(QString("message %1").arg(i));
    // The event loop writes them, a batch at a time.
    QTRY_VERIFY(pane->toPlainText().contains("message 300"));

    const QStringList lines = pane->toPlainText().split('\n', Qt::SkipEmptyParts);
    pane->setMaxCharCount(OutputWindow::defaultMaxCharCount);
    QVERIFY(pane->document()->characterCount() <= 2000);
    QCOMPARE(lines.first(), OutputWindow::discardedNote());
    const int oldestKept = lines.at(1).section(' ', 1).toInt();
    QVERIFY(oldestKept > 100);
    for (int i = 1; i < lines.size(); ++i)
        QCOMPARE(lines.at(i), QString("message %1").arg(oldestKept + i - 1));
    QCOMPARE(lines.last(), QString("message 300"));
}

// Headless, the messages go to stderr (the build output goes to stdout).
void tst_CorePlugin::messagesEchoToTerminalWhenAsked()
{
    QTemporaryFile captured;
    QVERIFY(captured.open());
    TerminalOutput::flush();
    const int savedStderr = dup(STDERR_FILENO);
    QVERIFY(dup2(captured.handle(), STDERR_FILENO) >= 0);
    MessageManager::writeSilently(QLatin1String("not echoed"));
    ICore::setEchoesToTerminal(true);
    MessageManager::writeFlashing(QLatin1String("[I]\techoed"));
    ICore::setEchoesToTerminal(false);
    TerminalOutput::flush();
    dup2(savedStderr, STDERR_FILENO);
    close(savedStderr);

    QFile output(captured.fileName());
    QVERIFY(output.open(QIODevice::ReadOnly));
    QCOMPARE(output.readAll(), QByteArray("[I]\techoed\n"));
    QVERIFY(MessageManager::text().endsWith(QLatin1String("not echoed\n[I]\techoed\n")));
}

void tst_CorePlugin::settingsAndWindows()
{
    QCOMPARE(ICore::settings(), ExtensionSystem::PluginManager::settings());
    QVERIFY(ICore::settings()->fileName().startsWith(m_ide->settingsPath()));
    ICore::settings()->setValue(QLatin1String("Test/Key"), 42);
    ICore::settings()->sync();
    QCOMPARE(QSettings().value(QLatin1String("Test/Key")).toInt(), 42);
    QVERIFY(ICore::versionString().contains(QLatin1String("4.15.2")));

    QWidget hidden;
    auto child = new QLabel(&hidden);
    ICore::raiseWindow(child);
    QVERIFY(hidden.isVisible());
    ICore::raiseWindow(nullptr);
}

void tst_CorePlugin::showInGraphicalShellHeadless()
{
    const QString path = QLatin1String("/sdk/package-signing/regular_key.pem");
    QTest::ignoreMessage(QtInfoMsg, "showInGraphicalShell: /sdk/package-signing/regular_key.pem");
    FileUtils::showInGraphicalShell(ICore::mainWindow(), path);
    QCOMPARE(FileUtils::lastShownInGraphicalShell(), path);
}

namespace {
class TestOptionsWidget : public IOptionsPageWidget
{
public:
    explicit TestOptionsWidget(int *applied)
        : m_applied(applied)
    {
        setObjectName(QLatin1String("TestOptionsWidget"));
    }
    void apply() override { ++*m_applied; }

private:
    int *m_applied;
};

class TestOptionsPage : public IOptionsPage
{
public:
    explicit TestOptionsPage(int *applied)
    {
        setId("Test.OptionsPage");
        setDisplayName(QLatin1String("Build Engines"));
        setCategory("Test.Category");
        setWidgetCreator([applied] { return new TestOptionsWidget(applied); });
    }
};
} // namespace

void tst_CorePlugin::optionsDialogAppliesPages()
{
    int applied = 0;
    TestOptionsPage page(&applied);
    QVERIFY(IOptionsPage::allOptionsPages().contains(&page));

    bool pageShown = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        auto widget = dialog->findChild<QWidget *>(QLatin1String("TestOptionsWidget"));
        pageShown = widget && widget->isVisible();
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    poll.start(10);
    ActionManager::command(Constants::OPTIONS)->action()->trigger();
    QVERIFY(pageShown);
    QCOMPARE(applied, 1);
}

QTEST_MAIN(tst_CorePlugin)

#include "tst_coreplugin.moc"
