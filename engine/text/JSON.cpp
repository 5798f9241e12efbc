#include "text/JSON.h"
