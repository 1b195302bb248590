#include "tessaly_q.h"
