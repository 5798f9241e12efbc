#include "table/CSVError.h"
