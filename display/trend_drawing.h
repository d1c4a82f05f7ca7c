// The trend page of one asset, as drawing calls: its texts, the resistance at
// one minute (uncorrected and corrected to 40 C) on a logarithmic scale and the
// polarization index against the date, the flagged tests marked, the minimums
// as lines, and a table of its tests. The same calls draw the window, the
// printed sheet, the PDF and the PNG.
#pragma once

#include <string>

#include "history/asset_history.h"
#include "services/drawing_surface.h"

// Draws `asset` into `page` (device units) on a white ground.
void DrawTrendPage(platform::DrawingSurface& dc, const history::Asset& asset, const history::Limits& limits,
                   const platform::Rect& page);

// A resistance in ohms as the page and the table show it: "> 65 T" never (the
// history holds no over-range value), "12.5 G", "830 M".
std::string OhmsText(double ohms);
