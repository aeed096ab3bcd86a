// Writes the benchmark corpus into a folder (native Linux tool, built by
// run.sh). The same seed always gives the same bytes, so figures taken on
// different days compare.
//
//   gen_corpus DIR
//
// DIR/large    8 files of 256 MiB random bytes, the 8-byte needle planted once each
// DIR/zeros    1 file of 256 MiB, mostly 0x00, needle 00 00 00 00 00 00 00 02 four times
// DIR/utf16    4 files of 128 MiB UTF-16LE English-like text, needle "Quixotic" in UTF-16LE
// DIR/small    50,000 files of 4 KiB random bytes in 50 folders, needle in every 100th
// DIR/matches  1 file of 64 MiB random bytes holding the needle 100,000 times
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const unsigned char kNeedle[8] = {0xA7, 0x3C, 0x91, 0xE2, 0x5B, 0xD4, 0x6F, 0x18};
const unsigned char kZeroNeedle[8] = {0, 0, 0, 0, 0, 0, 0, 2};
const char kWideWord[] = "Quixotic";

uint64_t State = 0x9E3779B97F4A7C15ull;
uint64_t Next()
{
    // xorshift64*: fast and good enough for filler bytes.
    State ^= State >> 12;
    State ^= State << 25;
    State ^= State >> 27;
    return State * 0x2545F4914F6CDD1Dull;
}

void Fill(std::vector<unsigned char>& buf)
{
    size_t i = 0;
    for (; i + 8 <= buf.size(); i += 8) {
        uint64_t r = Next();
        std::memcpy(&buf[i], &r, 8);
    }
    for (; i < buf.size(); ++i)
        buf[i] = static_cast<unsigned char>(Next());
}

void MakeDir(const std::string& path)
{
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        std::perror(path.c_str());
        std::exit(1);
    }
}

void Write(const std::string& path, const std::vector<unsigned char>& buf)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(buf.data(), 1, buf.size(), f) != buf.size() || std::fclose(f) != 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
}

void Plant(std::vector<unsigned char>& buf, size_t at, const unsigned char* bytes, size_t n)
{
    std::memcpy(&buf[at], bytes, n);
}

void Large(const std::string& dir)
{
    MakeDir(dir);
    std::vector<unsigned char> buf(256u << 20);
    for (int i = 0; i < 8; ++i) {
        Fill(buf);
        Plant(buf, buf.size() / 2 + i * 4099, kNeedle, 8);
        Write(dir + "/random" + std::to_string(i) + ".bin", buf);
    }
}

void Zeros(const std::string& dir)
{
    MakeDir(dir);
    std::vector<unsigned char> buf(256u << 20, 0);
    // A few stray bytes so the file is "mostly" zero, none of them 02.
    for (size_t at = 12345; at < buf.size(); at += 65521)
        buf[at] = static_cast<unsigned char>(0x40 + Next() % 64);
    for (int i = 1; i <= 4; ++i)
        Plant(buf, buf.size() / 5 * i, kZeroNeedle, 8);
    Write(dir + "/zeros.bin", buf);
}

void Utf16(const std::string& dir)
{
    MakeDir(dir);
    static const char* const words[] = {
        "the", "of", "and", "to", "in", "is", "was", "that", "for", "it", "with", "as", "his", "on", "be",
        "at", "by", "had", "are", "but", "from", "or", "have", "an", "they", "which", "one", "you", "were",
        "her", "all", "she", "there", "would", "their", "we", "him", "been", "has", "when", "who", "will",
        "more", "no", "if", "out", "so", "said", "what", "up", "its", "about", "into", "than", "them",
        "can", "only", "other", "new", "some", "could", "time", "these", "two", "may", "then", "do",
        "first", "any", "my", "now", "such", "like", "our", "over", "man", "me", "even", "most", "made",
        "after", "also", "did", "many", "before", "must", "through", "back", "years", "where", "much",
        "your", "way", "well", "down", "should", "because", "each", "just", "those", "people", "Mr",
        "how", "too", "little", "state", "good", "very", "make", "world", "still", "own", "see", "men",
        "work", "long", "get", "here", "between", "both", "life", "being", "under", "never", "day",
        "same", "another", "know", "while", "last", "might", "us", "great", "old", "year", "off",
        "come", "since", "against", "go", "came", "right", "used", "take", "three", "Search", "Window"};
    const size_t count = sizeof(words) / sizeof(words[0]);
    const size_t size = 128u << 20;
    for (int f = 0; f < 4; ++f) {
        std::vector<unsigned char> buf;
        buf.reserve(size + 64);
        int onLine = 0;
        size_t nextPlant = 5u << 20;
        while (buf.size() < size) {
            const char* w = words[Next() % count];
            if (buf.size() >= nextPlant) {
                w = kWideWord;
                nextPlant += 12u << 20;
            }
            for (const char* c = w; *c; ++c) {
                buf.push_back(static_cast<unsigned char>(*c));
                buf.push_back(0);
            }
            buf.push_back(++onLine % 12 == 0 ? '\n' : ' ');
            buf.push_back(0);
        }
        buf.resize(size);
        Write(dir + "/text" + std::to_string(f) + ".txt", buf);
    }
}

void Small(const std::string& dir)
{
    MakeDir(dir);
    std::vector<unsigned char> buf(4096);
    for (int d = 0; d < 50; ++d) {
        const std::string sub = dir + "/d" + std::to_string(d);
        MakeDir(sub);
        for (int i = 0; i < 1000; ++i) {
            Fill(buf);
            if (i % 100 == 7)
                Plant(buf, Next() % (buf.size() - 8), kNeedle, 8);
            Write(sub + "/f" + std::to_string(i) + ".bin", buf);
        }
    }
}

void Matches(const std::string& dir)
{
    MakeDir(dir);
    std::vector<unsigned char> buf(64u << 20);
    Fill(buf);
    const size_t step = buf.size() / 100000;  // 671 bytes apart
    for (size_t i = 0; i < 100000; ++i)
        Plant(buf, i * step + 16, kNeedle, 8);
    Write(dir + "/matches.bin", buf);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_corpus DIR\n");
        return 2;
    }
    const std::string root = argv[1];
    MakeDir(root);
    Large(root + "/large");
    Zeros(root + "/zeros");
    Utf16(root + "/utf16");
    Small(root + "/small");
    Matches(root + "/matches");
    return 0;
}
