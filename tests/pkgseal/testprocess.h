#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Runs a program to its end and keeps what it wrote. A program that has not ended after a
// generous deadline is killed and counts as crashed, so that a hang fails instead of blocking.
// It inherits the environment unless one is given.
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
                           const QString &workingDirectory = {},
                           const QProcessEnvironment &environment = {});

    bool succeeded() const { return !crashed && exitCode == 0; }
    QString describe() const;
};
