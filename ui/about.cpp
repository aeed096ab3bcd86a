// The About box: version and copyright read from the executable's own
// version block, and a link to the maker's site.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <strsafe.h>
#include "res/resource.h"
#include "ui/handlers.h"

// Shown as the link and opened by the shell; no scheme, as the shell
// recognises the host name.
static const wchar_t MAKER_ADDRESS[] = L"www.tavrin.com/pellux";
static const wchar_t MAKER_LINK[] = L"<a>www.tavrin.com/pellux</a>";

// Remembered for WM_NOTIFY; replaced each time the box opens.
static HWND AboutLink;

void ComposeVersionLine(wchar_t* line, size_t lineUnits, const wchar_t* version, UINT units)
{
    // A value longer than the room left is cut, never written past the line.
    StringCchCopyW(line, lineUnits, L"Pellux ");
    StringCchCatNW(line, lineUnits, version, units);
}

static void FillVersionTexts(HWND dialog)
{
    wchar_t path[260] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    if (length == 0 || length >= ARRAYSIZE(path))
        return;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0)
        return;
    void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
    if (!block)
        return;
    GetFileVersionInfoW(path, 0, size, block);

    wchar_t text[260] = {};
    wchar_t* value = nullptr;
    UINT units = 0;
    if (VerQueryValueW(block, L"\\StringFileInfo\\040904b0\\FileVersion", reinterpret_cast<void**>(&value),
                       &units) &&
        value) {
        ComposeVersionLine(text, ARRAYSIZE(text), value, units);
        SendDlgItemMessageW(dialog, IDC_VERSION, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    value = nullptr;
    units = 0;
    if (VerQueryValueW(block, L"\\StringFileInfo\\040904b0\\LegalCopyright", reinterpret_cast<void**>(&value),
                       &units) &&
        value) {
        StringCchCopyNW(text, ARRAYSIZE(text), value, units);
        SendDlgItemMessageW(dialog, IDC_COPYRIGHT, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    HeapFree(GetProcessHeap(), 0, block);
}

static void OnInitDialog(HWND dialog)
{
    SetWindowTextW(dialog, L"About Pellux");
    FillVersionTexts(dialog);
    AboutLink = GetDlgItem(dialog, IDC_LINK);
    SetWindowTextW(AboutLink, MAKER_LINK);
}

static void OnNotify(HWND dialog, const NMHDR* header)
{
    // The address is the program's own, never taken from the notification.
    if (header->hwndFrom == AboutLink && header->code == NM_CLICK)
        ShellExecuteW(dialog, L"open", MAKER_ADDRESS, nullptr, nullptr, SW_SHOWNORMAL);
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;  // focus to OK, the first tab stop
    case WM_NOTIFY:
        OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
        return FALSE;
    case WM_COMMAND:
        // Only OK (or Enter) closes; Esc arrives as IDCANCEL and is ignored.
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:  // close button, Alt+F4
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}
