// A build container's run command for tests, started through a link PATH to this program; its
// folder is PATH.d. Writes PATH.d/run-<n>.json (n counts the runs from 1) with its arguments, its
// working folder, its environment, its process id and every line read from standard input, then
// plays the first script found of PATH.d/script-<n>.txt, script-<first argument>-<second
// argument>.txt (e.g. script-pkgseal-sign.txt), script-<first argument>.txt and script.txt.
// Script lines:
//   out TEXT / err TEXT   write TEXT (escapes \n \r \\ \xHH) to stdout / stderr, flushed
//   read                  read one line from standard input and record it
//   await NAME            wait until the test releases NAME (PATH.d/NAME exists), then record it
//   exec                  run the arguments in place of this program in a session of its own, as
//                         a real container does
//   child                 lead a process group, as a real container's run command does, and start
//                         a process in it that lives until it is killed; its id is recorded
//   exit CODE             exit with CODE (the default at the end of the script is 0)

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QStringList>
#include <QThread>

#include <cstdio>
#include <unistd.h>

static QByteArray unescape(const QByteArray &text)
{
    QByteArray result;
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) != '\\' || i + 1 == text.size()) {
            result.append(text.at(i));
            continue;
        }
        const char next = text.at(++i);
        if (next == 'n')
            result.append('\n');
        else if (next == 'r')
            result.append('\r');
        else if (next == 'x' && i + 2 < text.size()) {
            result.append(char(text.mid(i + 1, 2).toInt(nullptr, 16)));
            i += 2;
        } else
            result.append(next);
    }
    return result;
}

class Recorder
{
public:
    Recorder(const QDir &folder, const QStringList &arguments)
    {
        m_run = folder.entryList({"run-*.json"}, QDir::Files).size() + 1;
        m_fileName = folder.filePath(QString("run-%1.json").arg(m_run));
        QJsonObject environment;
        const QProcessEnvironment systemEnvironment = QProcessEnvironment::systemEnvironment();
        for (const QString &key : systemEnvironment.keys())
            environment.insert(key, systemEnvironment.value(key));
        m_record.insert("arguments", QJsonArray::fromStringList(arguments));
        m_record.insert("workingDirectory", QDir::currentPath());
        m_record.insert("environment", environment);
        m_record.insert("pid", qint64(getpid()));
        save();
    }

    int run() const { return m_run; }

    // Adds value to the list key of the record ("input", "released").
    void append(const QString &key, const QByteArray &value)
    {
        QJsonArray values = m_record.value(key).toArray();
        values.append(QString::fromUtf8(value));
        m_record.insert(key, values);
        save();
    }

private:
    void save()
    {
        QFile file(m_fileName);
        if (file.open(QIODevice::WriteOnly))
            file.write(QJsonDocument(m_record).toJson());
    }

    int m_run = 0;
    QString m_fileName;
    QJsonObject m_record;
};

static QByteArray readLine()
{
    QByteArray line;
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar())
        line.append(char(c));
    return line;
}

static QList<QByteArray> scriptFor(const QDir &folder, int run, const QStringList &arguments)
{
    const QStringList names{QString("script-%1.txt").arg(run),
                            QString("script-%1-%2.txt").arg(arguments.value(0), arguments.value(1)),
                            QString("script-%1.txt").arg(arguments.value(0)),
                            "script.txt"};
    for (const QString &name : names) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            return file.readAll().split('\n');
    }
    return {};
}

static void write(FILE *stream, const QByteArray &text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stream);
    std::fflush(stream);
}

static void await(const QString &fileName)
{
    while (!QFile::exists(fileName))
        QThread::msleep(5);
}

static int play(const QList<QByteArray> &script,
                const QDir &folder,
                Recorder &recorder,
                char *argv[])
{
    for (const QByteArray &line : script) {
        const int blank = line.indexOf(' ');
        const QByteArray verb = line.left(blank < 0 ? line.size() : blank);
        const QByteArray argument = blank < 0 ? QByteArray() : line.mid(blank + 1);
        if (verb == "out" || verb == "err")
            write(verb == "out" ? stdout : stderr, unescape(argument));
        else if (verb == "read")
            recorder.append("input", readLine());
        else if (verb == "await") {
            await(folder.filePath(QString::fromUtf8(argument)));
            recorder.append("released", argument);
        } else if (verb == "child") {
            setpgid(0, 0);
            const pid_t child = fork();
            if (child == 0) {
                for (int stream : {0, 1, 2})
                    close(stream);
                for (;;)
                    pause();
            }
            recorder.append("child", QByteArray::number(child));
        } else if (verb == "exec") {
            setsid(); // no controlling terminal: tools ask on their standard streams
            execvp(argv[1], argv + 1);
            return 127; // it could not be run
        } else if (verb == "exit") {
            return argument.toInt();
        }
    }
    return 0;
}

int main(int argc, char *argv[])
{
    const QDir folder(QString::fromUtf8(argv[0]) + ".d");
    if (!folder.exists()) {
        std::fprintf(stderr, "scriptedrun: no folder %s.d\n", argv[0]);
        return 125;
    }
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromUtf8(argv[i]);
    Recorder recorder(folder, arguments);
    return play(scriptFor(folder, recorder.run(), arguments), folder, recorder, argv);
}
