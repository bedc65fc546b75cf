// Defines, once for the library, the identifiers the type library's header declares.
#include <initguid.h>

#include "Dornavel_h.h"
