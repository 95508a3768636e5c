#include "app/cli/CliMain.h"
#include "platform/Secrets.h"

int main(int argc, char** argv) {
    // Before any key is read.
    vornal::forbidCoreDumps();
    return vornal::cli::run(argc, argv);
}
