#pragma once

#include <QtGlobal>

#if defined(KELVARA_LIBRARY)
#define KELVARA_EXPORT Q_DECL_EXPORT
#else
#define KELVARA_EXPORT Q_DECL_IMPORT
#endif
