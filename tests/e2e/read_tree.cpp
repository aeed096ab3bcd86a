// Reads what the running Pellux window shows, from another process, for the
// end-to-end tests: the result tree, a toolbar button's state and the status
// bar text. Pointers in these messages must point into the target process,
// so texts go through one block allocated there.
//
//   pellux_read_tree                 the tree: file nodes as lines, offset
//                                    nodes as a tab and their text
//   pellux_read_tree --button ID     "enabled", "disabled" or "missing"
//   pellux_read_tree --status        the text of status-bar part 0
//
// Output is UTF-8 with bare line feeds. Exit code 0 on success, 2 when the
// window or a control is not there, 3 when the window does not answer.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kTextUnits = 32768;
constexpr UINT kAnswerTimeoutMs = 5000;

// A block in the target process holding one TVITEMW and a text buffer.
class RemoteBlock {
public:
    explicit RemoteBlock(HWND window) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                   PROCESS_QUERY_INFORMATION, FALSE, pid);
        if (process_ != nullptr)
            base_ = static_cast<BYTE*>(VirtualAllocEx(process_, nullptr, kSize,
                                                      MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~RemoteBlock() {
        if (base_ != nullptr) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
        if (process_ != nullptr) CloseHandle(process_);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    bool ok() const { return base_ != nullptr; }
    TVITEMW* item() const { return reinterpret_cast<TVITEMW*>(base_); }
    wchar_t* text() const { return reinterpret_cast<wchar_t*>(base_ + kTextOffset); }

    bool write(void* remote, const void* local, SIZE_T bytes) const {
        return WriteProcessMemory(process_, remote, local, bytes, nullptr) != 0;
    }
    // Reads a terminated text of at most kTextUnits units from the target;
    // out holds kTextUnits + 1 units and is always terminated.
    bool readText(const wchar_t* remote, wchar_t* out) const {
        SIZE_T got = 0;
        ReadProcessMemory(process_, remote, out, kTextUnits * sizeof(wchar_t), &got);
        out[got / sizeof(wchar_t)] = L'\0';
        return got > 0;
    }
    bool read(const void* remote, void* local, SIZE_T bytes) const {
        return ReadProcessMemory(process_, remote, local, bytes, nullptr) != 0;
    }

private:
    static constexpr SIZE_T kTextOffset = (sizeof(TVITEMW) + 15) & ~static_cast<SIZE_T>(15);
    static constexpr SIZE_T kSize = kTextOffset + kTextUnits * sizeof(wchar_t);
    HANDLE process_ = nullptr;
    BYTE* base_ = nullptr;
};

bool Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG,
                            kAnswerTimeoutMs, &answer) == 0)
        return false;
    *result = static_cast<LRESULT>(answer);
    return true;
}

void PrintUtf8(const wchar_t* text, const char* prefix) {
    static char bytes[kTextUnits * 3 + 4];
    int used = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes,
                                   static_cast<int>(sizeof(bytes) - 1), nullptr, nullptr);
    int length = used > 0 ? used - 1 : 0;
    bytes[length++] = '\n';
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    WriteFile(out, prefix, static_cast<DWORD>(strlen(prefix)), &written, nullptr);
    WriteFile(out, bytes, static_cast<DWORD>(length), &written, nullptr);
}

wchar_t Scratch[kTextUnits + 1];

// Prints one node's text and then its children, one tab deeper.
int PrintNodes(HWND tree, const RemoteBlock& block, HTREEITEM node, int depth) {
    static const char kTabs[] = "\t\t\t\t\t\t\t\t";
    while (node != nullptr) {
        TVITEMW item = {};
        item.mask = TVIF_TEXT | TVIF_HANDLE;
        item.hItem = node;
        item.pszText = block.text();
        item.cchTextMax = kTextUnits;
        LRESULT got = 0;
        if (!block.write(block.item(), &item, sizeof(item))) return 2;
        if (!Ask(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(block.item()), &got)) return 3;
        // The control may answer with a pointer of its own instead of our buffer.
        if (!block.read(block.item(), &item, sizeof(item))) return 2;
        if (got == 0 || item.pszText == nullptr || !block.readText(item.pszText, Scratch)) return 2;
        int tabs = depth < 8 ? depth : 8;
        PrintUtf8(Scratch, kTabs + (8 - tabs));

        LRESULT child = 0;
        if (!Ask(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(node), &child)) return 3;
        int rc = PrintNodes(tree, block, reinterpret_cast<HTREEITEM>(child), depth + 1);
        if (rc != 0) return rc;

        LRESULT next = 0;
        if (!Ask(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(node), &next)) return 3;
        node = reinterpret_cast<HTREEITEM>(next);
    }
    return 0;
}

int PrintTree(HWND window) {
    HWND tree = FindWindowExW(window, nullptr, WC_TREEVIEWW, nullptr);
    if (tree == nullptr) return 2;
    RemoteBlock block(tree);
    if (!block.ok()) return 2;
    LRESULT root = 0;
    if (!Ask(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0, &root)) return 3;
    return PrintNodes(tree, block, reinterpret_cast<HTREEITEM>(root), 0);
}

int PrintButton(HWND window, int command) {
    HWND toolbar = FindWindowExW(window, nullptr, TOOLBARCLASSNAMEW, nullptr);
    if (toolbar == nullptr) return 2;
    LRESULT state = 0;
    if (!Ask(toolbar, TB_GETSTATE, static_cast<WPARAM>(command), 0, &state)) return 3;
    const char* word = state == -1 ? "missing" : (state & TBSTATE_ENABLED) ? "enabled" : "disabled";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    WriteFile(out, word, static_cast<DWORD>(strlen(word)), &written, nullptr);
    WriteFile(out, "\n", 1, &written, nullptr);
    return 0;
}

int PrintStatus(HWND window) {
    HWND status = FindWindowExW(window, nullptr, STATUSCLASSNAMEW, nullptr);
    if (status == nullptr) return 2;
    RemoteBlock block(status);
    if (!block.ok()) return 2;
    // Part 0's length is the low word; the text must fit the remote buffer.
    LRESULT length = 0;
    if (!Ask(status, SB_GETTEXTLENGTHW, 0, 0, &length)) return 3;
    if (LOWORD(length) >= kTextUnits) return 2;
    wchar_t empty = L'\0';
    if (!block.write(block.text(), &empty, sizeof(empty))) return 2;
    LRESULT got = 0;
    if (!Ask(status, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(block.text()), &got)) return 3;
    if (!block.readText(block.text(), Scratch)) return 2;
    PrintUtf8(Scratch, "");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    HWND window = FindWindowW(L"Pellux", nullptr);
    if (window == nullptr) return 2;
    if (argc == 1) return PrintTree(window);
    if (argc == 3 && strcmp(argv[1], "--button") == 0) return PrintButton(window, atoi(argv[2]));
    if (argc == 2 && strcmp(argv[1], "--status") == 0) return PrintStatus(window);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    static const char kUsage[] = "usage: pellux_read_tree [--button ID | --status]\n";
    DWORD written = 0;
    WriteFile(err, kUsage, static_cast<DWORD>(sizeof(kUsage) - 1), &written, nullptr);
    return 1;
}
