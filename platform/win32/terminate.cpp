// The toolkit catches what escapes an event handler, and the entry points
// catch the rest, so the standard library's verbose terminate handler (which
// prints the demangled type of an escaping exception to a console these
// programs do not have) is never of use. Replacing it keeps the demangler
// out of the executables: some 50 KB of a download.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
