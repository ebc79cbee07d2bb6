#include "testpackages.h"

#include "testprocess.h"

#include <QDir>
#include <QFile>

QString buildTestPackage(const QString &directory,
                         const QString &name,
                         qint64 payloadSize,
                         QString *error,
                         const QString &source)
{
    const QString topDirectory = directory + "/rpmbuild-" + name;
    QDir().mkpath(topDirectory + "/SPECS");
    const QString recipe = topDirectory + "/SPECS/" + name + ".spec";
    const QString contents("Name: %1\nVersion: 1.0\nRelease: 1\nSummary: Test package\n"
                           "License: MIT\nBuildArch: noarch\n%define _binary_payload w0.ufdio\n"
                           "%description\nTest package.\n"
                           "%install\nmkdir -p %{buildroot}/usr/share/%1\n"
                           "head -c %2 %3 > %{buildroot}/usr/share/%1/data\n"
                           "%files\n/usr/share/%1/data\n");
    QFile recipeFile(recipe);
    if (recipeFile.open(QIODevice::WriteOnly))
        recipeFile.write(contents.arg(name).arg(payloadSize).arg(source).toUtf8());
    recipeFile.close();
    const TestProcess rpmbuild
        = TestProcess::run("rpmbuild", {"-bb", "--define", "_topdir " + topDirectory, recipe});
    const QString package = topDirectory + "/RPMS/noarch/" + name + "-1.0-1.noarch.rpm";
    if (!rpmbuild.succeeded() || !QFile::exists(package)) {
        *error += "rpmbuild: " + rpmbuild.describe() + '\n';
        return {};
    }
    return package;
}
