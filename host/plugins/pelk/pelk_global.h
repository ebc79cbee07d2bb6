#pragma once

#include <QtGlobal>

#if defined(PELK_LIBRARY)
#define PELK_EXPORT Q_DECL_EXPORT
#else
#define PELK_EXPORT Q_DECL_IMPORT
#endif
