// The module's one export.
#include "tessaly_q.h"
#include "zelm_module_export.h"

ZELM_DEFINE_MODULE_EXPORT(Tessaly_Q)
