// Run-log records of the graphics and resource code. Records are dropped while no engine
// exists (tests, library load).
#pragma once

#include "Zan/ZanCore.h"

inline void ZanLogError(const char* message, const char* file, int line)
{
    if (CZanEngine* engine = CZanEngine::Instance())
        engine->SystemErrorLog(message, file, line);
}

inline void ZanLogInfo(const char* message, const char* file, int line)
{
    if (CZanEngine* engine = CZanEngine::Instance())
        engine->SystemInfoLog(message, file, line);
}

inline void ZanLogWarn(const char* message, const char* file, int line)
{
    if (CZanEngine* engine = CZanEngine::Instance())
        engine->SystemWarnLog(message, file, line);
}

/// Seconds on the engine's exact clock; 0 while no engine exists.
inline double ZanExactTime()
{
    CZanEngine* engine = CZanEngine::Instance();
    return engine ? engine->GetExactTime() : 0.0;
}
