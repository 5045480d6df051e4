#include "view.h"

namespace tressel {

void CMarlockUtilView::groupInto(const QString&) {}

} // namespace tressel
