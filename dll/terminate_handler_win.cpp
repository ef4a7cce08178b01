// The DLL's std::terminate handler. libstdc++'s default one names the
// uncaught exception's type on stderr, which a host's process rarely has,
// and links in the C++ demangler and printf machinery to do it (over a third
// of the DLL). Defining it here keeps libstdc++'s copy out of the link;
// terminating still ends the process as before.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
