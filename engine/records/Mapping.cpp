#include "records/Mapping.h"
