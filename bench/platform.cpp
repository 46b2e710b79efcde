// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "platform.h"

#include <QFile>

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <io.h>
#include <psapi.h>

qint64 peakResidentMiB()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return qint64(counters.PeakWorkingSetSize / (1024 * 1024));
}

// QFile::handle() is a C runtime descriptor on Windows too; the system call wants the
// HANDLE underneath it.
bool flushToDisk(QFile &file)
{
    if (!file.flush())
        return false;
    const intptr_t handle = _get_osfhandle(file.handle());
    if (handle == intptr_t(-1))
        return false;
    return FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0;
}

// Windows has no call that flushes every volume's cache for an ordinary user.
void flushAllToDisk()
{
}

#else

#include <sys/resource.h>
#include <unistd.h>

qint64 peakResidentMiB()
{
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
#ifdef __APPLE__
    // Bytes there, KiB on Linux and the BSDs.
    return qint64(usage.ru_maxrss) / (1024 * 1024);
#else
    return qint64(usage.ru_maxrss) / 1024;
#endif
}

bool flushToDisk(QFile &file)
{
    if (!file.flush())
        return false;
#ifdef __APPLE__
    // macOS declares no fdatasync.
    return ::fsync(file.handle()) == 0;
#else
    return ::fdatasync(file.handle()) == 0;
#endif
}

void flushAllToDisk()
{
    ::sync();
}

#endif
