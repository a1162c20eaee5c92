#include "runclaim.h"

#include <windows.h>

// The lock file is opened without sharing, so a second open fails for as
// long as any handle to it lives, including the inherited one in the worker
// and its children.
std::unique_ptr<RunClaim> RunClaim::take(const QString &name, Outcome *outcome)
{
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(name.utf16()), GENERIC_READ | GENERIC_WRITE,
                           0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        *outcome = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? Outcome::Busy
                                                                                     : Outcome::Failed;
        return nullptr;
    }
    *outcome = Outcome::Taken;
    return std::unique_ptr<RunClaim>(new RunClaim(reinterpret_cast<qintptr>(h)));
}

RunClaim::~RunClaim()
{
    CloseHandle(reinterpret_cast<HANDLE>(lockHandle));
}
