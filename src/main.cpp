#include "cli/command_line.h"
#include "workfolder/memory_tuning.h"

int main(int argc, char** argv) {
    strobo::workfolder::keepFreedMemoryForReuse();
    return strobo::cli::runMain(argc, argv);
}
