// The one global state record.  Kept in a file of its own, free of Japanese
// literals, so every build (the fuzz build included) can link it.
#include "kesto.h"

Kesto gkesto;
