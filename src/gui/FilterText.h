#pragma once
// The model's file-dialog filter text ("Description|*.a;*.b|Description|*.c")
// as the name filters of a Qt file dialog ("Description (*.a *.b)").

#include <QStringList>
#include <string>

namespace crossmeld::gui {

// A description that already ends with its patterns in parentheses loses
// them, so that they are not shown twice. A trailing description without a
// pattern is dropped. An empty text gives no filters (every file shows).
QStringList NameFiltersFromFilterText(const std::string& filter);

}  // namespace crossmeld::gui
