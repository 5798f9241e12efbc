#include "records/Differences.h"
