// Whatever arrives as a batch, the parser either refuses it or returns statements whose every
// value is a 32-bit integer.

#include "server/sql_batch.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto result = centeremp::server::parseBatch(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    (void)result;
    return 0;
}
