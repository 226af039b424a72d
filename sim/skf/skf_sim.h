// Extra export of the software USB key, for tests only: the number of
// device, application and container handles open right now, so a test can
// prove that every operation closed what it opened.
#pragma once

#include "token/skf.h"

#ifdef __cplusplus
extern "C" {
#endif

long DEVAPI SKFSim_OpenHandleCount(void);

#ifdef __cplusplus
}
#endif
