#include "platform.hpp"

#ifdef _WIN32
#include <io.h>
#endif

namespace droplevel {

void use_binary_standard_streams() {
#ifdef _WIN32
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
#endif
}

}  // namespace droplevel
