// The release build's terminate handler. The library's default one prints the
// demangled type of the exception that escaped, to a console a player's GUI
// program does not have, and links the whole demangler for it.

#include <cstdlib>

namespace __gnu_cxx {

[[noreturn]] void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx
