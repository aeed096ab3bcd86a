// Redirects HKEY_CURRENT_USER to a scratch key for the lifetime of the object,
// so no test ever reads or writes a real user's settings, on Wine or Windows.
#pragma once
#include <windows.h>

class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

private:
    HKEY scratch_ = nullptr;
    wchar_t scratchPath_[128] = {};
};

// Test helpers that read the sandboxed HKCU (valid only inside a RegistrySandbox).
bool RegistryValueExists(const wchar_t* subkey, const wchar_t* name);
