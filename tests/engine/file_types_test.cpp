#include <gtest/gtest.h>
#include <cwchar>
#include <string>
#include "engine/search.h"

namespace {

// Places a string so that its terminator is the last unit of a committed
// page followed by a no-access page: reading one unit further faults.
class GuardedText {
public:
    explicit GuardedText(const wchar_t* text)
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        base_ = static_cast<BYTE*>(VirtualAlloc(nullptr, page_ * 2, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old);
        const size_t units = std::wcslen(text) + 1;
        text_ = reinterpret_cast<wchar_t*>(base_ + page_) - units;
        std::wmemcpy(text_, text, units);
    }
    ~GuardedText() { VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedText(const GuardedText&) = delete;
    GuardedText& operator=(const GuardedText&) = delete;
    const wchar_t* Get() const { return text_; }

private:
    BYTE* base_ = nullptr;
    size_t page_ = 0;
    wchar_t* text_ = nullptr;
};

struct FilterCase {
    const wchar_t* list;
    const wchar_t* name;
    bool passes;
};

const FilterCase kCases[] = {
    // "*.*" anywhere lets everything through, even names without a dot.
    {L"*.*", L"readme", true},
    {L"*.txt;*.*", L"readme", true},
    {L"*.txt;*.*", L"photo.jpg", true},
    // The usual list; only the last dot counts, A-Z fold.
    {L"*.exe;*.dll;*.sys", L"KERNEL32.DLL", true},
    {L"*.exe;*.dll;*.sys", L"setup.exe", true},
    {L"*.exe;*.dll;*.sys", L"driver.sys", true},
    {L"*.exe;*.dll;*.sys", L"readme", false},
    {L"*.exe;*.dll;*.sys", L"archive.tar.exe", true},
    {L"*.exe;*.dll;*.sys", L"archive.exe.tar", false},
    {L"*.exe;*.dll;*.sys", L"driver.sy", false},
    {L"*.exe;*.dll;*.sys", L"driver.syss", false},
    // Inner segments match by prefix, the last one must be whole.
    {L"*.c;*.h", L"main.c", true},
    {L"*.c;*.h", L"main.cpp", true},
    {L"*.c;*.h", L"main.cs", true},
    {L"*.c;*.h", L"main.h", true},
    {L"*.c;*.h", L"main.hpp", false},
    {L"*.cpp;*.h", L"main.c", false},
    // Two characters after every ";" are skipped unread, blanks included.
    {L"*.exe; *.dll", L"a.dll", false},
    {L"*.exe; *.dll", L"a.exe", true},
    {L"exe", L"a.e", true},
    {L"exe", L"a.exe", false},
    // Only A-Z fold.
    {L"*.\u00c9", L"a.\u00e9", false},
    {L"*.\u00c9", L"a.\u00c9", true},
    {L"*.TXT", L"a.txt", true},
    // An empty inner segment lets every dotted name through.
    {L"*.;*.h", L"a.x", true},
    {L"*.;*.h", L"noext", false},
    // An empty last segment matches an empty extension only.
    {L"*.", L"file.", true},
    {L"*.", L"file.x", false},
    // Lists whose skip would run past the end match nothing there.
    {L"", L"a.b", false},
    {L"*", L"a.b", false},
    {L"*.exe;", L"a.b", false},
    {L"*.exe;", L"a.exe", true},
    {L"*.exe;x", L"a.x", false},
    {L"*.exe;x", L"a.", false},
    {L";", L"a.", false},
    {L";;", L"a.b", false},
    {L"*.exe;;;", L"a.b", false},
    {L"*.e;*", L"a.exe", true},
};

}  // namespace

TEST(FileTypes, PositionalListsNeverReadPastTheirEnd)
{
    for (const FilterCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << "list " << testing::PrintToString(std::wstring(c.list)) << " name "
                                        << testing::PrintToString(std::wstring(c.name)));
        GuardedText list(c.list);
        GuardedText name(c.name);
        EXPECT_EQ(NameMatchesTypeList(list.Get(), name.Get()) != FALSE, c.passes);
    }
}

TEST(FileTypes, MatchesFileTypesUsesTheActiveList)
{
    GuardedText list(L"*.dll");
    ActiveFileTypes = list.Get();
    EXPECT_TRUE(MatchesFileTypes(L"a.DLL"));
    EXPECT_FALSE(MatchesFileTypes(L"a.exe"));
    ActiveFileTypes = nullptr;
    EXPECT_TRUE(MatchesFileTypes(L"a.exe"));
}
