#pragma once

#include <cstdio>

// Logging: QvLog2 formats a time-stamped line and hands it to the installed sink.
typedef void (*QvLogFn) (void* arg, int level, const char* line);

extern int gQvLogLevel;
extern QvLogFn gQvLogFn;
extern void* gQvLogFnArg;
extern FILE* gQvLogFp;

void QvLog2 (int level, const char* format, ...);
void QvLogToFileFn (void* arg, int level, const char* line);
