// The toolbar strip and the program icon as the executable carries them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "res/resource.h"

namespace {

// Returns the raw bytes of a resource of this module, or nullptr.
const BYTE* ResourceBytes(const wchar_t* name, const wchar_t* type, DWORD* size) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, name, type);
    if (!found) return nullptr;
    *size = SizeofResource(module, found);
    return static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
}

bool IsMappedColour(const RGBQUAD& c) {
    // The toolbar replaces these four with the system's button colours.
    for (BYTE v : {0, 128, 192, 255})
        if (c.rgbRed == v && c.rgbGreen == v && c.rgbBlue == v) return true;
    return false;
}

#pragma pack(push, 2)
struct GroupIconDir {
    WORD reserved, type, count;
};
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

}  // namespace

TEST(Art, ToolbarStripIsSevenPalettedImages) {
    DWORD size = 0;
    const BYTE* bits = ResourceBytes(MAKEINTRESOURCEW(IDB_TOOLBAR), MAKEINTRESOURCEW(2) /* RT_BITMAP */, &size);
    ASSERT_NE(bits, nullptr);
    ASSERT_GE(size, sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER info;
    std::memcpy(&info, bits, sizeof(info));
    EXPECT_EQ(info.biWidth, 112);
    EXPECT_EQ(info.biHeight, 16);  // bottom up
    EXPECT_EQ(info.biBitCount, 8);
    EXPECT_EQ(info.biCompression, static_cast<DWORD>(BI_RGB));
    const DWORD colours = info.biClrUsed ? info.biClrUsed : 256;
    ASSERT_LE(colours, 256u);
    ASSERT_EQ(size, info.biSize + colours * sizeof(RGBQUAD) + 112 * 16);

    // Every image draws something, and draws it only in colours that the
    // toolbar leaves as they are; light grey is the background.
    const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(bits + info.biSize);
    const BYTE* pixels = bits + info.biSize + colours * sizeof(RGBQUAD);
    for (int image = 0; image < 7; ++image) {
        int drawn = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const BYTE index = pixels[y * 112 + image * 16 + x];
                ASSERT_LT(index, colours);
                const RGBQUAD& c = palette[index];
                if (c.rgbRed == 192 && c.rgbGreen == 192 && c.rgbBlue == 192) continue;
                EXPECT_FALSE(IsMappedColour(c)) << "image " << image << " at " << x << "," << 15 - y;
                ++drawn;
            }
        }
        EXPECT_GT(drawn, 20) << "image " << image;
    }

    // And the system's loader takes it as it stands.
    HBITMAP loaded = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_TOOLBAR),
                                                     IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(loaded, nullptr);
    DIBSECTION dib = {};
    EXPECT_EQ(GetObjectW(loaded, sizeof(dib), &dib), static_cast<int>(sizeof(dib)));
    EXPECT_EQ(dib.dsBm.bmWidth, 112);
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 8);
    DeleteObject(loaded);
}

TEST(Art, IconHasSevenSizesAt32BitsWithAlpha) {
    DWORD size = 0;
    const BYTE* group = ResourceBytes(MAKEINTRESOURCEW(IDI_PELLUX), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, &size);
    ASSERT_NE(group, nullptr);
    GroupIconDir dir;
    ASSERT_GE(size, sizeof(dir));
    std::memcpy(&dir, group, sizeof(dir));
    EXPECT_EQ(dir.type, 1);
    ASSERT_EQ(dir.count, 7);
    ASSERT_EQ(size, sizeof(dir) + 7 * sizeof(GroupIconEntry));

    const int expected[] = {256, 128, 64, 48, 32, 24, 16};
    for (int i = 0; i < 7; ++i) {
        GroupIconEntry entry;
        std::memcpy(&entry, group + sizeof(dir) + i * sizeof(entry), sizeof(entry));
        const int side = entry.width ? entry.width : 256;  // 0 stands for 256
        EXPECT_EQ(side, expected[i]);
        EXPECT_EQ(entry.height, entry.width);
        EXPECT_EQ(entry.bitCount, 32);

        // Each image is what its entry says, and the system builds an icon of it.
        DWORD bytes = 0;
        const BYTE* image = ResourceBytes(MAKEINTRESOURCEW(entry.id), MAKEINTRESOURCEW(3) /* RT_ICON */, &bytes);
        ASSERT_NE(image, nullptr) << side;
        ASSERT_EQ(bytes, entry.bytes);
        ASSERT_GE(bytes, 40u);
        if (std::memcmp(image, "\x89PNG", 4) != 0) {
            BITMAPINFOHEADER info;
            std::memcpy(&info, image, sizeof(info));
            EXPECT_EQ(info.biWidth, side);
            EXPECT_EQ(info.biHeight, 2 * side);  // colour rows, then the mask
            EXPECT_EQ(info.biBitCount, 32);
            // The alpha channel carries the shape: some pixels clear, some
            // solid. All-zero alpha would be drawn as an opaque square.
            ASSERT_GE(bytes, info.biSize + 4u * side * side);
            int clear = 0, solid = 0;
            for (int p = 0; p < side * side; ++p) {
                const BYTE alpha = image[info.biSize + 4 * p + 3];
                clear += alpha == 0;
                solid += alpha == 255;
            }
            EXPECT_GT(clear, side) << side;
            EXPECT_GT(solid, side * side / 4) << side;
        }
        HICON icon = CreateIconFromResourceEx(const_cast<BYTE*>(image), bytes, TRUE, 0x00030000, side, side,
                                              LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr) << side;
        ICONINFO parts = {};
        ASSERT_TRUE(GetIconInfo(icon, &parts));
        BITMAP colour = {};
        GetObjectW(parts.hbmColor, sizeof(colour), &colour);
        EXPECT_EQ(colour.bmWidth, side);
        DeleteObject(parts.hbmColor);
        DeleteObject(parts.hbmMask);
        DestroyIcon(icon);
    }
}
