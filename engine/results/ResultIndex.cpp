#include "results/ResultIndex.h"
