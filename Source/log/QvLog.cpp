#include "log/QvLog.h"

#include <cstdarg>
#include <cstring>

int gQvLogLevel = 2;
QvLogFn gQvLogFn = nullptr;
void* gQvLogFnArg = nullptr;
FILE* gQvLogFp = nullptr;

namespace
{
constexpr size_t kLineBudget = 256; // date, time, tag and message, with the NUL
const char* const kTag = "MainComponent ";

// Appends text to line at *len, cut to the budget. Returns false when cut.
bool appendCut (char* line, size_t* len, const char* text)
{
    const size_t room = kLineBudget - 1 - *len;
    const size_t n = strlen (text);
    const size_t taken = n < room ? n : room;
    memcpy (line + *len, text, taken);
    *len += taken;
    line[*len] = '\0';
    return taken == n;
}
} // namespace

const char* QvAsciiDate (const struct tm* t)
{
    static char buf[32];
    snprintf (buf, sizeof buf, "%02d-%02d-%04d ", t->tm_mday, t->tm_mon + 1, t->tm_year + 1900);
    return buf;
}

const char* QvAsciiTime (const struct tm* t)
{
    static char buf[32];
    snprintf (buf, sizeof buf, "%02d:%02d:%02d.%03d ", t->tm_hour, t->tm_min, t->tm_sec, 0);
    return buf;
}

void QvLog2 (int level, const char* format, ...)
{
    if (gQvLogFn == nullptr)
        return;

    if (format == nullptr)
        format = "";

    const time_t now = time (nullptr);
    struct tm local = {};
    // A clock reading that localtime cannot convert still logs the message.
    if (const struct tm* t = localtime (&now))
        local = *t;

    char line[kLineBudget + 1]; // room for the newline after a full line
    size_t len = 0;
    line[0] = '\0';

    bool whole = appendCut (line, &len, QvAsciiDate (&local));
    whole = whole && appendCut (line, &len, QvAsciiTime (&local));
    whole = whole && appendCut (line, &len, kTag);

    if (whole)
    {
        const size_t room = kLineBudget - len;
        va_list args;
        va_start (args, format);
        const int n = vsnprintf (line + len, room, format, args);
        va_end (args);

        if (n < 0)
            line[len] = '\0'; // an encoding error logs an empty message
        else if ((size_t)n >= room)
            whole = false;
        len = strlen (line);
    }

    // Every message is one line: a cut line is still ended, so that the next
    // message starts a line of its own.
    const size_t formatLen = strlen (format);
    const bool endsInNewline = formatLen > 0 && format[formatLen - 1] == '\n';
    const bool needsNewline = whole ? !endsInNewline : line[len - 1] != '\n';
    if (needsNewline)
    {
        line[len++] = '\n';
        line[len] = '\0';
    }

    gQvLogFn (gQvLogFnArg, level, line);
}

void QvLogToFileFn (void* arg, int, const char* line)
{
    FILE* fp = static_cast<FILE*> (arg);
    if (fp == nullptr || line == nullptr)
        return;
    fputs (line, fp);
    fflush (fp);
}
