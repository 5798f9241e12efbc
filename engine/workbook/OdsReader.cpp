#include "workbook/NativeReader.h"

namespace rowlark::workbook {

WorkbookPayload readOds(ZipArchive&, const NativeRequest&, std::stop_token)
{
    throw ReadDeclined();
}

}  // namespace rowlark::workbook
