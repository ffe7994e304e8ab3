// Names of the capture keys as the capture area dialog shows them, row by row
// of the capture key table.
#include "config/settings.h"

const char* const kcapkeylabels[CAPKEYROWS] = {"左 Alt", "右 Alt", "右 Ctrl", "F12"};
