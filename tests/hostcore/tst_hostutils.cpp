#include <utils/environment.h>
#include <utils/fileutils.h>
#include <utils/id.h>
#include <utils/qtcassert.h>
#include <utils/utilsicons.h>

#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace Utils;

static bool writeFile(const FilePath &path, const QByteArray &data)
{
    QFile file(path.toString());
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

static QByteArray readFile(const FilePath &path)
{
    QFile file(path.toString());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

class tst_HostUtils : public QObject
{
    Q_OBJECT

private slots:
    void ids();
    void filePaths();
    void commandLineRoundTrip_data();
    void commandLineRoundTrip();
    void environment();
    void copyRecursively();
    void copyRecursivelyReportsFailures();
    void softAssertions();
    void icons();
};

void tst_HostUtils::ids()
{
    const Id step("Quillmark.PkgsealStep");
    QVERIFY(step.isValid());
    QVERIFY(!Id().isValid());
    QVERIFY(!Id::fromString(QString()).isValid());
    QCOMPARE(Id::fromString(QLatin1String("Quillmark.PkgsealStep")), step);
    QVERIFY(step == "Quillmark.PkgsealStep");
    QVERIFY(step != Id("Quillmark.Other"));
    QCOMPARE(step.name(), QByteArray("Quillmark.PkgsealStep"));

    const Id base("Kam.Tools");
    QCOMPARE(base.withSuffix(3).toString(), QLatin1String("Kam.Tools3"));
    QCOMPARE(base.withSuffix(QString::fromUtf8(".Ü")).toString(), QString::fromUtf8("Kam.Tools.Ü"));
    QCOMPARE(base.withPrefix("My.").toString(), QLatin1String("My.Kam.Tools"));
    QCOMPARE(base.withSuffix(".Menu").suffixAfter(base), QLatin1String(".Menu"));
    QCOMPARE(Id::versionedId("Qt", 5, 15).toString(), QLatin1String("Qt.5.15"));
    QVERIFY(Id("Apple").alphabeticallyBefore(Id("banana")));
    QCOMPARE(Id::toStringList({Id("b"), Id("a")}), QStringList({"a", "b"}));
    QCOMPARE(Id::fromStringList({"x", "y"}), QSet<Id>({Id("x"), Id("y")}));

    // Through settings, a data stream and a variant.
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QLatin1String("ids.ini")), QSettings::IniFormat);
    settings.setValue(QLatin1String("step"), step.toSetting());
    settings.sync();
    QSettings reread(dir.filePath(QLatin1String("ids.ini")), QSettings::IniFormat);
    QCOMPARE(Id::fromSetting(reread.value(QLatin1String("step"))), step);
    QByteArray data;
    {
        QDataStream out(&data, QIODevice::WriteOnly);
        out << Id("Streamed.Id");
    }
    QDataStream in(data);
    Id streamed;
    in >> streamed;
    QCOMPARE(streamed, Id("Streamed.Id"));
    QCOMPARE(QVariant::fromValue(Id("In.Variant")).value<Id>(), Id("In.Variant"));
}

void tst_HostUtils::filePaths()
{
    const auto path = [](const char *s) { return FilePath::fromString(QLatin1String(s)); };
    const FilePath key = path("/sdk/package-signing/regular_key.pem");
    QCOMPARE(key.fileName(), QLatin1String("regular_key.pem"));
    QCOMPARE(key.fileNameWithPathComponents(1), QLatin1String("package-signing/regular_key.pem"));
    QCOMPARE(key.parentDir().toString(), QLatin1String("/sdk/package-signing"));
    QCOMPARE(key.absolutePath().toString(), QLatin1String("/sdk/package-signing"));
    QCOMPARE(path("/").parentDir(), FilePath());
    QCOMPARE(key.toUserOutput(), QDir::toNativeSeparators(key.toString()));
    QCOMPARE(path("/sdk/").pathAppended(QLatin1String("/workspace")).toString(),
             QLatin1String("/sdk/workspace"));
    QCOMPARE((path("/sdk") / QLatin1String("a")).toString(), QLatin1String("/sdk/a"));
    QCOMPARE(FilePath().pathAppended(QLatin1String("a")).toString(), QLatin1String("a"));
    QCOMPARE(key.stringAppended(QLatin1String(".bak")).fileName(),
             QLatin1String("regular_key.pem.bak"));
    QCOMPARE(FilePath::fromUserInput(QLatin1String(" /a//b/../c/ ")).toString(),
             QLatin1String("/a/c"));
    QCOMPARE(FilePath::fromUserInput(QLatin1String("~/keys")).toString(),
             QDir::homePath() + QLatin1String("/keys"));
    QVERIFY(FilePath().isEmpty());
    QVERIFY(!FilePath().exists());
    QCOMPARE(FilePath::fromVariant(key.toVariant()), key);
    QCOMPARE(FilePath::fromUrl(key.toUrl()), key);
    QCOMPARE(FilePath::fromStringWithExtension(QLatin1String("/a/key"), QLatin1String(".pem")),
             path("/a/key.pem"));
    QCOMPARE(FilePath::fromStringWithExtension(QLatin1String("/a/key.txt"), QLatin1String(".pem")),
             path("/a/key.txt"));

    const FilePath tmp = path("/tmp");
    QVERIFY(path("/tmp/a").isChildOf(tmp));
    QVERIFY(!path("/tmpdir/a").isChildOf(tmp));
    QVERIFY(!tmp.isChildOf(tmp));
    QVERIFY(path("/x").isChildOf(path("/")));
    QCOMPARE(path("/tmp/a/b").relativeChildPath(tmp).toString(), QLatin1String("a/b"));
    QCOMPARE(tmp.resolvePath(QLatin1String("../etc")), path("/etc"));
    QCOMPARE(tmp.resolvePath(QLatin1String("/var/x")), path("/var/x"));
    QCOMPARE(FileUtils::commonPath(path("/a/b/c"), path("/a/b/d/e")), path("/a/b"));
}

