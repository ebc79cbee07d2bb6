#include "qtcassert.h"

#include <QByteArray>
#include <QDebug>

namespace Utils {

void writeAssertLocation(const char *msg)
{
    static const bool fatalAsserts = qEnvironmentVariableIsSet("QTC_FATAL_ASSERTS");
    if (fatalAsserts)
        qFatal("SOFT ASSERT made fatal: %s", msg);
    else
        qDebug("SOFT ASSERT: %s", msg);
}

} // namespace Utils
