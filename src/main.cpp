#include "app/application.h"
#include "workfolder/memory_tuning.h"

int main(int argc, char** argv) {
    strobo::workfolder::keepFreedMemoryForReuse();
    return strobo::app::runMain(argc, argv);
}
