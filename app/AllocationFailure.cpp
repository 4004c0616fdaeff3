// The program's allocator for every C++ allocation: the C heap, and a failed allocation is the
// fatal "out of memory" error (error box, exit code -1) rather than an uncaught exception that
// aborts without a word. Linked into the program only; libraries and most tests keep the default.
#include <cstdlib>
#include <new>

#include "forms/Fatal.h"

namespace {

void* Allocate(std::size_t bytes) {
    static bool failing = false;
    if (void* p = std::malloc(bytes != 0 ? bytes : 1)) return p;
    // Reporting allocates a little itself; a second failure on the way ends the process at once.
    if (failing) std::_Exit(-1);
    failing = true;
    kestrune::forms::OutOfMemory(bytes);
}

}  // namespace

void* operator new(std::size_t bytes) { return Allocate(bytes); }
void* operator new[](std::size_t bytes) { return Allocate(bytes); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
