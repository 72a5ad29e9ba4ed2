#include "result_list/fitting.h"

#include <algorithm>

namespace Fitting {

Layout Fit(double clientWidth, double clientHeight, Layout current,
           const std::function<double(double)>& settleHeight)
{
    Box& list = current.list;
    Box& button = current.button;
    // The list is at least as wide as the button's right edge where the button will
    // stand, centred under it: so the layout depends on the new size alone, and
    // an earlier size (after maximising and restoring) gives the earlier layout.
    const double minimumWidth = 2 * list.left + button.width;
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
