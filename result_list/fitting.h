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

// `settleHeight` sets the list's height and returns the height the list then has
// (it shows whole lines only, so it can be less).
Layout Fit(double clientWidth, double clientHeight, Layout current,
           const std::function<double(double)>& settleHeight);

} // namespace Fitting
