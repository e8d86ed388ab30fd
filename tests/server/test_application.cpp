#include "test_application.h"

#include <QCoreApplication>

namespace centeremp::servertest {

void ensureApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "centeremp_server_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

}  // namespace centeremp::servertest
