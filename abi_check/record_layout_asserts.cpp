// Holds this build's compiler to the event record layouts; see the header.
#include "record_layout_asserts.h"
