// Error state: everything is inline in the header.
#include "frame/error_state.h"
