#include "support/registry_sandbox.h"
#include <strsafe.h>

RegistrySandbox::RegistrySandbox()
{
    StringCchPrintfW(scratchPath_, ARRAYSIZE(scratchPath_), L"Software\\PelluxTestSandbox\\%lu-%lu",
                     GetCurrentProcessId(), GetTickCount());
    RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath_);
    RegCreateKeyExW(HKEY_CURRENT_USER, scratchPath_, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &scratch_,
                    nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, scratch_);
}

RegistrySandbox::~RegistrySandbox()
{
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (scratch_)
        RegCloseKey(scratch_);
    RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath_);
}

bool RegistryValueExists(const wchar_t* subkey, const wchar_t* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const bool exists = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return exists;
}
