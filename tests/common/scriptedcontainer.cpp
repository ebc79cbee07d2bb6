#include "scriptedcontainer.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

static QString programPath()
{
    return qEnvironmentVariable("QUILLMARK_BUILD_DIR") + "/tests/bin/scriptedrun";
}

ScriptedContainer::ScriptedContainer(const QString &folder, const QString &name)
    : m_runCommand(QDir(folder).filePath(name))
    , m_state(m_runCommand + ".d")
{
    QDir().mkpath(m_state.path());
    QFile::remove(m_runCommand);
    if (!QFile::link(programPath(), m_runCommand))
        qFatal("Cannot link %s", qPrintable(m_runCommand));
}

void ScriptedContainer::setScript(const QString &runs, const QStringList &lines)
{
    const QString suffix = runs.isEmpty() ? QString() : '-' + runs.split(' ').join('-');
    QFile file(m_state.filePath("script" + suffix + ".txt"));
    if (!file.open(QIODevice::WriteOnly) || file.write(lines.join('\n').toUtf8()) < 0)
        qFatal("Cannot write %s", qPrintable(file.fileName()));
}

static QString escaped(const QByteArray &text)
{
    QString result;
    for (const char c : text) {
        if (c == '\\')
            result += "\\\\";
        else if (c < ' ' || c > '~')
            result += QString("\\x%1").arg(uchar(c), 2, 16, QChar('0'));
        else
            result += QChar(c);
    }
    return result;
}

QString ScriptedContainer::out(const QByteArray &text)
{
    return "out " + escaped(text);
}

QString ScriptedContainer::err(const QByteArray &text)
{
    return "err " + escaped(text);
}

void ScriptedContainer::release(const QString &name)
{
    QFile file(m_state.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("Cannot write %s", qPrintable(file.fileName()));
}

void ScriptedContainer::reset()
{
    for (const QString &entry : m_state.entryList(QDir::Files))
        m_state.remove(entry);
}

int ScriptedContainer::runCount() const
{
    return m_state.entryList({"run-*.json"}, QDir::Files).size();
}

QJsonObject ScriptedContainer::record(int run) const
{
    QFile file(m_state.filePath(QString("run-%1.json").arg(run)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QStringList ScriptedContainer::list(int run, const QString &key) const
{
    QStringList result;
    for (const QJsonValue &item : record(run).value(key).toArray())
        result << item.toString();
    return result;
}

QStringList ScriptedContainer::commandLines() const
{
    QStringList lines;
    for (int run = 1; run <= runCount(); ++run)
        lines << arguments(run).join(' ');
    return lines;
}

// Reaped: the caller has seen the run end.
bool ScriptedContainer::hasEnded(int run) const
{
    const qint64 pid = record(run).value("pid").toVariant().toLongLong();
    return pid > 0 && !QFileInfo::exists(QString("/proc/%1").arg(pid));
}

// Gone, or a zombie: an orphan's new parent need not reap it at once.
bool ScriptedContainer::childHasEnded(int run) const
{
    const qint64 pid = record(run).value("child").toArray().at(0).toString().toLongLong();
    QFile stat(QString("/proc/%1/stat").arg(pid));
    return pid > 0 && (!stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z "));
}
