#pragma once

#include <QByteArray>

// An RPM package recipe (name.spec) for test projects: the package name, and the subpackages
// name-p1... name-pN, each with one empty file; its %build section runs the given commands.
QByteArray testRecipe(const QByteArray &name, int subpackages = 0, const QByteArray &build = "true");
