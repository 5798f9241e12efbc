#pragma once

// What assistive technology calls a drop-down list. On some platforms Qt names one by its current
// entry and says what it is for only through a label beside it, so a row of lists reads as a row of
// column names; here a list with an accessible name ("Match for id") is called by it, and its entry
// is its value.

namespace rowlark::ui::widgets {

// Makes every drop-down list answer accessibility queries so; safe to call more than once, and to
// be called before the first list is queried.
void installComboBoxAccessibility();

}  // namespace rowlark::ui::widgets
