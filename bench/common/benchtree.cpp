#include "benchtree.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTextStream>

#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

void benchFail(const QString &message)
{
    QTextStream(stderr) << QCoreApplication::applicationName() << ": " << message << '\n';
    std::exit(1);
}

BenchTree BenchTree::create(const QString &label, const QString &buildDir, const QString &tempDir)
{
    const BenchTree tree{label, QDir(buildDir).absolutePath(), tempDir + '/' + label};
    QProcess sdk;
    sdk.setProcessChannelMode(QProcess::MergedChannels);
    sdk.start(tree.buildDir + "/bin/kelvara-sdk", {"create", tree.sdk});
    if (!sdk.waitForFinished(-1) || sdk.exitCode() != 0)
        benchFail("kelvara-sdk create failed: " + QString::fromLocal8Bit(sdk.readAll()));
    return tree;
}

CommandRun runCommand(const QStringList &command, const QString &workingDir)
{
    QList<QByteArray> words;
    for (const QString &word : command)
        words << QFile::encodeName(word);
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const QByteArray folder = QFile::encodeName(workingDir);
    int output[2];
    if (::pipe(output) != 0)
        benchFail("no pipe");

    QElapsedTimer timer;
    timer.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(output[1], STDOUT_FILENO);
        ::close(output[0]);
        ::close(output[1]);
        if (!::freopen("/dev/null", "w", stderr) || ::chdir(folder.constData()) != 0)
            ::_exit(126);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(output[1]);
    char buffer[65536];
    while (::read(output[0], buffer, sizeof buffer) > 0) {
    }
    ::close(output[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        benchFail(QString("%1 failed").arg(command.join(' ')));
    return {seconds, usage.ru_maxrss};
}

QString figureText(double seconds)
{
    if (seconds < 0.1)
        return QString::number(seconds * 1000, 'f', 1) + " ms";
    return QString::number(seconds, 'f', 3) + " s";
}

QMap<QString, QString> takeOptions(QStringList &arguments, const QStringList &names)
{
    QMap<QString, QString> options;
    for (int i = 0; i + 1 < arguments.size(); ++i) {
        if (!names.contains(arguments.at(i)))
            continue;
        options.insert(arguments.at(i), arguments.at(i + 1));
        arguments.erase(arguments.begin() + i, arguments.begin() + i + 2);
        --i;
    }
    return options;
}

void printTableHeader(QTextStream &out, const QList<BenchTree> &trees, int workWidth, int cellWidth)
{
    out << qSetFieldWidth(workWidth) << Qt::left << "Work" << qSetFieldWidth(0);
    for (const BenchTree &tree : trees)
        out << qSetFieldWidth(cellWidth) << Qt::right << tree.label + " (x ref)"
            << qSetFieldWidth(0) << "  ";
    out << "reference\n";
}
