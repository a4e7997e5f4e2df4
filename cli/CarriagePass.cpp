#include "cli/CarriagePass.h"

namespace kalvero {

const char* DirectionName(TravelDirection direction) {
    switch (direction) {
    case TravelDirection::Left:
        return "left";
    case TravelDirection::Right:
        return "right";
    case TravelDirection::None:
        break;
    }
    return "none";
}

}  // namespace kalvero
