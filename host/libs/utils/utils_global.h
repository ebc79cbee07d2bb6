#pragma once

#include <QtGlobal>

#if defined(UTILS_LIBRARY)
#define QTCREATOR_UTILS_EXPORT Q_DECL_EXPORT
#else
#define QTCREATOR_UTILS_EXPORT Q_DECL_IMPORT
#endif
