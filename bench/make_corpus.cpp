// Writes a deterministic English-like text: words of 1 to 12 letters (or MIN to MAX),
// single blanks, a CR LF after every dozen words. Usage: make_corpus BYTES FILE [MIN MAX]
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: make_corpus BYTES FILE [MIN MAX]\n");
        return 2;
    }
    const int shortest = argc == 5 ? std::atoi(argv[3]) : 1;
    const int longest = argc == 5 ? std::atoi(argv[4]) : 12;
    if (shortest < 1 || longest < shortest) {
        std::fprintf(stderr, "make_corpus: need 1 <= MIN <= MAX\n");
        return 2;
    }
    const auto size = std::strtoull(argv[1], nullptr, 10);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    std::mt19937_64 rng(42);
    // Letter frequencies of English, roughly, so the text looks like text.
    const std::string letters = "eeeeeeeeeeeettttttttaaaaaaaaooooooooiiiiiiinnnnnnnsssssshhhhhh"
                                "rrrrrrddddlllluuucccmmmwwffggyyppbbvkjxqz";
    std::string buffer;
    std::uint64_t written = 0;
    int inLine = 0;
    while (written < size) {
        const int length =
            shortest + static_cast<int>(rng() % static_cast<unsigned>(longest - shortest + 1));
        for (int i = 0; i < length; ++i) {
            buffer.push_back(letters[rng() % letters.size()]);
        }
        if (++inLine == 12) {
            buffer += "\r\n";
            inLine = 0;
        }
        buffer.push_back(' ');
        if (buffer.size() >= (1 << 16)) {
            const auto n = std::min<std::uint64_t>(buffer.size(), size - written);
            std::fwrite(buffer.data(), 1, n, out);
            written += n;
            buffer.clear();
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
