#include "app/cli/CliMain.h"

int main(int argc, char** argv) {
    return vornal::cli::run(argc, argv);
}
