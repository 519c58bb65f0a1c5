#include "SurfaceMemory.h"

namespace graph {

SurfaceMemory& surfaceMemory() {
    static SurfaceMemory memory;
    return memory;
}

}  // namespace graph
