#include "log/QvLog.h"

// Placeholder bodies until logging is built.
int gQvLogLevel = 2;
QvLogFn gQvLogFn = nullptr;
void* gQvLogFnArg = nullptr;
FILE* gQvLogFp = nullptr;

void QvLog2 (int, const char*, ...) {}
void QvLogToFileFn (void*, int, const char*) {}
