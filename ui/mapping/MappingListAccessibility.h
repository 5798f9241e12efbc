#pragma once

// What assistive technology reads of the mapping list: one list item per open row, named by its column
// of File A and holding the row's own controls under their own names (the key and compare boxes, the
// column name, the chips and the drop-down list), instead of the list's bare model items.

namespace rowlark::ui::mapping {

// Makes the mapping list and its rows answer accessibility queries so; safe to call more than once.
void installMappingListAccessibility();

}  // namespace rowlark::ui::mapping
