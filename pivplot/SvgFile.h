// The plot as SVG: the background (embedded as PNG) or a black area, then the arrows as
// lines in their colours, in the same pixel coordinates as the PNG picture.
#ifndef PIVPLOT_SVGFILE_H
#define PIVPLOT_SVGFILE_H

#include <string>
#include <vector>

#include "ArrowLayout.h"
#include "Raster.h"

// background may be null (no image); width and height are the picture's size.
bool MakeSvg(const Raster* background, int width, int height, const std::vector<Arrow>& arrows, std::string& svg,
             std::string& error);

#endif
