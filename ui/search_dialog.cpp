// The modeless Search dialog: takes the search text and file types, records
// them in their recent lists, encodes the pattern and starts the worker.
#include "ui/handlers.h"
#include "ui/controls.h"
#include "engine/search.h"
#include "state/recent.h"
#include "state/settings.h"
#include "res/resource.h"

namespace {

constexpr int INPUT_LIMIT_UNITS = 1022;
constexpr int INPUT_BUFFER_UNITS = 1024;

void FillCombo(HWND dialog, int control, const RecentList& list)
{
    const HWND combo = GetDlgItem(dialog, control);
    for (int i = 0; i < RECENT_SLOTS && list.slots[i][0] != L'\0'; ++i)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(list.slots[i]));
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    SendMessageW(combo, CB_LIMITTEXT, INPUT_LIMIT_UNITS, 0);
}

void OnInitDialog(HWND dialog)
{
    FillCombo(dialog, IDC_SEARCH_TEXT, RecentSearches);
    FillCombo(dialog, IDC_FILE_TYPES, RecentExtensions);
}

void ShowLastError()
{
    const DWORD error = GetLastError();
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error,
                                        LANG_USER_DEFAULT, reinterpret_cast<LPWSTR>(&message), 0, nullptr);
    if (length == 0 || message == nullptr)
        return;
    MessageBoxW(MainWindow, message, L"Pellux", MB_ICONERROR);
    LocalFree(message);
}

// Returns TRUE when the search started and the dialog is gone.
BOOL OnOk(HWND dialog)
{
    // The last worker may still be running its final steps for a moment
    // after the window looks idle again; the dialog stays until it is done.
    if (IsWorkerBusy())
        return FALSE;
    wchar_t input[INPUT_BUFFER_UNITS] = {};
    if (GetDlgItemTextW(dialog, IDC_SEARCH_TEXT, input, ARRAYSIZE(input)) == 0)
        return FALSE;
    RecentPush(RecentSearches, input);

    input[0] = L'\0';
    GetDlgItemTextW(dialog, IDC_FILE_TYPES, input, ARRAYSIZE(input));
    if (input[0] != L'\0') {
        RecentPush(RecentExtensions, input);
        ActiveFileTypes = RecentExtensions.slots[0];
    } else {
        ActiveFileTypes = nullptr;
    }

    const wchar_t* text = RecentSearches.slots[0];
    if (!EncodePattern(text, lstrlenW(text), StringType)) {
        ShowLastError();
        return FALSE;
    }
    StartSearchFromWindow(MainWindow);
    DestroyWindow(dialog);
    return TRUE;
}

}  // namespace

void OnSearchCommand(HWND mainWindow)
{
    if (SearchPath[LONG_PATH_PREFIX_UNITS] == L'\0') {
        SendMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(IDM_OPEN, 0), 0);
        return;
    }
    if (SearchDialog != nullptr)
        return;
    SearchDialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SEARCH), mainWindow,
                                      SearchDialogProc, 0);
    if (SearchDialog != nullptr)
        ShowWindow(SearchDialog, SW_SHOW);
}

INT_PTR CALLBACK SearchDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            return OnOk(dialog);
        case IDCANCEL:
            DestroyWindow(dialog);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        SearchDialog = nullptr;
        return TRUE;
    }
    return FALSE;
}
