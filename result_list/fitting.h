#pragma once

#include <functional>

// Fits the result list and its close button to the client area, in twips.
namespace Fitting {

constexpr double MinimumListHeight = 720; // half an inch

struct Box
{
    double left, top, width, height;
};

struct Layout
{
    Box list;
    Box button;
};

// `settle` gives the list its new width and height and returns the height the
// list then has (it shows whole lines only, so it can be less).
Layout fit(double clientWidth, double clientHeight, Layout current,
           const std::function<double(double width, double height)>& settle);

// What decides the height of a list that shows whole lines only, in pixels.
struct ListMetrics
{
    int frame;     // both frame edges together
    int row;       // one line
    int scrollBar; // a scroll bar's thickness
    int lines;     // how many lines it holds
    int lineWidth; // the widest line
};

// The height for `requested` pixels at `width`: whole lines plus the frame, and
// the horizontal scroll bar below them when the lines are wider than the list
// (beside a vertical one when not every line fits).
int wholeLinesHeight(int requested, int width, const ListMetrics& list);

} // namespace Fitting
