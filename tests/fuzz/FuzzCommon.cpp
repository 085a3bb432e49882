// Linked into every harness: the sanitizer settings a plain run of the harness should have.
#include "lsan_suppressions.h"

extern "C" const char* __lsan_default_suppressions() {
    return kLsanSuppressions;
}
