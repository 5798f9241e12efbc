#include "records/Uuid.h"
