#include "result_list/fitting.h"

#include <algorithm>

namespace Fitting {

Layout fit(double clientWidth, double clientHeight, Layout current,
           const std::function<double(double width, double height)>& settle)
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
    list.height = settle(width, height);
    list.width = width;

    button.top = list.height + list.top + gap;
    button.left = (2 * list.left + list.width - button.width) / 2;
    return current;
}

int wholeLinesHeight(int requested, int width, const ListMetrics& list)
{
    const int row = std::max(1, list.row);
    const auto rowsAbove = [&](int bar) {
        return std::max(1, (requested - list.frame - bar) / row);
    };
    // A horizontal bar takes rows away, which can call for a vertical bar, which
    // narrows the lines' room: twice settles it, as each step only adds a bar.
    int horizontal = 0;
    for (int pass = 0; pass < 2; ++pass) {
        const int vertical = list.lines > rowsAbove(horizontal) ? list.scrollBar : 0;
        horizontal = list.lineWidth > width - list.frame - vertical ? list.scrollBar : 0;
    }
    return rowsAbove(horizontal) * row + list.frame + horizontal;
}

} // namespace Fitting
