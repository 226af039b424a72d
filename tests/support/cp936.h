// The clang tree cannot re-encode literals (its execution character set is
// UTF-8 only), so tests whose expectations depend on the system's texts being
// code page 936 bytes skip there; the g++ trees run them.
#pragma once

#include <gtest/gtest.h>

#ifdef QEX_UTF8_LITERALS
#define QEX_NEEDS_CP936_LITERALS() GTEST_SKIP() << "system texts are UTF-8 in this tree"
#else
#define QEX_NEEDS_CP936_LITERALS() static_cast<void>(0)
#endif
