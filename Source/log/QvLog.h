#pragma once

#include <cstdio>
#include <ctime>

// Logging: QvLog2 formats a time-stamped line and hands it to the installed
// sink. Not thread-safe; every call comes from the message thread.
typedef void (*QvLogFn) (void* arg, int level, const char* line);

extern int gQvLogLevel;   // threshold; callers test it before calling QvLog2
extern QvLogFn gQvLogFn;  // installed sink, null when logging is off
extern void* gQvLogFnArg; // handed to the sink with every line
extern FILE* gQvLogFp;    // the open log file, owned by the application shell

// Builds "DD-MM-YYYY hh:mm:ss.000 MainComponent <message>" (at most 255
// characters, the message cut after 217) and hands it to gQvLogFn. A newline
// is appended unless the format already ends in one; a cut line always ends
// in one, so that the next line starts on its own. Does nothing, and
// does not read the clock, when no sink is installed. Log a text that may hold
// '%' as the value of "%s", never as the format.
void QvLog2 (int level, const char* format, ...);

// Sink for a stdio stream (arg): writes the line unchanged and flushes it.
void QvLogToFileFn (void* arg, int level, const char* line);

// "DD-MM-YYYY " and "hh:mm:ss.000 " of a broken-down local time, each in a
// static buffer of its own that holds the last result.
const char* QvAsciiDate (const struct tm* t);
const char* QvAsciiTime (const struct tm* t);
