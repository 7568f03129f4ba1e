#include "compare/comp_line.h"

namespace orv {

Colour StatusToColor(int32_t status) {
    switch (status) {
    case LineUnmarked:
        return RGBColour(255, 255, 0);
    case LineSame:
        return RGBColour(255, 255, 255);
    case LineChanged:
        return RGBColour(192, 255, 192);
    case LineOnlyInTarget:
        return RGBColour(122, 195, 217);
    case LineOnlyInSource:
        return RGBColour(255, 192, 192);
    default:
        return RGBColour(0, 0, 0);
    }
}

} // namespace orv
