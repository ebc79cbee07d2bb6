#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Runs a program to its end and keeps what it wrote.
class TestProcess
{
public:
    int exitCode = -1;
    bool crashed = false;
    QByteArray output;
    QByteArray errorOutput;

    static TestProcess run(const QString &program,
                           const QStringList &arguments,
                           const QByteArray &input = {},
                           const QString &workingDirectory = {});

    bool succeeded() const { return !crashed && exitCode == 0; }
    QString describe() const;
};
