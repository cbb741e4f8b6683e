#pragma once
// The open plan the benchmarks measure: the reference service's plan template with its
// teaching-process line repeated (70 lines of four cells, a sentence of Chinese in each) up to
// 300 cells, as the plan data the service sends.
#include <string>

namespace benchsupport {

// The plan data as JSON text; its teaching cells are named "template.teachproc.N.*".
std::string PlanOf300Cells();

} // namespace benchsupport
