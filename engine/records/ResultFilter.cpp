#include "records/ResultFilter.h"
