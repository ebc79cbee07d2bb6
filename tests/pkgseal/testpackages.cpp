#include "testpackages.h"

#include "testprocess.h"

#include <QDir>
#include <QFile>

TestPackages::TestPackages(const QString &directory)
    : m_directory(directory)
{}

QString TestPackages::build(const QString &name, qint64 payloadSize, Payload payload)
{
    const QString topDirectory = m_directory + "/rpmbuild-" + name;
    QDir().mkpath(topDirectory + "/SPECS");
    const QString specPath = topDirectory + "/SPECS/" + name + ".spec";
    QFile specFile(specPath);
    if (!specFile.open(QIODevice::WriteOnly)) {
        m_error = "cannot write " + specPath;
        return {};
    }
    specFile.write(QString("Name: %1\nVersion: 1.0\nRelease: 1\nSummary: Test package\n"
                           "License: MIT\nBuildArch: noarch\n"
                           "%description\nTest package.\n"
                           "%install\nmkdir -p %{buildroot}/usr/share/%1\n"
                           "head -c %2 %3 > %{buildroot}/usr/share/%1/data\n"
                           "%files\n/usr/share/%1/data\n")
                       .arg(name)
                       .arg(payloadSize)
                       .arg(payload == Payload::Zeros ? "/dev/zero" : "/dev/urandom")
                       .toUtf8());
    specFile.close();
    const TestProcess rpmbuild = TestProcess::run("rpmbuild",
                                                  {"-bb",
                                                   "--define",
                                                   "_topdir " + topDirectory,
                                                   "--define",
                                                   "_binary_payload w0.ufdio",
                                                   specPath});
    const QString package = topDirectory + "/RPMS/noarch/" + name + "-1.0-1.noarch.rpm";
    if (!rpmbuild.succeeded() || !QFile::exists(package)) {
        m_error = "rpmbuild: " + rpmbuild.describe();
        return {};
    }
    return package;
}
