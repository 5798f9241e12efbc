#include "text/Unicode.h"
