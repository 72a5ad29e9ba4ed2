#include "result_list/fitting.h"

#include <algorithm>

namespace Fitting {

Layout Fit(double clientWidth, double clientHeight, Layout current,
           const std::function<double(double)>& settleHeight)
{
    Box& list = current.list;
    Box& button = current.button;
    // Measured before anything moves: the button's right edge, the list-to-button gap.
    const double minimumWidth = button.left + button.width;
    const double gap = button.top - list.top - list.height;

    const double height =
        std::max(clientHeight - list.top - 2 * gap - button.height, MinimumListHeight);
    const double width = std::max(clientWidth - 2 * list.left, minimumWidth);
    list.height = settleHeight(height);
    list.width = width;

    button.top = list.height + list.top + gap;
    button.left = (2 * list.left + list.width - button.width) / 2;
    return current;
}

} // namespace Fitting
