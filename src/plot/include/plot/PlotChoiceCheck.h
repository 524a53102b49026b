// The check of the three plot choices, made before a run and again by each plot.
#pragma once

#include <optional>

#include "plot/PlotLists.h"
#include "ui/UserServices.h"

namespace vx::plot {

// The message of the first choice that is not made, or nothing when all three are.
std::optional<Message> UnmadePlotChoice(const plot::PlotChoices& choices);

// Shows the message of the first choice that is not made; true when all are made.
bool CheckPlotChoices(const plot::PlotChoices& choices, MessageService& messages);

}  // namespace vx::plot