void tst_HostUtils::commandLineRoundTrip_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("plain") << QStringList({"sign", "-k", "/a/key.pem"});
    QTest::newRow("blanks") << QStringList({"--subj", "/O=Acme Corp/CN=a b"});
    QTest::newRow("quotes") << QStringList({"it's", "say \"hi\"", "back\\slash"});
    QTest::newRow("empty and shell characters") << QStringList({"", "$HOME", "a;b|c", "*.rpm"});
}

void tst_HostUtils::commandLineRoundTrip()
{
    QFETCH(QStringList, arguments);
    CommandLine cmd(FilePath::fromString(QLatin1String("/usr/bin/pkgseal")), arguments);
    QCOMPARE(cmd.splitArguments(), arguments);

    cmd.addArg(QLatin1String("last one"));
    QCOMPARE(cmd.splitArguments(), arguments + QStringList(QLatin1String("last one")));
    QVERIFY(cmd.toUserOutput().startsWith(QLatin1String("/usr/bin/pkgseal ")));

    CommandLine raw(FilePath::fromString(QLatin1String("sh")),
                    QLatin1String("-c 'echo  x'"),
                    CommandLine::Raw);
    QCOMPARE(raw.splitArguments(), QStringList({"-c", "echo  x"}));
}

void tst_HostUtils::environment()
{
    Environment env(QStringList({"PATH=/usr/bin", "EMPTY=", "NAME=value"}));
    QCOMPARE(env.value(QLatin1String("NAME")), QLatin1String("value"));
    QVERIFY(env.hasKey(QLatin1String("EMPTY")));
    env.set(QLatin1String("WORKSPACE_DIR"), QLatin1String("/ws"));
    env.unset(QLatin1String("NAME"));
    QVERIFY(!env.hasKey(QLatin1String("NAME")));

    env.appendOrSetPath(QLatin1String("/opt/bin"));
    env.prependOrSetPath(QLatin1String("/first"));
    env.appendOrSetPath(QLatin1String("/opt/bin"));
    QCOMPARE(env.value(QLatin1String("PATH")), QLatin1String("/first:/usr/bin:/opt/bin"));
    env.appendOrSet(QLatin1String("NEW"), QLatin1String("x"), QLatin1String(","));
    QCOMPARE(env.value(QLatin1String("NEW")), QLatin1String("x"));

    QCOMPARE(env.expandVariables(QLatin1String("$WORKSPACE_DIR/a ${WORKSPACE_DIR}b $UNKNOWN.")),
             QLatin1String("/ws/a /wsb ."));

    const QProcessEnvironment processEnvironment = env.toProcessEnvironment();
    QCOMPARE(processEnvironment.value(QLatin1String("WORKSPACE_DIR")), QLatin1String("/ws"));
    QVERIFY(processEnvironment.contains(QLatin1String("EMPTY")));

    QTemporaryDir dir;
    const QString tool = dir.filePath(QLatin1String("mytool"));
    QVERIFY(writeFile(FilePath::fromString(tool), {}));
    QFile file(tool);
    QVERIFY(env.searchInPath(QLatin1String("mytool"), {FilePath::fromString(dir.path())}).isEmpty());
    QVERIFY(file.setPermissions(file.permissions() | QFile::ExeUser));
    QCOMPARE(env.searchInPath(QLatin1String("mytool"), {FilePath::fromString(dir.path())}).toString(),
             tool);

    const Environment system = Environment::systemEnvironment();
    QCOMPARE(system.value(QLatin1String("HOME")), qEnvironmentVariable("HOME"));
}

