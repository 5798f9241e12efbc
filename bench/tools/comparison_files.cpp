// Writes the comparison benchmark's File A and File B of ROWS records each into FOLDER, or reuses
// them when they exist, and prints their paths and what was generated, tab-separated:
// left, right, changed, removed, added. For scripts that run other programs on the same files.
//
// Usage: rowlark-bench-files FOLDER ROWS

#include "bench/support/DataGenerator.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: rowlark-bench-files FOLDER ROWS\n");
        return 2;
    }
    const std::size_t rows = std::stoull(argv[2]);
    const auto files = rowlark::bench::writeComparisonFiles(argv[1], rows);
    std::printf("%s\t%s\t%zu\t%zu\t%zu\n", files.left.c_str(), files.right.c_str(), files.changed, files.removed,
                files.added);
    return 0;
}
