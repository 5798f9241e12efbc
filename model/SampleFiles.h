#pragma once

// The two built-in catalog tables that let the program be tried without files of one's own.

#include "model/InputFile.h"

namespace rowlark::model {

InputFile sampleBefore();  // "catalog-before.csv", File A
InputFile sampleAfter();   // "catalog-after.csv", File B

}  // namespace rowlark::model
