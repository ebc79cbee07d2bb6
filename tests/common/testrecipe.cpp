#include "testrecipe.h"

#include <QString>

QByteArray testRecipe(const QByteArray &name, int subpackages, const QByteArray &build)
{
    QByteArray packages = "%description\nTest.\n";
    QByteArray files = "%files\n/usr/share/" + name + "/main\n";
    QByteArray install = "%install\nmkdir -p %{buildroot}/usr/share/" + name
                         + "\ntouch %{buildroot}/usr/share/" + name + "/main\n";
    for (int sub = 1; sub <= subpackages; ++sub) {
        const QByteArray part = 'p' + QByteArray::number(sub);
        packages += "%package " + part + "\nSummary: Sub\n%description " + part + "\nSub.\n";
        files += "%files " + part + "\n/usr/share/" + name + '/' + part + '\n';
        install += "touch %{buildroot}/usr/share/" + name + '/' + part + '\n';
    }
    return "Name: " + name + "\nVersion: 1.0\nRelease: 1\nSummary: Test\nLicense: MIT\n"
           + "BuildArch: noarch\n" + packages + "%build\n" + build + '\n' + install + files;
}
