#pragma once

// Makes a write past the process's file-size limit (ulimit -f, as shared
// machines and batch systems set it) fail like a write to a full disk, with
// EFBIG, instead of ending the program by SIGXFSZ: the measurement's write
// then reports its error and keeps the earlier file. Process-wide; call once
// at start-up, before any file is written.
void ignoreFileSizeSignal();