void tst_HostUtils::copyRecursively()
{
    QTemporaryDir dir;
    const FilePath source = FilePath::fromString(dir.filePath(QLatin1String("source")));
    QVERIFY(QDir().mkpath(source.pathAppended(QLatin1String("sub/deeper")).toString()));
    const QMap<QString, QByteArray> files{{"a.pem", "key"},
                                          {"sub/b.txt", "bee"},
                                          {"sub/.hidden", "h"}};
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QVERIFY(writeFile(source.pathAppended(it.key()), it.value()));

    const FilePath target = FilePath::fromString(dir.filePath(QLatin1String("target")));
    QString error;
    QVERIFY2(FileUtils::copyRecursively(source, target, &error), qPrintable(error));
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QCOMPARE(readFile(target.pathAppended(it.key())), it.value());
    QVERIFY(target.pathAppended(QLatin1String("sub/deeper")).isDir());

    // A single file, and a helper that decides per file.
    const FilePath single = FilePath::fromString(dir.filePath(QLatin1String("single.pem")));
    QVERIFY(FileUtils::copyRecursively(source.pathAppended(QLatin1String("a.pem")), single));
    QVERIFY(single.exists());
    QStringList seen;
    const auto recordingHelper = [&seen](const QFileInfo &src, const QFileInfo &dest, QString *) {
        seen.append(src.fileName() + QLatin1String("->") + dest.fileName());
        return true;
    };
    QVERIFY(FileUtils::copyRecursively(source,
                                       FilePath::fromString(dir.filePath(QLatin1String("t2"))),
                                       nullptr,
                                       recordingHelper));
    QCOMPARE(seen.size(), 3);
    QVERIFY(seen.contains(QLatin1String(".hidden->.hidden")));
}

void tst_HostUtils::copyRecursivelyReportsFailures()
{
    QTemporaryDir dir;
    const FilePath source = FilePath::fromString(dir.filePath(QLatin1String("key.pem")));
    const FilePath target = FilePath::fromString(dir.filePath(QLatin1String("copy.pem")));
    QString error;
    QVERIFY(!FileUtils::copyRecursively(source, target, &error));
    QCOMPARE(error,
             QString::fromLatin1("Could not copy file \"%1\" to \"%2\".")
                 .arg(source.toUserOutput(), target.toUserOutput()));

    QVERIFY(writeFile(source, "new"));
    QVERIFY(writeFile(target, "old"));
    error.clear();
    QVERIFY(!FileUtils::copyRecursively(source, target, &error));
    QVERIFY(error.startsWith(QLatin1String("Could not copy file")));
    QCOMPARE(readFile(target), QByteArray("old"));

    QVERIFY(!FileUtils::copyRecursively(FilePath::fromString(dir.path()),
                                        FilePath::fromString(QLatin1String("/proc/no/such/dir")),
                                        &error));
    QVERIFY2(error.startsWith(QLatin1String("Failed to create directory")), qPrintable(error));
}

namespace {
QStringList assertMessages;
void collectMessages(QtMsgType, const QMessageLogContext &, const QString &message)
{
    assertMessages.append(message);
}
} // namespace

void tst_HostUtils::softAssertions()
{
    assertMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectMessages);
    int actionsRun = 0;
    const int *pointer = nullptr;
    QTC_ASSERT(pointer, ++actionsRun);
    QTC_ASSERT(actionsRun == 1, ++actionsRun);
    QTC_CHECK(actionsRun == 2);
    const bool guarded = QTC_GUARD(actionsRun == 1);
    qInstallMessageHandler(previous);

    QCOMPARE(actionsRun, 1);
    QVERIFY(guarded);
    QCOMPARE(assertMessages.size(), 2);
    QVERIFY2(assertMessages.at(0).startsWith(QLatin1String("SOFT ASSERT: \"pointer\" in file ")),
             qPrintable(assertMessages.at(0)));
    QVERIFY(assertMessages.at(0).contains(QLatin1String("tst_hostutils.cpp, line ")));
    QVERIFY(assertMessages.at(1).startsWith(QLatin1String("SOFT ASSERT: \"actionsRun == 2\"")));
}

void tst_HostUtils::icons()
{
    const auto centerColor = [](const Icon &icon) {
        const QImage image = icon.pixmap().toImage();
        return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
    };
    QVERIFY(!Icons::OK.icon().isNull());
    QCOMPARE(Icons::OK.pixmap().size(), Icons::BROKEN.pixmap().size());
    const QColor cross = centerColor(Icons::BROKEN);
    QVERIFY2(cross.red() > 150 && cross.green() < 100, qPrintable(cross.name()));
    const QColor page = centerColor(Icons::NEWFILE);
    QCOMPARE(page, QColor(Qt::white));

    // The check mark is green where it is drawn.
    const QImage check = Icons::OK.pixmap().toImage();
    int greenPixels = 0;
    for (int y = 0; y < check.height(); ++y) {
        for (int x = 0; x < check.width(); ++x) {
            const QColor c = check.pixelColor(x, y);
            if (c.alpha() > 200 && c.green() > 120 && c.red() < 100)
                ++greenPixels;
        }
    }
    QVERIFY(greenPixels > 10);
    QVERIFY(!Icons::OK.pixmap(QIcon::Disabled).isNull());
}

QTEST_MAIN(tst_HostUtils)

#include "tst_hostutils.moc"
