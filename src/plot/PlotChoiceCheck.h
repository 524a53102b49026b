// The check of the three plot choices, made before a run and again by each plot.
#pragma once

#include <optional>

#include "cad/PlotLists.h"
#include "cad/UserServices.h"

namespace vx::plot {

// The message of the first choice that is not made, or nothing when all three are.
std::optional<Message> UnmadePlotChoice(const cad::PlotChoices& choices);

// Shows the message of the first choice that is not made; true when all are made.
bool CheckPlotChoices(const cad::PlotChoices& choices, MessageService& messages);

}  // namespace vx::plot
