#include "seriesstate.h"

#include "main_window/series.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>

namespace SeriesState {

void Reset()
{
    Series::RangeFrom = -1;
    Series::RangeTo = -1;
    Series::Results = {0};
}

bool NoWindowLeft()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::none_of(windows.cbegin(), windows.cend(), [](QWidget* window) {
        return window->isVisible() && window->windowType() != Qt::Popup &&
               window->windowType() != Qt::ToolTip;
    });
}

} // namespace SeriesState
