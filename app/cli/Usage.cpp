#include "app/cli/Usage.h"

#include <array>

namespace vornal::cli {

namespace {

constexpr const char* kKeyOptions =
    R"(  --key-env VAR    the key is the value of environment variable VAR
  --key-file FILE  the key is the first line of FILE without its line end; FILE
                   "-" reads it from standard input
)";

constexpr const char* kExitStatuses = R"(Exit status:
  0    success (every file)
  1    any other failure: an error while rewriting, a file changed by another
       program during the run or in use by another run, an interrupted run to
       put back first, a file that may not be rewritten, nothing to encrypt or
       decrypt, a word too long, no key or keys that do not match
  2    usage: a bad command or option, a key that cannot be read, input that is
       not valid UTF-8
  3    wrong key
  4    damaged or foreign file: not encrypted, already encrypted, damaged; for
       decrypt-string, a text that is not hexadecimal ciphertext
  5    file not found or unreadable (or no file name)
  6    not enough room on the disk
  130  interrupted by Ctrl-C (or SIGTERM)
With several files, the status is that of the first file that failed; 130 when
interrupted.
)";

struct Command {
    const char* name;
    const char* synopsis;
    const char* description;
    bool keyOptions;
    const char* options; // besides the key options and -h
    const char* example;
};

// On a terminal, the key is asked for without echo when no key option is given.
constexpr std::array<Command, 5> kCommands = {{
    {"encrypt", "encrypt [OPTION...] [--] FILE...",
     R"(Encrypts each FILE in place, word by word. The original is kept as FILE.bak
(or the next free FILE.bak.N) until the new content is on the disk, and put
back from it if anything goes wrong. Without a key option the key is asked
for twice on the terminal. On a terminal, files from 1 MB show their progress.
)",
     true, "  -q, --quiet      print no line for a file that succeeds\n",
     R"(  $ vornal-cli encrypt --key-file ~/.vornal-key notes.txt report.txt
  notes.txt: File successfully Encrypted.
  report.txt: File successfully Encrypted.
)"},
    {"decrypt", "decrypt [OPTION...] [--] FILE...",
     R"(Decrypts each FILE in place. A wrong key is found before the file is touched.
Without a key option the key is asked for once on the terminal. On a terminal,
files from 1 MB show their progress.
)",
     true, "  -q, --quiet      print no line for a file that succeeds\n",
     R"(  $ vornal-cli decrypt notes.txt
  Enter encryption key:
  notes.txt: File successfully Decrypted.
)"},
    {"recover", "recover [-q] [--] [FILE...]",
     R"(Puts back each FILE that a run which was killed, or could not put it back
itself, left unfinished, and removes what that run left beside it. Without
FILE, lists such runs.
)",
     false, "  -q, --quiet      print no line for a file that is put back or was fine\n",
     R"(  $ vornal-cli recover
  /home/me/notes.txt: interrupted while encrypting
  $ vornal-cli recover /home/me/notes.txt
  /home/me/notes.txt: The original file was put back.
)"},
    {"encrypt-string", "encrypt-string [KEY OPTION] [--] [TEXT]",
     R"(Prints the upper-case hexadecimal ciphertext of TEXT, used exactly as given.
Without TEXT, all of standard input is used, less one trailing line end (LF or
CR LF). Without a key option the key is asked for twice on the terminal.
)",
     true, "",
     R"(  $ vornal-cli encrypt-string --key-env VORNAL_KEY 'meet at dawn' > secret.txt
)"},
    {"decrypt-string", "decrypt-string [KEY OPTION] [--] [HEX]",
     R"(Prints the text that HEX decrypts to, in UTF-8. Hexadecimal digits may be in
either case. Without HEX, all of standard input is used, less one trailing line
end. Without a key option the key is asked for once on the terminal.
)",
     true, "",
     R"(  $ vornal-cli decrypt-string --key-env VORNAL_KEY < secret.txt
  meet at dawn
)"},
}};

} // namespace

std::string usageText() {
    std::string text = R"(Usage: vornal-cli COMMAND [OPTION...] [ARGUMENT...]

Encrypts and decrypts text with Vornal Encryption (Rijndael, 256-bit block and
key).

Commands:
  encrypt [OPTION...] FILE...  encrypt each FILE in place, word by word
  decrypt [OPTION...] FILE...  decrypt each FILE in place
  recover [FILE...]            put back each FILE an interrupted run left
                               unfinished; without FILE, list such runs
  encrypt-string [TEXT]        print the hexadecimal ciphertext of TEXT
  decrypt-string [HEX]         print the text that HEX decrypts to (UTF-8)
  -h, --help                   show this help (COMMAND --help: that command's)
  -V, --version                show the version, the cipher engine and the help
                               page

The original of a file is kept as FILE.bak (or the next free FILE.bak.N) until
the new content is on the disk, and put back from it if anything goes wrong or
the file is changed by another program meanwhile; the backup is deleted after
success. One run at a time may work on a file; another is refused. Ctrl-C stops
at the next word and puts the file back. A run that was killed is found by the
next one: "vornal-cli recover FILE" puts the original back. Every file attempt
is logged in $VORNAL_HOME/log/log.html (default
~/.local/share/vornal-encryption/log/log.html).

A TEXT, HEX or FILE that begins with "-" goes after "--". Without TEXT or HEX,
all of standard input is used, less one trailing line end (LF or CR LF).

Key options (the key given once serves as key and confirmation):
)";
    text += kKeyOptions;
    text += R"(  (neither)        on a terminal, the key is asked for without echo: twice
                   when encrypting, once when decrypting
Keys are UTF-8; only their first 16 characters count.

Options of encrypt, decrypt and recover:
  -q, --quiet      print no line for a file that succeeds

Environment: VORNAL_HOME (program folder), VORNAL_THREADS (worker threads;
default: every core), VORNAL_CIPHER=portable (use the table-driven cipher, not
the processor's AES instructions).

)";
    text += kExitStatuses;
    text += R"(
Example:
  $ export VORNAL_KEY='correct horse'
  $ vornal-cli encrypt-string --key-env VORNAL_KEY 'meet at dawn' > secret.txt
  $ vornal-cli decrypt-string --key-env VORNAL_KEY < secret.txt
  meet at dawn
  $ vornal-cli encrypt --key-env VORNAL_KEY notes.txt
  notes.txt: File successfully Encrypted.
)";
    return text;
}

std::string commandHelp(const std::string& name) {
    for (const Command& c : kCommands) {
        if (name != c.name) {
            continue;
        }
        std::string text = std::string("Usage: vornal-cli ") + c.synopsis + "\n\n" + c.description +
                           "\nOptions:\n";
        if (c.keyOptions) {
            text += kKeyOptions;
        }
        text += c.options;
        text += "  -h, --help       show this help\n\nExample:\n";
        text += c.example;
        text += "\nExit statuses: see vornal-cli --help.\n";
        return text;
    }
    return {};
}

} // namespace vornal::cli
